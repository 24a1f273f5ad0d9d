// Extraction of the medium's zip archives into the installation folder.
#include <ctype.h>
#include <set>
#include <string>
#include <string.h>
#include <unzip.h>
#include <zlib.h>

#include "platform/access_list.h"
#include "engine/extraction_times.h"
#include "engine/entry_names.h"
#include "engine/flush_queue.h"
#include "engine/new_target.h"
#include "engine/placed_record.h"
#include "engine/zip_extract.h"
#include "engine/install_over_game.h"
#include "engine/installed_file_kind.h"
#include "state/installer.h"
#include "platform/run_log.h"
#include "state/copy_state.h"
#include "engine/copy_worker.h"

// The archive entry's name as minizip gives it, with its terminator.
enum { EntryNameSize = 512 };
// An entry is read 64 KiB at a time, eight of the 8 KiB blocks minizip works in.
enum { EntryReadSize = 8 * ZipBlockSize };

// The folders of one extraction known to be there: an archive of many entries names each folder
// many times, and each look at the disk costs as much as writing a small entry.
class FolderCache {
public:
    // Makes the folders above the file at path (all of path when it ends in a backslash).
    void makeFor(const char* path)
    {
        std::string folder(path);
        const char* slash = lastBackslash(&folder[0]);
        folder.resize(slash ? (size_t)(slash - folder.c_str()) : 0);
        if (folder.empty() || made_.count(folder)) return;
        if (Installer::makeDirectories(path)) made_.insert(folder);
    }

private:
    std::set<std::string> made_;
};

// Writes the current entry to target. False when the file cannot be made new, or the entry's data
// are damaged or the file could not be written completely; the partly written file is then removed.
static bool copyZipEntry(void* zip, const char* target, uint32_t expectedSize, FlushQueue& flushes,
                         SECURITY_ATTRIBUTES* locked, uint64_t& installedBytes)
{
    // Made new, like a plain file: never written through a file or link that was there; with the
    // access list of an installed file where the system has them.
    int64_t mark = timeMark();
    HANDLE file = createNewTarget(target, GENERIC_READ | GENERIC_WRITE, locked, &flushes);
    addTime(extractionTimes.create, mark);
    if (file == INVALID_HANDLE_VALUE) {
        unzCloseCurrentFile(zip);
        return false;
    }
    // The entry is taken in 64 KiB reads rather than 8 KiB blocks: the same bytes reach the file,
    // with an eighth of the calls (make bench shows archives about 15% faster under Wine).
    static char block[EntryReadSize];
    bool good = true;
    // The reader checks the CRC when it closes the entry, but only once the whole announced size
    // came out: a stream that ends early passes it by. The bytes are therefore counted here.
    uint32_t total = 0;
    for (int got = 0; good; total += (uint32_t)got) {
        got = unzReadCurrentFile(zip, block, sizeof block);
        addTime(extractionTimes.inflate, mark);
        good = got >= 0;
        if (got <= 0) break;
        DWORD written = 0;
        good = WriteFile(file, block, (DWORD)got, &written, nullptr) && written == (DWORD)got;
        addTime(extractionTimes.write, mark);
    }
    if (unzCloseCurrentFile(zip) != UNZ_OK || total != expectedSize) good = false;
    addTime(extractionTimes.inflate, mark);
    if (!good) {
        CloseHandle(file);
        DeleteFileA(target);
        return false;
    }
    flushes.take(file, target);
    installedBytes += total;
    return true;
}

