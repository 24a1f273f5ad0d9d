// The update's files: listed from the update folder, written beside their targets and put in place
// with their time stamps, all or nothing and journaled, as file_replacement.h says.
#include "engine/update_files.h"

#include "platform/access_list.h"
#include "engine/installed_file_kind.h"
#include "platform/changing_step.h"
#include "engine/file_replacement.h"
#include "engine/files_in_use.h"
#include "platform/display_text.h"
#include "state/installer.h"
#include "engine/installation_hold.h"
#include "engine/product_folders.h"
#include "platform/run_log.h"
#include "platform/system_library.h"
#include "engine/unattended.h"
#include "engine/update_journal.h"
#include "engine/update_repair.h"
#include "state/copy_state.h"
#include "platform/module_folder.h"
#include "engine/space.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

enum { MaxUpdateFiles = 2 * MaxFiles, UpdateBlockSize = 65536, MegaByte = 1 << 20 };
static_assert((int)MaxUpdateFiles <= (int)MaxReplacedFiles, "an update replaces at most its two lists");

char block[UpdateBlockSize];

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
        ok = lockWherePossible(f.fresh, installedFileKind(f.target));
        if (!ok) error = GetLastError();
    }
    SetLastError(error);
    return ok;
}

}  // namespace

bool listUpdateFiles(const Installer& in, const char* updateFolder, int& count, uint64_t& bytes, char* failed)
{
    count = 0;
    bytes = 0;
    bool fits = true;
    forEachProductFile(in.productFiles(), updateFolder, [&](const char* name, const char* source) {
        UpdateFile& f = replacementTable()[count];
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

bool roomForNewFiles(Installer& in, uint64_t bytes)
{
    uint32_t neededMB = (uint32_t)((bytes + MegaByte - 1) / MegaByte), freeMB = Installer::queryFreeMB(in.installDir);
    logLine("space: %u MB needed, %u MB free", neededMB, freeMB);
    if (neededMB <= freeMB) return true;
    showNoSpace(in.messageOwner, in.installDir, freeMB, neededMB);
    return false;
}

Outcome replaceUpdateFiles(Installer& in, int count)
{
    UpdateFile* files = replacementTable();
    for (int i = 0; i < count; ++i) files[i].oldAttributes = GetFileAttributesA(files[i].target);
    UpdateJournal journal;
    const ReplacingTask task = ReplacingTask::Update;
    if (!nameJournal(journal, in.installDir) || !openJournal(journal, files, count))
        return replacementFailed(in, task, journal.path, GetLastError());
    Outcome step = everyFile(in, task, journal, count, writeNewFile);
    if (step == Outcome::Done) step = replaceEvery(in, task, journal, count);
    return step == Outcome::Done ? finishReplacement(in, task, journal, count) : step;
}
