// The installed-data check: which product files are installed, and whether each one equals its source.
#include "state/installer.h"

#include "engine/data_check.h"

#include <commctrl.h>
#include <string.h>
#include <zlib.h>

int Installer::probeInstalledFile(int index, char* buffer, size_t size)
{
    if (!installFiles || index < 0 || index >= installFileCount) return 0;
    memset(buffer, 0, size);
    char path[PathSize];
    if (!formatText(path, sizeof path, "%s\\%s", installDir, installFiles[index])) return -1;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) return -1;
    FindClose(search);
    if (!copyText(buffer, size, installFiles[index])) return -1;
    return 1;
}

namespace {

// Both files are read a megabyte at a time: a quarter of the calls of 256 KiB reads, which count
// where every call to the system is emulated.
constexpr DWORD CompareBlock = 1024, CompareChunk = 1024 * 1024;
// The bar counts percent; steps that come closer together than BarMessageGapMs share one message.
constexpr int CheckBarRange = 100;
constexpr DWORD BarMessageGapMs = 15;

// What the check's bar shows, so that only a change reaches it: under Wine every message to the bar
// costs far more than comparing a block, and a check of thousands of small files would otherwise
// spend most of its time emptying and filling the bar (a file that is right leaves it full, as the
// one before it did). One check runs at a time; a second one started beside it only shares the bar.
struct ShownBar {
    HWND bar = nullptr;
    int position = -1;
    DWORD lastSent = 0;
};
ShownBar shownBar;

// The bar of a check, range 100 and step 1, set once for the bar; its position is the file's.
void prepareBar(HWND bar)
{
    if (shownBar.bar == bar) return;
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, CheckBarRange));
    SendMessageA(bar, PBM_SETSTEP, 1, 0);
    shownBar.bar = bar;
    shownBar.position = -1;
}

// The bar brought to position: at once when now is set, else where the last message is at least
// 15 ms old (steps that come closer together reach the bar together).
void showPosition(HWND bar, int position, bool now)
{
    if (shownBar.bar == bar && shownBar.position == position) return;
    if (!now && GetTickCount() - shownBar.lastSent < BarMessageGapMs) return;
    prepareBar(bar);
    SendMessageA(bar, PBM_SETPOS, (WPARAM)position, 0);
    shownBar.position = position;
    shownBar.lastSent = GetTickCount();
}

// The progress of one comparison: the bar moves as if the files were read 1024 bytes at a time,
// at most one step per block and full only when both files ended together; its position is the
// steps taken. The bar is brought up to date before each result.
struct CompareProgress {
    HWND bar;
    uint64_t wholeBlocks;
    uint64_t blocksDone = 0;
    int steps = 0;
    int lastPercentage = 0;
    // blocksDone x 100 / wholeBlocks as a whole number and a remainder, kept by additions: the
    // floating-point percentage is computed only where the remainder is 0, the one place where its
    // truncation can differ from the whole number (far from every whole percent, the rounding of a
    // double cannot cross one). No division a block: under an emulator each is a slow call.
    uint64_t percentFloor = 0, remainder = 0;

    void addBlocks(uint64_t count)
    {
        blocksDone += count;
        if (wholeBlocks == 0) return;
        remainder += CheckBarRange * count;
        while (remainder >= wholeBlocks) {
            remainder -= wholeBlocks;
            ++percentFloor;
        }
    }
    int percentage() const
    {
        if (wholeBlocks == 0) return blocksDone == 1 ? 1 : blocksDone ? CheckBarRange : 0;
        if (remainder != 0) return (int)percentFloor;
        // Through signed 64 bits: the unsigned conversion is a slow library call on this processor.
        return (int)((double)(int64_t)blocksDone / (double)(int64_t)wholeBlocks * CheckBarRange);
    }
    void block()
    {
        addBlocks(1);
        int now = percentage();
        if (now != lastPercentage) {
            ++steps;
            lastPercentage = now;
            showPosition(bar, steps, false);
        }
    }
    // count blocks at once, as count calls of block() would move the bar: where a step is at least
    // count blocks long, the percentage can change at most once over them.
    void blocks(DWORD count)
    {
        if (wholeBlocks < CheckBarRange * (uint64_t)count) {
            while (count--) block();
            return;
        }
        addBlocks(count - 1);
        block();
    }
    void show() { showPosition(bar, steps, true); }
    void finish()
    {
        if (steps < CheckBarRange) steps = CheckBarRange;
        show();
    }
};

// The two 1 MiB buffers a comparison reads into, kept from one file to the next (thousands of
// small files each otherwise touch fresh pages); a check beside another takes its own.
char* sharedBuffers;
volatile LONG sharedBuffersTaken;

char* takeBuffers()
{
    if (InterlockedExchange(&sharedBuffersTaken, 1) == 0) {
        if (!sharedBuffers) sharedBuffers = (char*)VirtualAlloc(nullptr, 2 * CompareChunk, MEM_COMMIT, PAGE_READWRITE);
        if (sharedBuffers) return sharedBuffers;
        InterlockedExchange(&sharedBuffersTaken, 0);
        return nullptr;
    }
    return (char*)VirtualAlloc(nullptr, 2 * CompareChunk, MEM_COMMIT, PAGE_READWRITE);
}

void giveBuffers(char* buffers)
{
    if (buffers == sharedBuffers)
        InterlockedExchange(&sharedBuffersTaken, 0);
    else if (buffers)
        VirtualFree(buffers, 0, MEM_RELEASE);  // only memory: nothing to lose
}

