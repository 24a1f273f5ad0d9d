// The copy run: measuring, the worker thread with its disc loop, plain copies and folders.
#include <fcntl.h>
#include <io.h>
#include <string.h>

#include "platform/access_list.h"
#include "engine/installed_file_kind.h"
#include "platform/changing_step.h"
#include "engine/flush_queue.h"
#include "engine/install_over_game.h"
#include "state/installer.h"
#include "engine/progress_report.h"
#include "platform/run_log.h"
#include "state/copy_state.h"
#include "engine/space.h"
#include "engine/copy_worker.h"
#include "engine/new_target.h"
#include "engine/placed_record.h"
#include "engine/zip_extract.h"

// Files move in blocks of 256 KiB: a quarter of the calls of 64 KiB blocks, and still small enough
// to stay in the processor's cache (make bench measured 1 MiB blocks slower). A cancel request
// takes effect after the block being copied.
enum { CopyBlockSize = 4 * CopyChunkSize };
static char copyBuffer[CopyBlockSize];

// The target of a plain copy as a stream, new, empty and open for writing: one truncated in place
// is written out to disk as soon as it is closed on some systems (Wine on ext4), which slows a large
// copy by a third, and it would keep its owner, list and any other names it has.
static FILE* createTarget(const char* target, HANDLE& file, FlushQueue* flushes)
{
    file = createNewTarget(target, GENERIC_WRITE, nullptr, flushes);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    int fd = _open_osfhandle((intptr_t)file, _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(file);
        return nullptr;
    }
    FILE* stream = _fdopen(fd, "wb");
    if (!stream) _close(fd);
    return stream;
}

// Moves the source's blocks into the target until the end or a cancel request; false when a
// block could not be read or written.
static bool copyBlocks(Installer& in)
{
    if (in.cancelState == CancelRequested) {
        in.cancelState = CancelCopyStopped;
        return true;
    }
    for (;;) {
        size_t got = fread(copyBuffer, 1, sizeof copyBuffer, in.copySource);
        storeBytesCopied(in, loadBytesCopied(in) + got);
        changingStep();
        if (ferror(in.copySource) || fwrite(copyBuffer, 1, got, in.copyTarget) != got) return false;
        if (got < sizeof copyBuffer) return true;
        if (in.cancelState == CancelRequested) {
            in.cancelState = CancelCopyStopped;
            return true;
        }
    }
}

// The target checked by size against the source; one that differs by more than a chunk is copied
// again whole. False (the target removed) when the sizes still differ.
static bool sizeMatches(Installer& in, const char* target, const char* source, uint64_t bytesBefore, uint64_t& size)
{
    uint64_t s = Installer::fileSize(source);
    size = Installer::fileSize(target);
    if (size <= s + CopyChunkSize && s <= size + CopyChunkSize) return true;
    CopyFileA(source, target, FALSE);  // the size below says whether it helped
    storeBytesCopied(in, bytesBefore + s);
    size = Installer::fileSize(target);
    HANDLE copied =
        size == s ? CreateFileA(target, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr) : INVALID_HANDLE_VALUE;
    bool flushed = copied != INVALID_HANDLE_VALUE && FlushFileBuffers(copied);
    if (copied != INVALID_HANDLE_VALUE) CloseHandle(copied);
    if (flushed) return true;
    DeleteFileA(target);  // never left as if installed; a name that stays is the roll-back's
    return false;
}

// The written file on its way to the disk before the installation counts it (the record is written
// only after every file): the stream is unbuffered, so its handle holds everything written. Within a
// copy run, a file of the source's size goes with a handle of its own to the run's flushes (the
// stream closes the other), and size is set; outside one, or when its size calls for the check and
// the copy again below, it is flushed here. False when that flush failed.
static bool sendToDisk(Installer& in, HANDLE written, const char* placed, bool& handedOver, uint64_t& size)
{
    uint64_t s = 0;
    HANDLE kept = nullptr, self = GetCurrentProcess();
    HANDLE read = (HANDLE)_get_osfhandle(_fileno(in.copySource));
    handedOver = in.copyFlushes && openFileSize(read, s) && openFileSize(written, size) && size <= s + CopyChunkSize &&
                 s <= size + CopyChunkSize &&
                 DuplicateHandle(self, written, self, &kept, 0, FALSE, DUPLICATE_SAME_ACCESS);
    if (handedOver) {
        in.copyFlushes->take(kept, placed);
        return true;
    }
    if (!FlushFileBuffers(written)) return false;
    noteStep("flushed", placed);
    return true;
}

