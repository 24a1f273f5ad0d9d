// The start-up of the real programs: role dispatch, single instance, debug string, desktop refresh.
#include <gtest/gtest.h>

#include "driver.h"

static const char* recordKey = "SOFTWARE\\TesmafromKuvel\\Veyla者";

class Startup : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit::emptyAllDrives();
        kit::deleteRegistryTree(HKEY_LOCAL_MACHINE, recordKey);
    }
};

// Opens a build and returns its dialog, checking it by title.
static HWND openDialog(kit::Process& p, const char* exe, const wchar_t* title, const std::string& args = "")
{
    if (!kit::start(p, kit::binPath(exe), args)) return nullptr;
    return kit::waitWindow(p.pid, L"#32770", title, 20000);
}

TEST_F(Startup, EachBuildOpensTheDialogOfItsRole)
{
    {
        kit::Process p;
        HWND launcher = openDialog(p, "setup.exe", L"Veyla Setup");
        ASSERT_NE(launcher, nullptr);
        EXPECT_EQ(kit::itemText(launcher, 1004), L"c:\\TesmafromKuvel\\Veyla");
        EXPECT_TRUE(kit::itemExists(launcher, 1005) && kit::itemExists(launcher, 1016));
        HWND hidden = FindWindowW(L"Veyla　セットアップ", L"Veyla");
        ASSERT_NE(hidden, nullptr) << "the hidden main window marks the running setup";
        RECT r;
        GetWindowRect(hidden, &r);
        EXPECT_EQ(r.right - r.left, 0);
        kit::click(launcher, IDCANCEL);
        EXPECT_EQ(kit::waitExit(p, 15000), 0);
    }
    {
        kit::Process p;
        HWND update = openDialog(p, "update.exe", L"Veyla Updata");
        ASSERT_NE(update, nullptr);
        EXPECT_EQ(kit::itemText(update, 1009), L"Veyla　をアップデートしますか？");
        EXPECT_EQ(kit::itemText(update, 1008), L"アップデート");
        kit::click(update, IDCANCEL);
        EXPECT_EQ(kit::waitExit(p, 15000), 0);
    }
    {
        kit::Process p;
        HWND special = openDialog(p, "exuninst.exe", L"特殊アンインストーラー");
        ASSERT_NE(special, nullptr);
        EXPECT_NE(FindWindowW(L"EXUninst", L"特殊アンインストーラー"), nullptr);
        kit::click(special, IDCANCEL);
        EXPECT_EQ(kit::waitExit(p, 15000), 0);
    }
}

TEST_F(Startup, UninstallerWithoutRecordOrWithCommandLine)
{
    {
        kit::Process p;
        ASSERT_TRUE(kit::start(p, kit::binPath("uninst.exe")));
        kit::MessageBoxView box;
        ASSERT_TRUE(kit::waitMessageBox(p.pid, box, 20000));
        EXPECT_EQ(box.caption, L"注意");
        EXPECT_EQ(
            box.text,
            L"この実行ファイルはアンインストーラです。\n現在ゲームがインストールされていません。\nインストールされている状態でアンインストールを行ってください。");
        kit::answer(box, IDOK);
        EXPECT_EQ(kit::waitExit(p, 15000), 0);
    }
    {
        kit::Process p;
        ASSERT_TRUE(kit::start(p, kit::binPath("uninst.exe"), "/r"));
        kit::MessageBoxView box;
        ASSERT_TRUE(kit::waitMessageBox(p.pid, box, 20000));
        EXPECT_EQ(box.caption, L"確認");
        EXPECT_EQ(box.text, L"Veyla のアンインストールを開始します。\n開始してもよろしいですか？");
        kit::answer(box, IDNO);
        EXPECT_EQ(kit::waitExit(p, 15000), 0);
    }
}

