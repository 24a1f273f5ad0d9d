// Operating-system kind and dialog placement.
#pragma once
#include <windows.h>
#include <stdint.h>

// 0 unknown / NT 4.0 or earlier / Windows 8 or later, 1 Windows 95/98/Me, 2 NT 5.x, 3 Vista, 4 Windows 7.
extern int32_t osKind;
void classifyOperatingSystem();
int isWindows9xFamily();

// Moves a window to the centre of the desktop work area, keeping its size.
void centreInWorkArea(HWND window);
