// The disc search on real CD-ROM drives of the bench, the disc prompt, sizes and free space.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include "driver.h"
#include "state/installer.h"

using kit::Async;

class Media : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit::emptyAllDrives();
        root = kit::freshFolder("media");
        const char* files[] = {"Veyla.exe", "a.dat", "b.dat", "c.dat", "d.dat", "e.dat", nullptr};
        const char* extras[] = {nullptr};
        const char* labels[] = {"Veyla", "KITDISC2", nullptr};
        in.installFiles = Installer::duplicateNameList(nullptr, files, &in.installFileCount);
        in.extraFiles = Installer::duplicateNameList(nullptr, extras, nullptr);
        in.discLabels = Installer::duplicateNameList(nullptr, labels, nullptr);
        snprintf(in.folderName, sizeof in.folderName, "%s", "Veyla");
    }
    void TearDown() override { kit::emptyAllDrives(); }

    // Puts a disc into a drive of the bench: its data folder holds the files given.
    static void disc(char letter, std::initializer_list<const char*> files)
    {
        std::string data = kit::driveRoot(letter) + "\\Veyla";
        kit::makeFolders(data);
        for (const char* f : files) kit::writeFile(data + "\\" + f, "x");
    }

    std::string root;
    Installer in;
};

TEST_F(Media, StartupSearchNeedsTheExactLabelAndTheGame)
{
    disc('m', {"Veyla.exe"});  // labelled VEYLA
    disc('n', {"readme.txt"});
    disc('o', {"Veyla.exe"});
    EXPECT_TRUE(in.locateSource("Veyla", "Veyla.exe"));
    EXPECT_STREQ(in.sourceDir, "o:") << "case differs on m:, no game on n:; o: is the disc";
}

TEST_F(Media, DrivesAAndBAreNeverSearched)
{
    disc('a', {"Veyla.exe", "dcid.001"});
    EXPECT_TRUE(in.locateSource("Veyla", "Veyla.exe"));
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, sizeof module);
    *strrchr(module, '\\') = '\0';
    EXPECT_STREQ(in.sourceDir, module) << "fallback: the folder of the running program";
    EXPECT_FALSE(in.findDisc(0));
}

TEST_F(Media, FindDiscUsesTheIdentificationFileOfThatDisc)
{
    const char* labels[] = {"KITDISC1", "Veyla", nullptr};
    in.discLabels = Installer::duplicateNameList(in.discLabels, labels, nullptr);
    in.discCount = 2;
    disc('n', {"dcid.001", "x"});
    disc('o', {"dcid.002"});
    disc('p', {"dcid.001"});
    ASSERT_TRUE(in.findDisc(1));
    EXPECT_STREQ(in.sourceDir, "o:\\Veyla") << "n: lacks dcid.002; the search goes on to o:";
    ASSERT_TRUE(in.findDisc(0));
    EXPECT_STREQ(in.sourceDir, "p:\\Veyla");
    EXPECT_FALSE(in.findDisc(2)) << "there is no third disc";
}

TEST_F(Media, WaitForDiscPromptsUntilTheDiscIsIn)
{
    in.discCount = 2;
    Async waiting([&] { in.waitForDisc(1, false); });
    kit::MessageBoxView box;
    ASSERT_TRUE(kit::waitMessageBox(GetCurrentProcessId(), box, 10000));
    EXPECT_EQ(box.caption, L"確認");
    EXPECT_EQ(box.text, L"ディスク 2 を入れてください。");
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    kit::answer(box, IDOK);
    ASSERT_TRUE(kit::waitMessageBox(GetCurrentProcessId(), box, 10000)) << "still no disc: asked again";
    disc('q', {"dcid.002"});
    kit::answer(box, IDOK);
    ASSERT_TRUE(waiting.wait(10000));
    EXPECT_STREQ(in.sourceDir, "q:\\Veyla");
}

TEST_F(Media, TotalsFollowTheRangeAndTheSelection)
{
    std::string data = root + "\\data";
    kit::makeFolders(data);
    const char* names[] = {"Veyla.exe", "a.dat", "b.dat", "c.dat", "d.dat", "e.dat"};
    for (int i = 0; i < 6; ++i) kit::writeFile(data + "\\" + names[i], std::string(1000 << i, 'x'));
    snprintf(in.sourceDir, sizeof in.sourceDir, "%s", data.c_str());
    EXPECT_EQ(in.totalInstallBytes(), 63000u);
    in.setCopyRange(0, 3, 5);
    EXPECT_EQ(in.totalInstallBytes(), 8000u + 16000u) << "entries 3 and 4 only";
    in.setCopyRange(0, 0, 9999);
    in.fileSelected[1] = 0;
    in.fileSelected[2] = 2;
    EXPECT_EQ(in.totalInstallBytes(), 63000u - 2000u - 4000u) << "only flags of exactly 1 count";
}

