// Files replaced all or nothing, for the update and for an installation over the game: every new
// file is first written completely beside its target under a temporary name; only then are the
// targets replaced, each old file kept under a temporary name until every replacement has
// succeeded. Any failure puts the installed files back as they were. Before anything changes, the
// journal (the targets, their temporary names and how far the run got) is in the installation
// folder; a run ended half-way (killed, power lost) is brought by the next start of any program of
// the kit to one whole state from that journal: all old, or all new once every target was
// replaced. Files of those names that no journal lists are never moved into place.
#include "engine/file_replacement.h"

#include <string.h>

#include "platform/changing_step.h"
#include "state/installer.h"
#include "engine/product_folders.h"
#include "platform/access_list.h"
#include "platform/display_text.h"
#include "platform/run_log.h"
#include "platform/system_library.h"
#include "engine/entry_names.h"
#include "platform/restart_removal.h"

// The files of the run under way: the replacement's own table.
static UpdateFile replacedFiles[MaxReplacedFiles];

UpdateFile* replacementTable() { return replacedFiles; }

bool temporaryPair(const char* target, int n, char* fresh, char* old)
{
    char number[4] = "";
    if (n > 0) formatText(number, sizeof number, "%d", n);
    return formatText(fresh, PathSize, "%s.new%s~", target, number) &&
           formatText(old, PathSize, "%s.old%s~", target, number);
}

namespace {

// Back to the installed version: the old file where it was kept, no new file without an old one,
// no new file under its temporary name. False (with the file's name in failed) when one stays.
bool rollBack(const UpdateFile& f, char* failed)
{
    bool ok = true;
    changingStep();
    if (Installer::pathExists(f.old)) {
        SetFileAttributesA(f.target, FILE_ATTRIBUTE_NORMAL);  // a missing target is fine
        SetFileAttributesA(f.old, FILE_ATTRIBUTE_NORMAL);     // kept read-only, it still moves
        ok = MoveFileExA(f.old, f.target, MOVEFILE_REPLACE_EXISTING) ||
             (DeleteFileA(f.target) && MoveFileA(f.old, f.target));
        // Ended between the second name and the replacement, both names are one file; moving one
        // onto the other may leave both (POSIX rename does, under Wine): the spare name goes.
        if (ok && Installer::pathExists(f.old)) ok = DeleteFileA(f.old) != FALSE;
        if (ok) SetFileAttributesA(f.target, f.oldAttributes);  // the attributes the old file had
    } else if (f.oldAttributes == INVALID_FILE_ATTRIBUTES && !Installer::pathExists(f.fresh) &&
               Installer::pathExists(f.target)) {
        ok = DeleteFileA(f.target) != FALSE;
    }
    if (Installer::pathExists(f.fresh) && !DeleteFileA(f.fresh)) ok = false;
    if (!ok) {
        logLine("not put back: %s (error %lu)", f.target, (unsigned long)GetLastError());
        copyText(failed, PathSize, f.target);
    }
    return ok;
}

// True when a folder between folder and the file at path (below it) is a link: what it points at
// is not the installation's. The walk goes a character at a time.
bool linkOnTheWay(const char* folder, const char* path)
{
    char walked[PathSize];
    if (!copyText(walked, sizeof walked, path)) return true;
    for (char* p = walked + strlen(folder) + 1; *p; p = (char*)nextPathChar(p)) {
        if (*p != '\\') continue;
        *p = '\0';
        bool link = isLink(walked);
        *p = '\\';
        if (link) return true;
    }
    return false;
}

// True when target is a product file of the installation, or a file below the installation folder
// by a name an archive entry may have (an installation over the game replaces those too): a journal
// line that names any other file is not the kit's, and nothing is done with it.
bool journalTarget(const Installer& in, const char* target)
{
    bool ours = false;
    forEachProductFile(in.productFiles(), in.installDir, [&](const char*, const char* path) {
        ours = samePath(path, target);
        return !ours;
    });
    if (!ours && isBelowFolder(target, in.installDir))
        ours = isSafeEntryName(target + strlen(in.installDir) + 1) && !linkOnTheWay(in.installDir, target);
    if (!ours) logLine("journal line passed over: %s", target);
    return ours;
}

}  // namespace

// A kept-aside old file once the update is whole: deleted, or else at the next restart.
void removeOldFile(const UpdateFile& f)
{
    changingStep();
    if (!Installer::pathExists(f.old)) return;
    SetFileAttributesA(f.old, FILE_ATTRIBUTE_NORMAL);  // the delete below says whether it went
    if (!DeleteFileA(f.old) && !scheduleRestartDeletion(f.old))
        logLine("old file left: %s", f.old);  // the update is whole; only a spare copy stays
}

