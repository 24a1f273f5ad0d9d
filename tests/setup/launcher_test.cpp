// The real launcher driven from its own medium on a CD-ROM drive of the bench: its opening state,
// folder choice, installation through every question, abort, failures and the installed state.
#include "driver.h"

#include <algorithm>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include "launcher_buttons.h"
#include "veyla_medium.h"

namespace {

// The folder dialog names drives in upper case.
std::string shellPath(std::string path)
{
    path[0] = (char)toupper((unsigned char)path[0]);
    return path;
}

const wchar_t* const generalFailure =
    L"インストールが正常に行われませんでした。\nもう一度ご確認の上、インストールを行ってください。";

class Launcher : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit::emptyAllDrives();
        clearVeylaInstallation();
        kit::setWindowsVersion("setup.exe", nullptr);
        ASSERT_TRUE(layOutVeyla(kit::driveRoot('n')));
    }
    void TearDown() override
    {
        if (process.handle && kit::waitExit(process, 0) < 0) kit::terminate(process);
        kit::setWindowsVersion("setup.exe", nullptr);
        clearVeylaInstallation();
        kit::emptyAllDrives();
    }
    HWND open()
    {
        if (!kit::start(process, "n:\\setup.exe")) return nullptr;
        return kit::waitWindow(process.pid, L"#32770", L"Veyla Setup", 20000);
    }
    void browseTo(HWND launcher, const std::string& folder) { browseFolder(process, launcher, folder); }
    // The launcher with base chosen, on a medium whose data pack (sparse) is large enough to keep
    // the copy busy while the test acts on it.
    HWND openWithLargePack(const std::string& base)
    {
        if (!kit::makeSparseFile(kit::driveRoot('n') + "\\Veyla\\data.tpk", 3ull << 30)) return nullptr;
        HWND launcher = open();
        if (launcher) browseTo(launcher, base);
        return launcher;
    }
    // Waits until the copy of the large pack is under way with most of it still to go, so that
    // what the test does next lands in the running copy (the status line is redrawn too rarely to
    // name every file, so the bar is the signal).
    bool waitCopying(HWND launcher)
    {
        HWND bar = GetDlgItem(launcher, 1005);
        return kit::waitUntil(
            [&] {
                int position = kit::progressPosition(bar);
                return position > 0 && position < 900 && kit::itemText(launcher, 1000) == L"中断";
            },
            60000);
    }
    // Presses インストール and returns the notice it opens.
    HWND openNotice(HWND launcher)
    {
        kit::click(launcher, 1000);
        return kit::waitOtherDialog(process.pid, launcher, 20000);
    }
    // Install, accept the notice, answer the folder question; returns at the copy.
    void startInstall(HWND launcher, bool folderQuestion = true)
    {
        HWND notice = openNotice(launcher);
        ASSERT_NE(notice, nullptr);
        kit::click(notice, IDOK);
        if (folderQuestion) {
            ASSERT_TRUE(kit::answerNext(process.pid, IDYES, 20000));
        }
    }
    kit::MessageBoxView nextBox(DWORD timeout = 60000)
    {
        kit::MessageBoxView box;
        EXPECT_TRUE(kit::waitMessageBox(process.pid, box, timeout));
        return box;
    }
    kit::Process process;
};

TEST_F(Launcher, OpensShowingTheDefaultFolderAndTheNotInstalledState)
{
    HWND launcher = open();
    ASSERT_NE(launcher, nullptr);
    EXPECT_EQ(kit::itemText(launcher, 1004), L"c:\\TesmafromKuvel\\Veyla");
    EXPECT_EQ(enabling(launcher), notInstalledButtons);
    EXPECT_NE(SendDlgItemMessageW(launcher, 1016, STM_GETIMAGE, IMAGE_BITMAP, 0), 0) << "setup01.bmp is shown";
    EXPECT_EQ(kit::itemText(launcher, 1000), L"インストール");
    // Centred in the work area.
    RECT work, rect;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(launcher, &rect);
    EXPECT_LE(abs((rect.left + rect.right) / 2 - (work.left + work.right) / 2), 1);
    EXPECT_LE(abs((rect.top + rect.bottom) / 2 - (work.top + work.bottom) / 2), 1);
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
}

