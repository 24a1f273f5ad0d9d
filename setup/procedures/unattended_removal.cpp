// Removal with switches. The uninstaller that was started hands over to its temporary copy with
// "/r" and its switches. In an unattended removal it does not end before the result is known: the
// copy hands the exit code back, and removes uninst.exe and the game folder only once the
// uninstaller that waits has ended.
#include "config/kit_names.h"
#include "platform/display_text.h"
#include "procedures/unattended_removal.h"

#include "engine/installation_hold.h"
#include "procedures/uninstall.h"

#include "state/installer.h"
#include "state/removal_flags.h"
#include "system/shell_launch.h"
#include "system/temp_copy.h"
#include "system/pending_removal.h"
#include "platform/run_log.h"
#include "platform/system_library.h"
#include "engine/unattended.h"
#include "state/copy_state.h"
#include "platform/restart_removal.h"

enum { ResultCodes = 8 };
// How long the copy waits for the uninstaller it reported to, before it removes that uninstaller's file.
enum { WaiterEndMs = 30000 };

// When the process started; zero where the system cannot tell (95/98/Me).
static FILETIME startTime(HANDLE process)
{
    typedef BOOL(WINAPI * GetProcessTimesFn)(HANDLE, LPFILETIME, LPFILETIME, LPFILETIME, LPFILETIME);
    GetProcessTimesFn times = (GetProcessTimesFn)(void*)loadedFunction("kernel32.dll", "GetProcessTimes");
    FILETIME started = {}, ended, kernel, user;
    if (!times || !times(process, &started, &ended, &kernel, &user)) started = FILETIME{};
    return started;
}

// The uninst.exe of a tree that is no longer the administrators' is nobody's to run: the folders are
// held, and checked on the holding handles, while the copy is made.
static bool placeHeldUninstallerCopy(Installer& in, char* copy, size_t size, HANDLE& held)
{
    InstallationHold hold;
    if (holdInstallation(in.installDir, in.folderName, hold) != Outcome::Done) {
        removalFailed(in.messageOwner);
        return false;
    }
    bool placed = placeUninstallerCopy(in, copy, size, held);
    releaseInstallation(hold);
    return placed;
}

void startRemovalCopy(Installer& in)
{
    if (in.installed != GameInstalled) return in.startUninstallerCopy();  // it says the game is not installed
    InstallationHold hold;
    if (holdInstallation(in.installDir, in.folderName, hold) != Outcome::Done) {
        removalFailed(in.messageOwner);
        return;
    }
    in.startUninstallerCopy();
    releaseInstallation(hold);
}

// The copy's result reaches the uninstaller through an event and a shared word that have no name:
// the copy duplicates them out of the waiting process, which no other user's process may open, so
// nobody else can create, open or signal them.
int removeThroughCopy(Installer& in, const char* commandLine)
{
    if (in.installed == GameNotInstalled) {
        showNotInstalledNotice();
        return ExitNothingToDo;
    }
    char copy[PathSize], parameters[MessageSize];
    HANDLE held = nullptr;
    if (!placeHeldUninstallerCopy(in, copy, sizeof copy, held)) return ExitFailed;
    if (!unattendedRun()) {
        // Interactive: the copy asks the removal's questions, and this process ends at once.
        if (formatText(parameters, sizeof parameters, "/r %s", commandLine))
            in.shellLaunch(copy, parameters, LaunchOpen);
        if (held) CloseHandle(held);
        return ExitDone;
    }
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE word = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(LONG), nullptr);
    volatile LONG* result = word ? (volatile LONG*)MapViewOfFile(word, FILE_MAP_WRITE, 0, 0, sizeof(LONG)) : nullptr;
    HANDLE process = nullptr;
    int code = ExitFailed;
    if (result) *result = -1;
    FILETIME started = startTime(GetCurrentProcess());
    if (done && result &&
        formatText(parameters, sizeof parameters, "/r /parent=%lu,%lu,%lu,%lu,%lu %s",
                   (unsigned long)GetCurrentProcessId(), (unsigned long)(ULONG_PTR)done, (unsigned long)(ULONG_PTR)word,
                   (unsigned long)started.dwHighDateTime, (unsigned long)started.dwLowDateTime, commandLine) &&
        (process = shellLaunchProcess(copy, parameters)) != nullptr) {
        if (held) CloseHandle(held);
        held = nullptr;
        logLine("removal handed to %s", copy);
        // The copy's own end without a result (it crashed) is a failure.
        HANDLE waits[2] = {done, process};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 &&
            ((*result >= 0 && *result < ResultCodes) || *result == ExitRestartNeeded))
            code = (int)*result;
        CloseHandle(process);
    }
    if (held) CloseHandle(held);
    if (result) UnmapViewOfFile((LPCVOID)result);
    if (word) CloseHandle(word);
    if (done) CloseHandle(done);
    return code;
}

