// The Start-menu group, the desktop link, and reading an earlier product's link.
#include <objbase.h>
#include <shlobj.h>
#include <string.h>

#include "config/kit_names.h"
#include "state/installer.h"
#include "platform/display_text.h"
#include "platform/system_library.h"
#include "system/com_bracket.h"
#include "platform/run_log.h"
#include "system/shortcuts.h"

bool getSpecialFolder(int csidl, char* out, size_t size)
{
    char work[PathSize] = "";
    memset(out, 0, size);
    BOOL ok = SHGetSpecialFolderPathA(nullptr, work, csidl, FALSE);
    if (ok && !copyText(out, size, work)) ok = FALSE;
    return ok != FALSE;
}

// The 95/98/Me family finds these folders through an identifier list.
static bool getFolderByIdList(HWND owner, int csidl, char* out)
{
    out[0] = '\0';
    LPITEMIDLIST list = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(owner, csidl, &list)) || !list) return false;
    BOOL ok = SHGetPathFromIDListA(list, out);
    CoTaskMemFree(list);
    return ok != FALSE;
}

// Holds a link object and its persistence interface for one link operation.
struct ShellLinkObject {
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    bool comStarted = false;

    bool open()
    {
        if (comStartFailed(CoInitialize(nullptr))) return false;
        comStarted = true;
        if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link)))
            return false;
        return SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file));
    }
    ~ShellLinkObject()
    {
        if (link) link->Release();
        if (file) file->Release();
        if (comStarted) CoUninitialize();
    }
};

static bool widePath(const char* path, WCHAR* wide)
{
    int n = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, path, -1, wide, MAX_PATH);
    return n > 0;
}

// A name the user sees in the shell: a system folder (base, in the system's code page, as the shell
// gave it) followed by the product's names (code page 932). Where texts are shown through the
// W-functions the names are converted from 932, so the group and links read right; elsewhere, and
// for a path outside base, the bytes are taken as they are, as the A-functions would.
static bool shellName(const char* path, const char* base, WCHAR* wide)
{
    size_t n = strlen(base);
    bool programNames = wideDisplay() && n > 0 && strncmp(path, base, n) == 0 && path[n] == '\\';
    if (!programNames) return widePath(path, wide);
    int done = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, path, (int)n, wide, MAX_PATH);
    return done > 0 && done < MAX_PATH &&
           MultiByteToWideChar(ProgramCodePage, 0, path + n, -1, wide + done, MAX_PATH - done) > 0;
}

// Folders and files of the shell by those names: the W-functions on the wide path, where they exist.
typedef BOOL(WINAPI* WidePathFn)(LPCWSTR);
static BOOL callWide(const char* function, const char* path, const char* base)
{
    WidePathFn call = (WidePathFn)(void*)loadedFunction("kernel32.dll", function);
    WCHAR wide[MAX_PATH];
    return call && shellName(path, base, wide) && call(wide);
}

static void makeShellFolder(const char* path, const char* base)
{
    typedef BOOL(WINAPI * CreateDirectoryWFn)(LPCWSTR, LPSECURITY_ATTRIBUTES);
    CreateDirectoryWFn createW = (CreateDirectoryWFn)(void*)loadedFunction("kernel32.dll", "CreateDirectoryW");
    WCHAR wide[MAX_PATH];
    if (wideDisplay() && createW && shellName(path, base, wide))
        createW(wide, nullptr);
    else
        CreateDirectoryA(path, nullptr);
}

// An installation made through the A-functions on such a system has its names in the system's code
// page: those go as well.
static void removeShellEntry(const char* path, const char* base, bool folder)
{
    if (wideDisplay()) callWide(folder ? "RemoveDirectoryW" : "DeleteFileW", path, base);
    if (folder)
        RemoveDirectoryA(path);
    else
        DeleteFileA(path);
}

bool Installer::createShortcut(const char* linkFolder, const char* workingDir, const char* targetName,
                               const char* linkName)
{
    char target[PathSize], linkPath[PathSize];
    WCHAR wide[MAX_PATH];
    const char* base = strncmp(linkFolder, programsDir, strlen(programsDir)) == 0 ? programsDir : desktopDir;
    if (!formatText(target, sizeof target, "%s\\%s", workingDir, targetName) ||
        !formatText(linkPath, sizeof linkPath, "%s\\%s.lnk", linkFolder, linkName) || !shellName(linkPath, base, wide))
        return false;
    ShellLinkObject object;
    if (!object.open()) return false;
    object.link->SetPath(target);
    object.link->SetWorkingDirectory(workingDir);
    object.link->SetIconLocation(nullptr, 0);
    object.link->SetHotkey(0);
    object.link->SetDescription("");
    object.link->SetShowCmd(SW_SHOW);
    bool saved = object.file->Save(wide, TRUE) == S_OK;
    if (saved) logLine("link %s -> %s", linkPath, target);
    return saved;
}

bool Installer::readShortcutWorkingDir(const char* linkPath, char* out, int size)
{
    WCHAR wide[MAX_PATH];
    if (!widePath(linkPath, wide)) return false;
    ShellLinkObject object;
    if (!object.open()) return false;
    if (object.file->Load(wide, STGM_READ) != S_OK) return false;
    object.link->GetWorkingDirectory(out, size);
    return true;
}

