// Entry of setup: role dispatch, message loop and the desktop refresh at exit.
#include <windows.h>
#include <commctrl.h>

#include "app/main_window.h"
#include "app/unattended_run.h"
#include "platform/display_text.h"
#include "platform/unicode_dialog.h"
#include "config/product_config.h"
#include "state/installer.h"
#include "state/removal_flags.h"
#include "procedures/unattended_removal.h"
#include "procedures/interrupted_installation.h"
#include "engine/update_repair.h"
#include "resources/resource.h"
#include "platform/system_library.h"
#include "engine/unattended.h"
#include "ui/launcher_dialog.h"
#include "ui/progress_display.h"
#include "ui/special_uninstaller_dialog.h"
#include "ui/window_state.h"
#include "state/copy_state.h"

static void refreshDesktop()
{
    HWND progman = FindWindowA("Progman", "Program Manager");
    HWND view = progman ? FindWindowExA(progman, nullptr, "SHELLDLL_DefView", nullptr) : nullptr;
    HWND list = view ? FindWindowExA(view, nullptr, "SysListView32", nullptr) : nullptr;
    if (list) PostMessageA(list, WM_KEYDOWN, VK_F5, 0);
}

// comctl32 is not a known DLL: it is taken from the system folder by its full path.
static void initCommonControls()
{
    typedef BOOL(WINAPI * InitFn)(const INITCOMMONCONTROLSEX*);
    InitFn init = (InitFn)(void*)systemFunction("comctl32.dll", "InitCommonControlsEx");
    // The templates use the progress bar and the list view.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
    if (init) init(&controls);
}

static void openRoleDialog()
{
    switch (buildMode) {
    case Launcher:
        if (specialUninstallerBuild == 1)
            openDialog(appInstance, IDD_SPECIAL_UNINSTALLER, mainWindowHandle, specialUninstallerDialogProc, 0);
        else
            openDialog(appInstance, IDD_LAUNCHER, mainWindowHandle, launcherDialogProc, 0);
        break;
    case UpdateInstaller: openDialog(appInstance, IDD_UPDATE, mainWindowHandle, launcherDialogProc, 0); break;
    default: break;
    }
}

// The Installer from the product table, as the entry fills it once.
static void fillInstaller()
{
    productConfig.installFiles[0] = productConfig.gameExe;
    installer.initialise(productConfig.installFiles, productConfig.extraFiles, productConfig.discLabels,
                         mainWindowHandle, nullptr, productConfig.publisherName, productConfig.gameName,
                         productConfig.folderName, productConfig.requiredSpaceMB);
    installer.setDiscLayout(productConfig.discCount, productConfig.requiredSpaceMB);
    installer.setProgressControl(IDC_PROGRESS);
    folderBrowser.init(appInstance, mainWindowHandle);
}

// The uninstaller's run: handed to its temporary copy, or (as the copy, or asked to remove at
// once) the removal here.
static int runUninstaller(const char* commandLine, bool hasCommandLine)
{
    bool removesHere = switches.relaunched || switches.removeDirectly;
    if (!removesHere && hasCommandLine) return endRun(removeThroughCopy(installer, commandLine));
    if (!removesHere) {
        startRemovalCopy(installer);
        return endRun(installer.installed == GameInstalled ? ExitDone : ExitNothingToDo);
    }
    int code = exitCodeOf(installer.removalOutcome(LeaveInstallFolder, DeleteRecord));
    // The log ends before the uninstaller that waits learns the result and writes its own end.
    int result = endRun(code);
    reportRemoval(installer, code);
    return result;
}

// An unattended run that ends without a dialog: true with its exit code in code. A passive
// installation goes on to the launcher, which shows the copy.
static bool runWithoutDialog(int& code)
{
    if (buildMode == UpdateInstaller)
        code = runQuietUpdate();
    else if (switches.repair)
        code = runQuietRepair();
    else if (installer.installed == GameInstalled)
        code = ExitNothingToDo;
    // Neither the product's disc in a drive nor a data folder beside setup.exe.
    else if (!Installer::pathExists(installer.sourceDir))
        code = ExitNoMedium;
    else if (switches.quiet) {
        code = runQuietInstall();
        refreshDesktop();
    } else {
        return false;
    }
    return true;
}

// The dialogs post the quit message when they close, so the loop ends on its own; its code is the
// run's exit code.
static int runMessageLoop()
{
    MSG msg = {};
    for (;;) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            WaitMessage();
            continue;
        }
        if (msg.message == WM_QUIT) break;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    refreshDesktop();
    if (currentSlideBitmap) DeleteObject(currentSlideBitmap);
    return (int)msg.wParam;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    restrictDllSearch();
    bool hasCommandLine = commandLine && commandLine[0] != '\0';
    // The installed uninstaller of a multi-disc product has no setup.exe beside it to relaunch:
    // it goes on to its own temporary copy instead.
    if (specialUninstallerBuild == 0 && buildMode != Uninstaller && !hasCommandLine && productConfig.discCount > 1) {
        installer.relaunchFromTemp();
        return 0;
    }
    // The special uninstaller takes no switches; its command line means nothing.
    if (!specialUninstallerBuild && !beginRun(commandLine)) return endRun(ExitBadCommandLine);
    answerMessagesUnattended(unattendedRun());
    bool checkSingleInstance = buildMode == Launcher || buildMode == UpdateInstaller;
    int created = specialUninstallerBuild
                      ? createSpecialUninstallerWindow(instance, previous, showCommand, checkSingleInstance)
                      : createMainWindow(instance, previous, showCommand, checkSingleInstance);
    if (!created) return endRun(ExitAlreadyRunning);
    OutputDebugStringA("clear!!");
    initCommonControls();
    loadMultimedia();
    fillInstaller();
    // What an installation or an update that never ended left goes before anything else is shown or
    // done (the uninstaller's removal repairs it first itself).
    if (buildMode == Launcher && !specialUninstallerBuild) clearInterruptedInstallation(installer);
    if (buildMode != Uninstaller && !specialUninstallerBuild && installer.installed == GameInstalled)
        repairInterruptedUpdate(installer);  // one it cannot repair is named, and its journal kept for the next
    if (buildMode == Uninstaller) return runUninstaller(commandLine, hasCommandLine);
    int code = ExitDone;
    if (unattendedRun() && !specialUninstallerBuild && runWithoutDialog(code)) return endRun(code);
    openRoleDialog();
    return endRun(runMessageLoop());
}
