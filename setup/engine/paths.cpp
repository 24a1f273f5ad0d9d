// The small questions and steps on paths that the copy, the installation and the removal share:
// whether a path is there, the folders above a file or a folder, the base folder of an
// installation, and the deletion of the product's files.
#include <string.h>

#include "state/installer.h"
#include "engine/product_folders.h"
#include "platform/held_folder.h"
#include "engine/file_replacement.h"
#include "engine/placed_record.h"

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

// Files only: a folder, or a link to one, of that name is not the kit's to delete. A link to a file
// is deleted as a link, and its target's attributes are never touched; a file with a second name
// elsewhere is another's and stays.
BOOL Installer::deleteFileIfPresent(const char* path) { return deleteFileAt(path) == Deletion::Deleted; }

bool Installer::removeInstalledFiles(const char* folder)
{
    forEachProductFile(productFiles(), folder, [&](const char*, const char* path) {
        deleteFileIfPresent(path);  // failures are the restart removal's to find
        return true;
    });
    // The record of what was placed goes with the files it names, and any copy of it an ended run left.
    char record[PathSize], fresh[PathSize], old[PathSize];
    if (placedRecordPath(folder, record) && temporaryPair(record, 0, fresh, old)) {
        const char* names[] = {record, fresh, old};
        for (const char* name : names) deleteFileIfPresent(name);  // a record left names no installed game
    }
    return true;
}

void Installer::installedBaseDir(char* dest, size_t size) const
{
    char text[MessageSize];
    copyText(text, sizeof text, installDir);
    // The last two components are the publisher and game folders; the scan walks characters so
    // that a second byte 0x5C is not taken for a separator.
    for (int cut = 0; cut < 2; ++cut) {
        char* slash = lastBackslash(text);
        if (!slash || slash == text) break;
        *slash = '\0';
    }
    copyText(dest, size, text);
}
