// The special uninstaller for earlier products (template 114).
#pragma once
#include <windows.h>

INT_PTR CALLBACK specialUninstallerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
