#include "app/unattended_run.h"

#include <ctype.h>
#include <string.h>

#include "config/product_config.h"
#include "platform/display_text.h"
#include "state/installer.h"
#include "platform/run_log.h"
#include "engine/unattended.h"
#include "engine/installed_check.h"
#include "procedures/repair.h"
#include "ui/folder_browser.h"
#include "state/copy_state.h"

namespace {

// The base folder of /dir as the folder dialog gives it (a drive root without its backslash);
// false for a folder the dialog would refuse or whose installation folder would not fit.
bool takeBaseFolder(const char* dir)
{
    char base[PathSize];
    if (!copyText(base, sizeof base, dir)) return false;
    bool onDrive = isalpha((unsigned char)base[0]) && base[1] == ':' && (base[2] == '\0' || base[2] == '\\');
    bool onShare = base[0] == '\\' && base[1] == '\\' && base[2] != '\0';
    if (!onDrive && !onShare) return false;
    dropTrailingBackslash(base);
    char folder[PathSize];
    if (windowsFolderRefused(base) ||
        !formatText(folder, sizeof folder, "%s\\%s\\%s", base, productConfig.publisherName, productConfig.folderName))
        return false;
    return installer.chooseBaseDir(base);
}

SwitchRole switchRole()
{
    if (buildMode == UpdateInstaller) return UpdateSwitches;
    return buildMode == Uninstaller ? UninstallerSwitches : SetupSwitches;
}

}  // namespace

bool beginRun(const char* commandLine)
{
    bool understood = parseSwitches(commandLine, switchRole(), switches);
    if (buildMode == Uninstaller) {
        // Any other command line (an older shortcut's, another tool's) still removes the game: at once,
        // with the removal's questions.
        if (!understood) {
            memset(&switches, 0, sizeof switches);
            switches.removeDirectly = commandLine && commandLine[0] != '\0';
        }
        // The copy continues the log of the uninstaller that started it.
        if (switches.log[0] != '\0' && openRunLog(switches.log, switches.relaunched)) logStart(commandLine);
        return true;
    }
    if (!understood) return false;
    if (switches.log[0] != '\0') {
        if (!openRunLog(switches.log, false)) return false;
        logStart(commandLine);
    }
    if (switches.dir[0] != '\0' && !takeBaseFolder(switches.dir)) {
        logLine("folder not accepted: %s", switches.dir);
        return false;
    }
    return true;
}

int runQuietInstall()
{
    logLine("notice taken as read");
    return exitCodeOf(installer.installOutcome());
}

int runQuietUpdate()
{
    if (installer.installed == GameNotInstalled) {
        showMessage(nullptr, "インストールがされてませんでした。\nインストールを行ってからアップデートしてください。",
                    "確認", MB_ICONWARNING);
        return ExitNothingToDo;
    }
    return exitCodeOf(installer.applyUpdate());
}

// The log names each damaged file (the check) and what became of it (the repair).
static void markNothing(void*, int, RowMark) {}

int runQuietRepair()
{
    if (installer.installed == GameNotInstalled) {
        logLine("the game is not installed: nothing to repair");
        return ExitNothingToDo;
    }
    CheckList items;
    listCheckItems(installer, items);
    std::vector<uint8_t> damaged;
    CheckView view{markNothing, nullptr, nullptr};
    CheckResult checked = checkInstalledFiles(installer, items, damaged, view, true);
    if (checked == CheckResult::NoDisc) return ExitNoMedium;
    logLine("checked %d files: %s", (int)items.size(), checked == CheckResult::Whole ? "all right" : "damage found");
    if (checked == CheckResult::Whole) return ExitDone;
    RepairEnd end = repairInstallation(installer, items, damaged, view, true);
    if (!succeeded(end.outcome)) return exitCodeOf(end.outcome);
    return end.updateOnly > 0 ? ExitFailed : ExitDone;
}

int endRun(int code)
{
    if (runLogOpen()) closeRunLog(code);
    return switches.any ? code : 0;
}
