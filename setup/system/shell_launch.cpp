// The one way setup opens a program, a document in Notepad or a web page, and the launcher's two
// starts through it: the game and the README.
#include <objbase.h>
#include <shellapi.h>

#include "state/installer.h"
#include "system/player_start.h"
#include "system/com_bracket.h"
#include "system/shell_launch.h"
#include "state/copy_state.h"

// COM is brought up around every shell call; these results mean it is not usable at all.
bool Installer::shellLaunch(const char* path, const char* parameters, int mode)
{
    if (comStartFailed(CoInitialize(nullptr))) return false;
    // When the long form cannot be had (the file is missing), the path goes to the shell as given,
    // so the shell's own failure behaviour stays.
    char longPath[PathSize];
    DWORD n = GetLongPathNameA(path, longPath, sizeof longPath);
    if (n == 0 || n >= sizeof longPath) copyText(longPath, sizeof longPath, path);
    switch (mode) {
    case LaunchOpen: ShellExecuteA(nullptr, "open", longPath, parameters, "", SW_SHOWNORMAL); break;
    case LaunchNotepad: ShellExecuteA(nullptr, "open", "notepad.exe", longPath, "", SW_SHOWNORMAL); break;
    case LaunchDefault: ShellExecuteA(nullptr, nullptr, path, nullptr, nullptr, SW_SHOWNORMAL); break;
    default: break;
    }
    CoUninitialize();
    return true;
}

HANDLE shellLaunchProcess(const char* path, const char* parameters)
{
    if (comStartFailed(CoInitialize(nullptr))) return nullptr;
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = "open";
    info.lpFile = path;
    info.lpParameters = parameters;
    info.lpDirectory = "";
    info.nShow = SW_SHOWNORMAL;
    HANDLE process = ShellExecuteExA(&info) ? info.hProcess : nullptr;
    CoUninitialize();
    return process;
}

bool Installer::launchGame()
{
    char path[PathSize];
    if (!formatText(path, sizeof path, "%s\\%s", installDir, installFiles[0])) return false;
    return startForPlayer(path, "", LaunchOpen, installDir);
}

bool Installer::openReadme()
{
    char path[PathSize];
    if (!formatText(path, sizeof path, "%s\\%s", installed != GameNotInstalled ? installDir : sourceDir, "readme.txt"))
        return false;
    return startForPlayer(path, "", LaunchNotepad, installDir);
}
