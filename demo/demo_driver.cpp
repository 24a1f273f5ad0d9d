// Drives the launcher for the headless demonstration. At each stage it writes z:\demo\stage-N.txt
// (the stage's name) and waits for z:\demo\go-N.txt, which the demo script writes after it took
// its screenshot.
#include <stdio.h>

#include "driver.h"

static int stageNumber = 0;

static bool stage(const char* name)
{
    ++stageNumber;
    char marker[64], go[64];
    snprintf(marker, sizeof marker, "demo\\stage-%d.txt", stageNumber);
    snprintf(go, sizeof go, "demo\\go-%d.txt", stageNumber);
    kit::writeFile(kit::scratchPath(marker), name);
    std::string goPath = kit::scratchPath(go);
    return kit::waitUntil([&] { return kit::fileExists(goPath); }, 60000);
}

int main(int argc, char** argv)
{
    std::string exe = argc > 1 ? argv[1] : kit::binPath("setup.exe");
    kit::makeFolders(kit::scratchPath("demo"));
    kit::Process setup;
    if (!kit::start(setup, exe)) {
        printf("demo: could not start %s\n", exe.c_str());
        return 1;
    }
    HWND launcher = kit::waitWindow(setup.pid, L"#32770", nullptr, 30000);
    if (!launcher) {
        printf("demo: the launcher did not open\n");
        return 1;
    }
    printf("demo: launcher open: %s\n", kit::wideToAnsi(kit::text(launcher)).c_str());
    stage("launcher");
    kit::click(launcher, IDCANCEL);
    long code = kit::waitExit(setup, 30000);
    printf("demo: setup ended with exit code %ld\n", code);
    return code == 0 ? 0 : 1;
}
