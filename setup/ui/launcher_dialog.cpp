#include "ui/launcher_dialog.h"
#include "platform/display_text.h"
#include "platform/unicode_dialog.h"

#include <string.h>

#include "config/product_config.h"
#include "state/installer.h"
#include "state/removal_flags.h"
#include "platform/run_log.h"
#include "engine/unattended.h"
#include "resources/resource.h"
#include "system/player_start.h"
#include "ui/data_check_dialog.h"
#include "ui/notice_dialog.h"
#include "ui/progress_display.h"
#include "ui/dpi_scale.h"
#include "ui/system_info.h"
#include "ui/window_state.h"
#include "state/copy_state.h"
#include "system/shell_launch.h"

HANDLE installThread;
DWORD installThreadId;
volatile LONG installThreadRunning;

// The exit code the launcher's run ends with, by the quit message: what the update, a removal or a
// passive installation ended with (an interactive installation may be tried again, so it sets none).
static int launcherResult = ExitDone;

// The folder box's pale face.
static const COLORREF FolderBoxColour = RGB(236, 233, 216);

static void enable(HWND dialog, int id, BOOL on) { EnableWindow(GetDlgItem(dialog, id), on); }

static void showFolderText(HWND dialog, const char* base)
{
    char folder[MessageSize];
    formatWithPaths(folder, sizeof folder, "%s\\%s\\%s", base, installer.publisherName, installer.folderName);
    setItemText(dialog, IDC_FOLDER, folder);
}

static void showNotInstalledState(HWND dialog)
{
    enable(dialog, IDC_INSTALL, TRUE);
    enable(dialog, IDC_UNINSTALL, FALSE);
    enable(dialog, IDC_GAME_START, FALSE);
    enable(dialog, IDC_BROWSE, TRUE);
    enable(dialog, IDC_DATACHECK, FALSE);
}

static void onInitDialog(HWND dialog)
{
    launcherDialog = dialog;
    installer.setMessageOwner(dialog);
    installer.setProgressReport(&launcherProgress);
    char text[MessageSize];
    if (buildMode == UpdateInstaller) {
        formatText(text, sizeof text, "%s　をアップデートしますか？", productConfig.gameName);
        setItemText(dialog, IDC_UPDATE_TEXT, text);
        formatText(text, sizeof text, "%s Updata", productConfig.gameName);
    } else {
        formatText(text, sizeof text, "%s Setup", productConfig.gameName);
    }
    setWindowText(dialog, text);
    centreInWorkArea(dialog);

    if (installer.installed == GameNotInstalled) {
        showNotInstalledState(dialog);
        showFolderText(dialog, installer.baseDir);
        showSlide(productConfig.slideNotInstalled);
    } else if (installer.installed == GameInstalled) {
        enable(dialog, IDC_INSTALL, TRUE);
        enable(dialog, IDC_UNINSTALL, TRUE);
        enable(dialog, IDC_GAME_START, TRUE);
        enable(dialog, IDC_BROWSE, FALSE);
        enable(dialog, IDC_DATACHECK, TRUE);
        char base[PathSize];
        installer.installedBaseDir(base, sizeof base);
        showFolderText(dialog, base);
        installer.chooseBaseDir(base);
        showSlide(productConfig.slideInstalled);
    }
    // A passive run installs at once, as if インストール had been pressed and the notice read.
    if (switches.passive && buildMode == Launcher) PostMessageA(dialog, WM_COMMAND, IDC_INSTALL, 0);
}

static void endLauncher(HWND dialog)
{
    EndDialog(dialog, 2);
    PostQuitMessage(launcherResult);
}

// Install, or abort while the copy worker runs. Returns FALSE only when the install thread could
// not be created.
static BOOL onInstall(HWND dialog)
{
    if (installer.isWorkerRunning()) {
        installer.requestCancel();
        enable(dialog, IDC_INSTALL, FALSE);
        return TRUE;
    }
    // Before the worker starts and after it ends the install thread still runs: the button then
    // does nothing, and a second installation never starts beside the first.
    if (installThreadRunning) return TRUE;
    showSlide(productConfig.slideInstallStart);
    if (unattendedRun()) {
        logLine("notice taken as read");
        noticeAccepted = 1;
    } else {
        openDialog(appInstance, IDD_NOTICE, mainWindowHandle, noticeDialogProc, 0);
    }
    if (noticeAccepted == 0) return TRUE;
    installThreadRunning = 1;
    installThread = CreateThread(nullptr, 0, installThreadProc, nullptr, 0, &installThreadId);
    if (!installThread) {
        installThreadId = 0;
        installThreadRunning = 0;
        return FALSE;
    }
    setItemText(dialog, IDC_INSTALL, "中断");
    return TRUE;
}

static void onBrowse(HWND dialog)
{
    char chosen[PathSize];
    memcpy(chosen, installer.baseDir, sizeof chosen);
    folderBrowser.browse(chosen, sizeof chosen, 0, false);
    dropTrailingBackslash(chosen);
    if (windowsFolderRefused(chosen))
        showMessage(nullptr, "Windows フォルダ内には、インストールできません。\n別のフォルダを指定してください。",
                    "確認", MB_OK);
    else
        installer.chooseBaseDir(chosen);
    showFolderText(dialog, installer.baseDir);
}