// The display scaling of the programs started while it lives (Wine reads it when a process starts).
struct ScopedDpi {
    explicit ScopedDpi(DWORD dpi) { set(dpi); }
    ~ScopedDpi() { set(96); }
    static void set(DWORD dpi)
    {
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return;
        RegSetValueExA(key, "LogPixels", 0, REG_DWORD, (const BYTE*)&dpi, 4);
        RegCloseKey(key);
    }
};

// What the launcher and its data check draw in pixels, and the dialogs' own sizes.
struct PixelSizes {
    SIZE launcher, picture, check;
    int columns[2];
};

TEST_F(Launcher, PictureAndColumnsGrowAsTheDialogsDoAt144Dpi)
{
    fakeInstallation("n:\\Veyla");
    auto size = [](HWND window, bool client) {
        RECT r;
        client ? GetClientRect(window, &r) : GetWindowRect(window, &r);
        return SIZE{r.right - r.left, r.bottom - r.top};
    };
    auto measure = [&](PixelSizes& sizes) {
        HWND launcher = open();
        ASSERT_NE(launcher, nullptr);
        sizes.launcher = size(launcher, true);
        sizes.picture = size(GetDlgItem(launcher, 1016), false);
        kit::click(launcher, 1025);
        HWND check = kit::waitWindow(process.pid, L"#32770", L"インストールデータチェック", 20000);
        ASSERT_NE(check, nullptr);
        sizes.check = size(check, true);
        for (int c = 0; c < 2; ++c) sizes.columns[c] = (int)SendDlgItemMessageW(check, 1024, LVM_GETCOLUMNWIDTH, c, 0);
        kit::click(check, 2);
        ASSERT_TRUE(kit::waitGone(check, 10000));
        kit::click(launcher, 2);
        EXPECT_EQ(kit::waitExit(process, 15000), 0);
    };
    PixelSizes at96, at144;
    measure(at96);
    EXPECT_EQ(at96.columns[0], 50);
    EXPECT_EQ(at96.columns[1], 150);
    {
        ScopedDpi dpi(144);
        measure(at144);
    }
    ASSERT_GT(at144.launcher.cx, at96.launcher.cx) << "the dialog grows with its font";
    double fx = (double)at144.launcher.cx / at96.launcher.cx, fy = (double)at144.launcher.cy / at96.launcher.cy;
    double f = std::min(fx, fy);
    EXPECT_NEAR(at144.picture.cx, at96.picture.cx * f, 3) << fx << " x " << fy;
    EXPECT_NEAR(at144.picture.cy, at96.picture.cy * f, 3);
    double checkX = (double)at144.check.cx / at96.check.cx;
    for (int c = 0; c < 2; ++c) EXPECT_NEAR(at144.columns[c], at96.columns[c] * checkX, 2) << c;
}

TEST_F(Launcher, NoticeShowsTheRequirementsAndNoStartsNothing)
{
    HWND launcher = open();
    ASSERT_NE(launcher, nullptr);
    HWND notice = openNotice(launcher);
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(kit::text(notice), L"確認");
    std::string text = kit::wideToAnsi(kit::itemText(notice, 1028));
    EXPECT_EQ(text.size(), 1000u);
    size_t lines = 1;
    for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
    EXPECT_EQ(lines, 27u);
    std::string last = kit::wideToAnsi(L"『Readme.txt』参照。");
    EXPECT_EQ(text.substr(text.size() - last.size()), last);
    EXPECT_TRUE(kit::itemEnabled(launcher, 1003)) << "the notice belongs to the hidden window, not the launcher";
    kit::click(notice, IDCANCEL);
    ASSERT_TRUE(kit::waitGone(notice, 10000));
    EXPECT_EQ(kit::itemText(launcher, 1000), L"インストール");
    EXPECT_FALSE(kit::fileExists("c:\\TesmafromKuvel")) << "nothing was started";
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
}