// The source copied to placed, the name target is written under (target itself, or its new name
// beside it during an installation over the game), with the access list of target's kind.
static FileCopy copyPlainFile(Installer& in, const char* target, const char* placed, const char* source)
{
    in.copySource = fopen(source, "rb");
    // A file that is simply not there lies on another disc; one that is there but cannot be read
    // is damage on the medium.
    if (!in.copySource) return Installer::pathExists(source) ? FileCopy::NotOpened : FileCopy::NotThere;
    HANDLE written = INVALID_HANDLE_VALUE;
    in.copyTarget = createTarget(placed, written, in.copyFlushes);
    if (!in.copyTarget) {
        fclose(in.copySource);
        in.copySource = nullptr;
        return FileCopy::NotOpened;
    }
    setvbuf(in.copySource, nullptr, _IONBF, 0);
    setvbuf(in.copyTarget, nullptr, _IONBF, 0);
    uint64_t before = loadBytesCopied(in);
    bool whole = copyBlocks(in);
    bool handedOver = false;
    uint64_t size = 0;
    if (whole && in.cancelState == CancelNone) whole = sendToDisk(in, written, placed, handedOver, size);
    fclose(in.copySource);
    if (fclose(in.copyTarget) != 0) whole = false;
    in.copySource = in.copyTarget = nullptr;
    if (!whole) {
        // A file that could not be read or written completely is never left as if installed.
        DeleteFileA(placed);  // a name that stays is the roll-back's
        return FileCopy::Damaged;
    }
    if (in.cancelState != CancelNone) return FileCopy::Cancelled;
    SetFileAttributesA(placed, FILE_ATTRIBUTE_NORMAL);  // the checks below say whether the file is right
    if (!handedOver && !sizeMatches(in, placed, source, before, size)) return FileCopy::Damaged;
    in.installedBytes += size;
    changingStep();
    // A file left with the list it inherited could be changed by the players, or (the settings
    // file) not saved by them: it is not installed.
    if (!lockWherePossible(placed, installedFileKind(target))) return FileCopy::Damaged;
    logLine("file %s, %.0f bytes", placed, (double)size);
    return FileCopy::Copied;
}

bool Installer::copyFile(const char* target, const char* source)
{
    FileCopy result = copyPlainFile(*this, target, target, source);
    return result != FileCopy::NotThere && result != FileCopy::NotOpened;
}

static bool isArchiveName(const char* name)
{
    size_t len = strlen(name);
    return len >= 4 && _stricmp(name + len - 4, ".zip") == 0;
}

// Copies, or extracts when it is an archive, the listed file of index i where it is selected, from
// the disc of that index: done where the run goes on, failed where it cannot (damaged data, a file
// that could not be placed or written, a path that does not fit, the medium gone).
static Outcome copyListedFile(Installer& in, int32_t i, int disc)
{
    if (i >= MaxFiles || in.fileSelected[i] != 1) return Outcome::Done;
    const char* name = in.installFiles[i];
    char target[PathSize], source[PathSize], root[PathSize];
    if (!formatText(target, sizeof target, "%s\\%s", in.installDir, name) ||
        !formatText(source, sizeof source, "%s\\%s", in.sourceDir, name) ||
        !formatText(root, sizeof root, "%s\\", in.installDir))
        return Outcome::Failed;  // a path that does not fit cannot be installed
    // A file missing because the medium itself is gone (taken out during the copy) must not pass
    // for a file of another disc.
    if (!Installer::pathExists(source) && !Installer::pathExists(in.sourceDir)) return Outcome::Failed;
    setStatusLine(name);
    if (isArchiveName(name)) {
        // An archive that is there but cannot be read as one is damaged; one that is not there at
        // all lies on another disc.
        ArchiveResult extracted = extractArchive(in, source, root, disc);
        if (extracted == ArchiveResult::Damaged ||
            (extracted == ArchiveResult::NotOpened && Installer::pathExists(source)))
            return Outcome::Failed;
        storeBytesCopied(in, loadBytesCopied(in) + Installer::fileSize(source));
    } else if (Installer::pathExists(source)) {
        char staged[PathSize];
        const char* placed = placedName(target, staged);
        if (!placed || !stagedNamesOnDisk()) return Outcome::Failed;
        FileCopy copied = copyPlainFile(in, target, placed, source);
        if (copied == FileCopy::NotOpened || copied == FileCopy::Damaged) return Outcome::Failed;
        if (copied == FileCopy::Copied) notePlaced(name, PlacedOrigin::Disc, disc, Installer::fileSize(source), 0, "");
    }  // a file that is not there lies on another disc: nothing to copy from this one
    return Outcome::Done;
}

