#include "windows_version.h"

#include <windows.h>

int classifyWindowsVersion()
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) return -1;
    switch (info.dwBuildNumber & BuildNumberMask) {
    case 950: return 1;
    case 1111: return 2;
    case 1212: return 3;
    case 1214: return 4;
    case 1057: return 12;
    case 1381: return 13;
    case 1998: return 20;
    case 2222: return 21;
    case 3000: return 30;
    case 2195: return 40;
    case 2211:
    case 2223:
    case 2239:
    case 2247:
    case 2250:
    case 2257: return 45;
    case 2600: return 50;
    case 3790: return 60;
    default: return 255;
    }
}
