#include "ui/window_state.h"

HWND mainWindowHandle;
HINSTANCE appInstance;
HWND launcherDialog;
HBITMAP currentSlideBitmap;
FolderBrowser folderBrowser;
