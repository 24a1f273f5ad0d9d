// The two-disc test product for real: the relaunch from a temporary copy, and the data
// check that asks for each disc and then for disc 1 again.
#include "driver.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include "media.h"

#include <map>

namespace {

const char* const kitRecordKey = "SOFTWARE\\KitWorks\\Kitgame";

std::string tempFolder()
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    return temp;
}

void clearTempCopies()
{
    std::string temp = tempFolder();
    for (int n = 1; n <= 99; ++n) {
        char name[32];
        snprintf(name, sizeof name, "setup%02d.exe", n);
        DeleteFileA((temp + name).c_str());
    }
    DeleteFileA((temp + "setup.exe").c_str());
}

kit::DiscLayout discOne()
{
    kit::DiscLayout one;
    one.folder = "Kitgame";
    one.files = {
        {"Kitgame.exe", "game"}, {"uninst.exe", "u"}, {"data.tpk", kit::noiseBytes(5000, 1)}, {"readme.txt", "r"}};
    return one;
}

kit::DiscLayout discTwo()
{
    kit::DiscLayout two;
    two.folder = "Kitgame";
    two.discNumber = 2;
    two.slides = false;
    two.files = {{"disc2.tpk", kit::noiseBytes(3000, 2)},
                 {"update1.tpk", "u1"},
                 {"Agrd.zip", kit::makeZip({{"movie/op.dat", kit::noiseBytes(70000, 3)}, {"voice/a.dat", "voice"}})}};
    return two;
}

class MultiDisc : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit::emptyAllDrives();
        kit::deleteRegistryTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\KitWorks");
        clearTempCopies();
        ASSERT_TRUE(kit::layOutDisc(kit::driveRoot('p'), discOne()));
        ASSERT_TRUE(kit::copyFile(kit::binPath("testkit\\setup.exe"), kit::driveRoot('p') + "\\setup.exe"));
    }
    void TearDown() override
    {
        if (launcherPid) {
            HANDLE p = OpenProcess(PROCESS_TERMINATE, FALSE, launcherPid);
            if (p) {
                TerminateProcess(p, 1);
                CloseHandle(p);
            }
        }
        kit::deleteRegistryTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\KitWorks");
        kit::emptyAllDrives();
        clearTempCopies();
    }
    // Starts setup.exe from disc 1; returns the launcher that its temporary copy opens.
    HWND relaunch()
    {
        kit::Process first;
        if (!kit::start(first, "p:\\setup.exe")) return nullptr;
        EXPECT_EQ(kit::waitExit(first, 20000), 0) << "the first process ends at once";
        HWND launcher = kit::waitWindow(0, L"#32770", L"Kitgame Setup", 20000);
        if (launcher) GetWindowThreadProcessId(launcher, &launcherPid);
        EXPECT_NE(launcherPid, first.pid);
        return launcher;
    }
    void quit(HWND launcher)
    {
        kit::click(launcher, 2);
        kit::waitGone(launcher, 15000);
        launcherPid = 0;
    }
    DWORD launcherPid = 0;
};

TEST_F(MultiDisc, RelaunchesFromACopyInANewFolderOfItsOwn)
{
    // Another user's file where the copy once went: it is neither replaced nor started.
    ASSERT_TRUE(kit::writeFile(tempFolder() + "setup01.exe", "planted"));
    std::string copies[2];
    for (std::string& copy : copies) {
        HWND launcher = relaunch();
        ASSERT_NE(launcher, nullptr);
        copy = kit::processImage(launcherPid);
        EXPECT_EQ(_strnicmp(copy.c_str(), tempFolder().c_str(), tempFolder().size()), 0) << copy;
        EXPECT_EQ(copy.find('\\', tempFolder().size()), copy.rfind('\\')) << "one new folder: " << copy;
        EXPECT_EQ(copy.substr(copy.rfind('\\')), "\\setup01.exe") << "the first free number in it";
        quit(launcher);
    }
    EXPECT_NE(copies[0].substr(0, copies[0].rfind('\\')), copies[1].substr(0, copies[1].rfind('\\')));
    std::string planted;
    EXPECT_TRUE(kit::readFile(tempFolder() + "setup01.exe", planted) && planted == "planted");
}

