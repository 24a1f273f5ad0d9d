// Entry of tunewell: one copy at a time, no old Windows, then the settings dialog.
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>

#include "display_text.h"
#include "instance_guard.h"
#include "settings_dialog.h"
#include "settings_file.h"
#include "windows_version.h"

// Nothing the program loads later (the shell's and the theme's DLLs) is taken from its own folder or
// the current folder; systems without these calls keep their search order.
static void restrictDllSearch()
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    FARPROC setDirectory = kernel ? GetProcAddress(kernel, "SetDllDirectoryA") : nullptr;
    FARPROC setDefault = kernel ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
    if (setDirectory) ((BOOL(WINAPI*)(LPCSTR))(void*)setDirectory)("");
    if (setDefault) ((BOOL(WINAPI*)(DWORD))(void*)setDefault)(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// comctl32 is loaded only after the search is restricted: linked statically, it would load the theme
// DLL from the program's folder before WinMain. From XP on, the manifest binds version 6 side by
// side, which Windows resolves by name before it looks at any folder; older systems take the
// system folder's copy by its full path.
static HMODULE commonControls;  // kept loaded while the dialog runs

static void initCommonControls()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    bool sideBySide = version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
                      (version.dwMajorVersion > 5 || (version.dwMajorVersion == 5 && version.dwMinorVersion >= 1));
    char folder[MAX_PATH] = "", path[MAX_PATH] = "comctl32.dll";
    if (!sideBySide) {
        UINT n = GetSystemDirectoryA(folder, sizeof folder);
        int length = snprintf(path, sizeof path, "%s\\comctl32.dll", folder);
        if (n == 0 || n >= sizeof folder || length < 0 || length >= (int)sizeof path) return;
    }
    commonControls = LoadLibraryA(path);
    FARPROC init = commonControls ? GetProcAddress(commonControls, "InitCommonControlsEx") : nullptr;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    if (init) ((BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*))(void*)init)(&controls);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    restrictDllSearch();
    if (instanceGuard.acquire(0, "TARNIS Config") == -1) return 0;
    initCommonControls();
    determineProgramFolder();
    int version = classifyWindowsVersion() & KindMask;
    if (version >= FirstRefusedKind && version <= LastRefusedKind) {
        showMessage(nullptr, "Windows95/NT3.5/NT4 では起動できません。", "エラー", MB_OK);
    } else if (loadSettings() == 0) {
        openDialog(instance, "IDD_DIALOG1", nullptr, settingsDialogProc, 0);
    }
    instanceGuard.release(1);
    return 0;
}
