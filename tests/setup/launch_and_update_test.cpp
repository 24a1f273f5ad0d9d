// What the installed launcher opens (game, README, manual, home page) and the update build.
#include "driver.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <string.h>

#include <string>

#include "veyla_medium.h"

namespace {

void setDefault(HKEY root, const std::string& key, const std::string& value)
{
    HKEY handle;
    if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr) != 0) return;
    RegSetValueExA(handle, nullptr, 0, REG_SZ, (const BYTE*)value.c_str(), (DWORD)value.size() + 1);
    RegCloseKey(handle);
}

class Opening : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit::emptyAllDrives();
        clearVeylaInstallation();
        DeleteFileA(kit::scratchPath("probe.log").c_str());
        ASSERT_TRUE(layOutVeyla(kit::driveRoot('n')));
    }
    void TearDown() override
    {
        clearVeylaInstallation();
        kit::emptyAllDrives();
        kit::deleteRegistryTree(HKEY_CLASSES_ROOT, "kitprobe.document");
    }
    HWND open()
    {
        if (!kit::start(process, "n:\\setup.exe")) return nullptr;
        return kit::waitWindow(process.pid, L"#32770", L"Veyla Setup", 20000);
    }
    kit::Process process;
};

TEST_F(Opening, GameStartRunsTheGameInItsFolderAndClosesTheLauncher)
{
    std::string dir = fakeInstallation("n:\\Veyla");
    HWND launcher = open();
    ASSERT_NE(launcher, nullptr);
    kit::click(launcher, 1001);
    EXPECT_EQ(kit::waitExit(process, 20000), 0) << "a started game closes the launcher";
    std::vector<std::string> lines = kit::probeLines(2);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(_stricmp(lines[1].c_str(), dir.c_str()), 0) << "the game starts in the installation folder: " << lines[1];
}

TEST_F(Opening, ReadmeFromTheMediumBeforeAndFromTheInstallationAfter)
{
    HWND launcher = open();
    ASSERT_NE(launcher, nullptr);
    kit::click(launcher, 1006);
    HWND notepad = kit::waitWindow(0, L"Notepad", nullptr, 20000);
    ASSERT_NE(notepad, nullptr);
    EXPECT_NE(kit::text(notepad).find(L"readme.txt"), std::wstring::npos);
    HWND edit = FindWindowExW(notepad, nullptr, L"Edit", nullptr);
    EXPECT_EQ(kit::wideToAnsi(kit::text(edit)), veylaFileBytes("readme.txt")) << "the medium's README";
    PostMessageW(notepad, WM_CLOSE, 0, 0);
    kit::waitGone(notepad, 10000);
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);

    // From the installation: the system's Notepad, never one placed in the installation folder,
    // even with the launcher's current folder there.
    std::string dir = fakeInstallation("n:\\Veyla");
    kit::writeFile(dir + "\\readme.txt", "installed readme");
    ASSERT_TRUE(kit::copyFile(kit::binPath("..\\tests\\probe.exe"), dir + "\\notepad.exe"));
    ASSERT_TRUE(kit::start(process, "n:\\setup.exe", "/log=z:\\readme.log", dir));
    launcher = kit::waitWindow(process.pid, L"#32770", L"Veyla Setup", 20000);
    ASSERT_NE(launcher, nullptr);
    kit::click(launcher, 1006);
    notepad = kit::waitWindow(0, L"Notepad", nullptr, 20000);
    ASSERT_NE(notepad, nullptr);
    edit = FindWindowExW(notepad, nullptr, L"Edit", nullptr);
    EXPECT_EQ(kit::text(edit), L"installed readme");
    PostMessageW(notepad, WM_CLOSE, 0, 0);
    kit::waitGone(notepad, 10000);
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
    EXPECT_FALSE(kit::fileExists(kit::scratchPath("probe.log"))) << "the planted notepad.exe never ran";
    std::string log;
    ASSERT_TRUE(kit::readFile(kit::scratchPath("readme.log"), log));
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    // Wine's launcher runs elevated: the desktop shell starts Notepad with the player's rights.
    EXPECT_NE(
        log.find(std::string(" started as the signed-in user: ") + system + "\\notepad.exe " + dir + "\\readme.txt"),
        std::string::npos)
        << log;
}