TEST_F(MultiDisc, QuietInstallationTakesEachDiscFromItsDriveAndEndsWithFourWithoutOne)
{
    std::string base = kit::freshFolder("kitquiet");
    std::string dir = base + "\\KitWorks\\Kitgame";
    for (bool discTwoIn : {false, true}) {
        if (discTwoIn) {
            ASSERT_TRUE(kit::layOutDisc(kit::driveRoot('q'), discTwo()));
        }
        kit::Process process;
        ASSERT_TRUE(kit::start(process, "p:\\setup.exe", "/quiet /nodesktop /dir=" + base));
        EXPECT_EQ(kit::waitExit(process, 60000), discTwoIn ? 0 : 4) << "no relaunch, no prompt for disc 2";
        EXPECT_EQ(kit::fileExists(dir + "\\disc2.tpk"), discTwoIn);
        EXPECT_EQ(kit::fileExists(dir + "\\data.tpk"), discTwoIn) << "without disc 2 nothing is left";
        std::string value;
        EXPECT_EQ(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, kitRecordKey, "Dir", value), discTwoIn);
    }
    EXPECT_FALSE(kit::fileExists(tempFolder() + "setup01.exe"));

    // The repair of an archive's file and a plain file, each from the disc that holds it.
    std::string bytes;
    ASSERT_TRUE(kit::readFile(dir + "\\movie\\op.dat", bytes) && bytes == kit::noiseBytes(70000, 3));
    auto damage = [&] {
        kit::writeFile(dir + "\\movie\\op.dat", kit::noiseBytes(70000, 4));
        kit::writeFile(dir + "\\data.tpk", "damaged");
    };
    damage();
    kit::Process repair;
    ASSERT_TRUE(kit::start(repair, "p:\\setup.exe", "/repair /log=z:\\kitrepair.log"));
    EXPECT_EQ(kit::waitExit(repair, 60000), 0);
    std::string log;
    kit::readFile(kit::scratchPath("kitrepair.log"), log);
    EXPECT_NE(log.find("damaged: movie\\op.dat"), std::string::npos) << log;
    EXPECT_TRUE(kit::readFile(dir + "\\movie\\op.dat", bytes) && bytes == kit::noiseBytes(70000, 3))
        << "extracted again";
    EXPECT_TRUE(kit::readFile(dir + "\\data.tpk", bytes) && bytes == kit::noiseBytes(5000, 1));
    damage();
    kit::emptyDrive('q');
    ASSERT_TRUE(kit::start(repair, "p:\\setup.exe", "/repair"));
    EXPECT_EQ(kit::waitExit(repair, 60000), 4) << "disc 2 in no drive";
    EXPECT_TRUE(kit::readFile(dir + "\\data.tpk", bytes) && bytes == "damaged") << "nothing changed";

    // The removal takes what the archives placed too, and the folders they made.
    ASSERT_TRUE(kit::copyFile(kit::binPath("testkit\\uninst.exe"), dir + "\\uninst.exe"));
    kit::Process removal;
    ASSERT_TRUE(kit::start(removal, dir + "\\uninst.exe", "/quiet"));
    EXPECT_EQ(kit::waitExit(removal, 60000), 0);
    for (const char* left : {"movie\\op.dat", "voice\\a.dat", "movie", "voice", "placed.lst"})
        EXPECT_FALSE(kit::fileExists(dir + "\\" + left)) << left;
    kit::deleteRegistryTree(HKEY_LOCAL_MACHINE,
                            "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KitWorks Kitgame");
    char programs[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, programs, CSIDL_COMMON_PROGRAMS, FALSE);
    kit::removeTree(std::string(programs) + "\\KitWorks");
}