TEST_F(Media, FileSizeIsMeasuredInSixtyFourBits)
{
    std::string big = root + "\\big.bin";
    ASSERT_TRUE(kit::makeSparseFile(big, 5ull * 1024 * 1024 * 1024 + 3));
    EXPECT_EQ(Installer::fileSize(big.c_str()), 5ull * 1024 * 1024 * 1024 + 3);
    EXPECT_EQ(Installer::fileSize((root + "\\missing").c_str()), 0u);
    kit::removeTree(big);
}

TEST_F(Media, FreeSpaceArithmeticAndTheMessage)
{
    ULARGE_INTEGER avail, total, totalFree;
    ASSERT_TRUE(GetDiskFreeSpaceExA("c:\\", &avail, &total, &totalFree));
    uint32_t freeMB = (uint32_t)(totalFree.QuadPart >> 20);
    EXPECT_EQ(Installer::queryFreeMB("c:\\"), freeMB);
    EXPECT_EQ(Installer::queryFreeMB("c:\\no\\such\\folder"), freeMB)
        << "a folder not made yet is measured by its drive";

    snprintf(in.baseDir, sizeof in.baseDir, "%s", "c:");
    snprintf(in.installDir, sizeof in.installDir, "%s", "c:\\TesmafromKuvel\\Veyla");
    in.requiredSpaceMB = freeMB;
    EXPECT_TRUE(in.checkFreeSpace()) << "exactly enough passes";
    EXPECT_EQ(in.freeSpaceMB, freeMB);

    in.requiredSpaceMB = freeMB + 1;
    bool result = true;
    Async check([&] { result = in.checkFreeSpace(); });
    kit::MessageBoxView box;
    ASSERT_TRUE(kit::waitMessageBox(GetCurrentProcessId(), box, 10000));
    EXPECT_EQ(box.caption, L"確認");
    wchar_t expected[512];
    swprintf(
        expected, 512,
        L"c:\\ ドライブの空き容量が足りません。\n今現在のドライブの容量は %uMです。\nインストールするには 約%uMの容量が必要です。",
        freeMB, freeMB + 1);
    EXPECT_EQ(box.text, expected);
    EXPECT_TRUE(box.hasIcon);
    kit::answer(box, IDOK);
    ASSERT_TRUE(check.wait(10000));
    EXPECT_FALSE(result);
}

TEST_F(Media, InstallFolderIsCreatedAfterTheQuestionAcrossA5CSecondByte)
{
    std::string target = root + "\\ソフト\\表\\TesmafromKuvel\\Veyla";
    bool result = false;
    {
        Async create([&] { result = in.createInstallFolder(target.c_str()); });
        kit::MessageBoxView box;
        ASSERT_TRUE(kit::waitMessageBox(GetCurrentProcessId(), box, 10000));
        EXPECT_EQ(box.caption, L"確認");
        EXPECT_EQ(box.text, kit::ansiToWide(target) + L"\nフォルダを作成します。\nよろしいですか？");
        EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
        kit::answer(box, IDYES);
        ASSERT_TRUE(create.wait(10000));
    }
    EXPECT_TRUE(result);
    DWORD attributes = GetFileAttributesA(target.c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_TRUE(kit::fileExists(root + "\\ソフト\\表")) << "each real folder level was made";

    // An existing folder asks nothing, and the process is never left in it (a program started
    // later would find its files first); a declined question creates nothing.
    EXPECT_TRUE(in.createInstallFolder(target.c_str()));
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof current, current);
    EXPECT_STRNE(current, target.c_str());
    std::string other = root + "\\declined\\Veyla";
    Async decline([&] { result = in.createInstallFolder(other.c_str()); });
    ASSERT_TRUE(kit::answerNext(GetCurrentProcessId(), IDNO, 10000));
    ASSERT_TRUE(decline.wait(10000));
    EXPECT_FALSE(result);
    EXPECT_FALSE(kit::fileExists(root + "\\declined"));
    SetCurrentDirectoryA("c:\\");
}