// Copies every selected file of every disc: done at the end, cancelled once the copy and then the
// worker acknowledged a cancel, no disc where a further disc is in no drive of an unattended run,
// failed where a file could not be copied.
static Outcome copyEveryDisc(Installer& in, bool unattended)
{
    int32_t i = in.firstFileIndex, disc = 0;
    bool checkDisc = in.discCount > 1;
    for (;;) {
        if (i >= in.installFileCount || in.installFiles[i][0] == '\0' || i == in.endFileIndex) {
            // Each further disc walks the list again from the first index.
            if (in.discCount == 1 || ++disc == in.discCount) return Outcome::Done;
            setStatusLine("Disc Check...");
            i = in.firstFileIndex;
            checkDisc = true;
            continue;
        }
        if (in.cancelState == CancelCopyStopped) {
            in.cancelState = CancelWorkerStopped;
            return Outcome::Cancelled;
        }
        if (checkDisc && !in.waitForDisc(disc, unattended)) return Outcome::NoDisc;
        checkDisc = false;
        Outcome copied = copyListedFile(in, i, disc);
        if (copied != Outcome::Done) return copied;
        ++i;
    }
}

DWORD WINAPI copyWorker(LPVOID param)
{
    CopyRun& run = *(CopyRun*)param;
    Installer& in = *run.installer;
    in.workerRunning = 1;
    in.progress->resetElapsedClock();
    FlushQueue flushes;
    in.copyFlushes = &flushes;
    Outcome result = copyEveryDisc(in, run.unattended);
    // The run ends once every file it wrote is on the disk; a run that stopped only closes them
    // (its roll-back removes them). A flush that failed fails the run.
    bool stopped = result != Outcome::Done || in.cancelState != CancelNone;
    if (!flushes.finish(!stopped) && !stopped) result = Outcome::Failed;
    in.copyFlushes = nullptr;
    // Read by the run once the worker has ended (workerRunning 0 is the worker's last write).
    run.result = result;
    in.workerRunning = 0;
    return in.workerThreadId;
}

enum { PumpTickMs = 50 };

// Draws and serves messages on the install thread until the worker ends. Each turn draws what
// changed and serves one message; with none waiting it sleeps until a message comes, the worker ends
// or a tick passes, so the display costs no processor of its own. The slideshow is asked about every
// step the bar passed, so a turn that moves the bar by many steps still changes the picture at each
// step key.
static void pumpUntilWorkerEnds(Installer& in, HANDLE thread)
{
    int32_t slideStep = -1;
    while (in.workerRunning != 0) {
        in.progress->tickStatusAndClock();
        in.updateProgress();
        while (slideStep < in.progressSteps) in.progress->advanceSlideshow(++slideStep);
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else {
            MsgWaitForMultipleObjects(1, &thread, FALSE, PumpTickMs, QS_ALLINPUT);
        }
    }
}

bool Installer::runCopy() { return runCopyOutcome(false) == Outcome::Done; }

// How the worker ended; a cancel asked for while only archives were left ends the run cancelled
// all the same.
static Outcome workerOutcome(const Installer& in, const CopyRun& run)
{
    if (run.result == Outcome::NoDisc) return run.result;
    return in.cancelState != CancelNone ? Outcome::Cancelled : run.result;
}

Outcome Installer::runCopyOutcome(bool unattended)
{
    uint64_t total = totalInstallBytes();
    if (discCount == 1 && total == 0) return Outcome::Failed;
    if (discCount != 1) total = multiDiscTotalBytes;
    resetProgressBar(ProgressBarSteps);
    workerRunning = 1;
    cancelState = CancelNone;
    installedBytes = 0;
    storeBytesCopied(*this, 0);
    progressUnitSize = total / ProgressBarSteps;
    progressUnits = progressUnitsShown = 0;
    progressSteps = 0;
    progress->resetSlideshow();
    beginPlacedRun();
    CopyRun run = {this, unattended, Outcome::Failed};
    HANDLE thread = CreateThread(nullptr, 0, copyWorker, &run, 0, &workerThreadId);
    if (!thread) {
        workerThreadId = 0;
        workerRunning = 0;
        return Outcome::Failed;
    }
    pumpUntilWorkerEnds(*this, thread);
    Outcome result = workerOutcome(*this, run);
    CloseHandle(thread);
    updateProgress();
    if (result == Outcome::Done && discCount > 1) {
        storeBytesCopied(*this, progressUnitSize * ProgressBarSteps);
        updateProgress();
    }
    return result;
}
