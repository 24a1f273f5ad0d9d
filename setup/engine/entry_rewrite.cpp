#include "engine/entry_rewrite.h"

#include <windows.h>
#include <stdint.h>
#include <string.h>
#include <unzip.h>

#include <vector>

#include "engine/entry_names.h"
#include "engine/installed_file_kind.h"
#include "engine/update_journal.h"
#include "platform/access_list.h"
#include "platform/changing_step.h"
#include "platform/run_log.h"

namespace {

// The archive entry's name as minizip gives it, with its terminator.
enum { EntryNameSize = 512, EntryReadSize = 65536 };

// The open entry's bytes into file, checked whole against its size and CRC; false with the
// Windows error in error.
bool copyEntry(unzFile zip, const unz_file_info& info, HANDLE file, DWORD& error)
{
    static char block[EntryReadSize];
    bool good = true;
    error = ERROR_CRC;
    uint64_t total = 0;
    for (int got = 0; good; total += (uint64_t)got) {
        got = unzReadCurrentFile(zip, block, sizeof block);
        good = got >= 0;
        if (got <= 0) break;
        DWORD written = 0;
        changingStep();
        good = WriteFile(file, block, (DWORD)got, &written, nullptr) && written == (DWORD)got;
        if (!good) error = GetLastError() != NO_ERROR ? GetLastError() : ERROR_DISK_FULL;
    }
    // The reader checks the CRC as it closes the entry, once the whole announced size came out.
    if (unzCloseCurrentFile(zip) != UNZ_OK || total != info.uncompressed_size) good = false;
    return good;
}

// The current entry into f's new name; false with the Windows error as the last error.
bool writeEntry(unzFile zip, const unz_file_info& info, UpdateFile& f)
{
    if (unzOpenCurrentFile(zip) != UNZ_OK) {
        SetLastError(ERROR_CRC);
        return false;
    }
    changingStep();
    HANDLE file = createLockedFile(f.fresh, installedFileKind(f.target));
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        unzCloseCurrentFile(zip);
        SetLastError(error);
        return false;
    }
    DWORD error = NO_ERROR;
    bool good = copyEntry(zip, info, file, error);
    // On the disk before the journal says "replacing".
    if (good && !FlushFileBuffers(file)) {
        good = false;
        error = GetLastError();
    }
    if (!CloseHandle(file) && good) {
        good = false;
        error = GetLastError();
    }
    if (good) noteStep("flushed", f.fresh);
    SetLastError(error);
    return good;
}

}  // namespace

bool extractEntriesAgain(const char* archive, const char* installDir, UpdateFile* files, int count)
{
    unzFile zip = unzOpen(archive);
    if (!zip) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    std::vector<bool> written((size_t)count, false);
    size_t below = strlen(installDir) + 1;
    char name[EntryNameSize];
    unz_file_info info;
    bool good = true;
    int step = unzGoToFirstFile(zip);
    for (; good && step == UNZ_OK; step = unzGoToNextFile(zip)) {
        if (unzGetCurrentFileInfo(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) break;
        for (char* p = name; *p; ++p)
            if (*p == '/') *p = '\\';  // never a second byte of a two-byte character
        if (!isSafeEntryName(name)) continue;
        for (int i = 0; i < count && good; ++i) {
            if (!samePath(files[i].target + below, name)) continue;
            // An entry named twice was installed as its last writing: so it is written again.
            if (written[i] && !DeleteFileA(files[i].fresh)) good = false;
            good = good && writeEntry(zip, info, files[i]);
            written[i] = good;
        }
    }
    DWORD error = GetLastError();
    unzClose(zip);
    if (!good) {
        SetLastError(error);
        return false;
    }
    for (int i = 0; i < count; ++i)
        if (!written[i]) {
            logLine("not in %s: %s", archive, files[i].target);
            SetLastError(step == UNZ_END_OF_LIST_OF_FILE ? ERROR_FILE_NOT_FOUND : ERROR_CRC);
            return false;
        }
    return true;
}