// What one archive's extraction keeps: where its files go to be flushed, the folders made, what it
// wrote.
struct Extraction {
    FlushQueue& flushes;
    const char* archiveName;  // the archive's own name, and the disc it is on, for the record
    int disc;
    FolderCache folders;
    uint64_t& installedBytes;
    int entries = 0;
    AccessList list{}, settingsList{};
    SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    SECURITY_ATTRIBUTES settingsSecurity{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    SECURITY_ATTRIBUTES* locked = nullptr;          // the files' access list at their creation; nullptr without one
    SECURITY_ATTRIBUTES* settingsLocked = nullptr;  // the same for the settings file, which the players write
};

// One access list for every entry, given as each file is made; the settings file its own.
static void lockEntries(Extraction& run)
{
    if (!buildAccessList(UsersRead, run.list) || !buildAccessList(UsersModify, run.settingsList)) return;
    run.security.lpSecurityDescriptor = &run.list.descriptor;
    run.settingsSecurity.lpSecurityDescriptor = &run.settingsList.descriptor;
    run.locked = &run.security;
    run.settingsLocked = &run.settingsSecurity;
}

// Where an entry goes below destRoot: nowhere (an unsafe name, never written: it would land outside
// the folder or on a device), a folder, a file (its path in target, PathSize bytes), or a path that
// does not fit. Its name's separators are made backslashes.
enum class EntryPlace { Skipped, Folder, File, TooLong };
static EntryPlace entryPlace(char* name, const char* destRoot, char* target)
{
    for (char* p = name; *p; ++p)
        if (*p == '/') *p = '\\';  // never a second byte of a two-byte character
    if (!isSafeEntryName(name)) return EntryPlace::Skipped;
    if (!formatText(target, PathSize, "%s%s", destRoot, name)) return EntryPlace::TooLong;
    return strlen(name) >= 2 && endsWithBackslash(name) ? EntryPlace::Folder : EntryPlace::File;
}

// The current entry, named name, put where it belongs below destRoot: a folder made, a file
// written, an unsafe name passed over. False when the extraction fails on it.
static bool extractEntry(unzFile zip, const unz_file_info& info, char* name, const char* destRoot, Extraction& run)
{
    char target[PathSize];
    EntryPlace place = entryPlace(name, destRoot, target);
    if (place == EntryPlace::Skipped) return true;
    if (place == EntryPlace::TooLong) return false;
    if (place == EntryPlace::Folder) {
        run.folders.makeFor(target);
        return true;
    }
    // Over the game, the entry is written beside its target and replaced only when all is copied.
    char staged[PathSize];
    const char* placed = placedName(target, staged);
    int64_t mark = timeMark();
    if (!placed || unzOpenCurrentFile(zip) != UNZ_OK) return false;
    addTime(extractionTimes.directory, mark);
    run.folders.makeFor(target);
    addTime(extractionTimes.create, mark);
    SECURITY_ATTRIBUTES* locked = installedFileKind(target) == UsersModify ? run.settingsLocked : run.locked;
    if (!copyZipEntry(zip, placed, (uint32_t)info.uncompressed_size, run.flushes, locked, run.installedBytes))
        return false;
    notePlaced(name, PlacedOrigin::Archive, run.disc, info.uncompressed_size, (uint32_t)info.crc, run.archiveName);
    ++run.entries;
    return true;
}

// Over the game, every entry's new name is journaled, and the journal on the disk, before the first
// entry is written (one flush for the archive rather than one an entry); then back at the first entry.
static bool stageEntries(unzFile zip, const char* destRoot)
{
    if (!stagingActive()) return true;
    char name[EntryNameSize], target[PathSize], staged[PathSize];
    unz_file_info info;
    int step = UNZ_OK;
    for (; step == UNZ_OK; step = unzGoToNextFile(zip)) {
        if (unzGetCurrentFileInfo(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
        EntryPlace place = entryPlace(name, destRoot, target);
        if (place == EntryPlace::TooLong || (place == EntryPlace::File && !placedName(target, staged))) return false;
    }
    return step == UNZ_END_OF_LIST_OF_FILE && stagedNamesOnDisk() && unzGoToFirstFile(zip) == UNZ_OK;
}

bool Installer::extractZip(const char* archive, const char* destRoot)
{
    return extractArchive(*this, archive, destRoot, 0) != ArchiveResult::NotOpened;
}

ArchiveResult extractArchive(Installer& in, const char* archive, const char* destRoot, int disc)
{
    unzFile zip = unzOpen(archive);
    if (!zip) return ArchiveResult::NotOpened;
    char name[EntryNameSize];
    unz_file_info info;
    // Within a copy run its files are flushed together, and counted once all are on the disk; an
    // archive extracted on its own waits for its own.
    FlushQueue own;
    FlushQueue& flushes = in.copyFlushes ? *in.copyFlushes : own;
    char path[PathSize];
    const char* slash = copyText(path, sizeof path, archive) ? lastBackslash(path) : nullptr;
    Extraction run{flushes, slash ? slash + 1 : archive, disc, {}, in.installedBytes};
    lockEntries(run);
    uint64_t bytesBefore = in.installedBytes;
    int64_t mark = timeMark();
    bool whole = stageEntries(zip, destRoot);
    while (whole && unzGetCurrentFileInfo(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) == UNZ_OK) {
        addTime(extractionTimes.directory, mark);
        if (!extractEntry(zip, info, name, destRoot, run)) {
            whole = false;
            break;
        }
        mark = timeMark();
        int next = unzGoToNextFile(zip);
        if (next == UNZ_END_OF_LIST_OF_FILE) break;
        whole = next == UNZ_OK;
    }
    mark = timeMark();
    if (!own.finish() || flushes.failed()) whole = false;
    addTime(extractionTimes.wait, mark);
    extractionTimes.entries += run.entries;
    unzClose(zip);
    logLine("archive %s, %d entries, %.0f bytes", archive, run.entries, (double)(in.installedBytes - bytesBefore));
    return whole ? ArchiveResult::Extracted : ArchiveResult::Damaged;
}
