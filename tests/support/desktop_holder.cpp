// Keeps Wine's desktop in use for the whole bench run. The desktop process closes a moment after its
// last program ends and the next program to open a window starts it again, handing it that
// program's output pipes (a test's, which CTest then waits on until the desktop closes). Held from
// the bench's start, with its output elsewhere, it starts once.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    GetDesktopWindow();
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}
