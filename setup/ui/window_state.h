// Window state of the process, shared by the start-up and the dialogs.
#pragma once
#include <windows.h>

#include "ui/folder_browser.h"

extern HWND mainWindowHandle;        // hidden main window; written at start-up, parent of every modal dialog
extern HINSTANCE appInstance;        // module instance; written at start-up, read when dialogs are loaded
extern HWND launcherDialog;          // launcher while open; written by its initialisation, read by the progress display
extern HBITMAP currentSlideBitmap;   // picture in control 1016; written by showSlide, deleted at exit
extern FolderBrowser folderBrowser;  // folder selection; initialised at start-up, used by the launcher
