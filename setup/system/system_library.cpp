#include "system/system_library.h"

#include "engine/text.h"

void restrictDllSearch()
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return;
    typedef BOOL(WINAPI * SetDllDirectoryFn)(LPCSTR);
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
    // Both appear with later updates of XP and 7; older systems simply keep their search order.
    SetDllDirectoryFn setDllDirectory = (SetDllDirectoryFn)(void*)GetProcAddress(kernel, "SetDllDirectoryA");
    SetDefaultDllDirectoriesFn setDefault =
        (SetDefaultDllDirectoriesFn)(void*)GetProcAddress(kernel, "SetDefaultDllDirectories");
    if (setDllDirectory) setDllDirectory("");
    if (setDefault) setDefault(0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
}

HMODULE systemLibrary(const char* name)
{
    char path[PathSize];
    UINT n = GetSystemDirectoryA(path, sizeof path);
    if (n == 0 || n >= sizeof path || !appendText(path, sizeof path, "\\") || !appendText(path, sizeof path, name))
        return nullptr;
    return LoadLibraryA(path);
}

FARPROC systemFunction(const char* dll, const char* function)
{
    HMODULE module = systemLibrary(dll);
    return module ? GetProcAddress(module, function) : nullptr;
}
