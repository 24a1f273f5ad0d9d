// An installation after a removal that left files to the next restart: the restart must not delete
// what the new installation placed under the same names. Its pending deletions of those paths are
// taken back: on the NT family from the session manager's PendingFileRenameOperations, on 95/98/Me
// from the [Rename] section of WININIT.INI.
#include <stdlib.h>
#include <string.h>

#include "config/kit_names.h"
#include "engine/installer.h"
#include "platform/run_log.h"
#include "platform/system_library.h"

namespace {

const char* const SessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

// True when path is one that the installation in installDir placed: a product file, the installation
// folder, its save folder, or the publisher folder above it.
bool placedByInstallation(const Installer& in, const char* path)
{
    bool placed = false;
    in.forEachProductFile(in.installDir, [&](const char*, const char* file) {
        placed = _stricmp(file, path) == 0;
        return !placed;
    });
    char folder[PathSize];
    if (placed || _stricmp(path, in.installDir) == 0) return true;
    if (formatText(folder, sizeof folder, "%s\\%s", in.installDir, SaveFolderName) && _stricmp(path, folder) == 0)
        return true;
    return in.publisherFolder(folder) && _stricmp(path, folder) == 0;
}

// The NT family: pairs of names, the source ("\??\" and its path) and the target, empty for a
// deletion. The pairs that delete a path of the installation go; the rest stay as they were.
bool dropFromSessionManager(const Installer& in)
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
bool dropFromWininit(const Installer& in)
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

bool Installer::dropPendingRemovals()
{
    bool ok = ntFamily() ? dropFromSessionManager(*this) : dropFromWininit(*this);
    if (!ok) logLine("pending restart removals not checked");
    return ok;
}
