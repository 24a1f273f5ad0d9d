// Drives the launcher through the headless demonstration: an unattended installation from the
// sample medium on drive n:, the game, and the uninstallation. At each stage it writes
// z:\demo\stage-N.txt (the stage's name) and waits for z:\demo\go-N.txt, which the demo script
// writes after it took its screenshot.
#include "driver.h"

#include <stdio.h>
#include <tlhelp32.h>

static int stageNumber = 0;

static bool stage(const char* name, const char* what)
{
    ++stageNumber;
    printf("demo: %d. %s\n", stageNumber, what);
    fflush(stdout);
    char marker[64], go[64];
    snprintf(marker, sizeof marker, "demo\\stage-%d.txt", stageNumber);
    snprintf(go, sizeof go, "demo\\go-%d.txt", stageNumber);
    kit::writeFile(kit::scratchPath(marker), name);
    std::string goPath = kit::scratchPath(go);
    return kit::waitUntil([&] { return kit::fileExists(goPath); }, 60000);
}

// Holds every thread of a process still, so that a moment of the copy can be photographed.
static void holdProcess(DWORD pid, bool hold)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != pid) continue;
        HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
        if (!thread) continue;
        if (hold)
            SuspendThread(thread);
        else
            ResumeThread(thread);
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
}

static int fail(const char* why)
{
    printf("demo: failed: %s\n", why);
    return 1;
}

static bool answer(DWORD pid, int button, const char* what)
{
    kit::MessageBoxView box;
    if (!kit::waitMessageBox(pid, box, 120000)) return false;
    printf("demo:    %s: 「%s」 -> %s\n", what, kit::wideToAnsi(box.text).c_str(), button == IDYES ? "はい" : "OK");
    kit::answer(box, button);
    return true;
}

int main()
{
    kit::makeFolders(kit::scratchPath("demo"));
    kit::Process setup;
    if (!kit::start(setup, "n:\\setup.exe")) return fail("n:\\setup.exe did not start");
    HWND launcher = kit::waitWindow(setup.pid, L"#32770", L"Veyla Setup", 30000);
    if (!launcher) return fail("the launcher did not open");
    stage("launcher", "the launcher opens from the medium (drive n:, label Veyla)");

    kit::click(launcher, 1000);
    HWND notice = kit::waitOtherDialog(setup.pid, launcher, 30000);
    if (!notice) return fail("no notice");
    stage("notice", "インストール: the notice with the system requirements");
    kit::click(notice, IDOK);
    if (!answer(setup.pid, IDYES, "folder question")) return fail("no folder question");
    HWND bar = GetDlgItem(launcher, 1005);
    if (!kit::waitUntil([&] { return kit::progressPosition(bar) >= 100; }, 120000)) return fail("no progress");
    holdProcess(setup.pid, true);
    stage("progress", "copying, with the progress bar, the elapsed time and the slideshow");
    holdProcess(setup.pid, false);
    if (!answer(setup.pid, IDYES, "desktop question")) return fail("no desktop question");
    kit::MessageBoxView done;
    if (!kit::waitMessageBox(setup.pid, done, 60000)) return fail("no completion message");
    stage("complete", "the installation completes");
    kit::answer(done, IDOK);
    kit::waitUntil([&] { return kit::itemText(launcher, 1000) == L"インストール"; }, 30000);
    stage("installed", "the installed state: game start, uninstall and data check are enabled");

    kit::click(launcher, 1001);
    if (kit::waitExit(setup, 30000) != 0) return fail("the launcher did not close after the game start");
    HWND game = kit::waitWindow(0, L"VeylaGame", nullptr, 30000);
    if (!game) return fail("the game did not start");
    stage("game", "ゲームスタート: the game (a stand-in) shows its tncfg.dat");
    PostMessageW(game, WM_KEYDOWN, VK_SPACE, 0);
    kit::waitGone(game, 10000);

    kit::Process again;
    if (!kit::start(again, "n:\\setup.exe")) return fail("setup did not start again");
    launcher = kit::waitWindow(again.pid, L"#32770", L"Veyla Setup", 30000);
    if (!launcher) return fail("the launcher did not open again");
    kit::click(launcher, 1014);
    if (!answer(again.pid, IDYES, "uninstall question") || !answer(again.pid, IDYES, "save data question"))
        return fail("no uninstall questions");
    if (!kit::waitMessageBox(again.pid, done, 60000)) return fail("no uninstall completion");
    stage("uninstalled", "アンインストール: the game is removed");
    kit::answer(done, IDOK);
    kit::click(launcher, 2);
    long code = kit::waitExit(again, 30000);
    printf("demo: setup ended with exit code %ld\n", code);
    return code == 0 ? 0 : 1;
}
