#include "engine/extraction_times.h"

#include <windows.h>

ExtractionTimes extractionTimes;

int64_t timeMark()
{
    LARGE_INTEGER now;
    if (!QueryPerformanceCounter(&now)) return 0;  // no counter (some 98 machines): no time is shown
    return now.QuadPart;
}

void addTime(int64_t& part, int64_t& mark)
{
    int64_t now = timeMark();
    __atomic_fetch_add(&part, now - mark, __ATOMIC_RELAXED);
    mark = now;
}

double timeInMilliseconds(int64_t ticks)
{
    LARGE_INTEGER frequency;
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart == 0) return 0;
    return (double)ticks * 1000.0 / (double)frequency.QuadPart;
}
