// The shell's folder selection dialog.
#pragma once
#include <windows.h>
#include <stddef.h>

// True where a base folder inside the Windows folder is refused (the 95/98/Me kinds).
bool windowsFolderRefused(const char* base);

struct FolderBrowser {
    HINSTANCE instance;
    HWND owner;
    void init(HINSTANCE inst, HWND ownerWindow);
    // path: in the current folder, out the chosen one. 1 when a folder was chosen, else 0.
    int browse(char* path, size_t size, int style, bool appendBackslash);
};