TEST_F(Launcher, BrowseTakesADriveRootAndRefusesTheWindowsFolderOnA9xSystem)
{
    // Windows 10 reports 6.2 to this program (its manifest names nothing after Windows 7): kind 0.
    ASSERT_TRUE(kit::setWindowsVersion("setup.exe", "win10"));
    HWND launcher = open();
    ASSERT_NE(launcher, nullptr);
    browseTo(launcher, "z:\\");
    EXPECT_EQ(kit::itemText(launcher, 1004), L"Z:\\TesmafromKuvel\\Veyla") << "a drive root loses its backslash";
    std::string windows = kit::freshFolder("WINDOWS");
    browseTo(launcher, windows);
    EXPECT_EQ(kit::itemText(launcher, 1004), L"Z:\\WINDOWS\\TesmafromKuvel\\Veyla") << "kind 0 checks nothing";
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);

    ASSERT_TRUE(kit::setWindowsVersion("setup.exe", "win98"));
    launcher = open();
    ASSERT_NE(launcher, nullptr);
    std::string games = kit::freshFolder("games");
    browseTo(launcher, games);
    EXPECT_EQ(kit::itemText(launcher, 1004), L"Z:\\games\\TesmafromKuvel\\Veyla");
    kit::click(launcher, 1003);
    HWND browse = kit::waitOtherDialog(process.pid, launcher, 20000);
    ASSERT_NE(browse, nullptr);
    ASSERT_TRUE(selectFolder(browse, windows));
    kit::click(browse, IDOK);
    kit::MessageBoxView box = nextBox(20000);
    EXPECT_EQ(box.caption, L"確認");
    EXPECT_EQ(box.text, L"Windows フォルダ内には、インストールできません。\n別のフォルダを指定してください。");
    kit::answer(box, IDOK);
    EXPECT_TRUE(
        kit::waitUntil([&] { return kit::itemText(launcher, 1004) == L"Z:\\games\\TesmafromKuvel\\Veyla"; }, 10000))
        << "the previous folder comes back";
    std::string lower = kit::freshFolder("windowsish");
    browseTo(launcher, lower);
    EXPECT_EQ(kit::itemText(launcher, 1004), L"Z:\\windowsish\\TesmafromKuvel\\Veyla") << "lower case is accepted";
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
}

