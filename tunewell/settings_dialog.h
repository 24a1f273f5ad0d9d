// The settings dialog "IDD_DIALOG1".
#pragma once
#include <windows.h>

INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void showSettings(HWND dialog);
void readSettingsFromDialog(HWND dialog);
