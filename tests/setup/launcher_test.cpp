// The real launcher driven from its own medium on a CD-ROM drive of the bench: its opening state,
// folder choice, installation through every question, abort, failures and the installed state.
#include "driver.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

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

struct Enabling {
    bool install, uninstall, gameStart, readme, manual, quit, browse, dataCheck, homePage;
};

Enabling enabling(HWND d)
{
    return {kit::itemEnabled(d, 1000), kit::itemEnabled(d, 1014), kit::itemEnabled(d, 1001),
            kit::itemEnabled(d, 1006), kit::itemEnabled(d, 1020), kit::itemEnabled(d, 2),
            kit::itemEnabled(d, 1003), kit::itemEnabled(d, 1025), kit::itemEnabled(d, 1022)};
}

bool operator==(const Enabling& a, const Enabling& b) { return memcmp(&a, &b, sizeof a) == 0; }
std::ostream& operator<<(std::ostream& o, const Enabling& e)
{
    return o << e.install << e.uninstall << e.gameStart << e.readme << e.manual << e.quit << e.browse << e.dataCheck
             << e.homePage;
}

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
    // Chooses a folder in the folder dialog that the browse button opens.
    void browseTo(HWND launcher, const std::string& folder)
    {
        kit::click(launcher, 1003);
        HWND browse = kit::waitOtherDialog(process.pid, launcher, 20000);
        ASSERT_NE(browse, nullptr);
        select(browse, folder);
        kit::click(browse, IDOK);
        ASSERT_TRUE(kit::waitGone(browse, 10000));
    }
    // Selects a folder in the folder dialog; the dialog may still be filling its tree, so the
    // selection is repeated until the tree shows it.
    static void select(HWND browse, const std::string& folder)
    {
        HWND tree = FindWindowExW(browse, nullptr, L"SysTreeView32", nullptr);
        std::string last = folder.substr(folder.find_last_of('\\') + 1);
        kit::waitUntil(
            [&] {
                kit::sendTextMessage(browse, BFFM_SETSELECTIONA, TRUE, folder);
                std::wstring shown = kit::treeSelectionText(tree);
                return last.empty() || _wcsicmp(shown.c_str(), kit::ansiToWide(last).c_str()) == 0;
            },
            10000);
    }
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
    EXPECT_EQ(enabling(launcher), (Enabling{true, false, false, true, true, true, true, false, true}));
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
    select(browse, windows);
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
    EXPECT_EQ(enabling(launcher), (Enabling{true, true, true, true, true, true, false, true, true}));
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
    EXPECT_EQ(enabling(launcher), (Enabling{true, true, true, true, true, true, false, true, true}));
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
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
    EXPECT_EQ(enabling(launcher), (Enabling{true, false, false, true, true, true, true, false, true}));
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
    EXPECT_EQ(enabling(launcher), (Enabling{true, false, false, true, true, true, true, false, true}));
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
}

}  // namespace
