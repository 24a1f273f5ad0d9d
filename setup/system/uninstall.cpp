// Removal of an installation: save data on request, product files, folders, links and record.
#include <shlobj.h>
#include <string.h>

#include "config/kit_names.h"
#include "config/product_config.h"
#include "platform/display_text.h"
#include "engine/installer.h"
#include "platform/run_log.h"
#include "platform/system_library.h"
#include "engine/unattended.h"

BOOL Installer::deleteFileIfPresent(const char* path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    FindClose(search);
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path);
}

// Deletes base\pattern for the numbers 0 to 999; the pattern holds one number conversion.
static void deleteNumbered(Installer& in, const char* base, const char* pattern)
{
    char format[64];
    if (!formatText(format, sizeof format, "%%s%s", pattern)) return;
    for (int n = 0; n <= 999; ++n) {
        char path[1024];
        if (formatText(path, sizeof path, format, base, n)) in.deleteFileIfPresent(path);
    }
}

static void removeFolder(const char* format, const char* a, const char* b, const char* c = nullptr)
{
    char path[1024];
    if (formatText(path, sizeof path, format, a, b, c)) RemoveDirectoryA(path);
}

static void deleteSaveData(Installer& in)
{
    char appData[1024];
    getSpecialFolder(CSIDL_APPDATA, appData, sizeof appData);
    char base[1024];
    // Without the AppData folder the patterns would point at the root of the current drive.
    if (appData[0] != '\0' && formatText(base, sizeof base, "%s\\%s\\%s", appData, in.publisherName, in.gameName)) {
        deleteNumbered(in, base, "\\savedata.%03d");
        deleteNumbered(in, base, "\\savedata%03d.bmp");
        deleteNumbered(in, base, "\\ss\\SS_%03d.bmp");
        removeFolder("%s\\%s\\%s\\save\\ss", appData, in.publisherName, in.gameName);
        removeFolder("%s\\%s\\%s", appData, in.publisherName, in.gameName);
        removeFolder("%s\\%s", appData, in.publisherName);
    }
    if (in.installDir[0] == '\0' || !formatText(base, sizeof base, "%s\\%s", in.installDir, SaveFolderName)) return;
    deleteNumbered(in, base, "\\savedata.%03d");
    deleteNumbered(in, base, "\\savedata%03d.bmp");
    deleteNumbered(in, base, "\\ss\\SS_%03d.bmp");
    removeFolder("%s\\%s\\%s", in.installDir, SaveFolderName, "ss");
    removeFolder("%s\\%s", in.installDir, SaveFolderName);
    deleteNumbered(in, base, "\\save%05d.sd");
    static const char* const fixed[] = {"save10001.sd", "gsd.sd", "kidoku.sd", "seld.sd"};
    for (const char* name : fixed) {
        char path[1024];
        if (formatText(path, sizeof path, "%s\\%s\\%s", in.installDir, SaveFolderName, name))
            in.deleteFileIfPresent(path);
    }
    removeFolder("%s\\%s", in.installDir, SaveFolderName);
}

bool Installer::publisherFolder(char* parent) const
{
    size_t dirLen = strlen(installDir), folderLen = strlen(folderName);
    if (dirLen <= folderLen + 1) return false;
    memcpy(parent, installDir, dirLen - folderLen - 1);
    parent[dirLen - folderLen - 1] = '\0';
    return true;
}

bool Installer::removeInstallFolders(uint8_t leaveFolder)
{
    if (leaveFolder) {
        char own[PathSize];
        if (moduleFolder(own, sizeof own) && appendText(own, sizeof own, "\\")) SetCurrentDirectoryA(own);
    }
    if (installDir[0] == '\0') return true;
    removeFolder("%s\\%s", installDir, "movie");
    // The save folder the installation made goes when it is empty: kept saves keep it.
    removeFolder("%s\\%s", installDir, SaveFolderName);
    RemoveDirectoryA(installDir);
    char parent[PathSize];
    if (publisherFolder(parent)) RemoveDirectoryA(parent);
    return true;
}

