// The copy run: measuring, the worker thread with its disc loop, plain copies and folders.
#include <fcntl.h>
#include <io.h>
#include <string.h>

#include "platform/access_list.h"
#include "engine/installed_file_kind.h"
#include "engine/changing_step.h"
#include "engine/installer.h"
#include "engine/progress_report.h"
#include "platform/run_log.h"

// Files move in blocks of 256 KiB: a quarter of the calls of 64 KiB blocks, and still small enough
// to stay in the processor's cache (make bench measured 1 MiB blocks slower). A cancel request
// takes effect after the block being copied.
enum { CopyBlockSize = 4 * CopyChunkSize };
static char copyBuffer[CopyBlockSize];

bool Installer::pathExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

bool Installer::makeDirectories(const char* path)
{
    char prefix[PathSize];
    for (const char* p = path; *p; p = nextPathChar(p)) {
        if (*p != '\\') continue;
        size_t len = (size_t)(p - path);
        if (len >= sizeof prefix) return false;
        memcpy(prefix, path, len);
        prefix[len] = '\0';
        if (len == 0 || pathExists(prefix)) continue;
        if (!CreateDirectoryA(prefix, nullptr)) return false;
    }
    return true;
}

HANDLE createNewTarget(const char* target, DWORD access)
{
    changingStep();
    HANDLE file = CreateFileA(target, access, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) {
        // An earlier installation's file, read-only or not, goes; a name that cannot be freed
        // (held open, a folder, not this run's to delete) is never written through.
        DWORD attributes = GetFileAttributesA(target);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesA(target,
                               attributes & ~FILE_ATTRIBUTE_READONLY);  // the delete below says whether it helped
        if (DeleteFileA(target))
            file = CreateFileA(target, access, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE) logLine("cannot place: %s (error %lu)", target, (unsigned long)GetLastError());
    return file;
}

// The target of a plain copy as a stream, new, empty and open for writing: one truncated in place
// is written out to disk as soon as it is closed on some systems (Wine on ext4), which slows a large
// copy by a third, and it would keep its owner, list and any other names it has.
static FILE* createTarget(const char* target)
{
    HANDLE file = createNewTarget(target, GENERIC_WRITE);
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

bool Installer::copyFile(const char* target, const char* source)
{
    copySource = fopen(source, "rb");
    if (!copySource) {
        // A file that is simply not there lies on another disc; one that is there but cannot be
        // read is damage on the medium, and the copy run fails on it.
        if (pathExists(source)) copyFailed = 1;
        return false;
    }
    copyTarget = createTarget(target);
    if (!copyTarget) {
        // A product file that cannot be placed fails the installation.
        fclose(copySource);
        copySource = nullptr;
        copyFailed = 1;
        return false;
    }
    setvbuf(copySource, nullptr, _IONBF, 0);
    setvbuf(copyTarget, nullptr, _IONBF, 0);
    uint64_t saved = loadBytesCopied(*this);
    bool damaged = false;
    if (cancelState == 1) {
        cancelState = 2;
    } else {
        for (;;) {
            size_t got = fread(copyBuffer, 1, sizeof copyBuffer, copySource);
            storeBytesCopied(*this, loadBytesCopied(*this) + got);
            changingStep();
            if (ferror(copySource) || fwrite(copyBuffer, 1, got, copyTarget) != got) {
                damaged = true;
                break;
            }
            if (got < sizeof copyBuffer) break;
            if (cancelState == 1) {
                cancelState = 2;
                break;
            }
        }
    }
    fclose(copySource);
    if (fclose(copyTarget) != 0) damaged = true;
    copySource = copyTarget = nullptr;
    if (damaged) {
        // A file that could not be read or written completely is never left as if installed.
        DeleteFileA(target);
        copyFailed = 1;
        return true;
    }
    if (cancelState != 0) return true;

    SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);
    uint64_t s = fileSize(source), t = fileSize(target);
    if (t > s + CopyChunkSize || s > t + CopyChunkSize) {
        CopyFileA(source, target, FALSE);
        storeBytesCopied(*this, saved + s);
        t = fileSize(target);
        if (t != s) {
            DeleteFileA(target);
            copyFailed = 1;
            return true;
        }
    }
    installedBytes += t;
    changingStep();
    lockPath(target, installedFileKind(target));
    logLine("file %s, %.0f bytes", target, (double)t);
    return true;
}

static bool isArchiveName(const char* name)
{
    size_t len = strlen(name);
    return len >= 4 && _stricmp(name + len - 4, ".zip") == 0;
}

DWORD WINAPI copyWorker(LPVOID param)
{
    Installer& in = *(Installer*)param;
    int32_t i = in.firstFileIndex;
    int32_t end = in.endFileIndex;
    in.workerRunning = 1;
    in.progress->resetElapsedClock();
    int32_t disc = 0;
    bool listEnd = false;
    bool checkDisc = in.discCount > 1;
    for (;;) {
        bool atEnd = i >= in.installFileCount || in.installFiles[i][0] == '\0';
        if (in.discCount == 1) {
            if (atEnd || i == end) break;
        } else {
            if (atEnd) listEnd = true;
            if (i == end || listEnd) {
                if (++disc == in.discCount) break;
                setStatusLine("Disc Check...");
                i = in.firstFileIndex;
                checkDisc = true;
                listEnd = false;
                continue;
            }
        }
        if (in.cancelState == 2) {
            in.cancelState = 3;
            break;
        }
        if (in.copyFailed) break;
        if (in.discCount > 1 && checkDisc) {
            in.waitForDisc(disc);
            checkDisc = false;
            if (in.copyFailed) break;
        }
        if (i < MaxFiles && in.fileSelected[i] == 1) {
            const char* name = in.installFiles[i];
            char target[PathSize], source[PathSize], root[PathSize];
            if (!formatText(target, sizeof target, "%s\\%s", in.installDir, name) ||
                !formatText(source, sizeof source, "%s\\%s", in.sourceDir, name) ||
                !formatText(root, sizeof root, "%s\\", in.installDir)) {
                in.copyFailed = 1;  // a path that does not fit cannot be installed
                break;
            }
            // A file missing because the medium itself is gone (taken out during the copy) must
            // not pass for a file of another disc.
            if (!Installer::pathExists(source) && !Installer::pathExists(in.sourceDir)) {
                in.copyFailed = 1;
                break;
            }
            setStatusLine(name);
            if (isArchiveName(name)) {
                // An archive that is there but cannot be read as one is damaged; one that is not
                // there at all lies on another disc.
                if (!in.extractZip(source, root) && Installer::pathExists(source)) in.copyFailed = 1;
                storeBytesCopied(in, loadBytesCopied(in) + Installer::fileSize(source));
            } else {
                in.copyFile(target, source);
            }
        }
        ++i;
    }
    in.workerRunning = 0;
    return in.workerThreadId;
}

enum { PumpTickMs = 50 };

bool Installer::runCopy()
{
    uint64_t total = totalInstallBytes();
    if (discCount == 1 && total == 0) return false;
    if (discCount != 1) total = multiDiscTotalBytes;
    resetProgressBar(1000);
    workerRunning = 1;
    cancelState = 0;
    copyFailed = 0;
    installedBytes = 0;
    storeBytesCopied(*this, 0);
    progressUnitSize = total / 1000;
    progressUnits = progressUnitsShown = 0;
    progressSteps = 0;
    progress->resetSlideshow();
    HANDLE thread = CreateThread(nullptr, 0, copyWorker, this, 0, &workerThreadId);
    if (!thread) {
        workerThreadId = 0;
        workerRunning = 0;
        return false;
    }
    // Each turn draws what changed and serves one message; with none waiting it sleeps until a
    // message comes, the worker ends or a tick passes, so the display costs no processor of its own.
    // The slideshow is asked about every step the bar passed, so a turn that moves the bar by many
    // steps still changes the picture at each step key.
    int32_t slideStep = -1;
    while (workerRunning != 0) {
        progress->tickStatusAndClock();
        updateProgress();
        while (slideStep < progressSteps) progress->advanceSlideshow(++slideStep);
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else {
            MsgWaitForMultipleObjects(1, &thread, FALSE, PumpTickMs, QS_ALLINPUT);
        }
    }
    CloseHandle(thread);
    updateProgress();
    if (cancelState > 0 || copyFailed) return false;
    if (discCount > 1) {
        storeBytesCopied(*this, progressUnitSize * 1000);
        updateProgress();
    }
    return true;
}