TEST_F(Launcher, CompleteInstallationRecordLinksAndInstalledState)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char today[16];
    snprintf(today, sizeof today, "%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
    HWND launcher = open();
    ASSERT_NE(launcher, nullptr);
    HWND notice = openNotice(launcher);
    ASSERT_NE(notice, nullptr);
    kit::click(notice, IDOK);
    kit::MessageBoxView box = nextBox();
    EXPECT_EQ(box.caption, L"確認");
    EXPECT_EQ(box.text, L"c:\\TesmafromKuvel\\Veyla\nフォルダを作成します。\nよろしいですか？");
    EXPECT_EQ(kit::itemText(launcher, 1000), L"中断");
    EXPECT_EQ(enabling(launcher), (Enabling{true, false, false, false, false, false, false, false, true}));
    kit::answer(box, IDYES);
    box = nextBox();
    EXPECT_EQ(box.caption, L"確認");
    EXPECT_EQ(box.text, L"デスクトップにショートカットを作成しますか？");
    EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_FALSE(box.hasIcon);
    EXPECT_EQ(kit::itemText(launcher, 1019), L"スタートメニューに登録しています。");
    kit::answer(box, IDYES);
    box = nextBox();
    EXPECT_EQ(box.caption, L"終了");
    EXPECT_EQ(box.text, L"インストールが完了しました。");
    EXPECT_EQ(kit::itemText(launcher, 1019), L"インストールが完了しました。");
    kit::answer(box, IDOK);
    ASSERT_TRUE(kit::waitUntil([&] { return kit::itemText(launcher, 1000) == L"インストール"; }, 20000));
    EXPECT_EQ(kit::itemText(launcher, 1019), L"");
    EXPECT_TRUE(waitEnabling(launcher, installedButtons)) << enabling(launcher);
    EXPECT_EQ(SendDlgItemMessageW(launcher, 1005, PBM_GETPOS, 0, 0), 1000);

    std::string installed = "c:\\TesmafromKuvel\\Veyla";
    for (const char* const* n = veylaFiles(); *n; ++n) {
        std::string bytes;
        EXPECT_TRUE(kit::readFile(installed + "\\" + *n, bytes) && bytes == veylaFileBytes(*n)) << *n;
    }
    EXPECT_TRUE(kit::fileExists(installed + "\\Veyla.exe"));
    std::string value;
    DWORD type = 0;
    ASSERT_TRUE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaRecordKey, "Dir", value, &type));
    EXPECT_STREQ(value.c_str(), installed.c_str());
    EXPECT_EQ(value.size(), installed.size() + 2);
    ASSERT_TRUE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaRecordKey, "CD", value, &type));
    EXPECT_STREQ(value.c_str(), "n:\\Veyla");
    ASSERT_TRUE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaRecordKey, "InstType", value, &type));
    EXPECT_EQ(type, (DWORD)REG_DWORD);
    EXPECT_EQ(value, std::string(4, '\0'));

    // Listed among the installed programs, sized by what was put in the folder.
    std::string game;
    ASSERT_TRUE(kit::readFile(installed + "\\Veyla.exe", game));
    uint64_t bytes = game.size();
    for (const char* const* n = veylaFiles(); *n; ++n) bytes += veylaFileBytes(*n).size();
    std::string nul(1, '\0');
    auto dword = [](DWORD v) { return std::string((const char*)&v, 4); };
    struct EntryValue {
        const char* name;
        DWORD type;
        std::string bytes;
    } entry[] = {{"DisplayName", REG_SZ, "Veyla" + nul},
                 {"Publisher", REG_SZ, "TesmafromKuvel" + nul},
                 {"UninstallString", REG_SZ, "\"" + installed + "\\uninst.exe\"" + nul},
                 {"QuietUninstallString", REG_SZ, "\"" + installed + "\\uninst.exe\" /quiet" + nul},
                 {"DisplayIcon", REG_SZ, installed + "\\Veyla.exe" + nul},
                 {"InstallLocation", REG_SZ, installed + nul},
                 {"URLInfoAbout", REG_SZ, "http://www.tesmafromkuvel.co.jp/product/veyla/" + nul},
                 {"EstimatedSize", REG_DWORD, dword((DWORD)((bytes + 1023) / 1024))},
                 {"InstallDate", REG_SZ, std::string(today) + nul},
                 {"NoModify", REG_DWORD, dword(1)},
                 {"NoRepair", REG_DWORD, dword(1)}};
    for (const EntryValue& e : entry) {
        EXPECT_TRUE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaEntryKey, e.name, value, &type)) << e.name;
        EXPECT_EQ(type, e.type) << e.name;
        EXPECT_EQ(value, e.bytes) << e.name;
    }
    EXPECT_FALSE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaEntryKey, "DisplayVersion", value))
        << "the table gives no version";

    std::string group = specialFolder(CSIDL_COMMON_PROGRAMS) + "\\TesmafromKuvel\\Veyla";
    struct Expected {
        std::string link, target;
    } links[] = {{group + "\\Veyla.lnk", installed + "\\Veyla.exe"},
                 {group + "\\README.lnk", installed + "\\readme.txt"},
                 {group + "\\Veyla アンインストール.lnk", installed + "\\uninst.exe"},
                 {specialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\Veyla.lnk", installed + "\\Veyla.exe"}};
    for (const Expected& e : links) {
        LinkInfo info = readLink(e.link);
        ASSERT_TRUE(info.loaded) << e.link;
        EXPECT_EQ(_stricmp(info.target.c_str(), e.target.c_str()), 0) << info.target;
        EXPECT_EQ(info.workingDir, installed);
        EXPECT_EQ(info.showCommand, SW_SHOW);
    }
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);

    // Started again, the launcher shows the installed state from the record.
    launcher = open();
    ASSERT_NE(launcher, nullptr);
    EXPECT_EQ(kit::itemText(launcher, 1004), L"c:\\TesmafromKuvel\\Veyla");
    EXPECT_EQ(enabling(launcher), installedButtons);
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);

    // Removed the way Windows removes a listed program: its uninstall command run as it stands
    // (the real uninstaller takes the place of the medium's stand-in).
    ASSERT_TRUE(kit::copyFile(kit::binPath("uninst.exe"), installed + "\\uninst.exe"));
    ASSERT_TRUE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaEntryKey, "UninstallString", value));
    kit::Process removal;
    ASSERT_TRUE(kit::startCommand(removal, value.c_str()));
    EXPECT_EQ(kit::waitExit(removal, 20000), 0) << "it hands over to its temporary copy";
    ASSERT_TRUE(kit::answerNext(0, IDYES, 30000, &box));
    EXPECT_EQ(box.text, L"Veyla のアンインストールを開始します。\n開始してもよろしいですか？");
    ASSERT_TRUE(kit::answerNext(0, IDYES, 30000));
    ASSERT_TRUE(kit::answerNext(0, IDOK, 60000, &box));
    EXPECT_EQ(box.text, L"アンインストールが完了しました。");
    EXPECT_FALSE(kit::fileExists(installed));
    EXPECT_FALSE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaRecordKey, "Dir", value));
    EXPECT_FALSE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaEntryKey, "DisplayName", value))
        << "gone from the list";
}

