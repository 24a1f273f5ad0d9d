// The installed-data check dialog (template 113).
#pragma once
#include <windows.h>

INT_PTR CALLBACK dataCheckDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
DWORD WINAPI runDataCheck(LPVOID);

extern HWND dataCheckDialog;  // the open dialog, for the check thread
extern int checkRowCount;     // rows listed when the dialog opened