TEST_F(Startup, OneSetupAtATimeButTheUninstallerNeverRefuses)
{
    kit::Process first;
    HWND launcher = openDialog(first, "setup.exe", L"Veyla Setup");
    ASSERT_NE(launcher, nullptr);
    for (const char* exe : {"setup.exe", "update.exe", "exuninst.exe"}) {
        kit::Process second;
        ASSERT_TRUE(kit::start(second, kit::binPath(exe)));
        EXPECT_EQ(kit::waitExit(second, 20000), 0) << exe;
        EXPECT_EQ(kit::findWindowOf(second.pid, nullptr, nullptr), nullptr) << exe << " showed a window";
    }
    kit::Process uninstaller;
    ASSERT_TRUE(kit::start(uninstaller, kit::binPath("uninst.exe")));
    kit::MessageBoxView box;
    ASSERT_TRUE(kit::waitMessageBox(uninstaller.pid, box, 20000)) << "uninst.exe runs beside a setup";
    kit::answer(box, IDOK);
    EXPECT_EQ(kit::waitExit(uninstaller, 15000), 0);
    kit::click(launcher, IDCANCEL);
    EXPECT_EQ(kit::waitExit(first, 15000), 0);

    // The update installer also keeps the launcher out.
    kit::Process update;
    HWND dialog = openDialog(update, "update.exe", L"Veyla Updata");
    ASSERT_NE(dialog, nullptr);
    kit::Process launcherAgain;
    ASSERT_TRUE(kit::start(launcherAgain, kit::binPath("setup.exe")));
    EXPECT_EQ(kit::waitExit(launcherAgain, 20000), 0);
    kit::click(dialog, IDCANCEL);
    EXPECT_EQ(kit::waitExit(update, 15000), 0);
}

TEST_F(Startup, WritesClearToTheDebuggerOnce)
{
    std::string line = "\"" + kit::binPath("setup.exe") + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr,
                               &si, &pi));
    std::vector<std::string> strings;
    bool clicked = false;
    for (;;) {
        DEBUG_EVENT event;
        if (!WaitForDebugEvent(&event, 200)) {
            HWND launcher = kit::findWindowOf(pi.dwProcessId, L"#32770", L"Veyla Setup");
            if (launcher && !clicked) {
                kit::click(launcher, IDCANCEL);
                clicked = true;
            }
            continue;
        }
        if (event.dwDebugEventCode == OUTPUT_DEBUG_STRING_EVENT) {
            const OUTPUT_DEBUG_STRING_INFO& info = event.u.DebugString;
            std::string text(info.nDebugStringLength, '\0');
            ReadProcessMemory(pi.hProcess, info.lpDebugStringData, &text[0], text.size(), nullptr);
            strings.push_back(text.c_str());
        }
        if (event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT) CloseHandle(event.u.CreateProcessInfo.hFile);
        if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT && event.u.LoadDll.hFile) CloseHandle(event.u.LoadDll.hFile);
        bool exited = event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT;
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId,
                           event.dwDebugEventCode == EXCEPTION_DEBUG_EVENT ? DBG_EXCEPTION_NOT_HANDLED : DBG_CONTINUE);
        if (exited) break;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    ASSERT_EQ(strings.size(), 1u);
    EXPECT_EQ(strings[0], "clear!!");
}

// Stand-ins for the desktop's icon view; the list view records the keys it receives.
static std::vector<std::pair<WPARAM, LPARAM>> keysReceived;
static LRESULT CALLBACK standInProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    if (m == WM_KEYDOWN) keysReceived.push_back({wp, lp});
    return DefWindowProcA(w, m, wp, lp);
}

TEST_F(Startup, RefreshesTheDesktopIconViewWithF5AtExit)
{
    HWND existing = FindWindowA("Progman", "Program Manager");
    ASSERT_EQ(existing, nullptr) << "the bench has no shell desktop of its own";
    for (const char* name : {"Progman", "SHELLDLL_DefView", "SysListView32"}) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = standInProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = name;
        RegisterClassA(&wc);
    }
    HWND progman =
        CreateWindowA("Progman", "Program Manager", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    HWND view = CreateWindowA("SHELLDLL_DefView", "", WS_CHILD, 0, 0, 1, 1, progman, nullptr, nullptr, nullptr);
    HWND list = CreateWindowA("SysListView32", "", WS_CHILD, 0, 0, 1, 1, view, nullptr, nullptr, nullptr);
    ASSERT_TRUE(progman && view && list);
    keysReceived.clear();

    kit::Process p;
    HWND launcher = openDialog(p, "setup.exe", L"Veyla Setup");
    ASSERT_NE(launcher, nullptr);
    kit::click(launcher, IDCANCEL);
    bool done = kit::waitUntil(
        [&] {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            return kit::waitExit(p, 0) == 0 && !keysReceived.empty();
        },
        20000);
    EXPECT_TRUE(done);
    ASSERT_EQ(keysReceived.size(), 1u);
    EXPECT_EQ(keysReceived[0].first, (WPARAM)VK_F5);
    EXPECT_EQ(keysReceived[0].second, 0);
    DestroyWindow(progman);
}
