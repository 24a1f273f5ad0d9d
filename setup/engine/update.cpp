// The update: files beside the update installer replace installed ones and take their time stamps.
// All or nothing: every new file is first written completely beside its target under a temporary
// name; only then are the targets replaced, each old file kept under a temporary name until every
// replacement has succeeded. Any failure puts the installed files back as they were. Before it
// changes anything the update writes its journal (the targets, their temporary names and how far
// it got) into the installation folder; an update ended half-way (killed, power lost) is brought
// by the next run to one whole state from that journal: all old, or all new once every target was
// replaced. Files of those names that no journal lists are never moved into place.
#include "platform/access_list.h"
#include "engine/installed_file_kind.h"
#include "engine/changing_step.h"
#include "engine/files_in_use.h"
#include "platform/display_text.h"
#include "engine/installer.h"
#include "engine/product_folders.h"
#include "platform/run_log.h"
#include "platform/system_library.h"
#include "engine/unattended.h"
#include "engine/update_journal.h"
#include "engine/update_repair.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

enum { MaxUpdateFiles = 2 * MaxFiles, UpdateBlockSize = 65536, TemporaryNameTries = 10, MegaByte = 1 << 20 };

UpdateFile files[MaxUpdateFiles];
char block[UpdateBlockSize];

// The temporary names beside target: name.new~ and name.old~, or with a number where a file of that
// name is there that this update did not make and cannot delete (it is never used).
// The n-th pair of temporary names beside target: name.new~ and name.old~, then name.new1~ and so on.
bool temporaryPair(const char* target, int n, char* fresh, char* old)
{
    char number[4] = "";
    if (n > 0) formatText(number, sizeof number, "%d", n);
    return formatText(fresh, PathSize, "%s.new%s~", target, number) &&
           formatText(old, PathSize, "%s.old%s~", target, number);
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

// A kept-aside old file once the update is whole: deleted, or else at the next restart.
void removeOldFile(Installer& in, const UpdateFile& f)
{
    changingStep();
    if (!Installer::pathExists(f.old)) return;
    SetFileAttributesA(f.old, FILE_ATTRIBUTE_NORMAL);  // the delete below says whether it went
    if (!DeleteFileA(f.old) && !in.scheduleDeleteAtRestart(f.old))
        logLine("old file left: %s", f.old);  // the update is whole; only a spare copy stays
}

// True when target is a product file of the installation: a journal line that names any other
// file is not the update's, and nothing is done with it.
bool productTarget(const Installer& in, const char* target)
{
    bool product = false;
    forEachProductFile(in.productFiles(), in.installDir, [&](const char*, const char* path) {
        product = _stricmp(path, target) == 0;
        return !product;
    });
    if (!product) logLine("journal line passed over: %s", target);
    return product;
}

// Brings the installation to one whole state from the journal an interrupted update left: before
// its replacements began, or during them, all old; once they were all done, all new. False, with
// the journal kept for the next run, when a file could not be brought back (named in failed).
bool recoverFromJournal(Installer& in, char* failed)
{
    failed[0] = '\0';
    UpdateJournal journal;
    JournalContents found;
    if (!nameJournal(journal, in.installDir) || !readJournal(journal.path, files, MaxUpdateFiles, found)) return true;
    bool whole = true;
    for (int i = 0; i < found.count; ++i) {
        UpdateFile& f = files[i];
        if (!productTarget(in, f.target)) continue;
        if (found.done) {
            removeOldFile(in, f);  // every target was replaced: only the old files are left to go
        } else if (!rollBack(f, failed)) {
            whole = false;
        }
    }
    if (!whole) return false;
    logLine("interrupted update (%s): the installation is whole again, %s", found.ours ? found.phase : "unreadable",
            found.done ? "updated" : "as before the update");
    return closeJournal(journal) || (copyText(failed, PathSize, journal.path), false);
}

// The source's bytes into the new file, checked as the copy run checks a file: what was written
// is the whole source. False with the Windows error as the last error.
bool copyWhole(HANDLE from, HANDLE to)
{
    bool ok = true;
    uint64_t copied = 0;
    for (DWORD got = 0; ok; copied += got) {
        DWORD put = 0;
        ok = ReadFile(from, block, sizeof block, &got, nullptr) != FALSE;
        if (!ok || got == 0) break;
        changingStep();
        ok = WriteFile(to, block, got, &put, nullptr) && put == got;
        if (!ok && GetLastError() == NO_ERROR) SetLastError(ERROR_DISK_FULL);
    }
    DWORD high = 0, low = GetFileSize(from, &high);
    if (ok && copied != (((uint64_t)high << 32) | low)) {
        ok = false;
        SetLastError(ERROR_HANDLE_EOF);
    }
    return ok;
}

// The update's file copied completely to its temporary name, with the source's time stamps and the
// access list of an installed file. False with the Windows error as the last error.
bool writeNewFile(UpdateFile& f)
{
    HANDLE from = CreateFileA(f.source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (from == INVALID_HANDLE_VALUE) return false;
    // Always a new file: one of that name that somebody else made meanwhile is never taken over.
    changingStep();
    HANDLE to = CreateFileA(f.fresh, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (to == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        CloseHandle(from);
        SetLastError(error);
        return false;
    }
    bool ok = copyWhole(from, to);
    FILETIME created, accessed, written;
    changingStep();
    ok = ok && GetFileTime(from, &created, &accessed, &written) && SetFileTime(to, &created, &accessed, &written);
    // On the disk before it takes the target's name: after a power cut the journal's "done" and the
    // renames may be there, and then the new data must be too.
    ok = ok && FlushFileBuffers(to);
    if (ok) noteStep("flushed", f.fresh);
    DWORD error = GetLastError();
    CloseHandle(from);
    if (!CloseHandle(to) && ok) {
        ok = false;
        error = GetLastError();
    }
    if (ok) {
        changingStep();
        lockPath(f.fresh, installedFileKind(f.target));
    }
    SetLastError(error);
    return ok;
}

// Puts the new file in place and keeps the old one under its temporary name. Where the drive has
// hard links (NTFS) the old file gets that second name first and the new one then replaces the
// target in one step, so the target's name is never missing; elsewhere two renames.
bool replaceOne(UpdateFile& f)
{
    f.oldAttributes = GetFileAttributesA(f.target);
    if (f.oldAttributes != INVALID_FILE_ATTRIBUTES) {
        // A folder in a file's place may hold anybody's files: it is never moved aside.
        if (f.oldAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        // A read-only file is replaced too.
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
            if (linked) DeleteFileA(f.old);
            SetFileAttributesA(f.target, f.oldAttributes);
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
        UpdateFile& f = files[i];
        if (f.replaced && !rollBack(f, failed)) whole = false;
        f.replaced = false;
        if (Installer::pathExists(f.fresh)) DeleteFileA(f.fresh);  // a new file left over is named by no one
    }
    return whole;
}

Outcome updateFailed(Installer& in, const char* path, DWORD error)
{
    logLine("update failed: %s (error %lu)", path, (unsigned long)error);
    showMessage(in.messageOwner,
                "アップデートが正常に行われませんでした。\nもう一度ご確認の上、アップデートを行ってください。", "確認",
                MB_ICONWARNING);
    return Outcome::Failed;
}

// A file that could not be put back: the installation is not whole, and the player is told which
// file; the journal stays, so the next run finishes the repair.
Outcome notPutBack(Installer& in, const char* path)
{
    logLine("update failed and not put back: %s", path);
    char text[MessageSize];
    formatWithPaths(text, sizeof text,
                    "アップデートが正常に行われませんでした。\n%s を元に戻せませんでした。\n"
                    "ゲームや設定ツールを終了してから、もう一度アップデートを行ってください。",
                    path);
    showMessage(in.messageOwner, text, "確認", MB_ICONWARNING);
    return Outcome::Failed;
}

// The update failed on path: every installed file is put back and the journal goes; where a file
// cannot be put back, the journal stays for the next run and that file is named.
Outcome failAndPutBack(Installer& in, UpdateJournal& journal, int count, const char* path, DWORD error)
{
    char failed[PathSize];
    if (!putBack(count, failed)) {
        keepJournal(journal);
        return notPutBack(in, failed);
    }
    closeJournal(journal);  // everything is as it was: a journal left only finds it so
    return updateFailed(in, path, error);
}

// Runs step on each of the first count files; failed once one failed, and the update with it.
Outcome everyFile(Installer& in, UpdateJournal& journal, int count, bool (*step)(UpdateFile&))
{
    for (int i = 0; i < count; ++i)
        if (!step(files[i])) return failAndPutBack(in, journal, count, files[i].target, GetLastError());
    return Outcome::Done;
}

// The files the update folder holds, with their targets in installDir and temporary names, into
// files; count and bytes say how many and how large. False (the source named in failed) when a
// name does not fit.
bool listUpdateFiles(const Installer& in, const char* updateFolder, int& count, uint64_t& bytes, char* failed)
{
    count = 0;
    bytes = 0;
    bool fits = true;
    forEachProductFile(in.productFiles(), updateFolder, [&](const char* name, const char* source) {
        UpdateFile& f = files[count];
        if (!Installer::pathExists(source)) return true;
        fits = copyText(f.source, PathSize, source) && formatText(f.target, PathSize, "%s\\%s", in.installDir, name) &&
               temporaryNames(f.target, f.fresh, f.old);
        if (!fits) {
            copyText(failed, PathSize, source);
            return false;
        }
        f.replaced = false;
        bytes += Installer::fileSize(f.source);
        return ++count < MaxUpdateFiles;
    });
    return fits;
}

// Until the old files are deleted, the new ones need room of their own.
bool roomForNewFiles(Installer& in, uint64_t bytes)
{
    uint32_t neededMB = (uint32_t)((bytes + MegaByte - 1) / MegaByte), freeMB = Installer::queryFreeMB(in.installDir);
    logLine("space: %u MB needed, %u MB free", neededMB, freeMB);
    if (neededMB <= freeMB) return true;
    showNoSpace(in.messageOwner, in.installDir, freeMB, neededMB);
    return false;
}

// Every new file beside its target, then every target replaced; the old files go only once the
// journal says so, or is gone.
Outcome replaceAll(Installer& in, int count)
{
    UpdateJournal journal;
    if (!nameJournal(journal, in.installDir) || !openJournal(journal, files, count))
        return updateFailed(in, journal.path, GetLastError());
    Outcome step = everyFile(in, journal, count, writeNewFile);
    if (step != Outcome::Done) return step;
    if (!writeJournalPhase(journal, JournalPhase::Replacing))
        return failAndPutBack(in, journal, count, journal.path, GetLastError());
    step = everyFile(in, journal, count, replaceOne);
    if (step != Outcome::Done) return step;
    // Every target holds its new file: from here a run that is ended goes forward. A journal that
    // still says "replacing" needs the old files to put the installation back, so where it cannot
    // say "done" nor be deleted, it is put back now and the update fails.
    if (!writeJournalPhase(journal, JournalPhase::Done)) {
        DWORD error = GetLastError();
        if (!closeJournal(journal)) return failAndPutBack(in, journal, count, journal.path, error);
    }
    for (int i = 0; i < count; ++i) {
        logLine("updated %s", files[i].target);
        if (files[i].oldAttributes != INVALID_FILE_ATTRIBUTES) removeOldFile(in, files[i]);
    }
    if (journal.file != INVALID_HANDLE_VALUE && !closeJournal(journal))
        logLine("journal left: %s", journal.path);  // it says "done": the next run only finds the update whole
    return Outcome::Done;
}

}  // namespace

Outcome repairInterruptedUpdate(Installer& in)
{
    char failed[PathSize];
    if (in.installDir[0] == '\0' || installFolderLinked(in.installDir)) return Outcome::Done;
    return recoverFromJournal(in, failed) ? Outcome::Done : notPutBack(in, failed);
}

void removeTemporaryNames(Installer& in)
{
    forEachProductFile(in.productFiles(), in.installDir, [&](const char*, const char* target) {
        for (int n = 0; n < TemporaryNameTries; ++n) {
            char fresh[PathSize], old[PathSize];
            const char* names[] = {fresh, old};
            if (!temporaryPair(target, n, fresh, old)) continue;
            for (const char* name : names)
                if (in.deleteFileIfPresent(name)) logLine("removed: %s", name);
        }
        return true;
    });
    UpdateJournal journal;
    if (nameJournal(journal, in.installDir) && in.deleteFileIfPresent(journal.path))
        logLine("removed: %s", journal.path);
}

Outcome Installer::applyUpdate()
{
    moduleFolder(sourceDir, sizeof sourceDir);
    cancelState = CancelNone;
    copyFailed = NoCopyFault;
    char updateFolder[PathSize], failed[PathSize];
    if (!formatText(updateFolder, sizeof updateFolder, "%s\\%s", sourceDir, folderName))
        return updateFailed(*this, sourceDir, ERROR_FILENAME_EXCED_RANGE);
    // An installation folder a player made a link is never followed, not even to repair it.
    if (installFolderLinked(installDir)) return updateFailed(*this, installDir, ERROR_REPARSE_TAG_INVALID);
    if (!recoverFromJournal(*this, failed)) return notPutBack(*this, failed);
    Outcome step = waitUntilFilesFree(productFiles(), installDir, updateFolder, messageOwner);
    if (step != Outcome::Done) return step;
    int count = 0;
    uint64_t bytes = 0;
    if (!listUpdateFiles(*this, updateFolder, count, bytes, failed))
        return updateFailed(*this, failed, ERROR_FILENAME_EXCED_RANGE);
    if (!roomForNewFiles(*this, bytes)) return Outcome::NoSpace;
    for (int i = 0; i < count; ++i) files[i].oldAttributes = GetFileAttributesA(files[i].target);
    step = replaceAll(*this, count);
    if (step != Outcome::Done) return step;
    // Installed files the update does not hold get normal attributes, as the new ones have.
    forEachProductFile(productFiles(), installDir, [](const char*, const char* target) {
        SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);  // a file that keeps its attributes still runs
        return true;
    });
    showMessage(messageOwner, "アップデートが完了しました。", "終了", MB_ICONWARNING);
    return Outcome::Done;
}