static void onUpdate(HWND dialog)
{
    if (installer.installed == GameNotInstalled) {
        showMessage(dialog, "インストールがされてませんでした。\nインストールを行ってからアップデートしてください。",
                    "確認", MB_ICONWARNING);
        return;
    }
    if (installer.installed != GameInstalled) return;
    Outcome updated = installer.applyUpdate();
    // Files in use and Cancel: nothing changed, and the dialog stays.
    if (declined(updated)) return;
    launcherResult = exitCodeOf(updated);
    endLauncher(dialog);
}

static void onUninstall(HWND dialog)
{
    Outcome removed = installer.removalOutcome(LeaveInstallFolder, DeleteRecord);
    if (!declined(removed)) launcherResult = exitCodeOf(removed);
    if (!succeeded(removed)) return;
    installer.setCopyRange(0, 0, NoEndIndex);
    showNotInstalledState(dialog);
    showSlide(productConfig.slideNotInstalled);
}

static void onManual()
{
    char root[PathSize];
    copyText(root, sizeof root, installer.sourceDir);
    if (char* slash = lastBackslash(root)) *slash = '\0';
    char path[PathSize];
    if (formatText(path, sizeof path, "%s\\manual\\manual.html", root))
        startForPlayer(path, "", LaunchOpen, installer.installDir);
}

// Closing the launcher: ignored while an installation is under way, except that during the copy it
// asks for the abort, so the process never ends in the middle of an installation.
static void onClose(HWND dialog)
{
    if (installThreadRunning) {
        if (installer.isWorkerRunning() && IsWindowEnabled(GetDlgItem(dialog, IDC_INSTALL))) onInstall(dialog);
        return;
    }
    endLauncher(dialog);
}

static BOOL onCommand(HWND dialog, int id)
{
    switch (id) {
    case IDC_INSTALL: return onInstall(dialog);
    case IDC_GAME_START:
        if (installer.launchGame()) endLauncher(dialog);
        break;
    case IDCANCEL:
    case IDC_QUIT_ALT: onClose(dialog); break;
    case IDC_BROWSE: onBrowse(dialog); break;
    case IDC_README: installer.openReadme(); break;
    case IDC_UPDATE_START: onUpdate(dialog); break;
    case IDC_UNINSTALL: onUninstall(dialog); break;
    case IDC_MANUAL: onManual(); break;
    case IDC_HOMEPAGE: startForPlayer(productConfig.homePageUrl, nullptr, LaunchDefault, installer.installDir); break;
    case IDC_DATACHECK: openDialog(appInstance, IDD_DATACHECK, dialog, dataCheckDialogProc, 0); break;
    default: break;
    }
    return TRUE;
}

// The folder box is drawn on its own pale colour, every other static on the dialog's face. The
// brush is made once and lives as long as the process.
static INT_PTR onColourStatic(HWND dialog, HDC dc, HWND control)
{
    static HBRUSH folderBrush = CreateSolidBrush(FolderBoxColour);
    if (control == GetDlgItem(dialog, IDC_FOLDER)) {
        SetBkColor(dc, FolderBoxColour);
        return (INT_PTR)folderBrush;
    }
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return (INT_PTR)GetSysColorBrush(COLOR_BTNFACE);
}

INT_PTR CALLBACK launcherDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: onInitDialog(dialog); return TRUE;
    case WM_CTLCOLORSTATIC: return onColourStatic(dialog, (HDC)wParam, (HWND)lParam);
    case WM_COMMAND: return onCommand(dialog, LOWORD(wParam));
    case WM_DPICHANGED: followDpiChange(dialog, lParam); return FALSE;
    case WM_SHOWSLIDE: showRequestedSlide(lParam); return TRUE;
    case WM_RESCALE:
        refreshDialogFont(dialog);
        showSlideAgain();
        return TRUE;
    default: return FALSE;
    }
}

DWORD WINAPI installThreadProc(LPVOID)
{
    HWND dialog = launcherDialog;
    static const int busy[] = {IDC_UNINSTALL, IDC_GAME_START, IDC_README,   IDC_MANUAL,
                               IDCANCEL,      IDC_BROWSE,     IDC_DATACHECK};
    for (int id : busy) enable(dialog, id, FALSE);
    static const int done[] = {IDC_INSTALL, IDC_UNINSTALL, IDC_GAME_START, IDC_README,
                               IDC_MANUAL,  IDCANCEL,      IDC_DATACHECK};
    static const int failed[] = {IDC_INSTALL, IDC_README, IDC_MANUAL, IDCANCEL, IDC_BROWSE};
    Outcome outcome = installer.installOutcome();
    bool installed = succeeded(outcome);
    // Files in use and Cancel, or a refused folder: declined, nothing changed.
    if (!installed && !declined(outcome))
        showMessage(dialog,
                    "インストールが正常に行われませんでした。\nもう一度ご確認の上、インストールを行ってください。",
                    "確認", MB_ICONWARNING);
    // An installation over the game that did not complete left the earlier game as it was.
    bool gameThere = installed || installer.installed == GameInstalled;
    showSlide(gameThere ? productConfig.slideInstalled : productConfig.slideNotInstalled);
    // The installation is over before any button comes back: a click on the exit or install
    // button the moment it is enabled is then never taken for a click during the installation.
    installThreadRunning = 0;
    if (gameThere)
        for (int id : done) enable(dialog, id, TRUE);
    else
        for (int id : failed) enable(dialog, id, TRUE);
    setItemText(dialog, IDC_INSTALL, "インストール");
    if (switches.passive) {
        // A passive run closes itself: cancelled by its abort button, or done or failed.
        launcherResult = exitCodeOf(outcome);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }
    return 0;
}