Installer::RestartRemoval Installer::removeLeftoversAtRestart()
{
    RestartRemoval result = RestartNone;
    forEachProductFile(installDir, [&](const char* name, const char* path) {
        if (heldByWaitingUninstaller(name) || !pathExists(path)) return true;
        if (scheduleDeleteAtRestart(path)) {
            logLine("removed at restart: %s", path);
            if (result == RestartNone) result = RestartScheduled;
        } else {
            logLine("cannot be removed, not even at restart: %s (error %lu)", path, (unsigned long)GetLastError());
            result = RestartNotScheduled;
        }
        return true;
    });
    return result;
}

void Installer::removeFoldersAtRestart()
{
    // WININIT.INI of the 95/98/Me family deletes files only. A folder that still holds files then
    // simply stays, and so does one that cannot be scheduled: an empty folder harms nothing.
    if (!ntFamily()) return;
    char path[PathSize];
    if (formatText(path, sizeof path, "%s\\movie", installDir) && pathExists(path)) scheduleDeleteAtRestart(path);
    if (formatText(path, sizeof path, "%s\\%s", installDir, SaveFolderName) && pathExists(path))
        scheduleDeleteAtRestart(path);
    if (pathExists(installDir)) scheduleDeleteAtRestart(installDir);
    if (publisherFolder(path) && pathExists(path)) scheduleDeleteAtRestart(path);
}

bool Installer::uninstall(uint8_t leaveFolder, uint8_t deleteRecord)
{
    return succeeded(removalOutcome(leaveFolder, deleteRecord));
}

Outcome Installer::removalOutcome(uint8_t leaveFolder, uint8_t deleteRecord)
{
    char text[MessageSize];
    formatText(text, sizeof text, "%s のアンインストールを開始します。\n開始してもよろしいですか？", gameName);
    if (showMessage(messageOwner, text, "確認", MB_ICONQUESTION | MB_YESNO) != IDYES) return Outcome::Declined;
    Outcome free = waitUntilFilesFree(installDir, nullptr);
    if (free != Outcome::Done) return free;
    // Unasked, the player's save data stay unless the removal was told to take them.
    if (showMessageAnswering(messageOwner, "セーブデータを削除してもよろしいですか？", "確認",
                             MB_ICONQUESTION | MB_YESNO, switches.deleteSave ? IDYES : IDNO) == IDYES)
        deleteSaveData(*this);
    // An empty installation folder would turn the names into paths at the root of the current drive.
    RestartRemoval left = RestartNone;
    if (installDir[0] != '\0') {
        removeInstalledFiles(installDir);
        left = removeLeftoversAtRestart();
    }
    // A file that stays for good leaves the game installed and listed, to be removed again.
    if (left == RestartNotScheduled) {
        showMessage(
            messageOwner,
            "アンインストールが正常に行われませんでした。\n一部のファイルを削除できませんでした。\nもう一度アンインストールを行ってください。",
            "確認", MB_ICONWARNING);
        return Outcome::Failed;
    }
    bool restart = left == RestartScheduled;
    removeInstallFolders(leaveFolder);
    if (restart) removeFoldersAtRestart();
    removeShortcuts();
    // The entry in the list of installed programs goes only once the record is gone: a record that
    // cannot be deleted leaves the game installed, and listed.
    if (deleteRecord) {
        if (!deleteRegistryKey(productConfig.installRecordKey)) return Outcome::Failed;
        deleteUninstallEntry();
    }
    showMessage(messageOwner,
                restart ? "アンインストールが完了しました。\n一部のファイルは再起動後に削除されます。"
                        : "アンインストールが完了しました。",
                "終了", MB_ICONWARNING);
    installed = GameNotInstalled;
    return restart ? Outcome::DoneAtRestart : Outcome::Done;
}
