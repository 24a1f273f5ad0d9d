#include "ui/system_info.h"

int32_t osKind;

void classifyOperatingSystem()
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    osKind = 0;
    if (!GetVersionExA(&info)) return;
    if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        osKind = 1;
    } else if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        if (info.dwMajorVersion == 5)
            osKind = 2;
        else if (info.dwMajorVersion == 6 && info.dwMinorVersion == 0)
            osKind = 3;
        else if (info.dwMajorVersion == 6 && info.dwMinorVersion == 1)
            osKind = 4;
    }
}

// The kind is known before the program's entry runs.
static struct OsKindAtLoad {
    OsKindAtLoad() { classifyOperatingSystem(); }
} osKindAtLoad;

int isWindows9xFamily()
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) return 0;
    return info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? 1 : 0;
}

void centreInWorkArea(HWND window)
{
    RECT work, rect;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    int x = (work.left + work.right - width) >> 1;
    int y = (work.top + work.bottom - height) >> 1;
    MoveWindow(window, x, y, width, height, TRUE);
}
