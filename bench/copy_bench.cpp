// Installs the benchmark medium through the real copy engine (worker thread, pump, progress bar),
// or copies it file by file with CopyFileA, and prints the milliseconds taken.
//   copy_bench engine   SOURCE TARGET NAME...   (where archives are among them, the breakdown of
//                                                 their extraction goes to the error output)
//   copy_bench copyfile SOURCE TARGET NAME...
//   copy_bench compare  SOURCE TARGET NAME...   (the installed-data check of each file)
//   copy_bench readcompare SOURCE TARGET NAME... (the plainest comparison: both files read once in
//                                                 1 MiB blocks and compared, the floor of any check)
//   copy_bench checkplaced TARGET                (the data check of the archives' files the engine
//                                                 recorded in TARGET\placed.lst, by size and CRC)
//   copy_bench readplaced SOURCE TARGET          (the same files read and compared with SOURCE's)
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include "engine/data_check.h"
#include "engine/extraction_times.h"
#include "engine/placed_record.h"
#include "state/installer.h"
#include "launcher_stand_in.h"

// Both files read in 1 MiB blocks and compared; false when they differ or one cannot be read.
static bool readAndCompare(const char* from, const char* to)
{
    enum { Block = 1 << 20 };
    static char a[Block], b[Block];
    HANDLE x = CreateFileA(from, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE y = CreateFileA(to, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    bool same = x != INVALID_HANDLE_VALUE && y != INVALID_HANDLE_VALUE;
    for (DWORD gotA = 0, gotB = 0; same;) {
        same = ReadFile(x, a, Block, &gotA, nullptr) && ReadFile(y, b, Block, &gotB, nullptr) && gotA == gotB &&
               memcmp(a, b, gotA) == 0;
        if (gotA == 0) break;
    }
    CloseHandle(x);
    CloseHandle(y);
    return same;
}

// The archives' files of TARGET's record: each checked by its size and CRC (SOURCE null), or read
// and compared with SOURCE's copy. Prints the milliseconds; 1 when one differs.
static int checkPlaced(const char* source, const char* target)
{
    PlacedList list;
    if (!readPlacedRecord(target, list)) return 1;
    Installer in;
    LauncherStandIn launcher(in);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (const PlacedFile& f : list) {
        if (f.origin != PlacedOrigin::Archive) continue;
        char from[MAX_PATH], to[MAX_PATH];
        snprintf(from, sizeof from, "%s\\%s", source ? source : "", f.path);
        snprintf(to, sizeof to, "%s\\%s", target, f.path);
        if (source ? !readAndCompare(from, to) : !matchesRecord(to, f.size, f.crc, launcher.bar())) {
            fprintf(stderr, "%s differs\n", f.path);
            return 1;
        }
    }
    QueryPerformanceCounter(&end);
    printf("%.1f\n", (double)(end.QuadPart - start.QuadPart) * 1000.0 / (double)frequency.QuadPart);
    return 0;
}

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "checkplaced") == 0) return checkPlaced(nullptr, argv[2]);
    if (argc == 4 && strcmp(argv[1], "readplaced") == 0) return checkPlaced(argv[2], argv[3]);
    if (argc < 5) {
        fprintf(stderr, "usage: copy_bench engine|copyfile SOURCE TARGET NAME...\n");
        return 2;
    }
    const char* mode = argv[1];
    const char* source = argv[2];
    const char* target = argv[3];
    CreateDirectoryA(target, nullptr);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    if (strcmp(mode, "copyfile") == 0) {
        QueryPerformanceCounter(&start);
        for (int i = 4; i < argc; ++i) {
            char from[MAX_PATH], to[MAX_PATH];
            snprintf(from, sizeof from, "%s\\%s", source, argv[i]);
            snprintf(to, sizeof to, "%s\\%s", target, argv[i]);
            if (!CopyFileA(from, to, FALSE)) return 1;
        }
        QueryPerformanceCounter(&end);
    } else if (strcmp(mode, "readcompare") == 0) {
        QueryPerformanceCounter(&start);
        for (int i = 4; i < argc; ++i) {
            char from[MAX_PATH], to[MAX_PATH];
            snprintf(from, sizeof from, "%s\\%s", source, argv[i]);
            snprintf(to, sizeof to, "%s\\%s", target, argv[i]);
            if (!readAndCompare(from, to)) {
                fprintf(stderr, "%s differs\n", argv[i]);
                return 1;
            }
        }
        QueryPerformanceCounter(&end);
    } else if (strcmp(mode, "compare") == 0) {
        Installer in;
        snprintf(in.sourceDir, sizeof in.sourceDir, "%s", source);
        snprintf(in.installDir, sizeof in.installDir, "%s", target);
        LauncherStandIn launcher(in);
        QueryPerformanceCounter(&start);
        for (int i = 4; i < argc; ++i)
            if (in.compareWithSource(argv[i], launcher.bar()) != 1) {
                fprintf(stderr, "%s differs\n", argv[i]);
                return 1;
            }
        QueryPerformanceCounter(&end);
    } else {
        Installer in;
        std::vector<const char*> names(argv + 4, argv + argc);
        names.push_back(nullptr);
        const char* none[] = {nullptr};
        in.installFiles = Installer::duplicateNameList(nullptr, names.data(), &in.installFileCount);
        in.extraFiles = Installer::duplicateNameList(nullptr, none, nullptr);
        in.discLabels = Installer::duplicateNameList(nullptr, none, nullptr);
        snprintf(in.sourceDir, sizeof in.sourceDir, "%s", source);
        snprintf(in.installDir, sizeof in.installDir, "%s", target);
        LauncherStandIn launcher(in);
        QueryPerformanceCounter(&start);
        bool ok = in.runCopy();
        QueryPerformanceCounter(&end);
        if (!ok) return 1;
        // What the engine placed, for the data check of the archives' files (not timed).
        char record[MAX_PATH];
        if (!placedRecordPath(target, record) || !writePlacedRecord(record, placedThisRun())) return 1;
        // Where the archives' time went (milliseconds summed over the entries), for the report.
        const ExtractionTimes& x = extractionTimes;
        if (x.entries > 0)
            fprintf(stderr, "breakdown %.1f %.1f %.1f %.1f %.1f %.1f %.1f %lld\n", timeInMilliseconds(x.directory),
                    timeInMilliseconds(x.inflate), timeInMilliseconds(x.create), timeInMilliseconds(x.write),
                    timeInMilliseconds(x.flush), timeInMilliseconds(x.close), timeInMilliseconds(x.wait),
                    (long long)x.entries);
    }
    printf("%.1f\n", (double)(end.QuadPart - start.QuadPart) * 1000.0 / (double)frequency.QuadPart);
    return 0;
}