TEST_F(Opening, ManualFromTheMediumRootAndTheHomePageAddress)
{
    std::string command = "\"" + kit::binPath("..\\tests\\probe.exe") + "\" \"%1\"";
    setDefault(HKEY_CLASSES_ROOT, "kitprobe.document\\shell\\open\\command", command);
    std::string previousHtml;
    kit::readRegistryBytes(HKEY_CLASSES_ROOT, ".html", nullptr, previousHtml);
    setDefault(HKEY_CLASSES_ROOT, ".html", "kitprobe.document");
    std::string previousHttp;
    kit::readRegistryBytes(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", nullptr, previousHttp);
    setDefault(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", command);

    HWND launcher = open();
    ASSERT_NE(launcher, nullptr);
    kit::click(launcher, 1020);
    std::vector<std::string> lines = kit::probeLines(2);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("n:\\manual\\manual.html"), std::string::npos) << lines[0];
    kit::click(launcher, 1022);
    lines = kit::probeLines(4);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[2].find("http://www.tesmafromkuvel.co.jp/product/veyla/"), std::string::npos) << lines[2];
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    for (size_t folderLine : {1u, 3u})
        EXPECT_EQ(_stricmp(lines[folderLine].c_str(), system), 0)
            << "started in the system folder: " << lines[folderLine];
    EXPECT_TRUE(IsWindow(launcher)) << "the launcher stays open";
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);

    setDefault(HKEY_CLASSES_ROOT, ".html", previousHtml.c_str());
    setDefault(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", previousHttp.c_str());
}

class Update : public Opening {
protected:
    // The update build beside a folder "Veyla" holding the given files.
    std::string updateFolder(std::initializer_list<std::pair<const char*, std::string>> files)
    {
        std::string folder = kit::freshFolder("update");
        kit::makeFolders(folder + "\\Veyla");
        kit::copyFile(kit::binPath("update.exe"), folder + "\\update.exe");
        for (auto& f : files) kit::writeFile(folder + "\\Veyla\\" + f.first, f.second);
        return folder;
    }
    HWND openUpdate(const std::string& folder)
    {
        if (!kit::start(process, folder + "\\update.exe")) return nullptr;
        return kit::waitWindow(process.pid, L"#32770", L"Veyla Updata", 20000);
    }
};

FILETIME stamp(int day)
{
    SYSTEMTIME st = {};
    st.wYear = 2021;
    st.wMonth = 3;
    st.wDay = (WORD)day;
    st.wHour = 4;
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    return ft;
}