bool Installer::readStartMenuShortcutDir(int location, const char* relativeLink, char* out, int size)
{
    char folder[LongPathSize];
    if (location == 0)
        getSpecialFolder(CSIDL_COMMON_STARTMENU, folder, sizeof folder);
    else if (location == 1)
        getSpecialFolder(CSIDL_COMMON_PROGRAMS, folder, sizeof folder);
    else
        return false;
    if (folder[0] == '\0') return false;
    char linkPath[LongPathSize];
    if (!formatText(linkPath, sizeof linkPath, "%s\\%s", folder, relativeLink)) return false;
    return readShortcutWorkingDir(linkPath, out, size);
}

bool Installer::createStartMenuEntries(int location, int unattendedDesktopAnswer)
{
    programsDir[0] = '\0';
    bool family9x = !ntFamily();
    if (location == 0) {
        if (family9x)
            getFolderByIdList(mainWindow, CSIDL_STARTMENU, programsDir);
        else
            getSpecialFolder(CSIDL_COMMON_STARTMENU, programsDir, sizeof programsDir);
    } else if (location == 1) {
        if (family9x)
            getFolderByIdList(mainWindow, CSIDL_PROGRAMS, programsDir);
        else
            getSpecialFolder(CSIDL_COMMON_PROGRAMS, programsDir, sizeof programsDir);
    } else {
        return false;
    }
    // Without the programs folder the group would land in the current folder: stop here.
    if (programsDir[0] == '\0') return false;
    char group[PathSize];
    if (!formatText(group, sizeof group, "%s\\%s", programsDir, publisherName)) return false;
    makeShellFolder(group, programsDir);
    if (!appendText(group, sizeof group, "\\") || !appendText(group, sizeof group, gameName)) return false;
    makeShellFolder(group, programsDir);

    char uninstallName[PathSize];
    if (!formatText(uninstallName, sizeof uninstallName, "%s アンインストール", gameName)) return false;
    if (!createShortcut(group, installDir, installFiles[0], gameName)) return false;
    if (!createShortcut(group, installDir, "readme.txt", "README")) return false;
    if (!createShortcut(group, installDir, UninstallerName, uninstallName)) return false;

    if (showMessageAnswering(messageOwner, "デスクトップにショートカットを作成しますか？", "確認", MB_YESNO,
                             unattendedDesktopAnswer) != IDYES)
        return true;
    if (family9x)
        getFolderByIdList(mainWindow, CSIDL_COMMON_DESKTOPDIRECTORY, desktopDir);
    else
        getSpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY, desktopDir, sizeof desktopDir);
    if (desktopDir[0] == '\0') return false;
    return createShortcut(desktopDir, installDir, installFiles[0], gameName);
}

static void deleteLink(const char* path, bool formatted, const char* base)
{
    if (formatted) removeShellEntry(path, base, false);
}

void Installer::removeShortcuts()
{
    bool family9x = !ntFamily();
    if (family9x)
        getFolderByIdList(mainWindow, CSIDL_PROGRAMS, programsDir);
    else
        getSpecialFolder(CSIDL_COMMON_PROGRAMS, programsDir, sizeof programsDir);

    char path[PathSize];
    if (programsDir[0] != '\0') {
        deleteLink(path,
                   formatText(path, sizeof path, "%s\\%s\\%s\\%s.lnk", programsDir, publisherName, gameName, gameName),
                   programsDir);
        deleteLink(path,
                   formatText(path, sizeof path, "%s\\%s\\%s\\%s.lnk", programsDir, publisherName, gameName, "README"),
                   programsDir);
        deleteLink(path,
                   formatText(path, sizeof path, "%s\\%s\\%s\\%s %s.lnk", programsDir, publisherName, gameName,
                              gameName, "アンインストール"),
                   programsDir);
    }
    if (family9x) {
        getFolderByIdList(mainWindow, CSIDL_COMMON_DESKTOPDIRECTORY, desktopDir);
        if (desktopDir[0] != '\0')
            deleteLink(path, formatText(path, sizeof path, "%s\\%s.lnk", desktopDir, gameName), desktopDir);
    } else {
        getSpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY, desktopDir, sizeof desktopDir);
        if (desktopDir[0] != '\0')
            deleteLink(path, formatText(path, sizeof path, "%s\\%s.lnk", desktopDir, gameName), desktopDir);
        getSpecialFolder(CSIDL_DESKTOP, desktopDir, sizeof desktopDir);
        if (desktopDir[0] != '\0')
            deleteLink(path, formatText(path, sizeof path, "%s\\%s.lnk", desktopDir, gameName), desktopDir);
    }
    if (programsDir[0] != '\0') {
        if (formatText(path, sizeof path, "%s\\%s\\%s", programsDir, publisherName, gameName))
            removeShellEntry(path, programsDir, true);
        if (formatText(path, sizeof path, "%s\\%s", programsDir, publisherName))
            removeShellEntry(path, programsDir, true);
    }
}