TEST_F(Launcher, OnA9xSystemTheLinksGoToTheUsersProgramsFolderAndAreRemovedFromThere)
{
    ASSERT_TRUE(kit::setWindowsVersion("setup.exe", "win98"));
    std::string userGroup = specialFolder(CSIDL_PROGRAMS) + "\\TesmafromKuvel";
    kit::removeTree(userGroup);
    std::string base = kit::freshFolder("nine");
    HWND launcher = open();
    ASSERT_NE(launcher, nullptr);
    browseTo(launcher, base);
    startInstall(launcher);
    ASSERT_TRUE(kit::answerNext(process.pid, IDNO, 60000)) << "desktop question";
    ASSERT_TRUE(kit::answerNext(process.pid, IDOK, 60000)) << "completion";
    std::string installed = shellPath(base) + "\\TesmafromKuvel\\Veyla";
    LinkInfo info = readLink(userGroup + "\\Veyla\\Veyla.lnk");
    ASSERT_TRUE(info.loaded);
    EXPECT_EQ(info.workingDir, installed);
    EXPECT_FALSE(kit::fileExists(specialFolder(CSIDL_COMMON_PROGRAMS) + "\\TesmafromKuvel"));
    EXPECT_FALSE(kit::fileExists(specialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\Veyla.lnk")) << "No to the desktop";
    ASSERT_TRUE(kit::waitUntil([&] { return kit::itemEnabled(launcher, 1014); }, 20000));
    kit::click(launcher, 1014);
    ASSERT_TRUE(kit::answerNext(process.pid, IDYES, 20000));
    ASSERT_TRUE(kit::answerNext(process.pid, IDYES, 20000));
    ASSERT_TRUE(kit::answerNext(process.pid, IDOK, 60000));
    EXPECT_FALSE(kit::fileExists(userGroup)) << "links and group folders removed";
    EXPECT_FALSE(kit::fileExists(installed));
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
}

TEST_F(Launcher, AbortDuringTheCopyRemovesTheFilesAndRestoresTheButtons)
{
    std::string base = kit::freshFolder("abort");
    HWND launcher = openWithLargePack(base);
    ASSERT_NE(launcher, nullptr);
    startInstall(launcher);
    ASSERT_TRUE(waitCopying(launcher)) << kit::progressPosition(GetDlgItem(launcher, 1005));
    kit::click(launcher, 1000);
    kit::MessageBoxView box = nextBox();
    EXPECT_FALSE(kit::itemEnabled(launcher, 1000)) << "an abort request disables the button";
    EXPECT_EQ(kit::itemText(launcher, 1000), L"中断");
    EXPECT_EQ(box.caption, L"確認");
    EXPECT_EQ(box.text, generalFailure);
    kit::answer(box, IDOK);
    ASSERT_TRUE(kit::waitUntil([&] { return kit::itemText(launcher, 1000) == L"インストール"; }, 20000));
    EXPECT_TRUE(waitEnabling(launcher, notInstalledButtons)) << enabling(launcher);
    std::string installed = base + "\\TesmafromKuvel\\Veyla";
    EXPECT_FALSE(kit::fileExists(installed + "\\Veyla.exe"));
    EXPECT_FALSE(kit::fileExists(installed + "\\data.tpk"));
    EXPECT_FALSE(kit::fileExists(installed + "\\uninst.exe"));
    std::string value;
    EXPECT_FALSE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaRecordKey, "Dir", value));
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
}

