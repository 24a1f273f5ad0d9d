// One complete installation: folder, space, copy, record, Start menu.
#include <string.h>

#include "config/product_config.h"
#include "platform/display_text.h"
#include "engine/installer.h"
#include "engine/progress_report.h"
#include "platform/run_log.h"

bool Installer::install()
{
    declined = false;
    dropTrailingBackslash(baseDir);
    char text[MessageSize];
    if (!formatText(installDir, sizeof installDir, "%s\\%s\\%s", baseDir, publisherName, folderName)) {
        formatWithPaths(text, sizeof text, "%s\\%s\\%s フォルダを作成できませんでした。", baseDir, publisherName,
                        folderName);
        showMessage(messageOwner, text, "確認", MB_ICONWARNING);
        return false;
    }
    logLine("folder %s", installDir);
    // Over an earlier installation, no file the copy would replace may be held by the game.
    if (!waitUntilFilesFree(installDir, nullptr) || !checkFreeSpace()) return false;
    // From the first folder it makes, the installation is journaled: ended half-way, the next start
    // removes what it placed.
    if (!beginInstallJournal()) logLine("installation journal not written");  // a start after a crash cannot clean up
    if (!createInstallFolder(installDir)) {
        endInstallJournal();  // nothing copied; a folder made stays, as it always did
        // A folder someone else made was refused with a message of its own.
        if (declined) return false;
        formatWithPaths(text, sizeof text, "%s フォルダを作成できませんでした。", installDir);
        showMessage(messageOwner, text, "確認", MB_ICONWARNING);
        return false;
    }
    if (!runCopy()) {
        removeInstalledFiles(installDir);
        endInstallJournal();  // rolled back: nothing for the next start to clear (a journal left clears nothing more)
        return false;
    }
    // What an earlier removal left to the next restart would otherwise delete the new files then.
    dropPendingRemovals();
    progress->showRegisteringSlide();
    setStatusText("レジストリにゲーム情報を書き込んでいます。");
    if (!writeInstallRecord()) {
        removeInstalledFiles(installDir);
        deleteRegistryKey(productConfig.installRecordKey);
        deleteUninstallEntry();
        endInstallJournal();  // rolled back, as above
        return false;
    }
    if (!endInstallJournal()) logLine("installation journal left");  // the record is there: the next start drops it
    char name[PathSize];
    logLine("record HKEY_LOCAL_MACHINE\\%s: Dir=%s, CD=%s, InstType=%d",
            systemText(productConfig.installRecordKey, name, sizeof name), installDir, sourceDir, (int)installType);
    // Like the links, a missing entry in the list of installed programs does not undo the game.
    if (writeUninstallEntry())
        logLine("installed-programs entry %s", systemText(productConfig.uninstallEntry, name, sizeof name));
    setStatusText("スタートメニューに登録しています。");
    if (!createStartMenuEntries(1)) {
        formatWithPaths(
            text, sizeof text,
            "スタートメニューにショートカットが作成できませんでした。\n管理者アカウントで再インストールを行うか、\n[ %s\\%s ]を起動させてください。",
            installDir, installFiles[0]);
        showMessage(messageOwner, text, "終了", MB_ICONWARNING);
    }
    setStatusText("インストールが完了しました。");
    showMessage(messageOwner, "インストールが完了しました。", "終了", MB_ICONWARNING);
    setStatusText("");
    installed = 1;
    return true;
}

void Installer::installedBaseDir(char* dest, size_t size) const
{
    char text[MessageSize];
    copyText(text, sizeof text, installDir);
    // The last two components are the publisher and game folders; the scan walks characters so
    // that a second byte 0x5C is not taken for a separator.
    for (int cut = 0; cut < 2; ++cut) {
        char* slash = lastBackslash(text);
        if (!slash || slash == text) break;
        *slash = '\0';
    }
    copyText(dest, size, text);
}
