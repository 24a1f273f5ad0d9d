// The test product's two discs copied through the real copy engine, the disc changed on the
// bench's CD-ROM drives when the worker asks for it.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include "config/product_config.h"
#include "driver.h"
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
    kit::emptyAllDrives();
}
