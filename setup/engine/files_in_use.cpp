// Installed files another program holds open (the game, the settings tool), found before an
// update, a removal or an installation over the folder changes any of them. Other programs are
// never closed: the player is asked to end them, or an unattended run fails with nothing changed.
#include <windows.h>

#include <restartmanager.h>
#include <string.h>

#include "config/kit_names.h"
#include "platform/display_text.h"
#include "engine/files_in_use.h"
#include "state/installer.h"
#include "platform/run_log.h"
#include "platform/system_library.h"

enum { MaxHeldFiles = 16, MaxHolders = 16 };

bool fileInUse(const char* path)
{
    // Opened for writing and deletion without sharing, a file another program has open, or a
    // program that runs, gives a sharing violation on every Windows. 95/98/Me know no delete access.
    DWORD access = ntFamily() ? GENERIC_WRITE | DELETE : GENERIC_WRITE;
    HANDLE file = CreateFileA(path, access, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return false;
    }
    DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// The names of the programs that hold the files, separated by "、", in code page 932 (empty when
// the Restart Manager is missing, before Vista, or names none).
static void holdingPrograms(char paths[][PathSize], int count, char* out, size_t size)
{
    out[0] = '\0';
    typedef DWORD(WINAPI * StartFn)(DWORD*, DWORD, WCHAR*);
    typedef DWORD(WINAPI * RegisterFn)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT, LPCWSTR*);
    typedef DWORD(WINAPI * ListFn)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, LPDWORD);
    typedef DWORD(WINAPI * EndFn)(DWORD);
    StartFn start = (StartFn)(void*)systemFunction("rstrtmgr.dll", "RmStartSession");
    RegisterFn registerFiles = (RegisterFn)(void*)systemFunction("rstrtmgr.dll", "RmRegisterResources");
    ListFn list = (ListFn)(void*)systemFunction("rstrtmgr.dll", "RmGetList");
    EndFn end = (EndFn)(void*)systemFunction("rstrtmgr.dll", "RmEndSession");
    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    if (!start || !registerFiles || !list || !end || start(&session, 0, key) != ERROR_SUCCESS) return;
    static WCHAR wide[MaxHeldFiles][PathSize];
    LPCWSTR names[MaxHeldFiles];
    for (int i = 0; i < count; ++i) {
        if (!MultiByteToWideChar(CP_ACP, 0, paths[i], -1, wide[i], PathSize)) wide[i][0] = L'\0';
        names[i] = wide[i];
    }
    static RM_PROCESS_INFO holders[MaxHolders];
    UINT needed = 0, found = MaxHolders;
    DWORD reasons = 0;
    if (registerFiles(session, (UINT)count, names, 0, nullptr, 0, nullptr) == ERROR_SUCCESS &&
        list(session, &needed, &found, holders, &reasons) == ERROR_SUCCESS) {
        // Only the entries the call says it filled.
        for (UINT i = 0; i < found && i < needed && i < MaxHolders; ++i) {
            char name[NameSize * 2];
            if (WideCharToMultiByte(ProgramCodePage, 0, holders[i].strAppName, -1, name, sizeof name, nullptr,
                                    nullptr) <= 1)
                continue;
            if (out[0] != '\0' && !appendText(out, size, "、")) break;
            if (!appendText(out, size, name)) break;
        }
    }
    end(session);
}

// Every product file in folder (only the names sourceFolder holds, when it is given) that is in
// use, up to MaxHeldFiles; each is logged.
static int findFilesInUse(const ProductFiles& files, const char* folder, const char* sourceFolder,
                          const char* notCounted, char held[][PathSize])
{
    int count = 0;
    char self[PathSize] = "";
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    if (n == 0 || n >= sizeof self) self[0] = '\0';
    forEachProductFile(files, folder, [&](const char* name, const char* path) {
        char source[PathSize];
        // The uninstaller's temporary copy does not count the uninstaller that started it, which
        // has ended or waits for it, and the uninstaller removing directly does not count itself:
        // such a file, or one held for another reason, is removed at restart.
        if (notCounted && _stricmp(name, notCounted) == 0) return true;
        if (_stricmp(path, self) == 0) return true;
        if (sourceFolder &&
            (!formatText(source, sizeof source, "%s\\%s", sourceFolder, name) || !Installer::pathExists(source)))
            return true;
        if (!fileInUse(path)) return true;
        logLine("in use: %s", path);
        copyText(held[count++], PathSize, path);
        return count < MaxHeldFiles;
    });
    return count;
}

Outcome waitUntilFilesFree(const ProductFiles& files, const char* folder, const char* sourceFolder,
                           const FilesInUseAsker& asker)
{
    if (folder[0] == '\0') return Outcome::Done;
    static char held[MaxHeldFiles][PathSize];
    for (;;) {
        int count = findFilesInUse(files, folder, sourceFolder, asker.notCounted, held);
        if (count == 0) return Outcome::Done;
        char programs[MessageSize], text[MessageSize], line[MessageSize];
        holdingPrograms(held, count, programs, sizeof programs);
        formatWithPaths(text, sizeof text,
                        "%s は使用中です。\nゲームや設定ツールを終了してから［再試行］を押してください。", held[0]);
        // The message, with the programs, goes to the log of an unattended run.
        if (programs[0] != '\0' && formatText(line, sizeof line, "\n使用中のプログラム: %s", programs))
            appendText(text, sizeof text, line);
        if (showMessageAnswering(asker.owner, text, "確認", MB_ICONWARNING | MB_RETRYCANCEL, IDCANCEL) != IDRETRY)
            return asker.unattended ? Outcome::Failed : Outcome::Declined;
    }
}