// Puts the code into the waiting uninstaller's word and sets its event.
static void sendResult(HANDLE waiter, int code)
{
    HANDLE self = GetCurrentProcess(), done = nullptr, word = nullptr;
    if (DuplicateHandle(waiter, (HANDLE)(ULONG_PTR)switches.resultEvent, self, &done, 0, FALSE,
                        DUPLICATE_SAME_ACCESS) &&
        DuplicateHandle(waiter, (HANDLE)(ULONG_PTR)switches.resultWord, self, &word, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        if (LONG* result = (LONG*)MapViewOfFile(word, FILE_MAP_WRITE, 0, 0, sizeof(LONG))) {
            *result = code;
            UnmapViewOfFile(result);
            SetEvent(done);
        }
    }
    if (word) CloseHandle(word);
    if (done) CloseHandle(done);
}

// The waiting uninstaller, opened by its number and recognised by its start time: a number that
// another process got after it ended is never written into. Null when it is not there.
static HANDLE openWaitingUninstaller()
{
    HANDLE waiter = OpenProcess(SYNCHRONIZE | PROCESS_DUP_HANDLE | PROCESS_QUERY_INFORMATION, FALSE, switches.parent);
    FILETIME started = waiter ? startTime(waiter) : FILETIME{};
    if (waiter && started.dwHighDateTime == switches.parentStartHigh &&
        started.dwLowDateTime == switches.parentStartLow && WaitForSingleObject(waiter, 0) == WAIT_TIMEOUT)
        return waiter;
    if (waiter) CloseHandle(waiter);
    logLine("the uninstaller that started this copy is gone: no result sent");
    return nullptr;
}

void reportRemoval(Installer& in, int code)
{
    if (switches.parent == 0) return;
    HANDLE waiter = openWaitingUninstaller();
    if (!waiter) return;
    // Before the result goes, the installed uninstaller (which the waiting one runs from, and a
    // running program may be renamed) is moved aside in its folder, to be deleted once it has
    // ended. One that another program holds cannot be: it goes at the restart, and the result
    // says so.
    char path[PathSize] = "", aside[PathSize] = "";
    bool movedAside = false;
    if ((code == ExitDone || code == ExitRestartNeeded) && in.installDir[0] != '\0' &&
        formatText(path, sizeof path, "%s\\%s", in.installDir, UninstallerName) &&
        formatText(aside, sizeof aside, "%s\\%s.del~", in.installDir, UninstallerName) && in.pathExists(path) &&
        !(movedAside = MoveFileExA(path, aside, MOVEFILE_REPLACE_EXISTING) != FALSE)) {
        bool scheduled = scheduleRestartDeletion(path);
        logLine(scheduled ? "removed at restart: %s" : "cannot be removed, not even at restart: %s", path);
        code = scheduled ? ExitRestartNeeded : ExitFailed;
    }
    sendResult(waiter, code);
    // A removal that failed leaves the uninstaller in place, for the next try.
    if (code != ExitDone && code != ExitRestartNeeded) {
        CloseHandle(waiter);
        return;
    }
    // The uninstaller that waited runs from the game folder: once it has ended, its file and the
    // folders it kept can go.
    WaitForSingleObject(waiter, WaiterEndMs);
    CloseHandle(waiter);
    if (path[0] == '\0') return;
    if (movedAside && !in.deleteFileIfPresent(aside) && !scheduleRestartDeletion(aside))
        logLine("uninstaller left: %s", aside);  // the game is removed; only a spare copy stays
    in.deleteFileIfPresent(path);
    in.removeInstallFolders(LeaveInstallFolder);
    // Held still (a program of another user, a scanner): at the next restart, then the folders.
    if (in.pathExists(path)) {
        if (!scheduleRestartDeletion(path)) logLine("uninstaller left: %s", path);
        removeFoldersAtRestart(in.installDir, in.folderName);
    }
}