// Whether two blocks hold the same bytes: the C library's comparison, as fast as any natively and
// the same code as any other program's where 32-bit code runs under an emulator (which turns vector
// instructions into slow calls of its own).
bool sameBytes(const char* a, const char* b, size_t n) { return memcmp(a, b, n) == 0; }

HANDLE openExclusive(const char* path)
{
    return CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

// What one chunk of both files says: the comparison reads on, the files differ, or they are the same.
enum class Verdict { ReadOn, Differ, Same };

// The chunks read from both files (gotA and gotB bytes), compared block by block as 1024-byte
// reads would compare them, the bar moved for each equal block.
Verdict compareChunk(const char* a, const char* b, DWORD gotA, DWORD gotB, CompareProgress& progress)
{
    // Whole equal chunks are the common case: compared at once, then counted block by block.
    if (gotA == CompareChunk && gotB == CompareChunk && sameBytes(a, b, CompareChunk)) {
        progress.blocks(CompareChunk / CompareBlock);
        return Verdict::ReadOn;
    }
    for (DWORD at = 0;; at += CompareBlock) {
        DWORD la = gotA > at ? (gotA - at < CompareBlock ? gotA - at : CompareBlock) : 0;
        DWORD lb = gotB > at ? (gotB - at < CompareBlock ? gotB - at : CompareBlock) : 0;
        bool chunkDone = at >= gotA && at >= gotB;
        if (chunkDone && gotA == CompareChunk && gotB == CompareChunk) return Verdict::ReadOn;
        if (la == 0 && lb == 0) {
            progress.finish();
            return Verdict::Same;
        }
        if (la == 0 || lb == 0 || la != lb || memcmp(a + at, b + at, la) != 0) return Verdict::Differ;
        progress.block();
        if (la < CompareBlock && at + la == gotA && gotA < CompareChunk && gotB < CompareChunk) {
            // The next 1024-byte reads would both deliver nothing: both files ended.
            progress.finish();
            return Verdict::Same;
        }
    }
}

// Both files read chunk by chunk to their end or their first difference; a failing read is a
// mismatch. Large reads are compared block by block, which gives the user exactly what 1024-byte
// reads would show, at a fraction of the cost.
bool sameContents(HANDLE installedFile, HANDLE sourceFile, CompareProgress& progress)
{
    char* a = takeBuffers();
    if (!a) return false;
    char* b = a + CompareChunk;
    Verdict verdict = Verdict::ReadOn;
    while (verdict == Verdict::ReadOn) {
        DWORD gotA = 0, gotB = 0;
        BOOL okA = ReadFile(installedFile, a, CompareChunk, &gotA, nullptr);
        BOOL okB = ReadFile(sourceFile, b, CompareChunk, &gotB, nullptr);
        if (!okA || !okB) break;
        verdict = compareChunk(a, b, gotA, gotB, progress);
    }
    giveBuffers(a);
    return verdict == Verdict::Same;
}

}  // namespace

void beginCheckBar(HWND progressBar)
{
    shownBar.bar = nullptr;  // a new bar, or one somebody else moved: everything is sent again
    prepareBar(progressBar);
    showPosition(progressBar, 0, true);
}

void showCheckBar(HWND progressBar, int position) { showPosition(progressBar, position, true); }

bool matchesRecord(const char* path, uint64_t size, uint32_t crc, HWND progressBar)
{
    CompareProgress progress = {progressBar, size / CompareBlock};
    prepareBar(progressBar);
    HANDLE file = openExclusive(path);
    if (file == INVALID_HANDLE_VALUE) {
        progress.show();
        return false;
    }
    char* chunk = takeBuffers();
    uint32_t found = (uint32_t)crc32(0, nullptr, 0);
    uint64_t total = 0;
    bool read = chunk != nullptr;
    for (DWORD got = 0; read; total += got) {
        read = ReadFile(file, chunk, CompareChunk, &got, nullptr) != FALSE;
        if (!read || got == 0) break;
        if (total + got > size) {
            read = false;  // longer than what was placed
            break;
        }
        found = (uint32_t)crc32(found, (const Bytef*)chunk, got);
        progress.blocks((got + CompareBlock - 1) / CompareBlock);
    }
    giveBuffers(chunk);
    CloseHandle(file);  // only read
    bool same = read && total == size && found == crc;
    if (same) progress.finish();
    progress.show();
    return same;
}

int Installer::compareWithSource(const char* name, HWND progressBar)
{
    char installedPath[PathSize], sourcePath[PathSize];
    if (!formatText(installedPath, sizeof installedPath, "%s\\%s", installDir, name) ||
        !formatText(sourcePath, sizeof sourcePath, "%s\\%s", sourceDir, name))
        return 0;
    CompareProgress progress = {progressBar, fileSize(installedPath) / CompareBlock};
    prepareBar(progressBar);
    HANDLE installedFile = openExclusive(installedPath);
    if (installedFile == INVALID_HANDLE_VALUE) {
        progress.show();
        return 0;
    }
    HANDLE sourceFile = openExclusive(sourcePath);
    if (sourceFile == INVALID_HANDLE_VALUE) {
        CloseHandle(installedFile);
        progress.show();
        return 0;
    }
    bool same = sameContents(installedFile, sourceFile, progress);
    progress.show();
    CloseHandle(installedFile);
    CloseHandle(sourceFile);
    return same ? 1 : 0;
}
