// Reports the operating-system kind setup sees: exit code = osKind * 10 + isWindows9xFamily.
#include <windows.h>

#include "ui/system_info.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return osKind * 10 + isWindows9xFamily(); }
