// Where an extraction's time goes, summed over a run with the performance counter: reading the
// archive's directory and headers, inflating (with the CRC), making folders and files, writing,
// flushing and closing (summed over the copy run's flushing threads), and waiting for the flushes
// (for a free place among the files waiting, and at the end). The flushes run beside the inflating,
// so the parts add up to more than the run took.
#pragma once
#include <stdint.h>

struct ExtractionTimes {
    int64_t directory, inflate, create, write, flush, close, wait;
    int64_t entries;
};

// The sums of every extraction of the process so far.
extern ExtractionTimes extractionTimes;

// The counter now.
int64_t timeMark();

// Adds the time since mark to part (atomically: the flushing thread adds too), and sets mark to now.
void addTime(int64_t& part, int64_t& mark);

// A sum of the counter in milliseconds.
double timeInMilliseconds(int64_t ticks);
