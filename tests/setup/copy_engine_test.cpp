// The copy engine inside the test program: plain copies, archives, the copy run with its cancel
// protocol, and the progress arithmetic, on real files of the bench.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include "driver.h"
#include "launcher_stand_in.h"
#include "media.h"
#include "ui/progress_display.h"
#include "state/copy_state.h"
#include "engine/entry_names.h"

bool isSafeEntryName(const char* name);

namespace {

class CopyEngine : public ::testing::Test {
protected:
    void SetUp() override
    {
        root =
            kit::freshFolder(std::string("copy\\") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        source = root + "\\src";
        target = root + "\\dst";
        kit::makeFolders(source);
        kit::makeFolders(target);
        snprintf(in.sourceDir, sizeof in.sourceDir, "%s", source.c_str());
        snprintf(in.installDir, sizeof in.installDir, "%s", target.c_str());
    }
    void useFiles(std::initializer_list<const char*> names)
    {
        std::vector<const char*> list(names);
        list.push_back(nullptr);
        in.installFiles = Installer::duplicateNameList(in.installFiles, list.data(), &in.installFileCount);
    }
    void put(const std::string& name, const std::string& bytes)
    {
        ASSERT_TRUE(kit::writeFile(source + "\\" + name, bytes));
    }
    std::string installed(const std::string& name)
    {
        std::string bytes;
        return kit::readFile(target + "\\" + name, bytes) ? bytes : std::string("<missing>");
    }
    // Runs the copy run on a thread of its own while this thread serves the stand-in's controls.
    bool runCopy()
    {
        bool result = false;
        kit::Async run([&] { result = in.runCopy(); });
        EXPECT_TRUE(run.wait(120000));
        return result;
    }
    std::string root, source, target;
    Installer in;
    LauncherStandIn launcher{in};
};

TEST_F(CopyEngine, CopyFileMovesTwoFullChunksAndNormalisesAttributes)
{
    std::string bytes = kit::noiseBytes(131072, 1);
    put("a.bin", bytes);
    SetFileAttributesA((source + "\\a.bin").c_str(), FILE_ATTRIBUTE_READONLY);
    storeBytesCopied(in, 5);
    EXPECT_TRUE(in.copyFile((target + "\\a.bin").c_str(), (source + "\\a.bin").c_str()));
    EXPECT_EQ(loadBytesCopied(in), 5u + 131072u);
    EXPECT_EQ(installed("a.bin"), bytes);
    EXPECT_EQ(GetFileAttributesA((target + "\\a.bin").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    SetFileAttributesA((source + "\\a.bin").c_str(), FILE_ATTRIBUTE_NORMAL);

    EXPECT_FALSE(in.copyFile((target + "\\b.bin").c_str(), (source + "\\missing.bin").c_str()));
    EXPECT_FALSE(kit::fileExists(target + "\\b.bin"));
    EXPECT_FALSE(in.copyFile((target + "\\no\\such\\folder.bin").c_str(), (source + "\\a.bin").c_str()));
}

TEST_F(CopyEngine, CancelBeforeAFileCreatesItEmptyAndAcknowledges)
{
    put("a.bin", kit::noiseBytes(70000, 2));
    in.cancelState = 1;
    EXPECT_TRUE(in.copyFile((target + "\\a.bin").c_str(), (source + "\\a.bin").c_str()));
    EXPECT_EQ(in.cancelState, 2);
    EXPECT_EQ(installed("a.bin"), "");
    EXPECT_EQ(loadBytesCopied(in), 0u);
}

TEST_F(CopyEngine, RunCopyCancelledInsideAFileStopsAfterTheChunkAndStartsNoOther)
{
    useFiles({"big.bin", "next.bin"});
    // A sparse 512 MiB source: copying it takes long enough for the request to land inside it.
    const uint64_t bigSize = 512ull << 20;
    ASSERT_TRUE(kit::makeSparseFile(source + "\\big.bin", bigSize));
    put("next.bin", "next");
    bool result = true;
    {
        kit::Async run([&] { result = in.runCopy(); });
        DWORD started = GetTickCount();
        // Spin rather than sleep, serving the stand-in's controls, to land inside the first chunks.
        while (loadBytesCopied(in) == 0 && GetTickCount() - started < 60000) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        }
        in.cancelState = 1;
        ASSERT_TRUE(run.wait(60000));
    }
    EXPECT_FALSE(result);
    EXPECT_EQ(in.cancelState, 3) << "the copy acknowledged (2), then the worker (3)";
    EXPECT_EQ(in.workerRunning, 0);
    uint64_t partial = Installer::fileSize((target + "\\big.bin").c_str());
    EXPECT_GT(partial, 0u);
    EXPECT_LT(partial, bigSize);
    EXPECT_EQ(partial % 65536, 0u) << "stopped after a whole chunk";
    EXPECT_FALSE(kit::fileExists(target + "\\next.bin"));
}

TEST_F(CopyEngine, RunCopyWithNothingToCopyStartsNoWorker)
{
    useFiles({"absent.bin"});
    in.workerThreadId = 1234;
    EXPECT_FALSE(runCopy());
    EXPECT_EQ(in.workerThreadId, 1234u) << "no thread was created";
}

TEST_F(CopyEngine, ArchivesPlainFilesRangeAndSelection)
{
    useFiles({"Veyla.exe", "DATA.ZIP", "zip", "skip.bin", "later.zip", "past.bin"});
    put("Veyla.exe", kit::textBytes(300000, 4));
    std::string tiny = kit::noiseBytes(1000, 5), large = kit::noiseBytes(200000, 6), text = kit::textBytes(90000, 7);
    put("DATA.ZIP", kit::makeZip({{"movie/", ""},
                                  {"movie/op/", ""},
                                  {"movie/op/a.mpg", large},
                                  {"deep/er/still/t.txt", text},
                                  {"ソフト/表.txt", tiny, false},
                                  {"empty.dat", ""}}));
    put("zip", "three-byte name");
    put("skip.bin", "x");
    put("later.zip", kit::makeZip({{"later.txt", "later"}}));
    put("past.bin", "x");
    in.fileSelected[3] = 0;
    in.endFileIndex = 5;
    EXPECT_TRUE(runCopy());
    EXPECT_EQ(installed("Veyla.exe"), kit::textBytes(300000, 4));
    EXPECT_EQ(installed("movie\\op\\a.mpg"), large);
    EXPECT_EQ(installed("deep\\er\\still\\t.txt"), text);
    EXPECT_EQ(installed("ソフト\\表.txt"), tiny) << "0x5C second bytes are not separators";
    EXPECT_EQ(installed("empty.dat"), "");
    EXPECT_EQ(installed("zip"), "three-byte name") << "a three-byte name is a plain file";
    EXPECT_EQ(installed("later.txt"), "later");
    EXPECT_FALSE(kit::fileExists(target + "\\DATA.ZIP")) << "an archive is extracted, not copied";
    EXPECT_FALSE(kit::fileExists(target + "\\skip.bin")) << "deselected";
    EXPECT_FALSE(kit::fileExists(target + "\\past.bin")) << "at the end index";
    EXPECT_EQ(launcher.position(), 1000) << "the bar ends full";
    EXPECT_EQ(in.progressSteps, 1000);
    EXPECT_EQ(in.installedBytes, 300000u + 200000 + 90000 + 1000 + 15 + 5) << "every byte installed is counted";
}

// A name written again in the same run (twice in one archive, by a later archive, by an archive
// after a plain file) replaces what the run wrote first, even while that is still being flushed.
TEST_F(CopyEngine, ANameWrittenAgainInOneRunEndsWithItsLastWriting)
{
    useFiles({"same.bin", "a.zip", "b.zip"});
    put("same.bin", kit::noiseBytes(300000, 10));
    put("a.zip", kit::makeZip({{"same.bin", "from a"}, {"twice.txt", "1"}, {"twice.txt", "2"}}));
    put("b.zip", kit::makeZip({{"twice.txt", "3"}, {"same.bin", "from b"}, {"TWICE.TXT", "4"}}));
    EXPECT_TRUE(runCopy());
    EXPECT_EQ(installed("same.bin"), "from b");
    EXPECT_EQ(installed("twice.txt"), "4") << "letters in either case name one file";
}

TEST_F(CopyEngine, UnsafeArchiveNamesAreNeverWritten)
{
    const char* unsafe[] = {"../evil.txt", "a/../../evil.txt", "/abs.txt",     "\\abs2.txt", "c:/drive.txt", "a:b.txt",
                            "CON",         "nul.txt",          "sub/COM1.dat", "LPT9",       "aux.tar.gz",   "Prn",
                            "com5.log"};
    const char* safe[] = {"CONSOLE.txt", "com0.txt", "lpt10.txt", "..a", "a..", "ソ/x.txt", "表/lpt.txt"};
    // The names as the extraction judges them: '/' already turned into '\'.
    auto judged = [](const char* name) {
        std::string s = name;
        for (char& c : s)
            if (c == '/') c = '\\';
        return isSafeEntryName(s.c_str());
    };
    for (const char* name : unsafe) EXPECT_FALSE(judged(name)) << name;
    for (const char* name : safe) EXPECT_TRUE(judged(name)) << name;

    std::vector<kit::ZipEntry> entries;
    for (const char* name : unsafe) entries.push_back({name, "bad"});
    entries.push_back({"inside/ok.txt", "good"});
    useFiles({"a.zip"});
    put("a.zip", kit::makeZip(entries));
    EXPECT_TRUE(runCopy());
    EXPECT_EQ(installed("inside\\ok.txt"), "good");
    EXPECT_FALSE(kit::fileExists(root + "\\evil.txt"));
    EXPECT_FALSE(kit::fileExists(kit::scratchPath("copy\\evil.txt")));
    EXPECT_FALSE(kit::fileExists(kit::scratchPath("abs.txt")));
    EXPECT_FALSE(kit::fileExists(target + "\\sub")) << "nothing of an unsafe entry is made";
}

TEST_F(CopyEngine, DamagedArchivesFailTheRunAndLeaveNoDamagedFile)
{
    std::string good = kit::textBytes(100000, 8);
    std::string zip = kit::makeZip({{"first.txt", "first"}, {"second.txt", good}});
    // A flipped byte in the middle of the compressed data of second.txt.
    std::string flipped = zip;
    size_t at = zip.find("second.txt") + 10 + 200;
    flipped[at] = (char)(flipped[at] ^ 0x55);
    useFiles({"a.zip"});
    put("a.zip", flipped);
    EXPECT_FALSE(runCopy());
    EXPECT_EQ(installed("first.txt"), "first");
    EXPECT_FALSE(kit::fileExists(target + "\\second.txt")) << "the damaged entry is removed";

    // A truncated archive (its directory is gone) fails the run as well.
    kit::removeTree(target);
    kit::makeFolders(target);
    put("a.zip", zip.substr(0, zip.size() / 2));
    EXPECT_FALSE(runCopy());
    EXPECT_FALSE(kit::fileExists(target + "\\second.txt"));

    // An archive that is simply not there is passed over, as files of other discs are.
    useFiles({"a.bin", "absent.zip"});
    put("a.bin", "a");
    EXPECT_TRUE(runCopy());
}

TEST_F(CopyEngine, AFullDiskFailsTheRunAndRemovesThePartialFile)
{
    std::string tiny = kit::scratchPath("tiny");
    ULARGE_INTEGER avail, total, totalFree;
    if (!GetDiskFreeSpaceExA(tiny.c_str(), &avail, &total, &totalFree) || total.QuadPart > (64u << 20))
        GTEST_SKIP() << "the bench has no tiny volume at z:\\tiny (it needs root to mount one)";
    std::string folder = tiny + "\\full";
    kit::removeTree(folder);
    kit::makeFolders(folder);
    snprintf(in.installDir, sizeof in.installDir, "%s", folder.c_str());
    useFiles({"small.bin", "huge.bin", "after.bin"});
    put("small.bin", "small");
    put("huge.bin", kit::noiseBytes((size_t)total.QuadPart + (1 << 20), 9));
    put("after.bin", "after");
    EXPECT_FALSE(runCopy());
    EXPECT_FALSE(kit::fileExists(folder + "\\huge.bin")) << "a file that could not be written completely is removed";
    EXPECT_FALSE(kit::fileExists(folder + "\\after.bin")) << "the run stops at the failure";
    kit::removeTree(folder);
}

TEST_F(CopyEngine, ProgressClimbsToExactlyAThousandStepsAndCountsBytesUnderAThousand)
{
    in.resetProgressBar(1000);
    in.progressUnitSize = 100;
    in.progressUnits = in.progressUnitsShown = 0;
    in.progressSteps = 0;
    storeBytesCopied(in, 19999);
    in.updateProgress();
    EXPECT_EQ(in.progressSteps, 199);
    EXPECT_EQ(launcher.position(), 199);
    storeBytesCopied(in, 50);
    in.updateProgress();
    EXPECT_EQ(in.progressSteps, 199) << "the bar never moves back";
    storeBytesCopied(in, 500000);
    in.updateProgress();
    EXPECT_EQ(in.progressSteps, 1000);
    EXPECT_EQ(launcher.position(), 1000);
    EXPECT_EQ(in.progressUnitsShown, 5000u);

    // A total below 1000 bytes: the unit is 0, and the bar counts single bytes.
    in.resetProgressBar(1000);
    in.progressUnitSize = 0;
    in.progressUnits = in.progressUnitsShown = 0;
    in.progressSteps = 0;
    storeBytesCopied(in, 640);
    in.updateProgress();
    EXPECT_EQ(in.progressSteps, 640);
    EXPECT_EQ(launcher.position(), 640);

    useFiles({"small.txt"});
    put("small.txt", "only a few bytes");
    EXPECT_TRUE(runCopy());
    EXPECT_EQ(in.progressSteps, 16);
    EXPECT_EQ(in.progressUnitSize, 0u);
}

TEST_F(CopyEngine, SlideshowShowsEachEntryOnceInOrderAndSkipsAJumpedKey)
{
    std::string disc = root + "\\disc";
    kit::DiscLayout layout;
    kit::layOutDisc(disc, layout);
    snprintf(installer.sourceRoot, sizeof installer.sourceRoot, "%s", disc.c_str());
    resetSlideshow();
    EXPECT_EQ(advanceSlideshow(0), 1);
    HBITMAP first = currentSlideBitmap;
    EXPECT_NE(first, nullptr);
    EXPECT_EQ((HBITMAP)SendDlgItemMessageA(launcher.window, 1016, STM_GETIMAGE, IMAGE_BITMAP, 0), first);
    EXPECT_EQ(advanceSlideshow(0), 0) << "shown once per run";
    EXPECT_EQ(advanceSlideshow(199), 0);
    EXPECT_EQ(advanceSlideshow(201), 0) << "a jump over 200 does not show that entry";
    EXPECT_EQ(advanceSlideshow(400), 1);
    EXPECT_NE(currentSlideBitmap, first);
    EXPECT_EQ(productConfig.slideshow[1].shown, 0);
    EXPECT_EQ(productConfig.slideshow[2].shown, 1);

    // A picture that cannot be loaded keeps the one on screen.
    HBITMAP shown = currentSlideBitmap;
    EXPECT_EQ(showSlide("missing.bmp", nullptr), 1);
    EXPECT_EQ(currentSlideBitmap, shown);
    EXPECT_EQ((HBITMAP)SendDlgItemMessageA(launcher.window, 1016, STM_GETIMAGE, IMAGE_BITMAP, 0), shown);
    resetSlideshow();
    EXPECT_EQ(productConfig.slideshow[2].shown, 0);
}

TEST_F(CopyEngine, ClockCountsWholeSecondsAndRollsOver)
{
    setStatusLine("data.tpk");
    resetElapsedClock();
    elapsedSeconds = 58;
    elapsedBase -= 1001;
    tickStatusAndClock();
    EXPECT_EQ(launcher.text(1021), "0:00:59");
    elapsedBase -= 1001;
    tickStatusAndClock();
    EXPECT_EQ(launcher.text(1021), "0:01:00");
    elapsedMinutes = 59;
    elapsedSeconds = 59;
    elapsedBase -= 1001;
    tickStatusAndClock();
    EXPECT_EQ(launcher.text(1021), "1:00:00");
    tickStatusAndClock();
    EXPECT_EQ(launcher.text(1021), "1:00:00") << "less than a second later nothing changes";

    // With an empty status line neither the spinner nor the clock moves.
    setStatusLine("");
    elapsedBase -= 5000;
    tickStatusAndClock();
    EXPECT_EQ(launcher.text(1021), "1:00:00");
    EXPECT_EQ(elapsedSeconds, 0);

    // The spinner turns a quarter every 250 ms, however often it is asked.
    setStatusLine("data.tpk");
    int turns = 0;
    std::string line = launcher.text(1019);
    DWORD started = GetTickCount(), elapsed = 0;
    while ((elapsed = GetTickCount() - started) < 1200) {
        tickStatusAndClock();
        std::string now = launcher.text(1019);
        if (now != line) ++turns;
        line = now;
    }
    EXPECT_GE(turns, 2);
    EXPECT_LE(turns, (int)(elapsed / 250) + 2);
    EXPECT_EQ(line.rfind("data.tpk ", 0), 0u);
}

}  // namespace
