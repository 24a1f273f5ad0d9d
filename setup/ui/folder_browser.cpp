#include "ui/folder_browser.h"
#include "ui/system_info.h"
#include "platform/display_text.h"
#include "platform/system_library.h"

#include <shlobj.h>
#include <string.h>

#include "platform/text.h"

void FolderBrowser::init(HINSTANCE inst, HWND ownerWindow)
{
    instance = inst;
    owner = ownerWindow;
}

static int CALLBACK browseCallback(HWND dialog, UINT message, LPARAM, LPARAM data)
{
    switch (message) {
    case BFFM_INITIALIZED: SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, data); return 0;
    case BFFM_VALIDATEFAILEDA:
    case BFFM_VALIDATEFAILEDW: showMessage(dialog, "不正なフォルダです", "Error", MB_OK); return 1;
    default: return 0;
    }
}

// The dialog of the W-function shows its title right on any code page; the chosen folder is read as
// a path of the system's code page either way, as every file operation takes it.
static LPITEMIDLIST browseForFolder(BROWSEINFOA& info)
{
    typedef LPITEMIDLIST(WINAPI * BrowseWFn)(BROWSEINFOW*);
    BrowseWFn browseW = (BrowseWFn)(void*)loadedFunction("shell32.dll", "SHBrowseForFolderW");
    if (!wideDisplay() || !browseW) return SHBrowseForFolderA(&info);
    WCHAR title[NameSize], displayName[MAX_PATH] = L"";
    toDisplayText(info.lpszTitle, title, NameSize);
    BROWSEINFOW wide = {};
    wide.hwndOwner = info.hwndOwner;
    wide.pidlRoot = info.pidlRoot;
    wide.pszDisplayName = displayName;
    wide.lpszTitle = title;
    wide.ulFlags = info.ulFlags;
    wide.lpfn = info.lpfn;
    wide.lParam = info.lParam;
    return browseW(&wide);
}

int FolderBrowser::browse(char* path, size_t size, int style, bool appendBackslash)
{
    // The shell writes the display name into its own buffer, so the caller's path is only
    // replaced when a folder was really chosen.
    char displayName[MAX_PATH] = "";
    BROWSEINFOA info = {};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = "フォルダを選択してください";
    switch (style) {
    case 0: info.ulFlags = BIF_VALIDATE; break;
    case 1: info.ulFlags = BIF_VALIDATE | BIF_EDITBOX; break;
    case 2: info.ulFlags = BIF_VALIDATE | BIF_EDITBOX | BIF_STATUSTEXT; break;
    default: info.ulFlags = 0; break;
    }
    info.lpfn = browseCallback;
    info.lParam = (LPARAM)path;

    LPITEMIDLIST item = browseForFolder(info);
    if (!item) return 0;
    IMalloc* allocator = nullptr;
    if (SHGetMalloc(&allocator) == E_FAIL || !allocator) {
        showMessage(owner, "SHGetMalloc Error", "Error", MB_OK);
        return 0;
    }
    char chosen[LongPathSize] = "";
    if (!SHGetPathFromIDListA(item, chosen)) chosen[0] = '\0';
    if (appendBackslash && !endsWithBackslash(chosen)) appendText(chosen, sizeof chosen, "\\");
    int result = 0;
    // A virtual folder without a file-system path, or a path too long for the caller, is not taken.
    if (chosen[0] != '\0' && strlen(chosen) < size) {
        copyText(path, size, chosen);
        result = 1;
    }
    allocator->Free(item);
    allocator->Release();
    return result;
}

bool windowsFolderRefused(const char* base)
{
    return osKind >= 1 && osKind <= 4 && (strstr(base, "WINDOWS") || strstr(base, "Windows"));
}
