// The test product's two discs copied through the real copy engine, the disc changed on the
// bench's CD-ROM drives when the worker asks for it.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include "config/product_config.h"
#include "driver.h"
#include "engine/install_over_game.h"
#include "launcher_stand_in.h"
#include "media.h"
#include "ui/progress_display.h"

TEST(TwoDiscCopy, AsksForDiscTwoAndEndsWithTheBarFull)
{
    kit::emptyAllDrives();
    std::string root = kit::freshFolder("twodisc");
    std::string agrd = kit::makeZip(
        {{"grd/", ""}, {"grd/a/b.bin", kit::noiseBytes(150000, 1)}, {"grd/t.txt", kit::textBytes(70000, 2)}});
    std::string bgrd = kit::makeZip({{"movie/op/", ""}, {"movie/op/op.mpg", kit::noiseBytes(90000, 3)}});
    kit::DiscLayout one;
    one.folder = "Kitgame";
    one.files = {{"Kitgame.exe", kit::noiseBytes(120000, 4)},
                 {"uninst.exe", "u"},
                 {"data.tpk", kit::noiseBytes(300000, 5)},
                 {"tncfg.dat", std::string(128, '\1')},
                 {"tunewell.exe", "t"},
                 {"readme.txt", "readme"},
                 {"Agrd.zip", agrd}};
    ASSERT_TRUE(kit::layOutDisc(kit::driveRoot('p'), one));
    kit::DiscLayout two;
    two.folder = "Kitgame";
    two.discNumber = 2;
    two.slides = false;
    two.files = {{"disc2.tpk", kit::noiseBytes(200000, 6)}, {"Bgrd.ZIP", bgrd}, {"update1.tpk", "u1"}};
    std::string staged = root + "\\disc2";
    ASSERT_TRUE(kit::layOutDisc(staged, two));

    Installer in;
    productConfig.installFiles[0] = productConfig.gameExe;
    in.initialise(productConfig.installFiles, productConfig.extraFiles, productConfig.discLabels, nullptr, nullptr,
                  productConfig.publisherName, productConfig.gameName, productConfig.folderName,
                  productConfig.requiredSpaceMB);
    EXPECT_STREQ(in.sourceDir, "p:\\Kitgame") << "disc 1 is found at start-up";
    in.setDiscLayout(productConfig.discCount, productConfig.requiredSpaceMB);
    ASSERT_EQ(in.discCount, 2);
    std::string target = root + "\\installed";
    kit::makeFolders(target);
    snprintf(in.installDir, sizeof in.installDir, "%s", target.c_str());
    LauncherStandIn launcher(in);

    bool result = false;
    kit::Async run([&] { result = in.runCopy(); });
    kit::MessageBoxView box;
    ASSERT_TRUE(kit::waitMessageBox(GetCurrentProcessId(), box, 60000));
    EXPECT_EQ(box.caption, L"確認");
    EXPECT_EQ(box.text, L"ディスク 2 を入れてください。");
    EXPECT_STREQ(statusText, "Disc Check...");
    EXPECT_TRUE(kit::fileExists(target + "\\data.tpk")) << "disc 1 was copied before the prompt";
    EXPECT_FALSE(kit::fileExists(target + "\\disc2.tpk"));
    EXPECT_LT(launcher.position(), 1000);
    kit::emptyDrive('p');
    ASSERT_TRUE(kit::fillDrive('q', staged));
    kit::answer(box, IDOK);
    ASSERT_TRUE(run.wait(60000));
    EXPECT_TRUE(result);
    EXPECT_STREQ(in.sourceDir, "q:\\Kitgame") << "the record will name the last disc";

    for (const auto& f : one.files) {
        if (f.first == "Agrd.zip") continue;
        std::string bytes;
        EXPECT_TRUE(kit::readFile(target + "\\" + f.first, bytes) && bytes == f.second) << f.first;
    }
    std::string bytes;
    EXPECT_TRUE(kit::readFile(target + "\\disc2.tpk", bytes) && bytes == kit::noiseBytes(200000, 6));
    EXPECT_TRUE(kit::readFile(target + "\\grd\\a\\b.bin", bytes) && bytes == kit::noiseBytes(150000, 1));
    EXPECT_TRUE(kit::readFile(target + "\\movie\\op\\op.mpg", bytes) && bytes == kit::noiseBytes(90000, 3));
    EXPECT_EQ(launcher.position(), 1000) << "after the last disc the bar is set full";

    // Over that installation, both discs in their drives: each entry is written beside its target
    // and replaced only once all is copied; "ア" (83 41) and "ヂ" (83 61) are two files.
    ASSERT_TRUE(kit::layOutDisc(kit::driveRoot('p'), one));
    std::string newer =
        kit::makeZip({{"MOVIE/op/OP.MPG", kit::noiseBytes(90000, 8)}, {"movie/ア.txt", "a"}, {"movie/ヂ.txt", "b"}});
    ASSERT_TRUE(kit::writeFile(kit::driveRoot('q') + "\\Kitgame\\Bgrd.ZIP", newer));
    auto copyOverIt = [&] {
        EXPECT_TRUE(beginStagedCopy(in));
        kit::Async again([&] { result = in.runCopy(); });
        EXPECT_TRUE(again.wait(60000));
        return result;
    };
    ASSERT_TRUE(copyOverIt());
    EXPECT_EQ(placeStagedCopy(in), Outcome::Done);
    EXPECT_EQ(finishStagedCopy(in), Outcome::Done);
    auto holds = [&](const char* name, const std::string& expected) {
        std::string found;
        return kit::readFile(target + "\\" + name, found) && found == expected;
    };
    EXPECT_TRUE(holds("movie\\op\\op.mpg", kit::noiseBytes(90000, 8)));
    EXPECT_TRUE(holds("movie\\ア.txt", "a") && holds("movie\\ヂ.txt", "b"));
    EXPECT_TRUE(holds("grd\\a\\b.bin", kit::noiseBytes(150000, 1)));
    // A damaged archive on the next run: every new file goes, and what was installed stays.
    ASSERT_TRUE(kit::writeFile(kit::driveRoot('q') + "\\Kitgame\\Bgrd.ZIP", bgrd.substr(0, bgrd.size() / 2)));
    EXPECT_FALSE(copyOverIt());
    EXPECT_EQ(dropStagedCopy(in), Outcome::Done);
    EXPECT_TRUE(holds("movie\\op\\op.mpg", kit::noiseBytes(90000, 8)));
    EXPECT_TRUE(holds("data.tpk", kit::noiseBytes(300000, 5)));
    // Long names only: a pattern would also match the short names Windows gives "ア.txt".
    for (const char* folder : {"", "\\movie", "\\movie\\op", "\\grd"}) {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((target + folder + "\\*").c_str(), &found);
        ASSERT_NE(search, INVALID_HANDLE_VALUE) << folder;
        do EXPECT_EQ(strchr(found.cFileName, '~'), nullptr) << folder << ": " << found.cFileName;
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    kit::emptyAllDrives();
}
