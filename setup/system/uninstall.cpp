// Removal of an installation: save data on request, product files, folders, links and record.
#include <shlobj.h>
#include <string.h>

#include "config/kit_names.h"
#include "config/product_config.h"
#include "platform/display_text.h"
#include "engine/files_in_use.h"
#include "engine/installer.h"
#include "system/uninstall_entry.h"
#include "engine/product_folders.h"
#include "engine/update_repair.h"
#include "platform/access_list.h"
#include "system/pending_removal.h"
#include "platform/run_log.h"
#include "platform/system_library.h"
#include "engine/unattended.h"

// Files only: a folder, or a link to one, of that name is not the kit's to delete. A link to a file
// is deleted as a link, and its target's attributes are never touched.
BOOL Installer::deleteFileIfPresent(const char* path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    FindClose(search);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);  // the delete says whether it helped
    return DeleteFileA(path);
}

// The save files are numbered from 0 to LastSaveNumber.
enum { LastSaveNumber = 999 };
// A numbered pattern's format is formed in a buffer of this size.
enum { PatternSize = 64 };

// Deletes base\pattern for the numbers 0 to LastSaveNumber; the pattern holds one number conversion.
static void deleteNumbered(Installer& in, const char* base, const char* pattern)
{
    char format[PatternSize];
    if (!formatText(format, sizeof format, "%%s%s", pattern)) return;
    for (int n = 0; n <= LastSaveNumber; ++n) {
        char path[LongPathSize];
        if (formatText(path, sizeof path, format, base, n)) in.deleteFileIfPresent(path);
    }
}

static void removeFolder(const char* format, const char* a, const char* b, const char* c = nullptr)
{
    char path[LongPathSize];
    if (formatText(path, sizeof path, format, a, b, c)) RemoveDirectoryA(path);
}

static void deleteSaveData(Installer& in)
{
    char appData[LongPathSize];
    getSpecialFolder(CSIDL_APPDATA, appData, sizeof appData);
    char base[LongPathSize];
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
    // A save folder a player made a link is never followed: what it points at is not the game's.
    if (isLink(base)) {
        logLine("save folder is a link, not followed: %s", base);
        return;
    }
    deleteNumbered(in, base, "\\savedata.%03d");
    deleteNumbered(in, base, "\\savedata%03d.bmp");
    char screenshots[LongPathSize];
    if (formatText(screenshots, sizeof screenshots, "%s\\ss", base) && !isLink(screenshots))
        deleteNumbered(in, base, "\\ss\\SS_%03d.bmp");
    removeFolder("%s\\%s\\%s", in.installDir, SaveFolderName, "ss");
    removeFolder("%s\\%s", in.installDir, SaveFolderName);
    deleteNumbered(in, base, "\\save%05d.sd");
    static const char* const fixed[] = {"save10001.sd", "gsd.sd", "kidoku.sd", "seld.sd"};
    for (const char* name : fixed) {
        char path[LongPathSize];
        if (formatText(path, sizeof path, "%s\\%s\\%s", in.installDir, SaveFolderName, name))
            in.deleteFileIfPresent(path);
    }
    removeFolder("%s\\%s", in.installDir, SaveFolderName);
}

bool Installer::removeInstalledFiles(const char* folder)
{
    forEachProductFile(productFiles(), folder, [&](const char*, const char* path) {
        deleteFileIfPresent(path);  // failures are the restart removal's to find
        return true;
    });
    return true;
}

bool Installer::removeInstallFolders(uint8_t leaveFolder)
{
    if (leaveFolder) {
        char own[PathSize];
        if (moduleFolder(own, sizeof own) && appendText(own, sizeof own, "\\")) SetCurrentDirectoryA(own);
    }
    removeProductFolders(installDir, folderName);
    return true;
}

// A removal that leaves the game installed and listed, to be removed again.
static Outcome removalFailed(HWND owner)
{
    showMessage(
        owner,
        "アンインストールが正常に行われませんでした。\n一部のファイルを削除できませんでした。\nもう一度アンインストールを行ってください。",
        "確認", MB_ICONWARNING);
    return Outcome::Failed;
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
    if (installDir[0] != '\0' && installFolderLinked(installDir)) return removalFailed(messageOwner);
    Outcome free = waitUntilFilesFree(productFiles(), installDir, nullptr, messageOwner);
    if (free != Outcome::Done) return free;
    // An update ended half-way is made whole first: its kept old files are what the game was.
    if (repairInterruptedUpdate(*this) != Outcome::Done) return Outcome::Failed;
    // Unasked, the player's save data stay unless the removal was told to take them.
    if (showMessageAnswering(messageOwner, "セーブデータを削除してもよろしいですか？", "確認",
                             MB_ICONQUESTION | MB_YESNO, switches.deleteSave ? IDYES : IDNO) == IDYES)
        deleteSaveData(*this);
    // An empty installation folder would turn the names into paths at the root of the current drive.
    RestartRemoval left = RestartRemoval::None;
    if (installDir[0] != '\0') {
        removeInstalledFiles(installDir);
        removeTemporaryNames(*this);
        left = removeLeftoversAtRestart(productFiles(), installDir);
    }
    // A file that stays for good leaves the game installed and listed, to be removed again.
    if (left == RestartRemoval::NotScheduled) return removalFailed(messageOwner);
    bool restart = left == RestartRemoval::Scheduled;
    removeInstallFolders(leaveFolder);
    if (restart) removeFoldersAtRestart(installDir, folderName);
    removeShortcuts();
    // The entry in the list of installed programs goes only once the record is gone: a record that
    // cannot be deleted leaves the game installed, and listed.
    if (deleteRecord) {
        if (!deleteRegistryKey(productConfig.installRecordKey)) return Outcome::Failed;
        deleteUninstallEntry(*this);
    }
    showMessage(messageOwner,
                restart ? "アンインストールが完了しました。\n一部のファイルは再起動後に削除されます。"
                        : "アンインストールが完了しました。",
                "終了", MB_ICONWARNING);
    installed = GameNotInstalled;
    return restart ? Outcome::DoneAtRestart : Outcome::Done;
}
