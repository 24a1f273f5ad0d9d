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
#include "platform/display_text.h"
#include "engine/installer.h"
#include "platform/run_log.h"
#include "platform/system_library.h"
#include "engine/unattended.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

enum { MaxUpdateFiles = 2 * MaxFiles, UpdateBlockSize = 65536 };

// A file of the update: its source, its target and the two names beside the target, for the new
// file until it is put in place and for the old one until the update has succeeded.
struct UpdateFile {
    char source[PathSize], target[PathSize], fresh[PathSize], old[PathSize];
    DWORD oldAttributes;  // INVALID_FILE_ATTRIBUTES: nothing was installed under the name
    bool replaced;
};

UpdateFile files[MaxUpdateFiles];
char block[UpdateBlockSize];

// The temporary names beside target: name.new~ and name.old~, or with a number where a file of that
// name is there that this update did not make and cannot delete (it is never used).
bool temporaryNames(const char* target, char* fresh, char* old)
{
    for (int n = 0; n < 10; ++n) {
        char number[4] = "";
        if (n > 0) formatText(number, sizeof number, "%d", n);
        if (!formatText(fresh, PathSize, "%s.new%s~", target, number) ||
            !formatText(old, PathSize, "%s.old%s~", target, number))
            return false;
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

// ---- the journal: "kit update journal", the phase, then a line a file:
// "<1 when the target was installed> <its attributes, hex> <target>|<new name>|<old name>".
const char JournalName[] = "update~.jnl";
const char JournalHead[] = "kit update journal\r\nphase ";
const char PhaseWriting[] = "writing  ", PhaseReplacing[] = "replacing", PhaseDone[] = "done     ";

HANDLE journal = INVALID_HANDLE_VALUE;
char journalPath[PathSize];

bool journalWrite(const char* text)
{
    changingStep();
    DWORD put = 0, length = (DWORD)strlen(text);
    return WriteFile(journal, text, length, &put, nullptr) && put == length;
}

// Written and on the disk before the first file changes; false (no journal left) when it cannot be.
bool openJournal(const char* installDir, int count)
{
    if (!formatText(journalPath, sizeof journalPath, "%s\\%s", installDir, JournalName)) return false;
    AccessList list;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
    if (buildAccessList(InstalledItem, list)) attributes.lpSecurityDescriptor = &list.descriptor;
    changingStep();
    journal = CreateFileA(journalPath, GENERIC_WRITE, 0, &attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (journal == INVALID_HANDLE_VALUE) return false;
    bool ok = journalWrite(JournalHead) && journalWrite(PhaseWriting) && journalWrite("\r\n");
    for (int i = 0; ok && i < count; ++i) {
        char line[4 * PathSize];
        ok = formatText(line, sizeof line, "%d %08lx %s|%s|%s\r\n", files[i].oldAttributes != INVALID_FILE_ATTRIBUTES,
                        (unsigned long)files[i].oldAttributes, files[i].target, files[i].fresh, files[i].old) &&
             journalWrite(line);
    }
    if (ok && FlushFileBuffers(journal)) return true;
    CloseHandle(journal);
    journal = INVALID_HANDLE_VALUE;
    DeleteFileA(journalPath);  // never written whole: nothing has changed yet
    return false;
}

// The phase, written in place and flushed before the next step.
bool journalPhase(const char* phase)
{
    return journal != INVALID_HANDLE_VALUE &&
           SetFilePointer(journal, (LONG)strlen(JournalHead), nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
           journalWrite(phase) && FlushFileBuffers(journal);
}

// The update is whole (or was never begun): the journal goes.
bool closeJournal()
{
    if (journal != INVALID_HANDLE_VALUE) CloseHandle(journal);
    journal = INVALID_HANDLE_VALUE;
    changingStep();
    return DeleteFileA(journalPath) != FALSE;
}

// A journal line names a product file of this installation and its own two temporary names; any
// other line is not the update's, and nothing is done with it.
bool journalLine(const Installer& in, char* line, UpdateFile& f)
{
    if ((line[0] != '0' && line[0] != '1') || line[1] != ' ') return false;
    bool existed = line[0] == '1';
    char* target = nullptr;
    unsigned long attributes = strtoul(line + 2, &target, 16);
    if (target != line + 10 || *target++ != ' ') return false;
    char* fresh = strchr(target, '|');
    char* old = fresh ? strchr(fresh + 1, '|') : nullptr;
    if (!old) return false;
    *fresh++ = '\0';
    *old++ = '\0';
    bool product = false;
    in.forEachProductFile(in.installDir, [&](const char*, const char* path) {
        product = _stricmp(path, target) == 0;
        return !product;
    });
    size_t length = strlen(target);
    auto ownName = [&](const char* name, const char* kind) {
        return _strnicmp(name, target, length) == 0 && _strnicmp(name + length, kind, 4) == 0 &&
               strlen(name) <= length + 6 && name[strlen(name) - 1] == '~';
    };
    if (!product || !ownName(fresh, ".new") || !ownName(old, ".old")) return false;
    f.oldAttributes = existed ? (DWORD)attributes : INVALID_FILE_ATTRIBUTES;
    f.replaced = false;
    return copyText(f.target, PathSize, target) && copyText(f.fresh, PathSize, fresh) && copyText(f.old, PathSize, old);
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
        if (ok) SetFileAttributesA(f.target, f.oldAttributes);  // the old file's attributes, as before
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

// Brings the installation to one whole state from the journal an interrupted update left: before
// its replacements began, or during them, all old; once they were all done, all new. False, with
// the journal kept for the next run, when a file could not be brought back (named in failed).
bool recoverFromJournal(Installer& in, char* failed)
{
    failed[0] = '\0';
    if (!formatText(journalPath, sizeof journalPath, "%s\\%s", in.installDir, JournalName)) return true;
    FILE* file = fopen(journalPath, "rb");
    if (!file) return true;
    char line[4 * PathSize], phase[32] = "";
    bool ours = fgets(line, sizeof line, file) && strncmp(line, JournalHead, 18) == 0 &&
                fgets(line, sizeof line, file) && strncmp(line, "phase ", 6) == 0;
    if (ours) copyText(phase, sizeof phase, line + 6);
    phase[strcspn(phase, " \r\n")] = '\0';
    int count = 0;
    while (ours && count < MaxUpdateFiles && fgets(line, sizeof line, file)) {
        line[strcspn(line, "\r\n")] = '\0';
        if (journalLine(in, line, files[count]))
            ++count;
        else
            logLine("journal line passed over: %s", line);
    }
    fclose(file);
    bool whole = true;
    bool forward = strcmp(phase, "done") == 0;
    for (int i = 0; i < count; ++i) {
        UpdateFile& f = files[i];
        if (forward) {
            removeOldFile(in, f);  // every target was replaced: only the old files are left to go
        } else if (!rollBack(f, failed)) {
            whole = false;
        }
    }
    if (!whole) return false;
    logLine("interrupted update (%s): the installation is whole again, %s", ours ? phase : "unreadable",
            forward ? "updated" : "as before the update");
    changingStep();
    return DeleteFileA(journalPath) || (copyText(failed, PathSize, journalPath), false);
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
    // Checked as the copy run checks a file: what was written is the whole source.
    DWORD high = 0, low = GetFileSize(from, &high);
    if (ok && copied != (((uint64_t)high << 32) | low)) {
        ok = false;
        SetLastError(ERROR_HANDLE_EOF);
    }
    FILETIME created, accessed, written;
    changingStep();
    ok = ok && GetFileTime(from, &created, &accessed, &written) && SetFileTime(to, &created, &accessed, &written);
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
    if (MoveFileA(f.fresh, f.target)) return f.replaced = true;
    DWORD error = GetLastError();
    if (f.oldAttributes != INVALID_FILE_ATTRIBUTES && MoveFileA(f.old, f.target))
        SetFileAttributesA(f.target, f.oldAttributes);
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

bool updateFailed(Installer& in, const char* path, DWORD error)
{
    logLine("update failed: %s (error %lu)", path, (unsigned long)error);
    noteExit(ExitFailed);
    showMessage(in.messageOwner,
                "アップデートが正常に行われませんでした。\nもう一度ご確認の上、アップデートを行ってください。", "確認",
                MB_ICONWARNING);
    return true;
}

// A file that could not be put back: the installation is not whole, and the player is told which
// file; the journal stays, so the next run finishes the repair.
bool notPutBack(Installer& in, const char* path)
{
    logLine("update failed and not put back: %s", path);
    noteExit(ExitFailed);
    char text[MessageSize];
    formatWithPaths(text, sizeof text,
                    "アップデートが正常に行われませんでした。\n%s を元に戻せませんでした。\n"
                    "ゲームや設定ツールを終了してから、もう一度アップデートを行ってください。",
                    path);
    showMessage(in.messageOwner, text, "確認", MB_ICONWARNING);
    return true;
}

// The update failed on path: every installed file is put back and the journal goes; where a file
// cannot be put back, the journal stays for the next run and that file is named.
bool failAndPutBack(Installer& in, int count, const char* path, DWORD error)
{
    char failed[PathSize];
    if (!putBack(count, failed)) {
        if (journal != INVALID_HANDLE_VALUE) CloseHandle(journal);  // kept for the next run
        journal = INVALID_HANDLE_VALUE;
        return notPutBack(in, failed);
    }
    closeJournal();
    return updateFailed(in, path, error);
}

// Runs step on each of the first count files; false once one failed and the update failed on it.
bool everyFile(Installer& in, int count, bool (*step)(UpdateFile&))
{
    for (int i = 0; i < count; ++i)
        if (!step(files[i])) {
            failAndPutBack(in, count, files[i].target, GetLastError());
            return false;
        }
    return true;
}

}  // namespace

bool Installer::applyUpdate()
{
    moduleFolder(sourceDir, sizeof sourceDir);
    cancelState = 0;
    copyFailed = 0;
    char updateFolder[PathSize];
    if (!formatText(updateFolder, sizeof updateFolder, "%s\\%s", sourceDir, folderName))
        return updateFailed(*this, sourceDir, ERROR_FILENAME_EXCED_RANGE);
    char failed[PathSize];
    if (!recoverFromJournal(*this, failed)) return notPutBack(*this, failed);
    if (!waitUntilFilesFree(installDir, updateFolder)) return false;

    int count = 0;
    uint64_t bytes = 0;
    bool fits = true;
    forEachProductFile(updateFolder, [&](const char* name, const char* source) {
        UpdateFile& f = files[count];
        if (!pathExists(source)) return true;
        fits = copyText(f.source, PathSize, source) && formatText(f.target, PathSize, "%s\\%s", installDir, name) &&
               temporaryNames(f.target, f.fresh, f.old);
        if (!fits) return false;
        f.replaced = false;
        bytes += fileSize(f.source);
        return ++count < MaxUpdateFiles;
    });
    if (!fits) return updateFailed(*this, files[count].source, ERROR_FILENAME_EXCED_RANGE);
    // Until the old files are deleted, the new ones need room of their own.
    uint32_t neededMB = (uint32_t)((bytes + (1u << 20) - 1) >> 20), freeMB = queryFreeMB(installDir);
    logLine("space: %u MB needed, %u MB free", neededMB, freeMB);
    if (neededMB > freeMB) {
        showNoSpace(freeMB, neededMB);
        return true;
    }
    for (int i = 0; i < count; ++i) files[i].oldAttributes = GetFileAttributesA(files[i].target);
    if (!openJournal(installDir, count)) return updateFailed(*this, journalPath, GetLastError());
    if (!everyFile(*this, count, writeNewFile)) return true;
    if (!journalPhase(PhaseReplacing)) return failAndPutBack(*this, count, journalPath, GetLastError());
    if (!everyFile(*this, count, replaceOne)) return true;
    // Every target holds its new file: from here a run that is ended goes forward. The old files go
    // only once the journal says so, or is gone; a journal that still says "replacing" needs them
    // to put the installation back, so then it is put back now and the update fails.
    if (!journalPhase(PhaseDone)) {
        DWORD error = GetLastError();
        if (!closeJournal()) return failAndPutBack(*this, count, journalPath, error);
    }
    for (int i = 0; i < count; ++i) {
        logLine("updated %s", files[i].target);
        if (files[i].oldAttributes != INVALID_FILE_ATTRIBUTES) removeOldFile(*this, files[i]);
    }
    if (journal != INVALID_HANDLE_VALUE && !closeJournal())
        logLine("journal left: %s", journalPath);  // it says "done": the next run only finds the update whole
    // Installed files the update does not hold get normal attributes, as the new ones have.
    forEachProductFile(installDir, [](const char*, const char* target) {
        SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);
        return true;
    });
    showMessage(messageOwner, "アップデートが完了しました。", "終了", MB_ICONWARNING);
    return true;
}
