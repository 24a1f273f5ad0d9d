// The files a copy run has written, flushed to the disk and closed on threads of their own while the
// copy goes on: each flush waits for the disk, and several in flight let the file system commit
// them together. The run counts its files as installed only after finish() said every one is on
// the disk. A file whose flush fails is removed, and the run fails.
#pragma once
#include <windows.h>

#include "platform/text.h"

class FlushQueue {
public:
    // Files flushed at once, and files taken over but not yet flushed (each holds its handle open).
    enum { Flushers = 4, MaxPending = 128 };

    FlushQueue();
    FlushQueue(const FlushQueue&) = delete;
    FlushQueue& operator=(const FlushQueue&) = delete;
    ~FlushQueue();

    // Takes over file, complete and open for writing, named path. With every place taken it waits
    // for one; without threads (none could be started) the file is flushed and closed here.
    void take(HANDLE file, const char* path);
    // Waits until no file named path is waiting or being flushed: a name written again (by a later
    // archive, or twice in one) is free to be replaced.
    void waitFor(const char* path);
    // Waits until every file taken over is flushed and closed (only closed when flush is false: a
    // run that stopped removes its files); false when a flush failed.
    bool finish(bool flush = true);
    // Whether a flush failed so far.
    bool failed() const { return failures != 0; }

private:
    struct Pending {
        HANDLE file;
        char path[PathSize];
    };
    void start();
    void flushAndClose(const Pending& item);
    bool next(Pending& item, int& slot);
    bool holds(const char* path) const;
    static DWORD WINAPI run(LPVOID self);

    CRITICAL_SECTION lock;
    HANDLE work;   // counts the files waiting, and one more per thread when the queue closes
    HANDLE space;  // counts the places free
    HANDLE threads[Flushers] = {};
    int threadCount = 0;
    bool started = false;
    Pending pending[MaxPending] = {};
    Pending flushed[Flushers] = {};  // the files being flushed, by slot
    bool slotBusy[Flushers] = {};
    HANDLE slotFreed;  // set each time a file is closed
    int head = 0, count = 0;
    bool flushing = true;
    volatile LONG failures = 0;
};
