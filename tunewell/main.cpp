// Entry of tunewell: one copy at a time, no old Windows, then the settings dialog.
#include <windows.h>
#include <commctrl.h>

#include "instance_guard.h"
#include "settings_dialog.h"
#include "settings_file.h"
#include "windows_version.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    if (instanceGuard.acquire(0, "TARNIS Config") == -1) return 0;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    determineProgramFolder();
    int version = classifyWindowsVersion() & 0xFF;
    if (version >= 1 && version <= 19) {
        MessageBoxA(nullptr, "Windows95/NT3.5/NT4 では起動できません。", "エラー", MB_OK);
    } else if (loadSettings() == 0) {
        DialogBoxParamA(instance, "IDD_DIALOG1", nullptr, settingsDialogProc, 0);
    }
    instanceGuard.release(1);
    return 0;
}
