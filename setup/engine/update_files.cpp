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
#include "engine/placed_record.h"

#include <zlib.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

enum { MaxUpdateFiles = 2 * MaxFiles, UpdateBlockSize = 65536, MegaByte = 1 << 20 };
static_assert((int)MaxUpdateFiles < (int)MaxReplacedFiles, "an update replaces at most its two lists and the record");

char block[UpdateBlockSize];
// The CRC-32 of each new file as it was written, by its place in the replacement's table.
uint32_t writtenCrcs[MaxReplacedFiles];

// The source's bytes into the new file, checked as the copy run checks a file: what was written
// is the whole source, whose CRC-32 is crc. False with the Windows error as the last error.
bool copyWhole(HANDLE from, HANDLE to, uint32_t& crc)
{
    bool ok = true;
    uint64_t copied = 0;
    crc = (uint32_t)crc32(0, nullptr, 0);
    for (DWORD got = 0; ok; copied += got) {
        DWORD put = 0;
        ok = ReadFile(from, block, sizeof block, &got, nullptr) != FALSE;
        if (!ok || got == 0) break;
        crc = (uint32_t)crc32(crc, (const Bytef*)block, got);
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

}  // namespace

bool writeReplacementFile(UpdateFile& f)
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
    bool ok = copyWhole(from, to, writtenCrcs[&f - replacementTable()]);
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

namespace {

// The record of what was placed, with the update's files as it wrote them, written beside the
// record and listed last in the journal, so that it is replaced with the files, all or nothing.
// False with the Windows error as the last error.
bool stageUpdatedRecord(Installer& in, UpdateJournal& journal, int count)
{
    PlacedList list, updated;
    readPlacedRecord(in.installDir, list);  // none, or unreadable: the update's files alone
    UpdateFile* files = replacementTable();
    for (int i = 0; i < count; ++i) {
        PlacedFile p{};
        if (!copyText(p.path, sizeof p.path, files[i].target + strlen(in.installDir) + 1)) continue;
        p.origin = PlacedOrigin::Update;
        p.disc = -1;
        p.size = Installer::fileSize(files[i].fresh);
        p.crc = writtenCrcs[i];
        updated.push_back(p);
    }
    mergePlaced(list, updated);
    UpdateFile& r = files[count];
    r.source[0] = '\0';
    r.replaced = false;
    if (!placedRecordPath(in.installDir, r.target) || !temporaryNames(r.target, r.fresh, r.old)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    r.oldAttributes = GetFileAttributesA(r.target);
    return appendJournalLine(journal, r) && writePlacedRecord(r.fresh, list);
}

}  // namespace

Outcome replaceUpdateFiles(Installer& in, int count)
{
    UpdateFile* files = replacementTable();
    for (int i = 0; i < count; ++i) files[i].oldAttributes = GetFileAttributesA(files[i].target);
    UpdateJournal journal;
    const ReplacingTask task = ReplacingTask::Update;
    if (!nameJournal(journal, in.installDir) || !openJournal(journal, files, count))
        return replacementFailed(in, task, journal.path, GetLastError());
    Outcome step = everyFile(in, task, journal, count, writeReplacementFile);
    if (step == Outcome::Done && !stageUpdatedRecord(in, journal, count))
        return failAndPutBack(in, task, journal, count + 1, files[count].target, GetLastError());
    if (step == Outcome::Done) step = replaceEvery(in, task, journal, ++count);
    return step == Outcome::Done ? finishReplacement(in, task, journal, count) : step;
}