TEST_F(MultiDisc, DataCheckAsksForEachDiscAndThenForDiscOneAgain)
{
    std::string dir = kit::freshFolder("kitinst\\KitWorks\\Kitgame");
    for (auto& f : discOne().files) kit::writeFile(dir + "\\" + f.first, f.second);
    for (auto& f : discTwo().files) kit::writeFile(dir + "\\" + f.first, f.second);
    kit::writeFile(dir + "\\update1.tpk", "changed");  // matches on no disc
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kitRecordKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              0);
    RegSetValueExA(key, "Dir", 0, REG_SZ, (const BYTE*)dir.c_str(), (DWORD)dir.size() + 1);
    RegSetValueExA(key, "CD", 0, REG_SZ, (const BYTE*)"q:\\Kitgame", 11);
    DWORD zero = 0;
    RegSetValueExA(key, "InstType", 0, REG_DWORD, (const BYTE*)&zero, 4);
    RegCloseKey(key);
    std::string staged = kit::freshFolder("kitdisc2");
    ASSERT_TRUE(kit::layOutDisc(staged, discTwo()));
    std::string stagedOne = kit::freshFolder("kitdisc1");

    HWND launcher = relaunch();
    ASSERT_NE(launcher, nullptr);
    kit::click(launcher, 1025);
    HWND dialog = kit::waitWindow(launcherPid, L"#32770", L"インストールデータチェック", 20000);
    ASSERT_NE(dialog, nullptr);
    kit::click(dialog, 1026);
    kit::MessageBoxView box;
    ASSERT_TRUE(kit::waitMessageBox(launcherPid, box, 30000));
    EXPECT_EQ(box.text, L"ディスク 2 を入れてください。");
    std::map<std::wstring, std::wstring> marks;
    for (auto& row : kit::listViewRows(GetDlgItem(dialog, 1024), 2)) marks[row[1]] = row[0];
    EXPECT_EQ(marks[L"data.tpk"], L"○");
    EXPECT_EQ(marks[L"disc2.tpk"], L"―") << "not on disc 1";
    EXPECT_EQ(marks[L"update1.tpk"], L"―");
    // Disc 1 out, disc 2 in.
    for (const char* item : {"Kitgame", "Data", "setup.exe"})
        MoveFileA((kit::driveRoot('p') + "\\" + item).c_str(), (stagedOne + "\\" + item).c_str());
    ASSERT_TRUE(kit::fillDrive('q', staged));
    kit::answer(box, IDOK);
    ASSERT_TRUE(kit::waitMessageBox(launcherPid, box, 30000));
    EXPECT_EQ(box.text, L"ディスク 1 を入れてください。") << "after the last disc, disc 1 again";
    for (auto& row : kit::listViewRows(GetDlgItem(dialog, 1024), 2)) marks[row[1]] = row[0];
    EXPECT_EQ(marks[L"disc2.tpk"], L"○");
    EXPECT_EQ(marks[L"update1.tpk"], L"×") << "matched on no disc";
    EXPECT_EQ(marks[L"data.tpk"], L"○");
    kit::emptyDrive('q');
    ASSERT_TRUE(kit::fillDrive('p', stagedOne));
    kit::answer(box, IDOK);
    ASSERT_TRUE(kit::answerNext(launcherPid, IDOK, 30000, &box));
    EXPECT_EQ(box.text, L"データのチェックが終了しました。");
    ASSERT_TRUE(kit::answerNext(launcherPid, IDOK, 30000, &box));
    EXPECT_EQ(box.text, L"『×』の部分が正常にインストールされていません。\nもう一度インストールしなおしてください。");
    // The repair asks for the disc that holds the damaged file, then for disc 1 again.
    ASSERT_TRUE(kit::answerNext(launcherPid, IDYES, 30000, &box));
    EXPECT_EQ(box.text, L"『×』の部分を修復しますか？");
    ASSERT_TRUE(kit::waitMessageBox(launcherPid, box, 30000));
    EXPECT_EQ(box.text, L"ディスク 2 を入れてください。");
    for (const char* item : {"Kitgame", "Data", "setup.exe"})
        ASSERT_TRUE(MoveFileA((kit::driveRoot('p') + "\\" + item).c_str(), (stagedOne + "\\" + item).c_str()));
    ASSERT_TRUE(kit::layOutDisc(staged, discTwo()) && kit::fillDrive('q', staged));
    kit::answer(box, IDOK);
    ASSERT_TRUE(kit::waitMessageBox(launcherPid, box, 30000));
    EXPECT_EQ(box.text, L"ディスク 1 を入れてください。");
    kit::emptyDrive('q');
    ASSERT_TRUE(kit::fillDrive('p', stagedOne));
    kit::answer(box, IDOK);
    ASSERT_TRUE(kit::answerNext(launcherPid, IDOK, 30000, &box));
    EXPECT_EQ(box.text, L"修復が完了しました。");
    for (auto& row : kit::listViewRows(GetDlgItem(dialog, 1024), 2)) marks[row[1]] = row[0];
    EXPECT_EQ(marks[L"update1.tpk"], L"○");
    std::string bytes;
    EXPECT_TRUE(kit::readFile(dir + "\\update1.tpk", bytes) && bytes == "u1") << "from disc 2";
    kit::click(dialog, 2);
    kit::waitGone(dialog, 10000);
    quit(launcher);
}

}  // namespace
