// A stand-in program for tests: records how it was started (command line and current folder) by
// appending two lines to z:\probe.log, then ends.
#include <windows.h>
#include <stdio.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof folder, folder);
    FILE* log = fopen("z:\\probe.log", "ab");
    if (!log) return 1;
    fprintf(log, "%s\n%s\n", commandLine, folder);
    fclose(log);
    return 0;
}