TEST_F(Launcher, ClosingDuringTheInstallationAbortsOnlyWhileCopying)
{
    std::string base = kit::freshFolder("closing");
    HWND launcher = openWithLargePack(base);
    ASSERT_NE(launcher, nullptr);
    HWND notice = openNotice(launcher);
    ASSERT_NE(notice, nullptr);
    kit::click(notice, IDOK);
    kit::MessageBoxView question;
    ASSERT_TRUE(kit::waitMessageBox(process.pid, question, 20000));
    // The install thread runs, the copy does not: the abort button and the close box do nothing.
    kit::command(launcher, 1000);
    PostMessageW(launcher, WM_CLOSE, 0, 0);
    SendMessageW(launcher, WM_NULL, 0, 0);  // both handled once this returns
    EXPECT_TRUE(IsWindowVisible(launcher));
    EXPECT_TRUE(kit::itemEnabled(launcher, 1000));
    kit::answer(question, IDYES);
    ASSERT_TRUE(waitCopying(launcher)) << kit::progressPosition(GetDlgItem(launcher, 1005));
    // While copying, the close box asks for the abort; the process does not end.
    PostMessageW(launcher, WM_CLOSE, 0, 0);
    kit::MessageBoxView box;
    ASSERT_TRUE(kit::waitMessageBox(process.pid, box, 60000));
    EXPECT_EQ(box.text, generalFailure);
    EXPECT_EQ(kit::waitExit(process, 0), -1) << "still running";
    kit::answer(box, IDOK);
    ASSERT_TRUE(kit::waitUntil([&] { return kit::itemText(launcher, 1000) == L"インストール"; }, 20000));
    EXPECT_FALSE(kit::fileExists(base + "\\TesmafromKuvel\\Veyla\\data.tpk"));
    PostMessageW(launcher, WM_CLOSE, 0, 0);
    EXPECT_EQ(kit::waitExit(process, 15000), 0) << "afterwards the close box ends the launcher";
}

TEST_F(Launcher, DecliningTheFolderQuestionCopiesNothing)
{
    std::string base = kit::freshFolder("declined");
    HWND launcher = open();
    ASSERT_NE(launcher, nullptr);
    browseTo(launcher, base);
    startInstall(launcher, false);
    ASSERT_TRUE(kit::answerNext(process.pid, IDNO, 20000));
    kit::MessageBoxView box = nextBox();
    EXPECT_EQ(box.text, kit::ansiToWide(shellPath(base)) + L"\\TesmafromKuvel\\Veyla フォルダを作成できませんでした。");
    EXPECT_EQ(box.caption, L"確認");
    kit::answer(box, IDOK);
    box = nextBox();
    EXPECT_EQ(box.text, generalFailure);
    kit::answer(box, IDOK);
    EXPECT_FALSE(kit::fileExists(base + "\\TesmafromKuvel"));
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
}

TEST_F(Launcher, TheGameRunningFromTheFolderIsAskedAboutAndCancelChangesNothing)
{
    // Files of an earlier installation whose record is gone, and the game still running from them.
    std::string dir = fakeInstallation("n:\\Veyla");
    kit::deleteRegistryTree(HKEY_LOCAL_MACHINE, veylaRecordKey);
    kit::Process game;
    ASSERT_TRUE(startGame(game));
    HWND launcher = open();
    ASSERT_NE(launcher, nullptr);
    startInstall(launcher, false);
    kit::MessageBoxView box = nextBox();
    EXPECT_EQ(box.text, gameInUseText(dir));
    EXPECT_EQ(GetWindow(box.window, GW_OWNER), launcher);
    kit::answer(box, IDCANCEL);
    endGame(game);
    ASSERT_TRUE(waitEnabling(launcher, notInstalledButtons)) << "back as before, without a failure message";
    std::string bytes;
    EXPECT_TRUE(kit::readFile(dir + "\\data.tpk", bytes) && bytes == veylaFileBytes("data.tpk"));
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
}

TEST_F(Launcher, NotEnoughSpaceOnATinyDrive)
{
    std::string tiny = kit::scratchPath("tiny");
    ULARGE_INTEGER avail, total, totalFree;
    if (!GetDiskFreeSpaceExA(tiny.c_str(), &avail, &total, &totalFree) || total.QuadPart > (64u << 20))
        GTEST_SKIP() << "the bench has no tiny volume at z:\\tiny";
    HWND launcher = open();
    ASSERT_NE(launcher, nullptr);
    browseTo(launcher, tiny);
    HWND notice = openNotice(launcher);
    ASSERT_NE(notice, nullptr);
    kit::click(notice, IDOK);
    kit::MessageBoxView box = nextBox();
    wchar_t expected[512];
    swprintf(
        expected, 512,
        L"Z:\\ ドライブの空き容量が足りません。\n今現在のドライブの容量は %uMです。\nインストールするには 約4000Mの容量が必要です。",
        (unsigned)(totalFree.QuadPart >> 20));
    EXPECT_EQ(box.text, expected);
    EXPECT_EQ(box.caption, L"確認");
    kit::answer(box, IDOK);
    box = nextBox();
    EXPECT_EQ(box.text, generalFailure);
    kit::answer(box, IDOK);
    EXPECT_FALSE(kit::fileExists(tiny + "\\TesmafromKuvel"));
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
}

