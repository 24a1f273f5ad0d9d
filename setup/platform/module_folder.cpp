#include "platform/module_folder.h"

#include <windows.h>

#include "platform/text.h"

bool moduleFolder(char* out, size_t size)
{
    char module[PathSize] = "";
    DWORD n = GetModuleFileNameA(nullptr, module, sizeof module);
    if (n == 0 || n >= sizeof module) {
        if (size) out[0] = '\0';
        return false;
    }
    if (char* slash = lastBackslash(module)) *slash = '\0';
    return copyText(out, size, module);
}