// Brings the installation to one whole state from the journal an interrupted update left: before
// its replacements began, or during them, all old; once they were all done, all new. False, with
// the journal kept for the next run, when a file could not be brought back (named in failed).
bool recoverFromJournal(Installer& in, char* failed)
{
    failed[0] = '\0';
    UpdateJournal journal;
    JournalContents found;
    if (!nameJournal(journal, in.installDir) || !readJournal(journal.path, replacedFiles, MaxReplacedFiles, found))
        return true;
    bool whole = true;
    for (int i = 0; i < found.count; ++i) {
        UpdateFile& f = replacedFiles[i];
        if (!journalTarget(in, f.target)) continue;
        if (found.done) {
            removeOldFile(f);  // every target was replaced: only the old files are left to go
        } else if (!rollBack(f, failed)) {
            whole = false;
        }
    }
    if (!whole) return false;
    logLine("interrupted update (%s): the installation is whole again, %s", found.ours ? found.phase : "unreadable",
            found.done ? "updated" : "as before the update");
    return closeJournal(journal) || (copyText(failed, PathSize, journal.path), false);
}

bool temporaryNames(const char* target, char* fresh, char* old)
{
    for (int n = 0; n < TemporaryNameTries; ++n) {
        if (!temporaryPair(target, n, fresh, old)) return false;
        bool free = true;
        const char* names[] = {fresh, old};
        for (const char* name : names) {
            if (!Installer::pathExists(name)) continue;
            SetFileAttributesA(name, FILE_ATTRIBUTE_NORMAL);  // the delete says whether it is free
            if (!DeleteFileA(name)) free = false;
            logLine("%s: %s", free ? "stray file deleted" : "stray file left", name);
        }
        if (free) return true;
    }
    return false;
}