TEST_F(Update, ReplacesExactlyTheFilesOfItsFolderWithTheirTimes)
{
    std::string dir = fakeInstallation("n:\\Veyla");
    kit::writeFile(dir + "\\grd_2.pac", "old pack");
    SetFileAttributesA((dir + "\\update2.tpk").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesA((dir + "\\update1.tpk").c_str(), FILE_ATTRIBUTE_READONLY);
    kit::writeFile(dir + "\\update1.tpk.new~", "left by an update that was ended half-way");
    // A kept-aside name that no journal of an update lists is nobody's old file: never moved into place.
    DeleteFileA((dir + "\\update4.tpk").c_str());
    kit::writeFile(dir + "\\update4.tpk.old~", "planted");
    std::string folder = updateFolder({{"update1.tpk", "new update one"}, {"grd_2.pac", "new pack"}});
    for (const char* name : {"update1.tpk", "grd_2.pac"}) {
        HANDLE f =
            CreateFileA((folder + "\\Veyla\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        FILETIME created = stamp(1), accessed = stamp(2), written = stamp(3);
        SetFileTime(f, &created, &accessed, &written);
        CloseHandle(f);
    }
    FILETIME before = {};
    HANDLE untouched =
        CreateFileA((dir + "\\update3.tpk").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME c0, a0;
    GetFileTime(untouched, &c0, &a0, &before);
    CloseHandle(untouched);

    HWND dialog = openUpdate(folder);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(kit::itemText(dialog, 1009), L"Veyla　をアップデートしますか？");
    kit::click(dialog, 1008);
    kit::MessageBoxView box;
    ASSERT_TRUE(kit::waitMessageBox(process.pid, box, 30000));
    EXPECT_EQ(box.caption, L"終了");
    EXPECT_EQ(box.text, L"アップデートが完了しました。");
    kit::answer(box, IDOK);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
    EXPECT_FALSE(kit::fileExists(dir + "\\update4.tpk")) << "the planted file stays out of the installation";

    HANDLE f =
        CreateFileA((dir + "\\update1.tpk").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME created, accessed, written;
    GetFileTime(f, &created, &accessed, &written);
    CloseHandle(f);
    EXPECT_EQ(CompareFileTime(&written, &(const FILETIME&)stamp(3)), 0) << "last-write time taken over";
    // Reading the source for the copy moved its access time; the target carries the source's.
    HANDLE from = CreateFileA((folder + "\\Veyla\\update1.tpk").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    FILETIME sourceCreated, sourceAccessed, sourceWritten;
    GetFileTime(from, &sourceCreated, &sourceAccessed, &sourceWritten);
    CloseHandle(from);
    EXPECT_EQ(CompareFileTime(&accessed, &sourceAccessed), 0) << "last-access time taken over";
    EXPECT_EQ(CompareFileTime(&created, &sourceCreated), 0) << "creation time taken over";
    f = CreateFileA((dir + "\\update3.tpk").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    GetFileTime(f, &created, &accessed, &written);
    CloseHandle(f);
    EXPECT_EQ(CompareFileTime(&written, &before), 0) << "a file the update does not hold keeps its times";
    EXPECT_EQ(GetFileAttributesA((dir + "\\update2.tpk").c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u)
        << "but gets normal attributes";
    // Contents last: reading them moves the access times.
    std::string bytes;
    EXPECT_TRUE(kit::readFile(dir + "\\update1.tpk", bytes) && bytes == "new update one") << "read-only, replaced";
    EXPECT_TRUE(kit::readFile(dir + "\\grd_2.pac", bytes) && bytes == "new pack");
    for (const char* left : {"\\update1.tpk.new~", "\\update1.tpk.old~", "\\grd_2.pac.old~"})
        EXPECT_FALSE(kit::fileExists(dir + left)) << left;
    EXPECT_TRUE(kit::readFile(dir + "\\update3.tpk", bytes) && bytes == veylaFileBytes("update3.tpk"));
    EXPECT_TRUE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaEntryKey, "DisplayName", bytes))
        << "the installed-programs entry is left alone";
}

// The game running, a drive too small, a folder where a file belongs: the update changes nothing
// and says so; once the game has ended, Retry updates.
TEST_F(Update, ChangesNothingUnlessEveryFileCanBeReplaced)
{
    auto unchanged = [](const std::string& dir) {
        for (const char* const* n = veylaFiles(); *n; ++n) {
            std::string bytes, path = dir + "\\" + *n;
            if (!kit::readFile(path, bytes) || bytes != veylaFileBytes(*n) || kit::fileExists(path + ".new~") ||
                kit::fileExists(path + ".old~"))
                return false;
        }
        return !kit::fileExists(dir + "\\Veyla.exe.new~");
    };
    auto quietUpdate = [](const std::string& folder) {
        kit::Process quiet;
        return kit::start(quiet, folder + "\\update.exe", "/quiet") ? kit::waitExit(quiet, 60000) : -2;
    };
    // Drive full: 5 MB do not fit beside the installation on the 4 MB volume.
    // (The volume's root, a mount point, is no publisher folder: the installation lies below it.)
    std::string small = kit::scratchPath("tiny\\TesmafromKuvel\\Veyla");
    kit::removeTree(kit::scratchPath("tiny\\TesmafromKuvel"));
    fakeInstallation("n:\\Veyla", small);
    std::string folder = updateFolder({{"update1.tpk", "new update one"}, {"Veyla.exe", std::string(5 << 20, 'v')}});
    EXPECT_EQ(quietUpdate(folder), 5);
    EXPECT_TRUE(unchanged(small));
    kit::removeTree(kit::scratchPath("tiny\\TesmafromKuvel"));

    // A folder where grd_2.pac belongs: update1.tpk, replaced first, is put back.
    std::string dir = fakeInstallation("n:\\Veyla");
    kit::makeFolders(dir + "\\grd_2.pac");
    folder = updateFolder({{"update1.tpk", "new update one"}, {"grd_2.pac", "new pack"}});
    HWND dialog = openUpdate(folder);
    ASSERT_NE(dialog, nullptr);
    kit::click(dialog, 1008);
    kit::MessageBoxView box;
    ASSERT_TRUE(kit::answerNext(process.pid, IDOK, 30000, &box));
    EXPECT_EQ(box.text,
              L"アップデートが正常に行われませんでした。\nもう一度ご確認の上、アップデートを行ってください。");
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
    EXPECT_TRUE(unchanged(dir));
    RemoveDirectoryA((dir + "\\grd_2.pac").c_str());

    // The game running.
    kit::Process game;
    ASSERT_TRUE(startGame(game));
    folder = updateFolder({{"update1.tpk", "new update one"}, {"Veyla.exe", "new game"}});
    EXPECT_EQ(quietUpdate(folder), 6);
    EXPECT_TRUE(unchanged(dir));
    dialog = openUpdate(folder);
    ASSERT_NE(dialog, nullptr);
    kit::click(dialog, 1008);
    ASSERT_TRUE(kit::waitMessageBox(process.pid, box, 30000));
    EXPECT_EQ(GetWindow(box.window, GW_OWNER), dialog);
    kit::answer(box, IDRETRY);
    EXPECT_EQ(box.caption, L"確認");
    EXPECT_EQ(box.text, gameInUseText(dir));
    EXPECT_EQ(box.buttons, (std::vector<int>{IDCANCEL, IDRETRY}));
    ASSERT_TRUE(kit::waitMessageBox(process.pid, box, 30000)) << "asked again while the game runs";
    endGame(game);
    kit::answer(box, IDRETRY);
    ASSERT_TRUE(kit::answerNext(process.pid, IDOK, 30000, &box));
    EXPECT_EQ(box.text, L"アップデートが完了しました。");
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
    std::string bytes;
    EXPECT_TRUE(kit::readFile(dir + "\\Veyla.exe", bytes) && bytes == "new game");
}

// Ended at each of its changing steps in turn, as a power cut would end it, an update leaves an
// installation that the next run (here one with nothing to update) brings to one whole state: every
// file old or every file new, no temporary file and no journal.
TEST_F(Update, EndedAtEveryStepTheNextRunLeavesItWhole)
{
    const std::pair<const char*, std::string> fresh[] = {
        {"update1.tpk", "new update one"}, {"update2.tpk", "new update two"}, {"grd_2.pac", "a new pack"}};
    std::string folder = updateFolder({fresh[0], fresh[1], fresh[2]});
    std::string next = kit::freshFolder("next");
    ASSERT_TRUE(kit::makeFolders(next + "\\Veyla"));
    for (const std::string& f : {folder, next})
        ASSERT_TRUE(kit::copyFile(kit::binPath("..\\tests\\update_crash.exe"), f + "\\update.exe"));
    std::string dir;
    auto reset = [&] {
        dir = fakeInstallation("n:\\Veyla");
        DeleteFileA((dir + "\\grd_2.pac").c_str());
        SetFileAttributesA((dir + "\\update2.tpk").c_str(), FILE_ATTRIBUTE_READONLY);  // replaced too
    };
    auto run = [](const std::string& f, long crashAt) {
        return runEndingAtStep(crashAt, [&] {
            kit::Process update;
            return kit::start(update, f + "\\update.exe", "/quiet") ? kit::waitExit(update, 60000) : -2;
        });
    };
    reset();
    const long steps = changingSteps([&] { return run(folder, 0); });
    ASSERT_GT(steps, 20) << "journal, three new files, three replacements";
    // Each new file is on the disk before it takes its target's name.
    reset();
    std::vector<std::string> noted = notedSteps([&] { return run(folder, 0); });
    int renames = 0;
    for (size_t i = 0; i < noted.size(); ++i) {
        if (noted[i].compare(0, 8, "renamed ") != 0) continue;
        ++renames;
        std::string flushed = "flushed " + noted[i].substr(8);
        EXPECT_NE(std::find(noted.begin(), noted.begin() + i, flushed), noted.begin() + i) << noted[i];
    }
    EXPECT_EQ(renames, 4) << "three files and the record of what the kit placed";
    for (long k = 1; k <= steps; ++k) {
        reset();
        ASSERT_EQ(run(folder, k), 99) << "ended at step " << k;
        ASSERT_EQ(run(next, 0), 0) << "the run after step " << k;
        bool allOld = true, allNew = true;
        for (const auto& f : fresh) {
            std::string bytes, old = strcmp(f.first, "grd_2.pac") == 0 ? "" : veylaFileBytes(f.first);
            bool there = kit::readFile(dir + "\\" + f.first, bytes);
            allOld = allOld && (old.empty() ? !there : there && bytes == old);
            allNew = allNew && there && bytes == f.second;
        }
        EXPECT_TRUE(allOld != allNew) << "step " << k << ": a mix of old and new files";
        for (const char* const* n = veylaFiles(); *n; ++n) {
            std::string bytes;
            bool updated = !strcmp(*n, "update1.tpk") || !strcmp(*n, "update2.tpk");
            EXPECT_TRUE(updated || (kit::readFile(dir + "\\" + *n, bytes) && bytes == veylaFileBytes(*n))) << k << *n;
        }
        EXPECT_EQ(temporaryLeft(dir), "") << "step " << k;
        if (HasFailure()) break;
    }

    // Ended during its replacements, then the next update meets the game running: the Cancel to the
    // files in use comes after the repair, which leaves every file old, and the log says so.
    reset();
    ASSERT_EQ(run(folder, steps - 6), 99);
    std::string journal, log;
    ASSERT_TRUE(kit::readFile(dir + "\\update~.jnl", journal) && journal.find("phase replacing") != std::string::npos);
    std::string withGame = kit::freshFolder("withgame");
    ASSERT_TRUE(kit::makeFolders(withGame + "\\Veyla") && kit::writeFile(withGame + "\\Veyla\\Veyla.exe", "new game") &&
                kit::copyFile(kit::binPath("update.exe"), withGame + "\\update.exe"));
    kit::Process game, update;
    ASSERT_TRUE(startGame(game));
    ASSERT_TRUE(kit::start(update, withGame + "\\update.exe", "/quiet /log=z:\\cancel.log"));
    EXPECT_EQ(kit::waitExit(update, 60000), 6);
    endGame(game);
    for (const auto& f : fresh) {
        std::string bytes;
        bool there = kit::readFile(dir + "\\" + f.first, bytes);
        EXPECT_TRUE(strcmp(f.first, "grd_2.pac") == 0 ? !there : there && bytes == veylaFileBytes(f.first)) << f.first;
    }
    EXPECT_FALSE(kit::fileExists(dir + "\\update~.jnl"));
    ASSERT_TRUE(kit::readFile(kit::scratchPath("cancel.log"), log));
    EXPECT_NE(log.find("interrupted update (replacing): the installation is whole again, as before the update"),
              std::string::npos)
        << log;

    // Ended the same way, then met by the launcher's next start (a quiet one ends with 3, the game
    // installed): the update is put right before anything else.
    reset();
    ASSERT_EQ(run(folder, steps - 6), 99);
    kit::Process launcher;
    ASSERT_TRUE(kit::start(launcher, "n:\\setup.exe", "/quiet /log=z:\\launcher-repair.log"));
    EXPECT_EQ(kit::waitExit(launcher, 60000), 3);
    for (const auto& f : fresh) {
        std::string bytes;
        bool there = kit::readFile(dir + "\\" + f.first, bytes);
        EXPECT_TRUE(strcmp(f.first, "grd_2.pac") == 0 ? !there : there && bytes == veylaFileBytes(f.first)) << f.first;
    }
    ASSERT_TRUE(kit::readFile(kit::scratchPath("launcher-repair.log"), log));
    EXPECT_NE(log.find("interrupted update (replacing): the installation is whole again"), std::string::npos) << log;

    // Ended while it writes its new files, then met by the removal: the folder goes whole, the
    // update's temporary files and journal with it.
    long k = 1;
    for (; k < steps; ++k) {
        reset();
        ASSERT_EQ(run(folder, k), 99);
        if (kit::fileExists(dir + "\\update1.tpk.new~")) break;
    }
    ASSERT_TRUE(kit::fileExists(dir + "\\update~.jnl")) << "ended at step " << k << " with a new file written";
    ASSERT_TRUE(kit::copyFile(kit::binPath("uninst.exe"), dir + "\\uninst.exe"));
    kit::Process removal;
    ASSERT_TRUE(kit::start(removal, dir + "\\uninst.exe", "/quiet"));
    EXPECT_EQ(kit::waitExit(removal, 60000), 0);
    EXPECT_TRUE(kit::waitUntil([&] { return !kit::fileExists(dir); }, 30000)) << "nothing of the game stays";
}

TEST_F(Update, RefusesWhenNothingIsInstalled)
{
    std::string folder = updateFolder({{"update1.tpk", "new"}});
    HWND dialog = openUpdate(folder);
    ASSERT_NE(dialog, nullptr);
    kit::click(dialog, 1008);
    kit::MessageBoxView box;
    ASSERT_TRUE(kit::waitMessageBox(process.pid, box, 20000));
    EXPECT_EQ(box.caption, L"確認");
    EXPECT_EQ(box.text, L"インストールがされてませんでした。\nインストールを行ってからアップデートしてください。");
    EXPECT_TRUE(box.hasIcon);
    EXPECT_EQ(GetWindow(box.window, GW_OWNER), dialog);
    kit::answer(box, IDOK);
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog stays";
    kit::click(dialog, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
    EXPECT_FALSE(kit::fileExists("c:\\TesmafromKuvel\\Veyla\\update1.tpk"));
}

}  // namespace