TEST_F(Launcher, ARecordThatCannotBeWrittenRollsTheInstallationBack)
{
    // A volatile publisher key cannot hold the record's non-volatile key.
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\TesmafromKuvel", 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              0);
    RegCloseKey(key);
    // An entry in the list of installed programs, as an earlier installation left it.
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, veylaEntryKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              0);
    RegSetValueExA(key, "DisplayName", 0, REG_SZ, (const BYTE*)"Veyla", 6);
    RegCloseKey(key);
    std::string base = kit::freshFolder("norecord");
    HWND launcher = open();
    ASSERT_NE(launcher, nullptr);
    browseTo(launcher, base);
    startInstall(launcher);
    kit::MessageBoxView box = nextBox();
    EXPECT_EQ(box.text, generalFailure);
    kit::answer(box, IDOK);
    ASSERT_TRUE(kit::waitUntil([&] { return kit::itemText(launcher, 1000) == L"インストール"; }, 20000));
    std::string installed = base + "\\TesmafromKuvel\\Veyla";
    for (const char* const* n = veylaFiles(); *n; ++n) EXPECT_FALSE(kit::fileExists(installed + "\\" + *n)) << *n;
    EXPECT_FALSE(kit::fileExists(specialFolder(CSIDL_COMMON_PROGRAMS) + "\\TesmafromKuvel\\Veyla\\Veyla.lnk"));
    EXPECT_TRUE(waitEnabling(launcher, notInstalledButtons)) << enabling(launcher);
    std::string value;
    EXPECT_FALSE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaEntryKey, "DisplayName", value))
        << "a failed installation leaves no entry";
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
}

}  // namespace

namespace {

// The medium's files for an installation over the game: each one differs from what fakeInstallation
// installed, so that a file tells whether it is the earlier game's or the new one's. With only
// given, the medium holds just those (a file on no disc is passed over) and the rest are gone.
std::string newBytes(const std::string& name) { return "new " + veylaFileBytes(name); }

bool layOutNewVeyla(const char* setupExe, const std::vector<std::string>& only = {})
{
    bool ok = layOutVeyla(kit::driveRoot('n'), setupExe);
    for (const char* const* n = veylaFiles(); *n; ++n) {
        std::string path = kit::driveRoot('n') + "\\Veyla\\" + *n;
        bool kept = only.empty() || std::find(only.begin(), only.end(), *n) != only.end();
        ok = (kept ? kit::writeFile(path, newBytes(*n)) : DeleteFileA(path.c_str()) != FALSE) && ok;
    }
    return ok;
}

// "earlier" or "new" when every product file in dir (of only, when given) is the earlier game's or
// the new medium's, and no file of the kit's temporary names is left; otherwise what is wrong.
std::string gameIn(const std::string& dir, const std::vector<std::string>& only = {})
{
    bool allEarlier = true, allNew = true;
    for (const char* const* n = veylaFiles(); *n; ++n) {
        std::string bytes;
        bool there = kit::readFile(dir + "\\" + *n, bytes);
        bool changes = only.empty() || std::find(only.begin(), only.end(), *n) != only.end();
        allEarlier = allEarlier && there && bytes == veylaFileBytes(*n);
        allNew = allNew && there && bytes == (changes ? newBytes(*n) : veylaFileBytes(*n));
    }
    std::string left = temporaryLeft(dir);
    if (!left.empty()) return "left " + left;
    std::string value;
    if (!kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaRecordKey, "Dir", value) || strcmp(value.c_str(), dir.c_str()))
        return "no record of " + dir;
    if (!kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaEntryKey, "DisplayName", value)) return "no entry";
    return allEarlier ? "earlier" : allNew ? "new" : "a mix of earlier and new files";
}