// Puts the new file in place and keeps the old one under its temporary name. Where the drive has
// hard links (NTFS) the old file gets that second name first and the new one then replaces the
// target in one step, so the target's name is never missing; elsewhere two renames.
// The new file is on the disk already: its writer flushed it before the journal said "replacing".
bool replaceOne(UpdateFile& f)
{
    f.oldAttributes = GetFileAttributesA(f.target);
    if (f.oldAttributes != INVALID_FILE_ATTRIBUTES) {
        // A folder in a file's place may hold anybody's files: it is never moved aside.
        if (f.oldAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        // A read-only file is replaced too; the moves below say whether it can be.
        changingStep();
        SetFileAttributesA(f.target, FILE_ATTRIBUTE_NORMAL);
        typedef BOOL(WINAPI * CreateHardLinkFn)(LPCSTR, LPCSTR, LPSECURITY_ATTRIBUTES);
        CreateHardLinkFn link = (CreateHardLinkFn)(void*)loadedFunction("kernel32.dll", "CreateHardLinkA");
        changingStep();
        bool linked = link && link(f.old, f.target, nullptr);
        changingStep();
        if (linked) noteStep("renamed", f.fresh);
        if (linked ? !MoveFileExA(f.fresh, f.target, MOVEFILE_REPLACE_EXISTING) : !MoveFileA(f.target, f.old)) {
            DWORD error = GetLastError();
            if (linked) DeleteFileA(f.old);                 // only a second name of the target; one left is a stray
            SetFileAttributesA(f.target, f.oldAttributes);  // the file is in place either way
            SetLastError(error);
            return false;
        }
        if (linked) return f.replaced = true;
    }
    changingStep();
    noteStep("renamed", f.fresh);
    if (MoveFileA(f.fresh, f.target)) return f.replaced = true;
    DWORD error = GetLastError();
    if (f.oldAttributes != INVALID_FILE_ATTRIBUTES) {
        if (MoveFileA(f.old, f.target))
            SetFileAttributesA(f.target, f.oldAttributes);  // the attributes it had; the file is back either way
        else
            f.replaced = true;  // its only copy is the old name: the put-back brings it back or names it
    }
    SetLastError(error);
    return false;
}

// Every installed file as it was before the update, and no temporary file left. False, with the
// name of a file that could not be put back in failed, when one stays changed.
bool putBack(int count, char* failed)
{
    bool whole = true;
    for (int i = count - 1; i >= 0; --i) {
        UpdateFile& f = replacedFiles[i];
        if (f.replaced && !rollBack(f, failed)) whole = false;
        f.replaced = false;
        if (Installer::pathExists(f.fresh)) DeleteFileA(f.fresh);  // a new file left over is named by no one
    }
    return whole;
}

namespace {

const char* taskName(ReplacingTask task)
{
    switch (task) {
    case ReplacingTask::Update: return "update";
    case ReplacingTask::Repair: return "repair";
    case ReplacingTask::Installation: break;
    }
    return "installation";
}

}  // namespace

Outcome replacementFailed(Installer& in, ReplacingTask task, const char* path, DWORD error)
{
    logLine("%s failed: %s (error %lu)", taskName(task), path, (unsigned long)error);
    // The launcher says itself that an installation did not complete.
    if (task == ReplacingTask::Update)
        showMessage(in.messageOwner,
                    "アップデートが正常に行われませんでした。\nもう一度ご確認の上、アップデートを行ってください。",
                    "確認", MB_ICONWARNING);
    if (task == ReplacingTask::Repair) {
        char text[MessageSize];
        formatWithPaths(text, sizeof text, "修復が正常に行われませんでした。\n%s を修復できませんでした。", path);
        showMessage(nullptr, text, "確認", MB_OK);
    }
    return Outcome::Failed;
}

Outcome notPutBack(Installer& in, ReplacingTask task, const char* path)
{
    logLine("%s failed and not put back: %s", taskName(task), path);
    char text[MessageSize];
    const char* format = "インストールが正常に行われませんでした。\n%s を元に戻せませんでした。\n"
                         "ゲームや設定ツールを終了してから、もう一度インストールを行ってください。";
    if (task == ReplacingTask::Update)
        format = "アップデートが正常に行われませんでした。\n%s を元に戻せませんでした。\n"
                 "ゲームや設定ツールを終了してから、もう一度アップデートを行ってください。";
    if (task == ReplacingTask::Repair)
        format = "修復が正常に行われませんでした。\n%s を元に戻せませんでした。\n"
                 "ゲームや設定ツールを終了してから、もう一度データチェックを行ってください。";
    formatWithPaths(text, sizeof text, format, path);
    showMessage(task == ReplacingTask::Repair ? nullptr : in.messageOwner, text, "確認",
                task == ReplacingTask::Repair ? MB_OK : MB_ICONWARNING);
    return Outcome::Failed;
}

Outcome failAndPutBack(Installer& in, ReplacingTask task, UpdateJournal& journal, int count, const char* path,
                       DWORD error)
{
    char failed[PathSize];
    if (!putBack(count, failed)) {
        keepJournal(journal);
        return notPutBack(in, task, failed);
    }
    closeJournal(journal);  // everything is as it was: a journal left only finds it so
    return replacementFailed(in, task, path, error);
}

Outcome everyFile(Installer& in, ReplacingTask task, UpdateJournal& journal, int count, bool (*step)(UpdateFile&))
{
    for (int i = 0; i < count; ++i)
        if (!step(replacedFiles[i]))
            return failAndPutBack(in, task, journal, count, replacedFiles[i].target, GetLastError());
    return Outcome::Done;
}

Outcome replaceEvery(Installer& in, ReplacingTask task, UpdateJournal& journal, int count)
{
    if (!writeJournalPhase(journal, JournalPhase::Replacing))
        return failAndPutBack(in, task, journal, count, journal.path, GetLastError());
    return everyFile(in, task, journal, count, replaceOne);
}

Outcome finishReplacement(Installer& in, ReplacingTask task, UpdateJournal& journal, int count)
{
    // Every target holds its new file: from here a run that is ended goes forward. A journal that
    // still says "replacing" needs the old files to put the installation back, so where it cannot
    // say "done" nor be deleted, it is put back now and the run fails.
    if (!writeJournalPhase(journal, JournalPhase::Done)) {
        DWORD error = GetLastError();
        if (!closeJournal(journal)) return failAndPutBack(in, task, journal, count, journal.path, error);
    }
    for (int i = 0; i < count; ++i) {
        logLine("%s %s",
                task == ReplacingTask::Update   ? "updated"
                : task == ReplacingTask::Repair ? "repaired"
                                                : "replaced",
                replacedFiles[i].target);
        if (replacedFiles[i].oldAttributes != INVALID_FILE_ATTRIBUTES) removeOldFile(replacedFiles[i]);
    }
    if (journal.file != INVALID_HANDLE_VALUE && !closeJournal(journal))
        logLine("journal left: %s", journal.path);  // it says "done": the next run only finds the files whole
    return Outcome::Done;
}
