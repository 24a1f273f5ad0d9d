// Removal of an installation: save data on request, product files, folders, links and record.
#include <shlobj.h>
#include <string.h>

#include "config/kit_names.h"
#include "config/product_config.h"
#include "platform/display_text.h"
#include "engine/files_in_use.h"
#include "engine/installation_hold.h"
#include "state/installer.h"
#include "system/uninstall_entry.h"
#include "engine/product_folders.h"
#include "engine/update_repair.h"
#include "platform/access_list.h"
#include "platform/held_folder.h"
#include "system/pending_removal.h"
#include "procedures/uninstall.h"
#include "procedures/archive_files_removal.h"
#include "platform/run_log.h"
#include "platform/system_library.h"
#include "engine/unattended.h"
#include "state/copy_state.h"
#include "platform/module_folder.h"
#include "system/shortcuts.h"

// The save files are numbered from 0 to LastSaveNumber.
enum { LastSaveNumber = 999 };

// Deletes the names of pattern (one number conversion) for the numbers 0 to LastSaveNumber inside
// the held folder; what stays is a folder, another's file or one in use, none of it the removal's.
static void deleteNumbered(const HeldFolder& folder, const char* pattern)
{
    for (int n = 0; n <= LastSaveNumber; ++n) {
        char name[PathSize];
        if (formatText(name, sizeof name, pattern, n)) deleteFileIn(folder, name);
    }
}

static void removeFolder(const char* format, const char* a, const char* b, const char* c = nullptr)
{
    char path[LongPathSize];
    if (formatText(path, sizeof path, format, a, b, c)) RemoveDirectoryA(path);
}

// The save data in base and its "ss": each folder held, unfollowed, while its files are deleted by
// name inside it, so that no link made meanwhile can send a deletion elsewhere. With removable the
// folders go through their handles where they end up empty. False when base itself is not held.
static bool deleteSavesIn(const char* base, bool removable, HeldFolder& save)
{
    Hold held = holdFolder(base, removable, save);
    if (held == Hold::Linked) logLine("save folder is a link, not followed: %s", base);
    if (held != Hold::Held) return false;
    deleteNumbered(save, "savedata.%03d");
    deleteNumbered(save, "savedata%03d.bmp");
    HeldFolder screenshots;
    held = holdSubfolder(save, "ss", removable, screenshots);
    if (held == Hold::Linked) logLine("save folder is a link, not followed: %s", screenshots.path);
    if (held == Hold::Held) {
        deleteNumbered(screenshots, "SS_%03d.bmp");
        // One that stays holds what is not the game's.
        if (removable)
            removeHeldFolder(screenshots);
        else
            releaseFolder(screenshots);
    }
    return true;
}

static void deleteSaveData(Installer& in)
{
    char appData[LongPathSize];
    getSpecialFolder(CSIDL_APPDATA, appData, sizeof appData);
    char base[LongPathSize];
    HeldFolder save;
    // Without the AppData folder the patterns would point at the root of the current drive.
    if (appData[0] != '\0' && formatText(base, sizeof base, "%s\\%s\\%s", appData, in.publisherName, in.gameName)) {
        if (deleteSavesIn(base, false, save)) releaseFolder(save);
        removeFolder("%s\\%s\\%s\\save\\ss", appData, in.publisherName, in.gameName);
        removeFolder("%s\\%s\\%s", appData, in.publisherName, in.gameName);
        removeFolder("%s\\%s", appData, in.publisherName);
    }
    // A save folder a player made a link is never followed: what it points at is not the game's.
    if (in.installDir[0] == '\0' || !formatText(base, sizeof base, "%s\\%s", in.installDir, SaveFolderName) ||
        !deleteSavesIn(base, true, save))
        return;
    deleteNumbered(save, "save%05d.sd");
    static const char* const fixed[] = {"save10001.sd", "gsd.sd", "kidoku.sd", "seld.sd"};
    for (const char* name : fixed) deleteFileIn(save, name);
    removeHeldFolder(save);  // one that stays holds what is not the game's
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

Outcome removalFailed(HWND owner)
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

// The game's files, the kit's own temporary files and the save data (as answered) removed from the
// held installation folder; what stays is left to the restart, or the removal failed.
static Outcome removeHeldFiles(Installer& in, RestartRemoval& left)
{
    Outcome free = waitUntilFilesFree(in.productFiles(), in.installDir, nullptr, filesInUseAsker(in.messageOwner));
    if (free != Outcome::Done) return free;
    // An update ended half-way is made whole first: its kept old files are what the game was.
    if (repairHeldUpdate(in) != Outcome::Done) return Outcome::Failed;
    // Unasked, the player's save data stay unless the removal was told to take them.
    if (showMessageAnswering(in.messageOwner, "セーブデータを削除してもよろしいですか？", "確認",
                             MB_ICONQUESTION | MB_YESNO, switches.deleteSave ? IDYES : IDNO) == IDYES)
        deleteSaveData(in);
    // An empty installation folder would turn the names into paths at the root of the current drive.
    left = RestartRemoval::None;
    if (in.installDir[0] != '\0') {
        // What the archives placed first: the record that names it goes with the product files.
        RestartRemoval archives = removeArchiveFiles(in.installDir);
        in.removeInstalledFiles(in.installDir);
        removeTemporaryNames(in);
        // The installed uninstaller that waits for this copy runs from its file, which goes once it has ended.
        left = removeLeftoversAtRestart(in.productFiles(), in.installDir, switches.parent ? UninstallerName : nullptr);
        if (archives == RestartRemoval::NotScheduled ||
            (archives == RestartRemoval::Scheduled && left == RestartRemoval::None))
            left = archives;
    }
    return Outcome::Done;
}

Outcome Installer::removalOutcome(uint8_t leaveFolder, uint8_t deleteRecord)
{
    char text[MessageSize];
    formatText(text, sizeof text, "%s のアンインストールを開始します。\n開始してもよろしいですか？", gameName);
    if (showMessage(messageOwner, text, "確認", MB_ICONQUESTION | MB_YESNO) != IDYES) return Outcome::Declined;
    // A tree that is no longer the administrators' (a link, or another user's folders put in place
    // of the game's) is never removed; the one that is stays held while its files go.
    InstallationHold hold;
    if (holdInstallation(installDir, folderName, hold) != Outcome::Done) return removalFailed(messageOwner);
    RestartRemoval left = RestartRemoval::None;
    Outcome removed = removeHeldFiles(*this, left);
    releaseInstallation(hold);  // its folders can only go once they are let go
    if (removed != Outcome::Done) return removed;
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
