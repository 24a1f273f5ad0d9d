// The notice with the system requirements, accepted before an installation.
#pragma once
#include <windows.h>
#include <stdint.h>

extern volatile int32_t noticeAccepted;  // written by the notice, read by the launcher: 1 after "はい"
INT_PTR CALLBACK noticeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
