// The Start-menu group, the desktop link, and reading an earlier product's link.
#include <objbase.h>
#include <shlobj.h>
#include <string.h>

#include "engine/installer.h"
#include "system/com_bracket.h"
#include "ui/system_info.h"

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

bool Installer::createShortcut(const char* linkFolder, const char* workingDir, const char* targetName,
                               const char* linkName)
{
    char target[PathSize], linkPath[PathSize];
    WCHAR wide[MAX_PATH];
    if (!formatText(target, sizeof target, "%s\\%s", workingDir, targetName) ||
        !formatText(linkPath, sizeof linkPath, "%s\\%s.lnk", linkFolder, linkName) || !widePath(linkPath, wide))
        return false;
    ShellLinkObject object;
    if (!object.open()) return false;
    object.link->SetPath(target);
    object.link->SetWorkingDirectory(workingDir);
    object.link->SetIconLocation(nullptr, 0);
    object.link->SetHotkey(0);
    object.link->SetDescription("");
    object.link->SetShowCmd(SW_SHOW);
    return object.file->Save(wide, TRUE) == S_OK;
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
    char folder[1024];
    if (location == 0)
        getSpecialFolder(CSIDL_COMMON_STARTMENU, folder, sizeof folder);
    else if (location == 1)
        getSpecialFolder(CSIDL_COMMON_PROGRAMS, folder, sizeof folder);
    else
        return false;
    if (folder[0] == '\0') return false;
    char linkPath[1024];
    if (!formatText(linkPath, sizeof linkPath, "%s\\%s", folder, relativeLink)) return false;
    return readShortcutWorkingDir(linkPath, out, size);
}

bool Installer::createStartMenuEntries(int location)
{
    programsDir[0] = '\0';
    bool family9x = isWindows9xFamily() == 1;
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
    CreateDirectoryA(group, nullptr);
    if (!appendText(group, sizeof group, "\\") || !appendText(group, sizeof group, gameName)) return false;
    CreateDirectoryA(group, nullptr);

    char uninstallName[PathSize];
    if (!formatText(uninstallName, sizeof uninstallName, "%s アンインストール", gameName)) return false;
    if (!createShortcut(group, installDir, installFiles[0], gameName)) return false;
    if (!createShortcut(group, installDir, "readme.txt", "README")) return false;
    if (!createShortcut(group, installDir, "uninst.exe", uninstallName)) return false;

    if (MessageBoxA(messageOwner, "デスクトップにショートカットを作成しますか？", "確認", MB_YESNO) != IDYES)
        return true;
    if (family9x)
        getFolderByIdList(mainWindow, CSIDL_COMMON_DESKTOPDIRECTORY, desktopDir);
    else
        getSpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY, desktopDir, sizeof desktopDir);
    if (desktopDir[0] == '\0') return false;
    return createShortcut(desktopDir, installDir, installFiles[0], gameName);
}

static void deleteLink(const char* path, bool formatted)
{
    if (formatted) DeleteFileA(path);
}

void Installer::removeShortcuts()
{
    bool family9x = isWindows9xFamily() == 1;
    if (family9x)
        getFolderByIdList(mainWindow, CSIDL_PROGRAMS, programsDir);
    else
        getSpecialFolder(CSIDL_COMMON_PROGRAMS, programsDir, sizeof programsDir);

    char path[PathSize];
    if (programsDir[0] != '\0') {
        deleteLink(path,
                   formatText(path, sizeof path, "%s\\%s\\%s\\%s.lnk", programsDir, publisherName, gameName, gameName));
        deleteLink(path,
                   formatText(path, sizeof path, "%s\\%s\\%s\\%s.lnk", programsDir, publisherName, gameName, "README"));
        deleteLink(path, formatText(path, sizeof path, "%s\\%s\\%s\\%s %s.lnk", programsDir, publisherName, gameName,
                                    gameName, "アンインストール"));
    }
    if (family9x) {
        getFolderByIdList(mainWindow, CSIDL_COMMON_DESKTOPDIRECTORY, desktopDir);
        if (desktopDir[0] != '\0') deleteLink(path, formatText(path, sizeof path, "%s\\%s.lnk", desktopDir, gameName));
    } else {
        getSpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY, desktopDir, sizeof desktopDir);
        if (desktopDir[0] != '\0') deleteLink(path, formatText(path, sizeof path, "%s\\%s.lnk", desktopDir, gameName));
        getSpecialFolder(CSIDL_DESKTOP, desktopDir, sizeof desktopDir);
        if (desktopDir[0] != '\0') deleteLink(path, formatText(path, sizeof path, "%s\\%s.lnk", desktopDir, gameName));
    }
    if (programsDir[0] != '\0') {
        if (formatText(path, sizeof path, "%s\\%s\\%s", programsDir, publisherName, gameName)) RemoveDirectoryA(path);
        if (formatText(path, sizeof path, "%s\\%s", programsDir, publisherName)) RemoveDirectoryA(path);
    }
}
