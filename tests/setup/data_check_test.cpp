// The installed-data check from the launcher: rows, marks, messages, progress, medium removed.
#include "driver.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include "veyla_medium.h"

namespace {

class DataCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit::emptyAllDrives();
        clearVeylaInstallation();
        ASSERT_TRUE(layOutVeyla(kit::driveRoot('n')));
        dir = fakeInstallation("n:\\Veyla");
        // The installation holds the medium's files; two names of the list were never installed.
        std::string probe;
        kit::readFile(kit::binPath("..\\tests\\probe.exe"), probe);
        kit::writeFile(dir + "\\Veyla.exe", probe);
        DeleteFileA((dir + "\\update8.tpk").c_str());
        DeleteFileA((dir + "\\update9.tpk").c_str());
    }
    void TearDown() override
    {
        clearVeylaInstallation();
        kit::emptyAllDrives();
    }
    HWND openCheck()
    {
        if (!kit::start(process, "n:\\setup.exe")) return nullptr;
        launcher = kit::waitWindow(process.pid, L"#32770", L"Veyla Setup", 20000);
        if (!launcher) return nullptr;
        kit::click(launcher, 1025);
        return kit::waitWindow(process.pid, L"#32770", L"インストールデータチェック", 20000);
    }
    std::vector<std::wstring> marks(HWND dialog)
    {
        std::vector<std::wstring> result;
        for (auto& row : kit::listViewRows(GetDlgItem(dialog, 1024), 2)) result.push_back(row[0]);
        return result;
    }
    // Runs a check and returns the text of its second message.
    std::wstring check(HWND dialog)
    {
        kit::click(dialog, 1026);
        kit::MessageBoxView box;
        EXPECT_TRUE(kit::waitMessageBox(process.pid, box, 60000));
        EXPECT_EQ(box.caption, L"終了");
        EXPECT_EQ(box.text, L"データのチェックが終了しました。");
        EXPECT_FALSE(box.hasIcon);
        EXPECT_EQ(GetWindow(box.window, GW_OWNER), nullptr) << "no owner: the dialog stays movable";
        EXPECT_TRUE(kit::itemEnabled(dialog, 1026)) << "buttons come back before the messages";
        kit::answer(box, IDOK);
        EXPECT_TRUE(kit::waitMessageBox(process.pid, box, 20000));
        EXPECT_EQ(box.caption, L"確認");
        kit::answer(box, IDOK);
        return box.text;
    }
    std::string dir;
    HWND launcher = nullptr;
    kit::Process process;
};

TEST_F(DataCheck, ListsTheInstalledFilesAndMarksThemAllSame)
{
    HWND dialog = openCheck();
    ASSERT_NE(dialog, nullptr);
    auto rows = kit::listViewRows(GetDlgItem(dialog, 1024), 2);
    ASSERT_EQ(rows.size(), 14u) << "16 names, two of them not installed";
    EXPECT_EQ(rows[0][1], L"Veyla.exe");
    EXPECT_EQ(rows[1][1], L"uninst.exe");
    EXPECT_EQ(rows[13][1], L"update7.tpk");
    for (auto& row : rows) EXPECT_EQ(row[0], L"　");
    EXPECT_EQ(check(dialog), L"ファイルは正常にインストールされています。");
    for (auto& mark : marks(dialog)) EXPECT_EQ(mark, L"○");
    EXPECT_EQ(kit::progressPosition(GetDlgItem(dialog, 1027)), 100) << "the bar is full after identical files";
    kit::click(dialog, 2);
    EXPECT_TRUE(kit::waitGone(dialog, 10000));
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
}

TEST_F(DataCheck, AChangedFileIsMarkedAndAnotherCheckStartsAfresh)
{
    kit::writeFile(dir + "\\tncfg.dat", std::string(128, '\x02'));
    kit::writeFile(dir + "\\readme.txt", veylaFileBytes("readme.txt") + "longer");
    HWND dialog = openCheck();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(check(dialog),
              L"『×』の部分が正常にインストールされていません。\nもう一度インストールしなおしてください。");
    auto rows = kit::listViewRows(GetDlgItem(dialog, 1024), 2);
    for (auto& row : rows) {
        bool changed = row[1] == L"tncfg.dat" || row[1] == L"readme.txt";
        EXPECT_EQ(row[0], changed ? L"×" : L"○") << kit::wideToAnsi(row[1]);
    }
    kit::writeFile(dir + "\\tncfg.dat", veylaFileBytes("tncfg.dat"));
    kit::writeFile(dir + "\\readme.txt", veylaFileBytes("readme.txt"));
    EXPECT_EQ(check(dialog), L"ファイルは正常にインストールされています。");
    kit::click(dialog, 2);
    EXPECT_TRUE(kit::waitGone(dialog, 10000));
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
}

TEST_F(DataCheck, WithTheMediumRemovedEveryRowFails)
{
    HWND dialog = openCheck();
    ASSERT_NE(dialog, nullptr);
    kit::emptyDrive('n');
    EXPECT_EQ(check(dialog),
              L"『×』の部分が正常にインストールされていません。\nもう一度インストールしなおしてください。");
    for (auto& mark : marks(dialog)) EXPECT_EQ(mark, L"×");
    kit::click(dialog, 2);
    EXPECT_TRUE(kit::waitGone(dialog, 10000));
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
}

}  // namespace
