#include "platform/system_library.h"

#include "platform/text.h"

void restrictDllSearch()
{
    typedef BOOL(WINAPI * SetDllDirectoryFn)(LPCSTR);
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
    // Both appear with later updates of XP and 7; older systems simply keep their search order.
    SetDllDirectoryFn setDllDirectory = (SetDllDirectoryFn)(void*)loadedFunction("kernel32.dll", "SetDllDirectoryA");
    SetDefaultDllDirectoriesFn setDefault =
        (SetDefaultDllDirectoriesFn)(void*)loadedFunction("kernel32.dll", "SetDefaultDllDirectories");
    if (setDllDirectory) setDllDirectory("");
    if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

FARPROC loadedFunction(const char* dll, const char* function)
{
    HMODULE module = GetModuleHandleA(dll);
    return module ? GetProcAddress(module, function) : nullptr;
}

FARPROC systemFunction(const char* dll, const char* function)
{
    char path[PathSize];
    UINT n = GetSystemDirectoryA(path, sizeof path);
    if (n == 0 || n >= sizeof path || !appendText(path, sizeof path, "\\") || !appendText(path, sizeof path, dll))
        return nullptr;
    HMODULE module = LoadLibraryA(path);
    return module ? GetProcAddress(module, function) : nullptr;
}

// GetVersion's top bit is set on the 95/98/Me family.
bool ntFamily() { return (GetVersion() & 0x80000000u) == 0; }
