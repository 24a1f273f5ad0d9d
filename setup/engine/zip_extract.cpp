// Extraction of the medium's zip archives into the installation folder.
#include <ctype.h>
#include <deque>
#include <set>
#include <string>
#include <string.h>
#include <unzip.h>
#include <zlib.h>

#include "platform/access_list.h"
#include "engine/extraction_times.h"
#include "engine/install_over_game.h"
#include "engine/installer.h"
#include "platform/run_log.h"

// The archive entry's name as minizip gives it, with its terminator.
enum { EntryNameSize = 512 };
// An entry is read 64 KiB at a time, eight of the 8 KiB blocks minizip works in.
enum { EntryReadSize = 8 * ZipBlockSize };

namespace {

// A device name as a path component: CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, with or without an
// extension, in any letter case.
bool isDeviceName(const char* component, size_t len)
{
    size_t stem = 0;
    while (stem < len && component[stem] != '.') ++stem;
    while (stem > 0 && component[stem - 1] == ' ') --stem;
    char upper[5] = "";
    if (stem != 3 && stem != 4) return false;
    for (size_t k = 0; k < stem; ++k) upper[k] = (char)toupper((unsigned char)component[k]);
    upper[stem] = '\0';
    if (stem == 3)
        return !strcmp(upper, "CON") || !strcmp(upper, "PRN") || !strcmp(upper, "AUX") || !strcmp(upper, "NUL");
    return (!strncmp(upper, "COM", 3) || !strncmp(upper, "LPT", 3)) && upper[3] >= '1' && upper[3] <= '9';
}

}  // namespace

// An entry name (backslashes already) that stays inside the destination and names no device.
// The name is judged a character at a time, so a second byte 0x5C is not taken for a separator.
bool isSafeEntryName(const char* name)
{
    if (name[0] == '\0' || name[0] == '\\') return false;
    const char* start = name;
    for (const char* p = name;; p = nextPathChar(p)) {
        if (*p == ':') return false;
        if (*p == '\\' || *p == '\0') {
            size_t len = (size_t)(p - start);
            if (len == 2 && start[0] == '.' && start[1] == '.') return false;
            if (isDeviceName(start, len)) return false;
            if (*p == '\0') return true;
            start = p + 1;
        }
    }
}

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

// Flushes and closes the extracted files on a thread of its own: the flush of one entry (a disk
// sync) overlaps the decompression of the next. A file whose flush fails is removed, and the
// extraction learns of it before it ends. A file made with its access list is not given it again.
struct EntryCloser {
    struct Pending {
        HANDLE file;
        char path[PathSize];
    };
    CRITICAL_SECTION lock;
    HANDLE wake;
    HANDLE thread;
    std::deque<Pending> queue;
    bool stopping = false;
    bool lockEach = true;
    volatile LONG failed = 0;

    EntryCloser()
    {
        InitializeCriticalSection(&lock);
        wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        thread = CreateThread(nullptr, 0, run, this, 0, nullptr);
    }
    EntryCloser(const EntryCloser&) = delete;
    EntryCloser& operator=(const EntryCloser&) = delete;
    ~EntryCloser()
    {
        finish();
        DeleteCriticalSection(&lock);
        CloseHandle(wake);
    }

    // Takes over a complete file; without the thread it is flushed and closed here.
    void close(HANDLE file, const char* path)
    {
        Pending item;
        item.file = file;
        copyText(item.path, sizeof item.path, path);
        if (!thread) {
            flushAndClose(item);
            return;
        }
        EnterCriticalSection(&lock);
        queue.push_back(item);
        LeaveCriticalSection(&lock);
        SetEvent(wake);
    }
    // Waits until every file taken over is flushed and closed; false when a flush failed.
    bool finish()
    {
        if (thread) {
            EnterCriticalSection(&lock);
            stopping = true;
            LeaveCriticalSection(&lock);
            SetEvent(wake);
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
            thread = nullptr;
        }
        return failed == 0;
    }

private:
    void flushAndClose(const Pending& item)
    {
        int64_t mark = timeMark();
        bool flushed = FlushFileBuffers(item.file) != FALSE;
        addTime(extractionTimes.flush, mark);
        CloseHandle(item.file);
        if (!flushed) {
            DeleteFileA(item.path);
            failed = 1;
            return;
        }
        if (lockEach) lockPath(item.path, InstalledItem);
        addTime(extractionTimes.close, mark);
    }
    static DWORD WINAPI run(LPVOID self)
    {
        EntryCloser& c = *(EntryCloser*)self;
        for (;;) {
            EnterCriticalSection(&c.lock);
            bool empty = c.queue.empty();
            bool stop = c.stopping;
            Pending item = {};
            if (!empty) {
                item = c.queue.front();
                c.queue.pop_front();
            }
            LeaveCriticalSection(&c.lock);
            if (!empty)
                c.flushAndClose(item);
            else if (stop)
                return 0;
            else
                WaitForSingleObject(c.wake, INFINITE);
        }
    }
};

