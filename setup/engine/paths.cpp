// The small questions and steps on paths that the copy and the installation share: whether a
// path is there, and the folders above a file or a folder.
#include <string.h>

#include "engine/installer.h"
#include "engine/product_folders.h"

bool Installer::pathExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

bool Installer::makeDirectories(const char* path)
{
    char prefix[PathSize];
    for (const char* p = path; *p; p = nextPathChar(p)) {
        if (*p != '\\') continue;
        size_t len = (size_t)(p - path);
        if (len >= sizeof prefix) return false;
        memcpy(prefix, path, len);
        prefix[len] = '\0';
        if (len == 0 || pathExists(prefix)) continue;
        if (!CreateDirectoryA(prefix, nullptr)) return false;
    }
    return true;
}

bool Installer::ensureDirectory(const char* path) { return folderExists(path) || CreateDirectoryA(path, nullptr); }
