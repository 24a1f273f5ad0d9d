// The installed-data check from the launcher: rows, marks, messages, progress, medium removed; the
// check of a game the kit installed and updated, judged by what it placed, and the repair.
#include "driver.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <map>

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
    // Runs a check and returns the text of its second message; after damage, the repair question
    // is answered with repair.
    std::wstring check(HWND dialog, int repair = IDNO)
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
        std::wstring result = box.text;
        if (result == damagedText) {
            kit::MessageBoxView question;
            EXPECT_TRUE(kit::waitMessageBox(process.pid, question, 20000));
            EXPECT_EQ(question.text, L"『×』の部分を修復しますか？");
            EXPECT_EQ(question.caption, L"確認");
            EXPECT_EQ(question.buttons, (std::vector<int>{IDYES, IDNO}));
            EXPECT_FALSE(question.hasIcon);
            EXPECT_EQ(GetWindow(question.window, GW_OWNER), nullptr);
            EXPECT_FALSE(kit::itemEnabled(dialog, 1026)) << "no other check while the repair is asked and made";
            marksAtQuestion = marksByName(dialog);
            kit::answer(question, repair);
        }
        return result;
    }
    // The repair's last message, answered; its text.
    std::wstring repairEnd()
    {
        kit::MessageBoxView box;
        EXPECT_TRUE(kit::waitMessageBox(process.pid, box, 30000));
        EXPECT_FALSE(box.hasIcon);
        kit::answer(box, IDOK);
        return box.text;
    }
    std::map<std::wstring, std::wstring> marksByName(HWND dialog)
    {
        std::map<std::wstring, std::wstring> result;
        for (auto& row : kit::listViewRows(GetDlgItem(dialog, 1024), 2)) result[row[1]] = row[0];
        return result;
    }
    void close(HWND dialog)
    {
        kit::click(dialog, 2);
        EXPECT_TRUE(kit::waitGone(dialog, 10000));
        kit::click(launcher, 2);
        EXPECT_EQ(kit::waitExit(process, 15000), 0);
    }
    std::map<std::wstring, std::wstring> marksAtQuestion;  // as the check left them, before the repair
    const std::wstring damagedText =
        L"『×』の部分が正常にインストールされていません。\nもう一度インストールしなおしてください。";
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

// The player's own settings are right whatever they chose; a changed file is marked, repaired from
// the disc when the player says so, and the next check starts afresh.
TEST_F(DataCheck, AChangedFileIsMarkedAndRepairedAndThePlayersSettingsAreTheirs)
{
    const std::string chosen(128, '\x02');
    kit::writeFile(dir + "\\tncfg.dat", chosen);
    kit::writeFile(dir + "\\readme.txt", veylaFileBytes("readme.txt") + "longer");
    HWND dialog = openCheck();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(check(dialog), damagedText) << "No to the repair";
    for (auto& row : kit::listViewRows(GetDlgItem(dialog, 1024), 2))
        EXPECT_EQ(row[0], row[1] == L"readme.txt" ? L"×" : L"○") << kit::wideToAnsi(row[1]);
    std::string bytes;
    EXPECT_TRUE(kit::readFile(dir + "\\readme.txt", bytes) && bytes != veylaFileBytes("readme.txt"));

    EXPECT_EQ(check(dialog, IDYES), damagedText);
    EXPECT_EQ(repairEnd(), L"修復が完了しました。");
    EXPECT_TRUE(kit::waitUntil([&] { return kit::itemEnabled(dialog, 1026); }, 10000)) << "the buttons come back";
    for (auto& mark : marks(dialog)) EXPECT_EQ(mark, L"○") << "each repaired row is right";
    EXPECT_TRUE(kit::readFile(dir + "\\readme.txt", bytes) && bytes == veylaFileBytes("readme.txt"));
    EXPECT_TRUE(kit::readFile(dir + "\\tncfg.dat", bytes) && bytes == chosen) << "the player's settings stay";
    EXPECT_EQ(temporaryLeft(dir), "") << "no temporary file or journal left";

    // A settings file the engine cannot read gets the disc's.
    kit::writeFile(dir + "\\tncfg.dat", "cut");
    EXPECT_EQ(check(dialog, IDYES), damagedText);
    EXPECT_EQ(repairEnd(), L"修復が完了しました。");
    EXPECT_TRUE(kit::readFile(dir + "\\tncfg.dat", bytes) && bytes == veylaFileBytes("tncfg.dat"));
    EXPECT_EQ(check(dialog), L"ファイルは正常にインストールされています。");
    close(dialog);
}

