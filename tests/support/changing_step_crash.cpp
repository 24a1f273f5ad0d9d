// The tests' changingStep: KIT_CRASH_AT=k ends the process, as a power cut would, just before its
// k-th changing operation; KIT_STEP_COUNT names a file that gets the number of steps a run made,
// KIT_STEP_TRACE one that gets a line for each noted step, in order.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include "platform/changing_step.h"

static volatile LONG steps;

static void writeCount()
{
    const char* file = getenv("KIT_STEP_COUNT");
    if (!file || !*file) return;
    if (FILE* out = fopen(file, "wb")) {
        fprintf(out, "%ld", (long)steps);
        fclose(out);
    }
}

// Files are flushed on threads of their own: one line at a time.
namespace {
struct TraceLock {
    CRITICAL_SECTION section;
    TraceLock() { InitializeCriticalSection(&section); }
} traceLock;
}  // namespace

void noteStep(const char* what, const char* path)
{
    const char* file = getenv("KIT_STEP_TRACE");
    if (!file || !*file) return;
    EnterCriticalSection(&traceLock.section);
    if (FILE* out = fopen(file, "ab")) {
        fprintf(out, "%s %s\n", what, path);
        fclose(out);
    }
    LeaveCriticalSection(&traceLock.section);
}

void changingStep()
{
    static long crashAt = -1;
    if (crashAt < 0) {
        const char* at = getenv("KIT_CRASH_AT");
        crashAt = at ? atol(at) : 0;
        atexit(writeCount);
    }
    if (InterlockedIncrement(&steps) == crashAt) TerminateProcess(GetCurrentProcess(), 99);
}
