// One complete installation: folder, space, copy, record, Start menu.
#include <string.h>

#include "config/product_config.h"
#include "platform/display_text.h"
#include "platform/changing_step.h"
#include "engine/files_in_use.h"
#include "engine/install_journal.h"
#include "engine/install_over_game.h"
#include "engine/file_replacement.h"
#include "engine/placed_record.h"
#include "procedures/first_installation.h"
#include "state/installer.h"
#include "engine/unattended.h"
#include "system/shortcuts.h"
#include "system/uninstall_entry.h"
#include "engine/product_folders.h"
#include "system/pending_removal.h"
#include "engine/progress_report.h"
#include "platform/run_log.h"
#include "state/copy_state.h"

bool Installer::install() { return succeeded(installOutcome()); }

// The record an installation over the game found: written back where the new one cannot be.
static struct {
    char source[PathSize];
    int32_t type;
} earlier;

// True when the installation record names folder: the game is installed there (whatever else the
// record holds).
static bool recordNames(Installer& in, const char* folder)
{
    char dir[PathSize];
    if (!in.openRegistryKey(productConfig.installRecordKey)) return false;
    bool names = in.queryRegistryValue("Dir", REG_SZ, dir, sizeof dir) && samePath(dir, folder);
    // The medium and the type written back should the new record fail; where the record does not
    // hold them readably, this run's stand in (the folder, which decides, is the same).
    if (!in.queryRegistryValue("CD", REG_SZ, earlier.source, sizeof earlier.source))
        copyText(earlier.source, sizeof earlier.source, in.sourceDir);
    if (!in.queryRegistryValue("InstType", REG_DWORD, &earlier.type, sizeof earlier.type))
        earlier.type = in.installType;
    in.closeRegistryKey();  // only read: nothing to lose
    return names;
}

// The record as the run found it: the folder is the same, the medium and the type may not be.
static void restoreEarlierRecord(Installer& in)
{
    char source[PathSize];
    int32_t type = in.installType;
    copyText(source, sizeof source, in.sourceDir);
    copyText(in.sourceDir, sizeof in.sourceDir, earlier.source);
    in.installType = earlier.type;
    if (!in.writeInstallRecord()) logLine("earlier record not written back");  // the write that failed fails again
    copyText(in.sourceDir, sizeof in.sourceDir, source);
    in.installType = type;
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
    // A file that stays is the restart removal's, or the next installation's to replace.
    (void)removeFirstInstallation(in, in.installDir, RecordNotBegun);
    endInstallJournal();  // rolled back: nothing for the next start to clear (a journal left clears nothing more)
    return copied;
}

// What the copy placed, recorded beside it before the installation record points at it: over the
// game with the earlier record's other files, written beside its target and put in place with the
// copy's files; in a first installation under a name of its own and then renamed over any record a
// game removed earlier left. False (logged) when it cannot be.
static bool recordPlacedFiles(Installer& in, bool overGame)
{
    PlacedList list;
    if (overGame) readPlacedRecord(in.installDir, list);  // none, or unreadable: this run's files alone
    mergePlaced(list, placedThisRun());
    char record[PathSize], fresh[PathSize], old[PathSize];
    if (!placedRecordPath(in.installDir, record)) return false;
    if (overGame) {
        const char* placed = placedName(record, fresh);
        return placed && stagedNamesOnDisk() && writePlacedRecord(placed, list);
    }
    // Written and flushed under its own name before it takes the record's.
    if (!temporaryNames(record, fresh, old) || !writePlacedRecord(fresh, list)) return false;
    changingStep();
    // 95/98/Me cannot replace in one step: a record an earlier game left goes first.
    if (MoveFileExA(fresh, record, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
        ((!Installer::pathExists(record) || DeleteFileA(record)) && MoveFileA(fresh, record)))
        return true;
    logLine("record of the placed files not put in place: %s (error %lu)", record, (unsigned long)GetLastError());
    DeleteFileA(fresh);  // the roll-back removes it by name if it stays
    return false;
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
        restoreEarlierRecord(in);
        return false;
    }
    if (overGame && finishStagedCopy(in) != Outcome::Done) {
        restoreEarlierRecord(in);
        return false;
    }
    if (!overGame && !in.writeInstallRecord()) {
        (void)removeFirstInstallation(in, in.installDir, RecordBegunToo);  // as after a failed copy
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
    if (!in.createStartMenuEntries(ProgramsFolder, switches.noDesktop ? IDNO : IDYES)) {
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
    Outcome free = waitUntilFilesFree(productFiles(), installDir, nullptr, filesInUseAsker(messageOwner));
    if (free != Outcome::Done) return free;
    if (!checkFreeSpace()) return Outcome::NoSpace;
    bool overGame = recordNames(*this, installDir);
    Outcome step = overGame ? prepareOverGame(*this) : prepareInstallFolder(*this);
    if (step != Outcome::Done) return step;
    step = runCopyOutcome(unattendedRun());
    if (step == Outcome::Done && !recordPlacedFiles(*this, overGame)) step = Outcome::Failed;
    if (step != Outcome::Done) return undoCopy(*this, overGame, step);
    // What an earlier removal left to the next restart would otherwise delete the new files then.
    dropPendingRemovals(productFiles(), installDir, folderName);
    if (overGame && (step = placeStagedCopy(*this)) != Outcome::Done) return step;
    if (!recordInstallation(*this, overGame)) return Outcome::Failed;
    announceInstallation(*this);
    installed = GameInstalled;
    return Outcome::Done;
}
