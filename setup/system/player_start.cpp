// Programs, documents and pages the launcher opens for the player (the game, the README, the
// manual, the home page). An installation runs elevated from Vista on; what it starts inherits
// that token unless it is started by a program that runs with the player's own rights. The
// desktop shell is such a program: asked through its automation object, it starts the file as
// the signed-in user, as the common installers do for the programs of their last page.
#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include "system/player_start.h"

#include "platform/access_list.h"
#include "state/installer.h"
#include "platform/display_text.h"
#include "platform/run_log.h"
#include "platform/system_library.h"
#include "system/com_bracket.h"
#include "system/shell_launch.h"

namespace {

// ShellExecute returns a value above this when it started what it was given.
const INT_PTR ShellExecuteErrorLimit = 32;

typedef BSTR(WINAPI* SysAllocStringFn)(const OLECHAR*);
typedef void(WINAPI* SysFreeStringFn)(BSTR);

// Releases a COM interface at the end of its scope.
template <typename T>
struct Held {
    T* p = nullptr;
    Held() = default;
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    ~Held()
    {
        if (p) p->Release();
    }
};

// A text of the system's code page as a BSTR (nullptr when it cannot be made).
BSTR systemBstr(const char* text, SysAllocStringFn allocate)
{
    WCHAR wide[MessageSize];
    if (!MultiByteToWideChar(CP_ACP, 0, text ? text : "", -1, wide, MessageSize)) return nullptr;
    return allocate(wide);
}

// The desktop shell's own ShellExecute: the desktop's view, its folder-view automation object,
// the shell's application object. False when any step is missing (no shell, another shell).
bool startThroughDesktop(const char* file, const char* parameters, const char* directory, const char* verb)
{
    SysAllocStringFn allocate = (SysAllocStringFn)(void*)systemFunction("oleaut32.dll", "SysAllocString");
    SysFreeStringFn release = (SysFreeStringFn)(void*)systemFunction("oleaut32.dll", "SysFreeString");
    if (!allocate || !release) return false;
    Held<IShellWindows> windows;
    Held<IDispatch> desktop, background, application;
    Held<IServiceProvider> services;
    Held<IShellBrowser> browser;
    Held<IShellView> view;
    Held<IShellFolderViewDual> folderView;
    Held<IShellDispatch2> shell;
    VARIANT location = {}, empty = {};
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    long window = 0;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                (void**)&windows.p)) ||
        windows.p->FindWindowSW(&location, &empty, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, &desktop.p) != S_OK ||
        !desktop.p || FAILED(desktop.p->QueryInterface(IID_IServiceProvider, (void**)&services.p)) ||
        FAILED(services.p->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, (void**)&browser.p)) ||
        FAILED(browser.p->QueryActiveShellView(&view.p)) ||
        FAILED(view.p->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, (void**)&background.p)) ||
        FAILED(background.p->QueryInterface(IID_IShellFolderViewDual, (void**)&folderView.p)) ||
        FAILED(folderView.p->get_Application(&application.p)) || !application.p ||
        FAILED(application.p->QueryInterface(IID_IShellDispatch2, (void**)&shell.p)))
        return false;
    BSTR fileText = systemBstr(file, allocate);
    VARIANT arguments = {}, folder = {}, operation = {}, show = {};
    arguments.vt = folder.vt = operation.vt = VT_BSTR;
    arguments.bstrVal = systemBstr(parameters, allocate);
    folder.bstrVal = systemBstr(directory, allocate);
    operation.bstrVal = systemBstr(verb, allocate);
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    bool started = fileText && arguments.bstrVal && folder.bstrVal && operation.bstrVal &&
                   SUCCEEDED(shell.p->ShellExecute(fileText, arguments, folder, operation, show));
    BSTR made[] = {fileText, arguments.bstrVal, folder.bstrVal, operation.bstrVal};
    for (BSTR text : made)
        if (text) release(text);
    return started;
}

}  // namespace

// An elevated launcher that cannot start it as the signed-in user starts nothing: what it would
// start inherits an administrator's rights. The player is told where to start the game instead.
static void tellNotStarted(const char* file, bool game)
{
    char text[MessageSize];
    if (game)
        copyText(text, sizeof text, "ゲームを起動できませんでした。\nスタートメニューからゲームを起動してください。");
    else
        formatWithPaths(text, sizeof text, "%s を開けませんでした。", file);
    showMessage(nullptr, text, "確認", MB_ICONWARNING);
}

// Through the desktop shell where this run is elevated, else as the shell opens it; false when COM
// cannot be had or an elevated run could not start it as the player (named in the message).
static bool startAsPlayer(const char* file, const char* arguments, const char* folder, const char* verb, bool game,
                          const char* named)
{
    if (comStartFailed(CoInitialize(nullptr))) return false;
    bool elevated = runsElevated(), started = true;
    if (elevated) {
        started = startThroughDesktop(file, arguments, folder, verb);
        if (started)
            logLine("started as the signed-in user: %s %s", file, arguments);
        else
            logLine("not started: this run is elevated and the desktop shell could not start it as the signed-in "
                    "user: %s %s",
                    file, arguments);
    } else {
        HINSTANCE shown = ShellExecuteA(nullptr, verb[0] ? verb : nullptr, file, arguments, folder, SW_SHOWNORMAL);
        logLine("started: %s %s (%s)", file, arguments, (INT_PTR)shown > ShellExecuteErrorLimit ? "done" : "failed");
    }
    CoUninitialize();
    if (!started) tellNotStarted(named, game);
    return started;
}

bool startForPlayer(const char* path, const char* parameters, int mode, const char* installDir)
{
    // Nothing is started in the installation folder but the game, in its own folder: a program
    // found there first by its bare name, or a DLL it would load from there, never runs.
    char system[PathSize], notepad[PathSize], gameFolder[PathSize];
    UINT n = GetSystemDirectoryA(system, sizeof system);
    if (n == 0 || n >= sizeof system) return false;
    const char* file = path;
    const char* arguments = parameters ? parameters : "";
    const char* folder = system;
    const char* verb = "open";
    switch (mode) {
    case LaunchOpen:
        // The game (or a document of the medium) in its own folder.
        copyText(gameFolder, sizeof gameFolder, path);
        if (char* slash = lastBackslash(gameFolder)) *slash = '\0';
        if (_stricmp(gameFolder, installDir) == 0) folder = gameFolder;
        break;
    case LaunchNotepad:
        // The system's Notepad; the 95/98/Me family keeps it in the Windows folder.
        if (!formatText(notepad, sizeof notepad, "%s\\notepad.exe", system)) return false;
        if (!Installer::pathExists(notepad)) {
            n = GetWindowsDirectoryA(notepad, sizeof notepad);
            if (n == 0 || n >= sizeof notepad || !appendText(notepad, sizeof notepad, "\\notepad.exe")) return false;
        }
        file = notepad;
        arguments = path;
        break;
    case LaunchDefault: verb = ""; break;
    default: return true;
    }
    return startAsPlayer(file, arguments, folder, verb, folder != system, path);
}