// A player's installation in the launcher: インストール, the notice, each question answered (no
// desktop link), the launcher closed once it has said how it ended. Its exit code.
long installAsAPlayer()
{
    kit::Process process;
    if (!kit::start(process, "n:\\setup.exe")) return -2;
    HWND launcher = kit::waitWindow(process.pid, L"#32770", L"Veyla Setup", 20000);
    HWND notice = nullptr;
    if (launcher) {
        kit::click(launcher, 1000);
        notice = kit::waitOtherDialog(process.pid, launcher, 20000);
    }
    if (notice) kit::click(notice, IDOK);
    bool over = !notice;
    while (!over) {
        kit::MessageBoxView box;
        HWND found = nullptr;
        kit::waitUntil(
            [&] {
                return kit::waitExit(process, 0) >= 0 || (found = kit::findTopLevel(process.pid, kit::isMessageBox));
            },
            60000);
        if (!found || !kit::waitMessageBox(process.pid, box, 0)) break;
        bool asks = std::find(box.buttons.begin(), box.buttons.end(), IDNO) != box.buttons.end();
        over = box.text == L"インストールが完了しました。" || box.text == generalFailure;
        kit::answer(box, asks ? IDNO : IDOK);
    }
    if (over && kit::waitUntil([&] { return kit::itemText(launcher, 1000) == L"インストール"; }, 20000))
        kit::click(launcher, 2);
    return kit::waitExit(process, 30000);
}

}  // namespace

TEST_F(Launcher, AnInstallationOverTheGameAbortedLeavesTheEarlierGameAsItWas)
{
    std::string dir = fakeInstallation("n:\\Veyla");
    ASSERT_TRUE(layOutNewVeyla("setup.exe"));
    ASSERT_TRUE(kit::makeSparseFile(kit::driveRoot('n') + "\\Veyla\\data.tpk", 3ull << 30));
    HWND launcher = open();
    ASSERT_NE(launcher, nullptr);
    startInstall(launcher, false);
    ASSERT_TRUE(waitCopying(launcher));
    kit::click(launcher, 1000);
    kit::MessageBoxView box = nextBox();
    EXPECT_EQ(box.text, generalFailure) << "it says the installation did not complete";
    kit::answer(box, IDOK);
    EXPECT_TRUE(waitEnabling(launcher, installedButtons)) << "still installed: " << enabling(launcher);
    EXPECT_EQ(gameIn(dir), "earlier");
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
}

TEST_F(Launcher, AnInstallationOverTheGameEndedAtEveryStepLeavesTheEarlierGameOrTheNewOne)
{
    // Three files on the medium (and the game), so that every step of the run can be ended in turn.
    const std::vector<std::string> medium = {"data.tpk", "tncfg.dat", "update1.tpk"};
    ASSERT_TRUE(layOutNewVeyla("..\\tests\\setup_crash.exe", medium));
    std::string dir;
    auto reset = [&] {
        clearVeylaInstallation();
        dir = fakeInstallation("n:\\Veyla");
    };
    reset();
    const long steps = changingSteps([&] { return installAsAPlayer(); });
    ASSERT_GT(steps, 30) << "journal, four files written beside their targets, four replaced, record";
    EXPECT_EQ(gameIn(dir, medium), "new");
    // Every new file is on the disk before it takes its target's name.
    reset();
    std::vector<std::string> noted = notedSteps([&] { return installAsAPlayer(); });
    int renames = 0;
    for (size_t i = 0; i < noted.size(); ++i) {
        if (noted[i].compare(0, 8, "renamed ") != 0) continue;
        ++renames;
        EXPECT_NE(std::find(noted.begin(), noted.begin() + i, "flushed " + noted[i].substr(8)), noted.begin() + i)
            << noted[i];
    }
    EXPECT_EQ(renames, 5) << "the game, the three files and the record of what the kit placed";
    for (long k = 1; k <= steps; ++k) {
        reset();
        ASSERT_EQ(runEndingAtStep(k, [&] { return installAsAPlayer(); }), 99) << "ended at step " << k;
        // The next start of the launcher (a quiet one ends with 3, the game installed) puts it right.
        kit::Process next;
        ASSERT_TRUE(kit::start(next, "n:\\setup.exe", "/quiet"));
        EXPECT_EQ(kit::waitExit(next, 60000), 3) << "step " << k;
        std::string state = gameIn(dir, medium);
        EXPECT_TRUE(state == "earlier" || state == "new") << "step " << k << ": " << state;
        if (HasFailure()) break;
    }
}
