// The launcher (template 116) and the update confirmation (template 105).
#pragma once
#include <windows.h>

INT_PTR CALLBACK launcherDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
DWORD WINAPI installThreadProc(LPVOID);

extern HANDLE installThread;                // the install thread while it runs; written by the launcher
extern DWORD installThreadId;               // 0 when its creation failed
extern volatile LONG installThreadRunning;  // 1 from the thread's start until it has restored the buttons
