// The installed-data check: which product files are installed, and whether each one equals its source.
#include "state/installer.h"
#include "platform/system_library.h"

#include <cpuid.h>
#include <commctrl.h>
#include <emmintrin.h>
#include <string.h>

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

constexpr DWORD CompareBlock = 1024, CompareChunk = 256 * 1024;
// The bar counts percent; steps that come closer together than BarMessageGapMs share one message.
constexpr int CheckBarRange = 100;
constexpr DWORD BarMessageGapMs = 15;

// The progress of one comparison: the bar moves as if the files were read 1024 bytes at a time,
// at most one step per block and full only when both files ended together. Under Wine every
// message to the bar costs far more than comparing a block, so steps that come close together
// reach the bar together, at most every 15 ms; the bar is brought up to date before each result.
struct CompareProgress {
    HWND bar;
    uint64_t wholeBlocks;
    uint64_t blocksDone = 0;
    int steps = 0;
    int lastPercentage = 0;
    int pending = 0;
    DWORD lastShown = GetTickCount();

    void block()
    {
        ++blocksDone;
        // Through signed 64 bits: the unsigned conversion is a slow library call on this processor.
        int percentage = wholeBlocks ? (int)((double)(int64_t)blocksDone / (double)(int64_t)wholeBlocks * CheckBarRange)
                                     : (blocksDone ? CheckBarRange : 0);
        if (wholeBlocks == 0 && blocksDone == 1) percentage = 1;
        if (percentage != lastPercentage) {
            ++steps;
            ++pending;
            lastPercentage = percentage;
            if (GetTickCount() - lastShown >= BarMessageGapMs) show();
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
        blocksDone += count - 1;
        block();
    }
    void show()
    {
        if (pending > 0) SendMessageA(bar, PBM_DELTAPOS, (WPARAM)pending, 0);
        pending = 0;
        lastShown = GetTickCount();
    }
    void finish()
    {
        if (steps < CheckBarRange) pending += CheckBarRange - steps;
        show();
    }
};

// Whether two blocks hold the same bytes: SSE2 compares 16 at a time where the processor has it,
// which is faster than the C library's memcmp under Wine.
// _mm_movemask_epi8 of a comparison where all 16 bytes are equal.
constexpr int AllBytesEqual = 0xFFFF;

__attribute__((target("sse2"))) bool sameBytesSse2(const char* a, const char* b, size_t n)
{
    size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        __m128i d0 = _mm_xor_si128(_mm_loadu_si128((const __m128i*)(a + i)), _mm_loadu_si128((const __m128i*)(b + i)));
        __m128i d1 =
            _mm_xor_si128(_mm_loadu_si128((const __m128i*)(a + i + 16)), _mm_loadu_si128((const __m128i*)(b + i + 16)));
        __m128i d2 =
            _mm_xor_si128(_mm_loadu_si128((const __m128i*)(a + i + 32)), _mm_loadu_si128((const __m128i*)(b + i + 32)));
        __m128i d3 =
            _mm_xor_si128(_mm_loadu_si128((const __m128i*)(a + i + 48)), _mm_loadu_si128((const __m128i*)(b + i + 48)));
        __m128i any = _mm_or_si128(_mm_or_si128(d0, d1), _mm_or_si128(d2, d3));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) != AllBytesEqual) return false;
    }
    return memcmp(a + i, b + i, n - i) == 0;
}

// The NT family says whether the processor and the system both support SSE2; Windows 98 and Me
// lack the call but save the SSE registers on every processor that reports SSE2 by cpuid.
bool hasSse2()
{
    typedef BOOL(WINAPI * FeatureFn)(DWORD);
    FeatureFn present = (FeatureFn)(void*)loadedFunction("kernel32.dll", "IsProcessorFeaturePresent");
    if (present) return present(PF_XMMI64_INSTRUCTIONS_AVAILABLE) != FALSE;
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    return __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (edx & bit_SSE2) != 0;
}

bool sameBytes(const char* a, const char* b, size_t n)
{
    static const bool sse2 = hasSse2();
    return sse2 ? sameBytesSse2(a, b, n) : memcmp(a, b, n) == 0;
}

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
    char* a = (char*)VirtualAlloc(nullptr, 2 * CompareChunk, MEM_COMMIT, PAGE_READWRITE);
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
    VirtualFree(a, 0, MEM_RELEASE);
    return verdict == Verdict::Same;
}

}  // namespace

int Installer::compareWithSource(const char* name, HWND progressBar)
{
    char installedPath[PathSize], sourcePath[PathSize];
    if (!formatText(installedPath, sizeof installedPath, "%s\\%s", installDir, name) ||
        !formatText(sourcePath, sizeof sourcePath, "%s\\%s", sourceDir, name))
        return 0;
    CompareProgress progress = {progressBar, fileSize(installedPath) / CompareBlock};
    SendMessageA(progressBar, PBM_SETRANGE, 0, MAKELPARAM(0, CheckBarRange));
    SendMessageA(progressBar, PBM_SETSTEP, 1, 0);
    SendMessageA(progressBar, PBM_SETPOS, 0, 0);
    HANDLE installedFile = openExclusive(installedPath);
    if (installedFile == INVALID_HANDLE_VALUE) return 0;
    HANDLE sourceFile = openExclusive(sourcePath);
    if (sourceFile == INVALID_HANDLE_VALUE) {
        CloseHandle(installedFile);
        return 0;
    }
    bool same = sameContents(installedFile, sourceFile, progress);
    progress.show();
    CloseHandle(installedFile);
    CloseHandle(sourceFile);
    return same ? 1 : 0;
}
