// Restart removals of an installation: what a removal leaves to the next restart, and what an
// installation after it takes back. The restart must not delete what the new installation placed
// under the same names: its pending deletions of those paths are taken back, on the NT family from
// the session manager's PendingFileRenameOperations, on 95/98/Me from the [Rename] section of
// WININIT.INI.
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <vector>

#include "system/pending_removal.h"

#include "config/kit_names.h"
#include "state/installer.h"
#include "state/installation_folders.h"
#include "platform/run_log.h"
#include "platform/system_library.h"
#include "platform/restart_removal.h"

namespace {

const WCHAR SessionManagerW[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";

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
        placed = samePath(file, path);
        return !placed;
    });
    char folder[PathSize];
    if (placed || samePath(path, in.installDir)) return true;
    if (formatText(folder, sizeof folder, "%s\\%s", in.installDir, SaveFolderName) && samePath(path, folder))
        return true;
    return publisherFolderOf(in.installDir, in.folderName, folder, sizeof folder) && samePath(path, folder);
}

// A path of the restart list, in UTF-16, as the system code page's text; false for one that has a
// character the code page lacks, which no path of the installation has.
bool systemPath(const WCHAR* wide, char* out, size_t size)
{
    BOOL lossy = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, out, (int)size, nullptr, &lossy);
    return n > 0 && !lossy;
}

typedef LONG(WINAPI* RegOpenKeyExWFn)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
typedef LONG(WINAPI* RegQueryValueExWFn)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
typedef LONG(WINAPI* RegSetValueExWFn)(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD);
typedef LONG(WINAPI* RegDeleteValueWFn)(HKEY, LPCWSTR);
const WCHAR PendingValue[] = L"PendingFileRenameOperations";

// The list as it stands, in bytes (empty where there is none); false when it cannot be read.
bool readPending(HKEY key, std::vector<WCHAR>& names)
{
    RegQueryValueExWFn query = (RegQueryValueExWFn)(void*)loadedFunction("advapi32.dll", "RegQueryValueExW");
    DWORD type = 0, size = 0;
    names.clear();
    LONG status = query ? query(key, PendingValue, nullptr, &type, nullptr, &size) : ERROR_CALL_NOT_IMPLEMENTED;
    if (status == ERROR_FILE_NOT_FOUND) return true;
    if (status != ERROR_SUCCESS || type != REG_MULTI_SZ) return false;
    // Two more terminators than it says: a list that lacks its own is still walked to its end.
    names.assign(size / sizeof(WCHAR) + 2, L'\0');
    status = query(key, PendingValue, nullptr, &type, (BYTE*)names.data(), &size);
    names.resize(size / sizeof(WCHAR) + 2);
    return status == ERROR_SUCCESS && type == REG_MULTI_SZ;
}

// The pairs of the list but those that delete a path of the installation, every other string as it
// was; dropped counts those taken out.
std::vector<WCHAR> keptPairs(const Installation& in, const std::vector<WCHAR>& names, int& dropped)
{
    std::vector<WCHAR> kept;
    dropped = 0;
    if (names.size() < 2) return kept;  // no list
    const WCHAR* end = names.data() + names.size() - 2;
    for (const WCHAR* source = names.data(); source < end && *source;) {
        const WCHAR* target = source + wcslen(source) + 1;
        const WCHAR* next = target < end ? target + wcslen(target) + 1 : end;
        const WCHAR* path =
            source[0] == L'\\' && source[1] == L'?' && source[2] == L'?' && source[3] == L'\\' ? source + 4 : source;
        char narrow[PathSize];
        if (target < end && *target == L'\0' && systemPath(path, narrow, sizeof narrow) &&
            placedByInstallation(in, narrow)) {
            logLine("restart removal taken back: %s", narrow);
            ++dropped;
        } else {
            kept.insert(kept.end(), source, next);
        }
        source = next;
    }
    return kept;
}

enum { PendingTries = 3 };

// The NT family: pairs of names, the source ("\??\" and its path) and the target, empty for a
// deletion. The pairs that delete a path of the installation go; every other string stays as it was,
// in UTF-16 as the list keeps it. The list is read again right before it is written, and written only
// when nobody changed it meanwhile. A list that cannot be read is left alone (false, logged).
bool dropFromSessionManager(const Installation& in)
{
    RegOpenKeyExWFn open = (RegOpenKeyExWFn)(void*)loadedFunction("advapi32.dll", "RegOpenKeyExW");
    RegSetValueExWFn set = (RegSetValueExWFn)(void*)loadedFunction("advapi32.dll", "RegSetValueExW");
    RegDeleteValueWFn remove = (RegDeleteValueWFn)(void*)loadedFunction("advapi32.dll", "RegDeleteValueW");
    HKEY key;
    LONG status = open && set && remove
                      ? open(HKEY_LOCAL_MACHINE, SessionManagerW, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key)
                      : ERROR_CALL_NOT_IMPLEMENTED;
    if (status == ERROR_FILE_NOT_FOUND) return true;  // no key, nothing pending
    if (status != ERROR_SUCCESS) {
        logLine("restart removals not read (error %ld)", (long)status);
        return false;
    }
    bool ok = false;
    std::vector<WCHAR> names, again;
    for (int attempt = 0; attempt < PendingTries && !ok; ++attempt) {
        int dropped = 0;
        if (!readPending(key, names)) break;
        std::vector<WCHAR> kept = keptPairs(in, names, dropped);
        if (dropped == 0) {
            ok = true;
            break;
        }
        if (!readPending(key, again) || again != names) continue;  // changed meanwhile: read it again
        kept.push_back(L'\0');
        DWORD bytes = (DWORD)kept.size() * (DWORD)sizeof(WCHAR);
        ok = kept.size() == 1
                 ? remove(key, PendingValue) == ERROR_SUCCESS
                 : set(key, PendingValue, 0, REG_MULTI_SZ, (const BYTE*)kept.data(), bytes) == ERROR_SUCCESS;
        if (!ok) break;
    }
    if (!ok) logLine("restart removals not read or not rewritten");
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

RestartRemoval removeLeftoversAtRestart(const ProductFiles& files, const char* installDir, const char* heldName)
{
    RestartRemoval result = RestartRemoval::None;
    forEachProductFile(files, installDir, [&](const char* name, const char* path) {
        if ((heldName && _stricmp(name, heldName) == 0) || !Installer::pathExists(path)) return true;
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
