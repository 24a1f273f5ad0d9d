// The control of the planted-DLL test: a program that imports winmm by bare name, as any program
// does that links it statically, so a planted winmm.dll beside it runs.
#include <windows.h>
#include <mmsystem.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return timeGetTime() == 0xFFFFFFFF; }
