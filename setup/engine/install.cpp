// One complete installation: folder, space, copy, record, Start menu.
#include <string.h>

#include "config/product_config.h"
#include "platform/display_text.h"
#include "engine/changing_step.h"
#include "engine/files_in_use.h"
#include "engine/install_journal.h"
#include "engine/install_over_game.h"
#include "engine/installer.h"
#include "system/uninstall_entry.h"
#include "engine/product_folders.h"
#include "system/pending_removal.h"
#include "engine/progress_report.h"
#include "platform/run_log.h"

bool Installer::install() { return succeeded(installOutcome()); }

// The copy run's end, told apart: a missing disc and a cancel have exit codes of their own.
static Outcome copyOutcome(const Installer& in, bool copied)
{
    if (copied) return Outcome::Done;
    if (in.copyFailed == DiscMissing) return Outcome::NoDisc;
    return in.cancelState != CancelNone ? Outcome::Cancelled : Outcome::Failed;
}

static Outcome folderNotMade(Installer& in)
{
    char text[MessageSize];
    formatWithPaths(text, sizeof text, "%s フォルダを作成できませんでした。", in.installDir);
    showMessage(in.messageOwner, text, "確認", MB_ICONWARNING);
    return Outcome::Failed;
}

// The folder: made after the question, or refused with a message of its own; any other failure
// says here that it was not made.
static Outcome prepareInstallFolder(Installer& in)
{
    // From the first folder it makes, the installation is journaled: ended half-way, the next start
    // removes what it placed.
    if (!beginInstallJournal(in.installDir))
        logLine("installation journal not written");  // a start after a crash cannot clean up
    Outcome placed = makeInstallFolder(in.installDir, in.messageOwner);
    // Only now, after the checks and the question, are the folders this run's own.
    if (placed == Outcome::Done) {
        if (!journalFoldersOwned())
            logLine("installation journal not written");  // a start after a crash cannot clean up
        return placed;
    }
    endInstallJournal();  // nothing copied; a folder made stays for the next installation to use
    return placed == Outcome::Refused ? placed : folderNotMade(in);
}

// Over the game the folder is there and its files stay until the copy is whole: no installation
// journal (its clean-up would delete the earlier game), the replacement's journal instead.
static Outcome prepareOverGame(Installer& in)
{
    Outcome placed = makeInstallFolder(in.installDir, in.messageOwner);
    if (placed != Outcome::Done) return placed == Outcome::Refused ? placed : folderNotMade(in);
    return beginStagedCopy(in) ? Outcome::Done : Outcome::Failed;
}

// A copy that did not end: a first installation's files go; over the game, the new files go and
// the earlier game stays. The copy's own end, unless a file could not be put back.
static Outcome undoCopy(Installer& in, bool overGame, Outcome copied)
{
    if (overGame) {
        Outcome back = dropStagedCopy(in);
        return back == Outcome::Done ? copied : back;
    }
    in.removeInstalledFiles(in.installDir);
    endInstallJournal();  // rolled back: nothing for the next start to clear (a journal left clears nothing more)
    return copied;
}

// The record, and the entry in the installed-programs list beside it; false, everything copied
// and recorded undone (over the game: the earlier files and record back), when the record cannot
// be written.
static bool recordInstallation(Installer& in, bool overGame)
{
    in.progress->showRegisteringSlide();
    in.setStatusText("レジストリにゲーム情報を書き込んでいます。");
    noteStep("recorded", in.installDir);
    // Over the game, the earlier files and record come back; the entry stays, as it was.
    if (overGame && !in.writeInstallRecord()) {
        undoStagedCopy(in);
        return false;
    }
    if (overGame && finishStagedCopy(in) != Outcome::Done) return false;
    if (!overGame && !in.writeInstallRecord()) {
        in.removeInstalledFiles(in.installDir);
        in.deleteRegistryKey(productConfig.installRecordKey);
        deleteUninstallEntry(in);
        endInstallJournal();  // rolled back: nothing for the next start to clear
        return false;
    }
    char name[PathSize];
    logLine("record HKEY_LOCAL_MACHINE\\%s: Dir=%s, CD=%s, InstType=%d",
            systemText(productConfig.installRecordKey, name, sizeof name), in.installDir, in.sourceDir,
            (int)in.installType);
    // Like the links, a missing entry in the list of installed programs does not undo the game.
    if (writeUninstallEntry(in))
        logLine("installed-programs entry %s", systemText(productConfig.uninstallEntry, name, sizeof name));
    // Only now, the record and the entry on the disk, may the journal go: after a power cut a
    // journal without the record would have the next start remove the installed game.
    if (!endInstallJournal()) logLine("installation journal left");  // the record is there: the next start drops it
    return true;
}

static void announceInstallation(Installer& in)
{
    in.setStatusText("スタートメニューに登録しています。");
    if (!in.createStartMenuEntries(1)) {
        char text[MessageSize];
        formatWithPaths(
            text, sizeof text,
            "スタートメニューにショートカットが作成できませんでした。\n管理者アカウントで再インストールを行うか、\n[ %s\\%s ]を起動させてください。",
            in.installDir, in.installFiles[0]);
        showMessage(in.messageOwner, text, "終了", MB_ICONWARNING);
    }
    in.setStatusText("インストールが完了しました。");
    showMessage(in.messageOwner, "インストールが完了しました。", "終了", MB_ICONWARNING);
    in.setStatusText("");
}

Outcome Installer::installOutcome()
{
    dropTrailingBackslash(baseDir);
    if (!formatText(installDir, sizeof installDir, "%s\\%s\\%s", baseDir, publisherName, folderName)) {
        char text[MessageSize];
        formatWithPaths(text, sizeof text, "%s\\%s\\%s フォルダを作成できませんでした。", baseDir, publisherName,
                        folderName);
        showMessage(messageOwner, text, "確認", MB_ICONWARNING);
        return Outcome::Failed;
    }
    logLine("folder %s", installDir);
    // Over an earlier installation, no file the copy would replace may be held by the game.
    Outcome free = waitUntilFilesFree(productFiles(), installDir, nullptr, messageOwner);
    if (free != Outcome::Done) return free;
    if (!checkFreeSpace()) return Outcome::NoSpace;
    bool overGame = recordNames(*this, installDir);
    Outcome step = overGame ? prepareOverGame(*this) : prepareInstallFolder(*this);
    if (step != Outcome::Done) return step;
    step = copyOutcome(*this, runCopy());
    if (step != Outcome::Done) return undoCopy(*this, overGame, step);
    // What an earlier removal left to the next restart would otherwise delete the new files then.
    dropPendingRemovals(productFiles(), installDir, folderName);
    if (overGame && (step = placeStagedCopy(*this)) != Outcome::Done) return step;
    if (!recordInstallation(*this, overGame)) return Outcome::Failed;
    announceInstallation(*this);
    installed = GameInstalled;
    return Outcome::Done;
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
