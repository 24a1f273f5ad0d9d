// Restart removals of an installation: what a removal leaves to the next restart, and what an
// installation after it takes back. The restart must not delete what the new installation placed
// under the same names: its pending deletions of those paths are taken back, on the NT family from
// the session manager's PendingFileRenameOperations, on 95/98/Me from the [Rename] section of
// WININIT.INI.
#include <stdlib.h>
#include <string.h>

#include "system/pending_removal.h"

#include "config/kit_names.h"
#include "engine/installer.h"
#include "engine/product_folders.h"
#include "engine/unattended.h"
#include "platform/run_log.h"
#include "platform/system_library.h"
#include "system/restart_removal.h"

namespace {

const char* const SessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

// The installation whose paths are taken back: its files, its folder and the folder's name.
struct Installation {
    const ProductFiles& files;
    const char* installDir;
    const char* folderName;
};

// True when path is one that the installation placed: a product file, the installation folder, its
// save folder, or the publisher folder above it.
bool placedByInstallation(const Installation& in, const char* path)
{
    bool placed = false;
    forEachProductFile(in.files, in.installDir, [&](const char*, const char* file) {
        placed = _stricmp(file, path) == 0;
        return !placed;
    });
    char folder[PathSize];
    if (placed || _stricmp(path, in.installDir) == 0) return true;
    if (formatText(folder, sizeof folder, "%s\\%s", in.installDir, SaveFolderName) && _stricmp(path, folder) == 0)
        return true;
    return publisherFolderOf(in.installDir, in.folderName, folder, sizeof folder) && _stricmp(path, folder) == 0;
}

// The NT family: pairs of names, the source ("\??\" and its path) and the target, empty for a
// deletion. The pairs that delete a path of the installation go; the rest stay as they were.
bool dropFromSessionManager(const Installation& in)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SessionManager, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return true;  // no key, nothing pending
    DWORD type = 0, size = 0;
    LONG status = RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type, nullptr, &size);
    if (status != ERROR_SUCCESS || type != REG_MULTI_SZ || size == 0) {
        RegCloseKey(key);
        return true;
    }
    char* names = (char*)calloc(size + 2, 1);
    char* kept = (char*)calloc(size + 2, 1);
    bool ok =
        names && kept &&
        RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type, (BYTE*)names, &size) == ERROR_SUCCESS;
    size_t at = 0;
    int dropped = 0;
    for (char* source = names; ok && source < names + size && *source;) {
        char* target = source + strlen(source) + 1;
        char* next = target + strlen(target) + 1;
        const char* path = strncmp(source, "\\??\\", 4) == 0 ? source + 4 : source;
        if (*target == '\0' && placedByInstallation(in, path)) {
            logLine("restart removal taken back: %s", path);
            ++dropped;
        } else {
            memcpy(kept + at, source, (size_t)(next - source));
            at += (size_t)(next - source);
        }
        source = next;
    }
    if (ok && dropped > 0)
        ok = at == 0 ? RegDeleteValueA(key, "PendingFileRenameOperations") == ERROR_SUCCESS
                     : RegSetValueExA(key, "PendingFileRenameOperations", 0, REG_MULTI_SZ, (const BYTE*)kept,
                                      (DWORD)at + 1) == ERROR_SUCCESS;
    free(names);
    free(kept);
    RegCloseKey(key);
    return ok;
}

// 95/98/Me: the lines "NUL=<short path>" of a path of the installation go from [Rename].
bool dropFromWininit(const Installation& in)
{
    char windows[PathSize], iniPath[PathSize];
    UINT n = GetWindowsDirectoryA(windows, sizeof windows);
    if (n == 0 || n >= sizeof windows || !formatText(iniPath, sizeof iniPath, "%s\\WININIT.INI", windows)) return false;
    enum { SectionSize = 0x8000 };
    char* section = (char*)calloc(SectionSize, 1);
    char* kept = (char*)calloc(SectionSize, 1);
    bool ok = section && kept;
    DWORD got = ok ? GetPrivateProfileSectionA("Rename", section, SectionSize, iniPath) : 0;
    size_t at = 0;
    int dropped = 0;
    for (char* line = section; ok && got > 0 && *line; line += strlen(line) + 1) {
        char longPath[PathSize];
        DWORD length = _strnicmp(line, "NUL=", 4) == 0 ? GetLongPathNameA(line + 4, longPath, sizeof longPath) : 0;
        if (length > 0 && length < sizeof longPath && placedByInstallation(in, longPath)) {
            ++dropped;
            continue;
        }
        size_t size = strlen(line) + 1;
        memcpy(kept + at, line, size);
        at += size;
    }
    if (ok && dropped > 0) ok = WritePrivateProfileSectionA("Rename", kept, iniPath) != FALSE;
    free(section);
    free(kept);
    return ok;
}

}  // namespace

bool dropPendingRemovals(const ProductFiles& files, const char* installDir, const char* folderName)
{
    Installation installation = {files, installDir, folderName};
    bool ok = ntFamily() ? dropFromSessionManager(installation) : dropFromWininit(installation);
    if (!ok) logLine("pending restart removals not checked");
    return ok;
}

RestartRemoval removeLeftoversAtRestart(const ProductFiles& files, const char* installDir)
{
    RestartRemoval result = RestartRemoval::None;
    forEachProductFile(files, installDir, [&](const char* name, const char* path) {
        if (heldByWaitingUninstaller(name) || !Installer::pathExists(path)) return true;
        if (scheduleRestartDeletion(path)) {
            logLine("removed at restart: %s", path);
            if (result == RestartRemoval::None) result = RestartRemoval::Scheduled;
        } else {
            logLine("cannot be removed, not even at restart: %s (error %lu)", path, (unsigned long)GetLastError());
            result = RestartRemoval::NotScheduled;
        }
        return true;
    });
    return result;
}

void removeFoldersAtRestart(const char* installDir, const char* folderName)
{
    // WININIT.INI of the 95/98/Me family deletes files only. A folder that still holds files then
    // simply stays, and so does one that cannot be scheduled: an empty folder harms nothing.
    if (!ntFamily()) return;
    // Each is scheduled only where it is there; one that cannot be is an empty folder left behind.
    char path[PathSize];
    if (formatText(path, sizeof path, "%s\\%s", installDir, MovieFolderName) && Installer::pathExists(path))
        scheduleRestartDeletion(path);
    if (formatText(path, sizeof path, "%s\\%s", installDir, SaveFolderName) && Installer::pathExists(path))
        scheduleRestartDeletion(path);
    if (Installer::pathExists(installDir)) scheduleRestartDeletion(installDir);
    if (publisherFolderOf(installDir, folderName, path, sizeof path) && Installer::pathExists(path))
        scheduleRestartDeletion(path);
}
