// The folders of an installation as the record names them: the installation folder is the base
// folder, the publisher folder and the product's folder, in that order.
#pragma once
#include <stddef.h>
#include <string.h>

// The publisher folder of an installation folder: installDir without its last folderName; false
// when installDir is not longer than folderName and a backslash.
inline bool publisherFolderOf(const char* installDir, const char* folderName, char* out, size_t size)
{
    size_t dirLen = strlen(installDir), folderLen = strlen(folderName);
    if (dirLen <= folderLen + 1 || dirLen - folderLen - 1 >= size) return false;
    memcpy(out, installDir, dirLen - folderLen - 1);
    out[dirLen - folderLen - 1] = '\0';
    return true;
}