// The game as the kit installed and updated it: the update's files are judged by what the update
// placed, a missing file has its row, and the repair never puts the disc's older file over the
// update's.
TEST_F(DataCheck, AfterAnUpdateTheGameIsRightAMissingFileIsRepairedAndTheUpdatesFileIsNever)
{
    clearVeylaInstallation();
    kit::Process run;
    ASSERT_TRUE(kit::start(run, "n:\\setup.exe", "/quiet"));
    ASSERT_EQ(kit::waitExit(run, 120000), 0);
    std::string update = kit::freshFolder("update");
    ASSERT_TRUE(kit::makeFolders(update + "\\Veyla") &&
                kit::copyFile(kit::binPath("update.exe"), update + "\\update.exe"));
    ASSERT_TRUE(kit::writeFile(update + "\\Veyla\\update1.tpk", "the update's own version"));
    ASSERT_TRUE(kit::start(run, update + "\\update.exe", "/quiet"));
    ASSERT_EQ(kit::waitExit(run, 60000), 0);

    HWND dialog = openCheck();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(kit::listViewRows(GetDlgItem(dialog, 1024), 2).size(), 16u) << "every file the kit placed";
    EXPECT_EQ(check(dialog), L"ファイルは正常にインストールされています。") << "the updated game is right";
    close(dialog);

    ASSERT_TRUE(DeleteFileA((dir + "\\Veyla.exe").c_str()));
    ASSERT_TRUE(kit::writeFile(dir + "\\update1.tpk", "damaged"));
    dialog = openCheck();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(check(dialog, IDYES), damagedText);
    EXPECT_EQ(marksAtQuestion[L"Veyla.exe"], L"×") << "a missing file has its row";
    EXPECT_EQ(marksAtQuestion[L"update1.tpk"], L"×");
    EXPECT_EQ(
        repairEnd(),
        L"update1.tpk はアップデートで更新されたファイルのため、修復できません。\nもう一度アップデートを行ってください。");
    EXPECT_EQ(repairEnd(), L"修復が完了しました。");
    auto after = marksByName(dialog);
    EXPECT_EQ(after[L"Veyla.exe"], L"○");
    EXPECT_EQ(after[L"update1.tpk"], L"×");
    std::string bytes, probe;
    kit::readFile(kit::binPath("..\\tests\\probe.exe"), probe);
    EXPECT_TRUE(kit::readFile(dir + "\\Veyla.exe", bytes) && bytes == probe);
    EXPECT_TRUE(kit::readFile(dir + "\\update1.tpk", bytes) && bytes == "damaged") << "never the disc's older file";
    close(dialog);
}

// Every file compared with the disc fails without it; the settings file, judged by its size, does not.
TEST_F(DataCheck, WithTheMediumRemovedEveryRowFails)
{
    HWND dialog = openCheck();
    ASSERT_NE(dialog, nullptr);
    kit::emptyDrive('n');
    EXPECT_EQ(check(dialog, IDYES), damagedText);
    EXPECT_EQ(repairEnd(),
              L"修復が正常に行われませんでした。\n" + kit::ansiToWide(dir) + L"\\Veyla.exe を修復できませんでした。")
        << "nothing to repair from: the first file is named";
    for (auto& row : kit::listViewRows(GetDlgItem(dialog, 1024), 2))
        EXPECT_EQ(row[0], row[1] == L"tncfg.dat" ? L"○" : L"×") << kit::wideToAnsi(row[1]);
    std::string bytes;
    EXPECT_TRUE(kit::readFile(dir + "\\readme.txt", bytes) && bytes == veylaFileBytes("readme.txt"))
        << "nothing changed";
    close(dialog);
}

}  // namespace
