// Removal with switches. The uninstaller that was started hands over to its temporary copy with
// "/r" and its switches. In an unattended removal it does not end before the result is known: the
// copy signals the result through one of eight named events (one per exit code), and removes
// uninst.exe and the game folder only once the uninstaller that waits has ended.
#include <string.h>

#include "config/product_config.h"
#include "engine/display_text.h"
#include "engine/installer.h"
#include "engine/run_log.h"
#include "engine/unattended.h"

enum { ResultCodes = 8 };

static bool resultEventName(char* out, size_t size, DWORD waiter, int code)
{
    return formatText(out, size, "%s removal %lu %d", productConfig.uninstallEntry, (unsigned long)waiter, code);
}

int Installer::removeThroughCopy(const char* commandLine)
{
    if (installed == 0) {
        showNotInstalledNotice();
        return ExitNothingToDo;
    }
    char copy[PathSize], parameters[MessageSize];
    if (!placeUninstallerCopy(copy, sizeof copy)) return ExitFailed;
    if (!unattendedRun()) {
        // Interactive: the copy asks as always, and this process ends at once.
        if (formatText(parameters, sizeof parameters, "/r %s", commandLine)) shellLaunch(copy, parameters, LaunchOpen);
        return ExitDone;
    }
    DWORD self = GetCurrentProcessId();
    HANDLE waits[ResultCodes + 1] = {};
    char name[NameSize * 2];
    for (int code = 0; code < ResultCodes; ++code)
        if (resultEventName(name, sizeof name, self, code)) waits[code] = CreateEventA(nullptr, TRUE, FALSE, name);
    int result = ExitFailed;
    if (formatText(parameters, sizeof parameters, "/r /parent=%lu %s", (unsigned long)self, commandLine) &&
        (waits[ResultCodes] = shellLaunchProcess(copy, parameters)) != nullptr) {
        logLine("removal handed to %s", copy);
        // The copy's own end without a result (it crashed) is a failure.
        DWORD got = WaitForMultipleObjects(ResultCodes + 1, waits, FALSE, INFINITE);
        if (got >= WAIT_OBJECT_0 && got < WAIT_OBJECT_0 + ResultCodes) result = (int)(got - WAIT_OBJECT_0);
    }
    for (HANDLE h : waits)
        if (h) CloseHandle(h);
    return result;
}

void Installer::reportRemoval(int code)
{
    if (switches.parent == 0) return;
    char name[NameSize * 2];
    HANDLE waiter = OpenProcess(SYNCHRONIZE, FALSE, switches.parent);
    HANDLE event = resultEventName(name, sizeof name, switches.parent, code)
                       ? OpenEventA(EVENT_MODIFY_STATE, FALSE, name)
                       : nullptr;
    if (event) {
        SetEvent(event);
        CloseHandle(event);
    }
    if (!waiter) return;
    // The uninstaller that waited runs from the game folder: once it has ended, its file and the
    // folders it kept can go.
    WaitForSingleObject(waiter, 30000);
    CloseHandle(waiter);
    char path[PathSize];
    if (installDir[0] != '\0' && formatText(path, sizeof path, "%s\\uninst.exe", installDir)) deleteFileIfPresent(path);
    removeInstallFolders(1);
}
