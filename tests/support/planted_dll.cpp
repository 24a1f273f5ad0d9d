// A DLL that a test plants under the name of a system DLL (winmm.dll, comctl32.dll, uxtheme.dll)
// beside a program or in the temporary folder. If any process loads it, it appends that process's
// path and its own to z:\planted.log; its exports only let the process go on.
#include <windows.h>
#include <stdio.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char program[MAX_PATH] = "", own[MAX_PATH] = "", line[2 * MAX_PATH + 4];
    GetModuleFileNameA(nullptr, program, sizeof program - 1);
    GetModuleFileNameA(self, own, sizeof own - 1);
    snprintf(line, sizeof line, "%s %s\r\n", program, own);
    HANDLE log = CreateFileA("z:\\planted.log", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (log != INVALID_HANDLE_VALUE) {
        WriteFile(log, line, lstrlenA(line), &written, nullptr);
        CloseHandle(log);
    }
    return TRUE;
}

extern "C" {
DWORD WINAPI plantedTime() { return GetTickCount(); }
BOOL WINAPI plantedTrue(const void*) { return TRUE; }
BOOL WINAPI plantedSound(const char*, HMODULE, DWORD) { return TRUE; }
void WINAPI plantedNothing() {}
BOOL WINAPI plantedFalse() { return FALSE; }
void* WINAPI plantedNull(HWND, const wchar_t*) { return nullptr; }
}