// Writes the current entry to target. False when the file cannot be made new, or the entry's data
// are damaged or the file could not be written completely; the partly written file is then removed.
static bool copyZipEntry(void* zip, const char* target, uint32_t expectedSize, EntryCloser& closer,
                         SECURITY_ATTRIBUTES* locked, uint64_t& installedBytes)
{
    // Made new, like a plain file: never written through a file or link that was there; with the
    // access list of an installed file where the system has them.
    int64_t mark = timeMark();
    HANDLE file = createNewTarget(target, GENERIC_READ | GENERIC_WRITE, locked);
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
    closer.close(file, target);
    installedBytes += total;
    return true;
}

// What one archive's extraction keeps: the flushes in flight, the folders made, what it wrote.
struct Extraction {
    EntryCloser closer;
    FolderCache folders;
    uint64_t& installedBytes;
    int entries;
    AccessList list;
    SECURITY_ATTRIBUTES security;
    SECURITY_ATTRIBUTES* locked;  // the files' access list at their creation; nullptr without one
};

// The current entry, named name (its separators made backslashes), put where it belongs below
// destRoot: a folder made, a file written, an unsafe name passed over. False when the extraction
// fails on it.
static bool extractEntry(unzFile zip, const unz_file_info& info, char* name, const char* destRoot, Extraction& run)
{
    for (char* p = name; *p; ++p)
        if (*p == '/') *p = '\\';  // never a second byte of a two-byte character
    char target[PathSize];
    if (!isSafeEntryName(name)) return true;  // never written: it would land outside the folder or on a device
    if (!formatText(target, sizeof target, "%s%s", destRoot, name)) return false;
    if (strlen(name) >= 2 && endsWithBackslash(name)) {
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
    if (!copyZipEntry(zip, placed, (uint32_t)info.uncompressed_size, run.closer, run.locked, run.installedBytes))
        return false;
    ++run.entries;
    return true;
}

bool Installer::extractZip(const char* archive, const char* destRoot)
{
    unzFile zip = unzOpen(archive);
    if (!zip) return false;
    char name[EntryNameSize];
    unz_file_info info;
    Extraction run{{}, {}, installedBytes, 0, {}, {sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE}, nullptr};
    // One access list for every entry, given as each file is made.
    if (buildAccessList(InstalledItem, run.list)) {
        run.security.lpSecurityDescriptor = &run.list.descriptor;
        run.locked = &run.security;
        run.closer.lockEach = false;
    }
    uint64_t bytesBefore = installedBytes;
    int64_t mark = timeMark();
    while (unzGetCurrentFileInfo(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) == UNZ_OK) {
        addTime(extractionTimes.directory, mark);
        if (!extractEntry(zip, info, name, destRoot, run)) {
            copyFailed = FileNotCopied;
            break;
        }
        mark = timeMark();
        int next = unzGoToNextFile(zip);
        if (next == UNZ_END_OF_LIST_OF_FILE) break;
        if (next != UNZ_OK) {
            copyFailed = FileNotCopied;
            break;
        }
    }
    mark = timeMark();
    if (!run.closer.finish()) copyFailed = FileNotCopied;
    addTime(extractionTimes.wait, mark);
    extractionTimes.entries += run.entries;
    unzClose(zip);
    logLine("archive %s, %d entries, %.0f bytes", archive, run.entries, (double)(installedBytes - bytesBefore));
    return true;
}
