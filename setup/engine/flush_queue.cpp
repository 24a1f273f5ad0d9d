#include "engine/flush_queue.h"

#include "platform/changing_step.h"
#include "engine/extraction_times.h"
#include "platform/run_log.h"

FlushQueue::FlushQueue()
{
    InitializeCriticalSection(&lock);
    work = CreateSemaphoreA(nullptr, 0, MaxPending + Flushers, nullptr);
    space = CreateSemaphoreA(nullptr, MaxPending, MaxPending, nullptr);
    slotFreed = CreateEventA(nullptr, FALSE, FALSE, nullptr);
}

// The threads, started with the first file: a run that writes nothing starts none.
void FlushQueue::start()
{
    started = true;
    if (!work || !space || !slotFreed) return;  // no threads: every file is flushed as it is taken over
    for (int t = 0; t < Flushers; ++t) {
        HANDLE thread = CreateThread(nullptr, 0, run, this, 0, nullptr);
        if (!thread) break;  // fewer threads flush the same files
        threads[threadCount++] = thread;
    }
}

FlushQueue::~FlushQueue()
{
    finish();
    if (work) CloseHandle(work);
    if (space) CloseHandle(space);
    if (slotFreed) CloseHandle(slotFreed);
    DeleteCriticalSection(&lock);
}

void FlushQueue::take(HANDLE file, const char* path)
{
    Pending item;
    item.file = file;
    copyText(item.path, sizeof item.path, path);
    if (!started) start();
    if (threadCount == 0) {
        flushAndClose(item);
        return;
    }
    int64_t mark = timeMark();
    WaitForSingleObject(space, INFINITE);
    addTime(extractionTimes.wait, mark);
    EnterCriticalSection(&lock);
    pending[(head + count) % MaxPending] = item;
    ++count;
    LeaveCriticalSection(&lock);
    // Never fails: the count stays below its maximum by one place per file and one per thread.
    ReleaseSemaphore(work, 1, nullptr);
}

bool FlushQueue::finish(bool flush)
{
    if (threadCount > 0) {
        EnterCriticalSection(&lock);
        flushing = flush;
        LeaveCriticalSection(&lock);
        ReleaseSemaphore(work, threadCount, nullptr);  // one more for each thread: its end
        // The threads end only when the queue is empty; nothing else can hold them.
        WaitForMultipleObjects((DWORD)threadCount, threads, TRUE, INFINITE);
        for (int t = 0; t < threadCount; ++t) CloseHandle(threads[t]);
        threadCount = 0;
        flushing = true;
    }
    return failures == 0;
}

void FlushQueue::flushAndClose(const Pending& item)
{
    int64_t mark = timeMark();
    bool flushed = !flushing || FlushFileBuffers(item.file) != FALSE;
    DWORD error = GetLastError();
    addTime(extractionTimes.flush, mark);
    CloseHandle(item.file);
    addTime(extractionTimes.close, mark);
    if (!flushing) return;  // the run stopped: its roll-back removes the file
    if (flushed) {
        noteStep("flushed", item.path);
        return;
    }
    logLine("cannot flush: %s (error %lu)", item.path, (unsigned long)error);
    // Never left as if installed: the run fails below, and a name that stays is the roll-back's.
    if (!DeleteFileA(item.path))
        logLine("cannot remove: %s (error %lu), left to the roll-back", item.path, (unsigned long)GetLastError());
    InterlockedIncrement(&failures);
}

void FlushQueue::waitFor(const char* path)
{
    for (;;) {
        EnterCriticalSection(&lock);
        bool held = holds(path);
        LeaveCriticalSection(&lock);
        if (!held) return;
        WaitForSingleObject(slotFreed, INFINITE);
    }
}

// Whether a file named path is waiting or being flushed; under the lock.
bool FlushQueue::holds(const char* path) const
{
    for (int k = 0; k < count; ++k)
        if (samePath(pending[(head + k) % MaxPending].path, path)) return true;
    for (int t = 0; t < Flushers; ++t)
        if (slotBusy[t] && samePath(flushed[t].path, path)) return true;
    return false;
}

// The next file to flush, kept in a free slot while it is; false when the queue is closing and empty.
bool FlushQueue::next(Pending& item, int& slot)
{
    WaitForSingleObject(work, INFINITE);
    EnterCriticalSection(&lock);
    bool got = count > 0;
    if (got) {
        item = pending[head];
        head = (head + 1) % MaxPending;
        --count;
        for (slot = 0; slotBusy[slot];) ++slot;  // one slot per thread: a free one is always there
        slotBusy[slot] = true;
        flushed[slot] = item;
    }
    LeaveCriticalSection(&lock);
    if (got) ReleaseSemaphore(space, 1, nullptr);
    return got;
}

DWORD WINAPI FlushQueue::run(LPVOID self)
{
    FlushQueue& queue = *(FlushQueue*)self;
    Pending item;
    int slot = 0;
    while (queue.next(item, slot)) {
        queue.flushAndClose(item);
        EnterCriticalSection(&queue.lock);
        queue.slotBusy[slot] = false;
        LeaveCriticalSection(&queue.lock);
        SetEvent(queue.slotFreed);
    }
    return 0;
}
