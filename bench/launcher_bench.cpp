// One installation of the sample medium in drive n: into a new base folder, through the real
// launcher with its questions answered as a player answers them, or with setup.exe /quiet. Prints
// "WALL CPU" in milliseconds over the same span, from the moment the installation folder appears
// (the copy starts right after it is made) to the installation record: the wall time up to the
// record's last write as the registry stamps it, and the processor time setup.exe used meanwhile
// (read when the folder appears, looked for every millisecond, and when the record does, looked for
// every 10 ms). The record and the installed-programs entry are removed afterwards, so that the
// next run installs again. A third figure is the peak working set of setup.exe up to the record,
// in KiB.
//   launcher_bench launcher|quiet BASEFOLDER
// The repair: the game installed into BASEFOLDER (setup.exe /quiet, not timed), then the quiet
// installation over it and the quiet repair of update3.tpk (1000 KiB, its bytes changed), each timed
// from its start to its end in milliseconds: prints "OVERGAME REPAIR".
//   launcher_bench repair BASEFOLDER
#include <windows.h>
#include <psapi.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "config/product_config.h"
#include "driver.h"
#include "launcher_buttons.h"

static double milliseconds(const FILETIME& t)
{
    return ((double)t.dwHighDateTime * 4294967296.0 + (double)t.dwLowDateTime) / 10000.0;
}

// The processor time of the process so far.
static double processorTime(HANDLE process)
{
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(process, &created, &ended, &kernel, &user)) return -1e9;
    return milliseconds(kernel) + milliseconds(user);
}

static bool recordWritten()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, productConfig.installRecordKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    bool last = RegQueryValueExA(key, "InstType", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return last;
}

// The span of the copy: the wall-clock time when the folder appears and the processor time of the
// process then and when the record has been written. False when either did not come in 10 minutes.
struct Span {
    FILETIME start = {};
    double cpuStart = 0, cpuEnd = 0;
    SIZE_T peakWorkingSet = 0;
};
static bool awaitCopy(HANDLE process, const std::string& folder, Span& span)
{
    DWORD started = GetTickCount();
    while (GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - started > 600000) return false;
        Sleep(1);
    }
    GetSystemTimeAsFileTime(&span.start);
    span.cpuStart = processorTime(process);
    // The span's end is the record's own time stamp, so the record is looked for only every 10 ms:
    // a look every millisecond is a call to the Wine server each time, on the processors the
    // installation runs on.
    while (!recordWritten()) {
        if (GetTickCount() - started > 600000) return false;
        Sleep(10);
    }
    span.cpuEnd = processorTime(process);
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(process, &memory, sizeof memory)) span.peakWorkingSet = memory.PeakWorkingSetSize;
    return true;
}

static bool installThroughLauncher(kit::Process& setup, const std::string& dir, const std::string& folder, Span& span)
{
    HWND launcher = installFromDriveN(setup, dir, [&] { return awaitCopy(setup.handle, folder, span); });
    if (!launcher) return false;
    kit::click(launcher, IDCANCEL);
    return kit::waitExit(setup, 60000) == 0;
}

// A quiet run of n:\setup.exe to its end: its milliseconds, or -1 when it did not end with 0.
static double timedRun(const std::string& args)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    kit::Process setup;
    if (!kit::start(setup, "n:\\setup.exe", args) || kit::waitExit(setup, 600000) != 0) return -1;
    QueryPerformanceCounter(&end);
    return (double)(end.QuadPart - start.QuadPart) * 1000.0 / (double)frequency.QuadPart;
}

static void removeRecord()
{
    kit::deleteRegistryTree(HKEY_LOCAL_MACHINE, productConfig.installRecordKey);
    kit::deleteRegistryTree(
        HKEY_LOCAL_MACHINE,
        (std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + productConfig.uninstallEntry)
            .c_str());
}

static int benchRepair(const std::string& dir, const std::string& folder)
{
    if (timedRun("/quiet /nodesktop " + dir) < 0) {
        fprintf(stderr, "launcher_bench: the installation did not complete\n");
        return 1;
    }
    // Over the game: the record names the folder but is not complete, so that setup.exe installs again.
    HKEY record;
    bool incomplete = false;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, productConfig.installRecordKey, 0, KEY_SET_VALUE, &record) == ERROR_SUCCESS) {
        incomplete = RegDeleteValueA(record, "InstType") == ERROR_SUCCESS;
        RegCloseKey(record);
    }
    if (!incomplete) {
        fprintf(stderr, "launcher_bench: the record could not be made incomplete\n");
        removeRecord();
        return 1;
    }
    double overGame = timedRun("/quiet /nodesktop " + dir);
    std::string damaged = folder + "\\update3.tpk", bytes;
    if (!kit::readFile(damaged, bytes) || bytes.empty()) return 1;
    std::string original = bytes, repaired;
    for (char& c : bytes) c = (char)~c;
    double repair = kit::writeFile(damaged, bytes) ? timedRun("/repair") : -1;
    bool right = kit::readFile(damaged, repaired) && repaired == original;
    removeRecord();
    if (overGame < 0 || repair < 0 || !right) {
        fprintf(stderr, "launcher_bench: the installation over the game or the repair did not complete\n");
        return 1;
    }
    printf("%.0f %.0f\n", overGame, repair);
    return 0;
}

int main(int argc, char** argv)
{
    bool repair = argc == 3 && strcmp(argv[1], "repair") == 0;
    if (argc != 3 || (strcmp(argv[1], "launcher") != 0 && strcmp(argv[1], "quiet") != 0 && !repair)) {
        fprintf(stderr, "usage: launcher_bench launcher|quiet|repair BASEFOLDER\n");
        return 2;
    }
    std::string base = argv[2];
    std::string dir = "\"/dir=" + base + "\"";
    std::string folder = base + "\\" + productConfig.publisherName + "\\" + productConfig.folderName;
    if (repair) return benchRepair(dir, folder);
    kit::Process setup;
    Span span;
    bool installed;
    if (strcmp(argv[1], "quiet") == 0)
        installed = kit::start(setup, "n:\\setup.exe", "/quiet /nodesktop " + dir) &&
                    awaitCopy(setup.handle, folder, span) && kit::waitExit(setup, 600000) == 0;
    else
        installed = installThroughLauncher(setup, dir, folder, span);
    if (!installed) {
        fprintf(stderr, "launcher_bench: the %s installation did not complete\n", argv[1]);
        kit::terminate(setup);
        return 1;
    }
    FILETIME recorded = {};
    bool stamped = true;
    HKEY record;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, productConfig.installRecordKey, 0, KEY_READ, &record) == ERROR_SUCCESS) {
        stamped = RegQueryInfoKeyA(record, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, &recorded) == ERROR_SUCCESS &&
                  stamped;
        RegCloseKey(record);
    } else {
        stamped = false;
    }
    removeRecord();
    if (!stamped) {
        fprintf(stderr, "launcher_bench: no time stamps of the folder and the record\n");
        return 1;
    }
    printf("%.0f %.0f %lu\n", milliseconds(recorded) - milliseconds(span.start), span.cpuEnd - span.cpuStart,
           (unsigned long)(span.peakWorkingSet / 1024));
    return 0;
}
