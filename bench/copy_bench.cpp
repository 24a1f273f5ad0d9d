// Installs the benchmark medium through the real copy engine (worker thread, pump, progress bar),
// or copies it file by file with CopyFileA, and prints the milliseconds taken.
//   copy_bench engine   SOURCE TARGET NAME...
//   copy_bench copyfile SOURCE TARGET NAME...
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include "engine/installer.h"
#include "ui/window_state.h"

static HWND makeStandIn(Installer& in)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    HWND window = CreateWindowExA(0, "STATIC", "bench", WS_POPUP, 0, 0, 600, 200, nullptr, nullptr, nullptr, nullptr);
    CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD, 0, 0, 500, 10, window, (HMENU)1005, nullptr, nullptr);
    CreateWindowExA(0, "STATIC", "", WS_CHILD | SS_BITMAP, 0, 20, 50, 50, window, (HMENU)1016, nullptr, nullptr);
    CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 80, 400, 12, window, (HMENU)1019, nullptr, nullptr);
    CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 100, 100, 12, window, (HMENU)1021, nullptr, nullptr);
    launcherDialog = window;
    in.messageOwner = window;
    in.progressCtrlId = 1005;
    return window;
}

int main(int argc, char** argv)
{
    if (argc < 5) {
        fprintf(stderr, "usage: copy_bench engine|copyfile SOURCE TARGET NAME...\n");
        return 2;
    }
    const char* mode = argv[1];
    const char* source = argv[2];
    const char* target = argv[3];
    CreateDirectoryA(target, nullptr);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    if (strcmp(mode, "copyfile") == 0) {
        QueryPerformanceCounter(&start);
        for (int i = 4; i < argc; ++i) {
            char from[MAX_PATH], to[MAX_PATH];
            snprintf(from, sizeof from, "%s\\%s", source, argv[i]);
            snprintf(to, sizeof to, "%s\\%s", target, argv[i]);
            if (!CopyFileA(from, to, FALSE)) return 1;
        }
        QueryPerformanceCounter(&end);
    } else {
        Installer in;
        std::vector<const char*> names(argv + 4, argv + argc);
        names.push_back(nullptr);
        const char* none[] = {nullptr};
        in.installFiles = Installer::duplicateNameList(nullptr, names.data(), &in.installFileCount);
        in.extraFiles = Installer::duplicateNameList(nullptr, none, nullptr);
        in.discLabels = Installer::duplicateNameList(nullptr, none, nullptr);
        snprintf(in.sourceDir, sizeof in.sourceDir, "%s", source);
        snprintf(in.installDir, sizeof in.installDir, "%s", target);
        makeStandIn(in);
        QueryPerformanceCounter(&start);
        bool ok = in.runCopy();
        QueryPerformanceCounter(&end);
        if (!ok) return 1;
    }
    printf("%.1f\n", (double)(end.QuadPart - start.QuadPart) * 1000.0 / (double)frequency.QuadPart);
    return 0;
}
