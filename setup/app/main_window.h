// The hidden main window: parent of the dialogs and marker of a running setup.
#pragma once
#include <windows.h>

int createMainWindow(HINSTANCE instance, HINSTANCE previous, int showCommand, bool checkSingleInstance);
int createSpecialUninstallerWindow(HINSTANCE instance, HINSTANCE previous, int showCommand, bool checkSingleInstance);
LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
