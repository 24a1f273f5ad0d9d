// Installation and removal with nobody at the screen: quiet and passive runs, their exit codes and
// the log they write.
#include "driver.h"

#include <gtest/gtest.h>

#include <string>
#include <sddl.h>
#include <shlobj.h>

#include <functional>

#include "launcher_buttons.h"
#include "veyla_medium.h"

namespace {

const std::string installDir = "c:\\TesmafromKuvel\\Veyla";

// A window of the process that a person would see: visible and of some size (the hidden main
// window has none).
bool showsAWindow(DWORD pid)
{
    return kit::findTopLevel(pid, [](HWND window) {
               RECT r;
               return GetWindowRect(window, &r) && r.right > r.left && r.bottom > r.top;
           }) != nullptr;
}

// True when an entry of the file's access list lets anyone but its owner, SYSTEM or Administrators
// change, replace or delete it.
bool writableByOthers(const std::string& path)
{
    DWORD descriptor[1024], needed = 0;
    PSID owner = nullptr;
    PACL acl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    if (!GetFileSecurityA(path.c_str(), OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, descriptor,
                          sizeof descriptor, &needed) ||
        !GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
        !GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted) || !present || !acl)
        return true;
    const DWORD changes = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES | DELETE |
                          WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (!GetAce(acl, i, (void**)&ace) || ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE || !(ace->Mask & changes))
            continue;
        char* trustee = nullptr;
        std::string sid = ConvertSidToStringSidA((PSID)&ace->SidStart, &trustee) ? trustee : "";
        LocalFree(trustee);
        if (!EqualSid((PSID)&ace->SidStart, owner) && sid != "S-1-5-18" && sid != "S-1-5-32-544") return true;
    }
    return false;
}

// True when the folder is there and holds nothing.
bool holdsNothing(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool empty = true;
    do empty = empty && (!strcmp(found.cFileName, ".") || !strcmp(found.cFileName, ".."));
    while (FindNextFileA(search, &found));
    FindClose(search);
    return empty;
}

// Gives the folder an access list that lets everyone change it.
bool openToEveryone(const std::string& path)
{
    DWORD sid[4] = {}, acl[64];
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    SECURITY_DESCRIPTOR descriptor;
    return InitializeSid(sid, &world, 1) && (*GetSidSubAuthority(sid, 0) = SECURITY_WORLD_RID, true) &&
           InitializeAcl((PACL)acl, sizeof acl, ACL_REVISION) &&
           AddAccessAllowedAce((PACL)acl, ACL_REVISION, FILE_ALL_ACCESS, sid) &&
           InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
           SetSecurityDescriptorDacl(&descriptor, TRUE, (PACL)acl, FALSE) &&
           SetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, &descriptor);
}

class Unattended : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit::emptyAllDrives();
        clearVeylaInstallation();
        ASSERT_TRUE(layOutVeyla(kit::driveRoot('n')));
    }
    void TearDown() override
    {
        clearVeylaInstallation();
        kit::emptyAllDrives();
    }
    // Runs a program to its end and returns its exit code; windowSeen tells whether it ever showed
    // a window while it ran.
    long run(const std::string& exe, const std::string& args, bool* windowSeen = nullptr)
    {
        kit::Process process;
        if (!kit::start(process, exe, args)) return -2;
        bool seen = false;
        kit::waitUntil(
            [&] {
                seen = seen || showsAWindow(process.pid);
                return kit::waitExit(process, 0) >= 0;
            },
            120000);
        if (windowSeen) *windowSeen = seen;
        return kit::waitExit(process, 0);
    }
    static std::string logOf(const char* name)
    {
        std::string bytes;
        kit::readFile(kit::scratchPath(name), bytes);
        return bytes;
    }
};

TEST_F(Unattended, QuietInstallationAndRemovalShowNothingAndLogEveryStep)
{
    // The installation folder is there already, open to everyone: an administrator's earlier
    // folder is taken over and locked like a new one.
    ASSERT_TRUE(kit::makeFolders(installDir));
    ASSERT_TRUE(openToEveryone(installDir) && writableByOthers(installDir));
    bool seen = true;
    EXPECT_EQ(run("n:\\setup.exe", "/QUIET -log=z:\\install.log", &seen), 0);
    EXPECT_FALSE(seen) << "no window";
    for (const std::string& folder : {installDir, std::string("c:\\TesmafromKuvel")})
        EXPECT_FALSE(writableByOthers(folder)) << folder;
    EXPECT_TRUE(kit::fileExists(installDir + "\\save")) << "the players' save folder (its list: AccessLists)";
    for (const char* const* n = veylaFiles(); *n; ++n) {
        std::string bytes;
        EXPECT_TRUE(kit::readFile(installDir + "\\" + *n, bytes) && bytes == veylaFileBytes(*n)) << *n;
        // Standard users may change the settings file only.
        EXPECT_TRUE(strcmp(*n, "tncfg.dat") == 0 || !writableByOthers(installDir + "\\" + *n)) << *n;
    }
    std::string value;
    EXPECT_TRUE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaRecordKey, "Dir", value));
    EXPECT_TRUE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaEntryKey, "DisplayName", value));
    std::string group = specialFolder(CSIDL_COMMON_PROGRAMS) + "\\TesmafromKuvel\\Veyla";
    EXPECT_TRUE(kit::fileExists(group + "\\Veyla.lnk"));
    EXPECT_TRUE(kit::fileExists(specialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\Veyla.lnk")) << "desktop: yes";
    std::string log = logOf("install.log");
    EXPECT_EQ(log.compare(0, 2, "20"), 0) << "each line begins with the date";
    for (const std::wstring& step :
         {std::wstring(L"setup.exe 1.0.1.1, command line: /QUIET -log=z:\\install.log, Windows "),
          std::wstring(L"notice taken as read"), L"folder " + kit::ansiToWide(installDir),
          std::wstring(L"space: 4000 MB needed, "), L"file " + kit::ansiToWide(installDir) + L"\\data.tpk, ",
          L"record HKEY_LOCAL_MACHINE\\SOFTWARE\\TesmafromKuvel\\Veyla者: Dir=" + kit::ansiToWide(installDir),
          L"link " + kit::ansiToWide(group) + L"\\Veyla.lnk",
          std::wstring(L"message (終了): インストールが完了しました。 -> OK")})
        EXPECT_NE(log.find(kit::utf8(step)), std::string::npos) << kit::utf8(step);
    EXPECT_EQ(log.substr(log.size() - 13), "exit code 0\r\n");

    // The removal Windows would start quietly; the save data stay unless asked.
    ASSERT_TRUE(kit::copyFile(kit::binPath("uninst.exe"), installDir + "\\uninst.exe"));
    ASSERT_TRUE(kit::makeFolders(installDir + "\\save") && kit::writeFile(installDir + "\\save\\gsd.sd", "save"));
    EXPECT_EQ(run(installDir + "\\uninst.exe", "/quiet /log=z:\\remove.log", &seen), 0)
        << "the result of the copy, from the process started";
    EXPECT_FALSE(seen);
    EXPECT_TRUE(kit::waitUntil([&] { return !kit::fileExists(installDir + "\\uninst.exe"); }, 30000))
        << "the copy removes the uninstaller once the first process has ended";
    EXPECT_TRUE(kit::fileExists(installDir + "\\save\\gsd.sd"));
    EXPECT_FALSE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaRecordKey, "Dir", value));
    EXPECT_FALSE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaEntryKey, "DisplayName", value));
    EXPECT_FALSE(kit::fileExists(group));
    log = logOf("remove.log");
    EXPECT_NE(log.find(kit::utf8(L"セーブデータを削除してもよろしいですか？ -> No")), std::string::npos);
    EXPECT_EQ(log.substr(log.size() - 13), "exit code 0\r\n");
}

TEST_F(Unattended, PassiveInstallationShowsTheCopyAsksNothingAndClosesItself)
{
    // A pack large enough that the copy can be seen.
    ASSERT_TRUE(kit::makeSparseFile(kit::driveRoot('n') + "\\Veyla\\data.tpk", 512ull << 20));
    kit::Process process;
    ASSERT_TRUE(kit::start(process, "n:\\setup.exe", "/passive /nodesktop"));
    HWND launcher = kit::waitWindow(process.pid, L"#32770", L"Veyla Setup", 20000);
    ASSERT_NE(launcher, nullptr);
    bool copying = false, boxSeen = false;
    kit::waitUntil(
        [&] {
            copying = copying || kit::progressPosition(GetDlgItem(launcher, 1005)) > 0;
            kit::MessageBoxView box;
            boxSeen = boxSeen || kit::waitMessageBox(process.pid, box, 0);
            return kit::waitExit(process, 0) >= 0;
        },
        120000);
    EXPECT_EQ(kit::waitExit(process, 0), 0) << "it closes itself";
    EXPECT_TRUE(copying) << "the bar showed the copy";
    EXPECT_FALSE(boxSeen);
    EXPECT_TRUE(kit::fileExists(installDir + "\\data.tpk"));
    EXPECT_FALSE(kit::fileExists(specialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\Veyla.lnk")) << "/nodesktop";
}

TEST_F(Unattended, ExitCodesOneToFive)
{
    std::string tiny = kit::scratchPath("tiny");
    struct Case {
        const char* what;
        std::function<void()> arrange;
        std::string exe, args;
        long code;
    } cases[] = {
        {"unknown switch", [] {}, "n:\\setup.exe", "/quiet /fast", 1},
        {"quote left open", [] {}, "n:\\setup.exe", "\"/dir=c:\\x /quiet", 1},
        {"folder too long", [] {}, "n:\\setup.exe", "/dir=c:\\" + std::string(300, 'a') + " /quiet", 1},
        {"log in no folder", [] {}, "n:\\setup.exe", "/quiet /log=z:\\no\\such\\folder.log", 1},
        {"update with a bad switch", [] {}, kit::binPath("update.exe"), "/dir=c:\\x", 1},
        {"installed already", [] { fakeInstallation("n:\\Veyla"); }, "n:\\setup.exe", "/quiet", 3},
        {"nothing to remove", [] { clearVeylaInstallation(); }, kit::binPath("uninst.exe"), "/quiet", 3},
        {"nothing to update", [] {}, kit::binPath("update.exe"), "/quiet", 3},
        {"no medium", [] { kit::emptyAllDrives(); }, kit::binPath("setup.exe"), "/quiet", 4},
        {"no space", [] { layOutVeyla(kit::driveRoot('n')); }, "n:\\setup.exe", "/quiet /dir=" + tiny, 5},
        {"a publisher folder another user made", [] {}, "n:\\setup.exe",
         "/quiet /dir=z:\\fixtures\\foreign /log=z:\\foreign.log", 1},
        // A player's junction as the publisher folder, then as the installation folder: never followed.
        {"a publisher folder that is a link",
         [] { kit::makeLink(kit::freshFolder("linkbase") + "\\TesmafromKuvel", kit::freshFolder("linktarget")); },
         "n:\\setup.exe", "/quiet /dir=z:\\linkbase /log=z:\\linked.log", 1},
        {"an installation folder that is a link",
         [] {
             kit::makeFolders(kit::freshFolder("linkbase2") + "\\TesmafromKuvel");
             kit::makeLink("z:\\linkbase2\\TesmafromKuvel\\Veyla", kit::freshFolder("linktarget2"));
         },
         "n:\\setup.exe", "/quiet /dir=z:\\linkbase2 /log=z:\\linked2.log", 1},
        // An earlier folder whose tncfg.dat is a second name of a file elsewhere: its list would be set
        // on that file, and the settings written into it.
        {"an installation folder holding a second name of another file",
         [] {
             kit::makeFolders(kit::freshFolder("hardbase") + "\\TesmafromKuvel\\Veyla");
             kit::writeFile(kit::freshFolder("hardsecret") + "\\kitsecret.dat", "an administrator's");
             CreateHardLinkA("z:\\hardbase\\TesmafromKuvel\\Veyla\\tncfg.dat", "z:\\hardsecret\\kitsecret.dat",
                             nullptr);
         },
         "n:\\setup.exe", "/quiet /dir=z:\\hardbase /log=z:\\hardlink.log", 1},
    };
    for (const Case& c : cases) {
        c.arrange();
        EXPECT_EQ(run(c.exe, c.args), c.code) << c.what;
        if (c.code != 3) {
            EXPECT_FALSE(kit::fileExists(installDir)) << c.what << ": nothing was changed";
        }
    }
    EXPECT_NE(logOf("foreign.log")
                  .find(kit::utf8(L"z:\\fixtures\\foreign\\TesmafromKuvel このフォルダは別のユーザーが作成したため")),
              std::string::npos)
        << "refused, and said why";
    EXPECT_FALSE(kit::fileExists("z:\\fixtures\\foreign\\TesmafromKuvel\\Veyla"));
    // The link is named, and the folder refused: the publisher folder, whose link it is or holds.
    const char* const linked[][2] = {{"linked.log", "z:\\linkbase\\TesmafromKuvel"},
                                     {"linked2.log", "z:\\linkbase2\\TesmafromKuvel\\Veyla"}};
    for (const auto& [name, folder] : linked) {
        std::string log = logOf(name), link = folder;
        EXPECT_NE(log.find("a link, not followed: " + link), std::string::npos) << log;
        EXPECT_NE(log.find("folder refused: " + link.substr(0, link.find("TesmafromKuvel") + 14) + "\r\n"),
                  std::string::npos)
            << log;
    }
    for (const char* target : {"linktarget", "linktarget2"})
        EXPECT_TRUE(holdsNothing(kit::scratchPath(target))) << target << ": nothing was made or written in it";
    std::string log = logOf("hardlink.log"), secret;
    EXPECT_NE(log.find("a file with a second name, not taken: z:\\hardbase\\TesmafromKuvel\\Veyla\\tncfg.dat"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("folder refused: z:\\hardbase\\TesmafromKuvel\\Veyla\r\n"), std::string::npos) << log;
    EXPECT_FALSE(kit::fileExists("z:\\hardbase\\TesmafromKuvel\\Veyla\\Veyla.exe"));
    EXPECT_TRUE(kit::readFile("z:\\hardsecret\\kitsecret.dat", secret) && secret == "an administrator's");
    kit::removeTree(kit::scratchPath("linkbase"));
    kit::removeTree(kit::scratchPath("linkbase2"));
    // A product file whose name cannot be freed (a folder stands there) fails the installation,
    // which is rolled back, rather than leaving someone else's uninst.exe as if installed.
    ASSERT_TRUE(kit::makeFolders(installDir + "\\uninst.exe"));
    EXPECT_EQ(run("n:\\setup.exe", "/quiet /log=z:\\unplaced.log"), 6);
    EXPECT_NE(logOf("unplaced.log").find("cannot place: " + installDir + "\\uninst.exe (error "), std::string::npos);
    EXPECT_FALSE(kit::fileExists(installDir + "\\Veyla.exe")) << "rolled back";
    std::string value;
    EXPECT_FALSE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaRecordKey, "Dir", value));
    // A second copy while the launcher runs; it leaves the launcher's log as it was.
    kit::Process launcher;
    ASSERT_TRUE(kit::start(launcher, "n:\\setup.exe", "/log=z:\\first.log"));
    ASSERT_NE(kit::waitWindow(launcher.pid, L"#32770", L"Veyla Setup", 20000), nullptr);
    EXPECT_EQ(run("n:\\setup.exe", "/quiet /log=z:\\first.log"), 2);
    EXPECT_NE(logOf("first.log").find("command line: /log=z:\\first.log,"), std::string::npos);
    kit::terminate(launcher);
}

// Ended (power cut, Task Manager) while it refuses another user's folder, an installation leaves a
// journal of a folder that never was its own: the next start deletes nothing of that user's.
TEST_F(Unattended, ARunEndedDuringARefusalLeavesTheOtherUsersFiles)
{
    ASSERT_TRUE(layOutVeyla(kit::driveRoot('n'), "..\\tests\\setup_crash.exe"));
    const std::string theirs = "z:\\fixtures\\foreigngame\\TesmafromKuvel\\Veyla";
    auto refused = [&](long crashAt) {
        return runEndingAtStep(crashAt, [&] { return run("n:\\setup.exe", "/quiet /dir=z:\\fixtures\\foreigngame"); });
    };
    std::string file = kit::scratchPath("refusal-steps.txt"), count;
    SetEnvironmentVariableA("KIT_STEP_COUNT", file.c_str());
    EXPECT_EQ(refused(0), 1);
    SetEnvironmentVariableA("KIT_STEP_COUNT", nullptr);
    ASSERT_TRUE(kit::readFile(file, count) && atol(count.c_str()) > 0);
    // Its last step removes the journal, after the refusal: ended there, the journal stays.
    EXPECT_EQ(refused(atol(count.c_str())), 99);
    std::string other = kit::freshFolder("after-refusal");
    EXPECT_EQ(run("n:\\setup.exe", "/quiet /nodesktop /dir=" + other + " /log=z:\\after-refusal.log"), 0);
    for (const char* name : {"Veyla.exe", "data.tpk"})
        EXPECT_TRUE(kit::fileExists(theirs + "\\" + name)) << name << " of the other user stays";
    EXPECT_NE(logOf("after-refusal.log")
                  .find("interrupted installation in " + theirs + ": removed, the folders it made only"),
              std::string::npos);
}

// A save folder a player emptied and made a junction elsewhere: an installation into the folder
// never locks or writes through it, and a removal that deletes the save data deletes nothing there.
TEST_F(Unattended, ASaveFolderMadeALinkIsNeverFollowed)
{
    const std::string elsewhere = kit::freshFolder("savetarget"), save = installDir + "\\save";
    ASSERT_TRUE(kit::writeFile(elsewhere + "\\savedata.000", "another program's"));
    auto untouched = [&] {
        std::string bytes;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((elsewhere + "\\*").c_str(), &found);
        int entries = 0;
        for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) ++entries;
        if (search != INVALID_HANDLE_VALUE) FindClose(search);
        return entries == 3 && kit::readFile(elsewhere + "\\savedata.000", bytes) && bytes == "another program's";
    };
    // The folder of an earlier installation whose record is gone: the quiet installation takes it over.
    ASSERT_TRUE(kit::makeFolders(installDir) && kit::makeLink(save, elsewhere));
    long code = run("n:\\setup.exe", "/quiet /log=z:\\savelink.log");
    std::string log = logOf("savelink.log");
    EXPECT_NE(log.find("save folder is a link, removed as one: " + save), std::string::npos) << log;
    // Windows removes a junction as a link and the installation goes on. Wine removes a link through
    // none of its calls: there the installation fails before it copies anything.
    if (code == 0) {
        EXPECT_FALSE(GetFileAttributesA(save.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
    } else {
        EXPECT_EQ(code, 6);
        EXPECT_NE(log.find("link not removed: " + save), std::string::npos) << log;
        EXPECT_FALSE(kit::fileExists(installDir + "\\Veyla.exe"));
    }
    EXPECT_TRUE(untouched()) << "nothing made, written or deleted where the link points";
    // Nor an empty folder it points at, which a removal of the link could take for itself.
    if (GetFileAttributesA(save.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) {
        const std::string empty = kit::freshFolder("saveempty");
        ASSERT_TRUE(kit::removeLink(save) && kit::makeLink(save, empty));
        run("n:\\setup.exe", "/quiet");
        EXPECT_TRUE(kit::fileExists(empty)) << "the empty folder the link points at stays";
        ASSERT_TRUE(kit::removeLink(save) && kit::makeLink(save, elsewhere));
    }

    // The removal, told to delete the save data, with the link in place again.
    if (!(GetFileAttributesA(save.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT)) {
        ASSERT_TRUE(kit::removeTree(save) && kit::makeLink(save, elsewhere));
    }
    fakeInstallation("n:\\Veyla");
    ASSERT_TRUE(kit::copyFile(kit::binPath("uninst.exe"), installDir + "\\uninst.exe"));
    EXPECT_EQ(run(installDir + "\\uninst.exe", "/quiet /deletesave /log=z:\\savelink-remove.log"), 0);
    // The copy goes on removing the folders once the uninstaller has ended: it is done when its
    // uninst.exe is gone.
    kit::waitUntil([&] { return !kit::fileExists(installDir + "\\uninst.exe"); }, 30000);
    EXPECT_NE(logOf("savelink-remove.log").find("save folder is a link, not followed: " + save), std::string::npos);
    EXPECT_TRUE(untouched()) << "the save data's deletion never went through the link";
    EXPECT_FALSE(kit::fileExists(installDir + "\\data.tpk")) << "the game itself was removed";

    // A real save folder whose screenshots' folder is a link: the saves go, nothing through the link.
    const std::string shots = kit::freshFolder("sstarget");
    fakeInstallation("n:\\Veyla");
    ASSERT_TRUE(kit::copyFile(kit::binPath("uninst.exe"), installDir + "\\uninst.exe"));
    ASSERT_TRUE(kit::removeTree(save) && kit::makeFolders(save) && kit::writeFile(save + "\\savedata.000", "a save"));
    ASSERT_TRUE(kit::writeFile(shots + "\\SS_000.bmp", "another program's") && kit::makeLink(save + "\\ss", shots));
    // And a save file that is a second name of a read-only file elsewhere: neither goes, nor loses its attribute.
    const std::string other = kit::freshFolder("hardtarget") + "\\other.dat";
    ASSERT_TRUE(kit::writeFile(other, "another program's") &&
                CreateHardLinkA((save + "\\savedata.001").c_str(), other.c_str(), nullptr) &&
                SetFileAttributesA(other.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(run(installDir + "\\uninst.exe", "/quiet /deletesave /log=z:\\sslink-remove.log"), 0);
    kit::waitUntil([&] { return !kit::fileExists(installDir + "\\uninst.exe"); }, 30000);
    EXPECT_NE(logOf("sslink-remove.log").find("save folder is a link, not followed: " + save + "\\ss"),
              std::string::npos);
    EXPECT_FALSE(kit::fileExists(save + "\\savedata.000")) << "the save data went";
    EXPECT_TRUE(kit::fileExists(shots + "\\SS_000.bmp")) << "nothing was deleted through the link";
    EXPECT_TRUE(kit::fileExists(save + "\\savedata.001")) << "a second name is another's";
    EXPECT_EQ(GetFileAttributesA(other.c_str()) & FILE_ATTRIBUTE_READONLY, (DWORD)FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA(other.c_str(), FILE_ATTRIBUTE_NORMAL);  // for the clean-up; the check is above
}

// Another user's tree put where the record points (the kit's folders renamed away, theirs built in
// their place, with an update journal of theirs): no start recovers from it, and neither the update
// nor the removal acts in it.
TEST_F(Unattended, AnotherUsersTreeWhereTheRecordPointsIsNeitherRecoveredUpdatedNorRemoved)
{
    const std::string theirs = "z:\\fixtures\\foreigntree\\TesmafromKuvel\\Veyla";
    const char* const names[] = {"Veyla.exe", "data.tpk", "Veyla.exe.old~", "update~.jnl"};
    std::string before[4], after;
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(kit::readFile(theirs + "\\" + names[i], before[i])) << names[i];
    fakeRecord("n:\\Veyla", theirs);
    EXPECT_EQ(run("n:\\setup.exe", "/quiet /log=z:\\foreigntree-setup.log"), 3) << "installed already";
    EXPECT_EQ(run(kit::binPath("update.exe"), "/quiet /log=z:\\foreigntree-update.log"), 6);
    EXPECT_EQ(run(kit::binPath("uninst.exe"), "/quiet /log=z:\\foreigntree-remove.log"), 6) << "no copy of theirs made";
    // The removal itself, as the uninstaller's temporary copy runs it.
    EXPECT_EQ(run(kit::binPath("uninst.exe"), "/r /quiet /deletesave /log=z:\\foreigntree-copy.log"), 6);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(kit::readFile(theirs + "\\" + names[i], after) && after == before[i]) << names[i] << " as it was";
    EXPECT_NE(logOf("foreigntree-setup.log").find("not recovered: " + theirs), std::string::npos);
    for (const char* name : {"foreigntree-update.log", "foreigntree-remove.log", "foreigntree-copy.log"}) {
        std::string log = logOf(name);
        EXPECT_NE(log.find("not made by an administrator: z:\\fixtures\\foreigntree\\TesmafromKuvel\r\n"),
                  std::string::npos)
            << log;
        EXPECT_NE(log.find("folder refused: " + theirs), std::string::npos) << log;
    }
    std::string value;
    EXPECT_TRUE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaRecordKey, "Dir", value)) << "still installed";
}

// Ended at each of its changing steps in turn, an installation is, at the next start of setup.exe,
// either complete (its record was written) or cleared: none of its files and folders stay, and the
// next start goes on as a fresh one (here into another folder).
TEST_F(Unattended, AnInstallationEndedAtEveryStepIsClearedOrCompleteAtTheNextStart)
{
    ASSERT_TRUE(layOutVeyla(kit::driveRoot('n'), "..\\tests\\setup_crash.exe"));
    std::string other = kit::scratchPath("other");
    auto quiet = [&](long crashAt, const std::string& args) {
        return runEndingAtStep(crashAt, [&] { return run("n:\\setup.exe", "/quiet /nodesktop" + args); });
    };
    const long steps = changingSteps([&] { return quiet(0, ""); });
    ASSERT_GT(steps, 40) << "folders, journal, sixteen files, record";
    // Every plain file is on the disk before the record names the installation (the archives'
    // entries are flushed before their archive counts as copied).
    clearVeylaInstallation();
    std::vector<std::string> noted = notedSteps([&] { return quiet(0, ""); });
    auto recorded = std::find(noted.begin(), noted.end(), "recorded " + installDir);
    ASSERT_NE(recorded, noted.end());
    for (const char* const* n = veylaFiles(); *n; ++n)
        EXPECT_NE(std::find(noted.begin(), recorded, "flushed " + installDir + "\\" + *n), recorded) << *n;
    clearVeylaInstallation();
    for (long k = 1; k <= steps; ++k) {
        clearVeylaInstallation();
        kit::removeTree(other);
        ASSERT_EQ(quiet(k, ""), 99) << "ended at step " << k;
        bool placed = kit::fileExists(installDir);
        long next = quiet(0, " /log=z:\\next.log /dir=" + other);
        std::string value;
        if (next == 3) {
            for (const char* const* n = veylaFiles(); *n; ++n)
                EXPECT_TRUE(kit::fileExists(installDir + "\\" + *n)) << k << *n;
        } else {
            EXPECT_EQ(next, 0) << "step " << k;
            EXPECT_FALSE(kit::fileExists("c:\\TesmafromKuvel")) << "step " << k << ": what it placed stays";
            EXPECT_TRUE(!placed || logOf("next.log").find("interrupted installation in " + installDir + ": removed") !=
                                       std::string::npos)
                << "step " << k;
            EXPECT_TRUE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaRecordKey, "Dir", value) &&
                        strcmp(value.c_str(), (other + "\\TesmafromKuvel\\Veyla").c_str()) == 0)
                << "step " << k << ": then installed afresh";
        }
        EXPECT_FALSE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE,
                                            (std::string(veylaRecordKey) + " (installation)").c_str(), "Dir", value))
            << "step " << k << ": the journal is gone";
        if (HasFailure()) break;
    }
    kit::removeTree(other);
}

// setup.exe /repair: the check and the repair with no window, and the code each end gives.
TEST_F(Unattended, RepairChecksAndMendsTheGameAndEndsWithItsCode)
{
    const std::string setup = "n:\\setup.exe";
    EXPECT_EQ(run(setup, "/repair /log=z:\\repair-none.log"), 3) << "not installed";
    ASSERT_EQ(run(setup, "/quiet"), 0);
    bool seen = true;
    EXPECT_EQ(run(setup, "/repair /log=z:\\repair-right.log", &seen), 0);
    EXPECT_FALSE(seen) << "no window";
    EXPECT_NE(logOf("repair-right.log").find("checked 16 files: all right"), std::string::npos);

    auto damage = [] {
        kit::writeFile(installDir + "\\data.tpk", "damaged");
        EXPECT_TRUE(DeleteFileA((installDir + "\\readme.txt").c_str()));
    };
    auto repaired = [](const char* name) {
        std::string bytes;
        return kit::readFile(installDir + "\\" + name, bytes) && bytes == veylaFileBytes(name);
    };
    damage();
    EXPECT_EQ(run(setup, "/repair /log=z:\\repair-made.log"), 0);
    std::string log = logOf("repair-made.log");
    for (const char* name : {"data.tpk", "readme.txt"}) {
        EXPECT_NE(log.find(std::string("damaged: ") + name), std::string::npos) << log;
        EXPECT_NE(log.find("repaired " + installDir + "\\" + name), std::string::npos) << log;
        EXPECT_TRUE(repaired(name)) << name;
    }

    // The medium in no drive: nothing is judged without it, nothing changes.
    damage();
    kit::emptyDrive('n');
    EXPECT_EQ(run(kit::binPath("setup.exe"), "/repair"), 4);
    EXPECT_FALSE(repaired("data.tpk"));

    // Held by the running game: nothing changes.
    ASSERT_TRUE(layOutVeyla(kit::driveRoot('n')));
    kit::Process game;
    ASSERT_TRUE(startGame(game, installDir));
    EXPECT_EQ(run(setup, "/repair /log=z:\\repair-held.log"), 6);
    endGame(game);
    EXPECT_FALSE(repaired("data.tpk")) << "all or nothing";

    // A file only the update held stays as it is and is named; the rest is repaired.
    std::string update = kit::freshFolder("update");
    ASSERT_TRUE(kit::makeFolders(update + "\\Veyla") &&
                kit::copyFile(kit::binPath("update.exe"), update + "\\update.exe"));
    ASSERT_TRUE(kit::writeFile(update + "\\Veyla\\update1.tpk", "the update's"));
    ASSERT_EQ(run(update + "\\update.exe", "/quiet"), 0);
    ASSERT_TRUE(kit::writeFile(installDir + "\\update1.tpk", "damaged"));
    EXPECT_EQ(run(setup, "/repair /log=z:\\repair-update.log"), 6);
    EXPECT_NE(logOf("repair-update.log").find("not repaired, the update's file: update1.tpk"), std::string::npos);
    std::string bytes;
    EXPECT_TRUE(kit::readFile(installDir + "\\update1.tpk", bytes) && bytes == "damaged");
    EXPECT_TRUE(repaired("data.tpk") && repaired("readme.txt"));
    std::string probe;
    kit::readFile(kit::binPath("..\\tests\\probe.exe"), probe);
    EXPECT_TRUE(kit::readFile(installDir + "\\Veyla.exe", bytes) && bytes == probe) << "the game the disc holds";
}

// Ended at each of its changing steps, as a power cut would end it, a repair leaves every damaged
// file as it was or every one repaired once the next start has read its journal.
TEST_F(Unattended, ARepairEndedAtEveryStepLeavesTheFilesOldOrNew)
{
    ASSERT_TRUE(layOutVeyla(kit::driveRoot('n'), "..\\tests\\setup_crash.exe"));
    const char* const names[] = {"data.tpk", "readme.txt", "tncfg.dat"};
    auto reset = [&] {
        fakeInstallation("n:\\Veyla", installDir);
        for (const char* name : names) kit::writeFile(installDir + "\\" + name, "damaged");
    };
    auto repair = [&](long crashAt) {
        return runEndingAtStep(crashAt, [&] { return run("n:\\setup.exe", "/repair"); });
    };
    reset();
    const long steps = changingSteps([&] { return repair(0); });
    ASSERT_GT(steps, 12) << "journal, three new files, three replacements";
    reset();
    std::vector<std::string> noted = notedSteps([&] { return repair(0); });
    int renames = 0;
    for (size_t i = 0; i < noted.size(); ++i) {
        if (noted[i].compare(0, 8, "renamed ") != 0) continue;
        ++renames;
        EXPECT_NE(std::find(noted.begin(), noted.begin() + i, "flushed " + noted[i].substr(8)), noted.begin() + i)
            << "on the disk before it takes the name: " << noted[i];
    }
    EXPECT_EQ(renames, 3);
    for (long k = 1; k <= steps; ++k) {
        reset();
        ASSERT_EQ(repair(k), 99) << "ended at step " << k;
        ASSERT_EQ(run("n:\\setup.exe", "/quiet"), 3) << "the next start, step " << k;
        int right = 0;
        for (const char* name : names) {
            std::string bytes;
            ASSERT_TRUE(kit::readFile(installDir + "\\" + name, bytes)) << k << name;
            EXPECT_TRUE(bytes == "damaged" || bytes == veylaFileBytes(name)) << k << name;
            right += bytes == veylaFileBytes(name);
        }
        EXPECT_TRUE(right == 0 || right == 3) << "step " << k << ": a mix of old and repaired files";
        EXPECT_EQ(temporaryLeft(installDir), "") << "step " << k;
        if (HasFailure()) break;
    }
}

TEST_F(Unattended, InteractiveInstallationWritesTheLogToo)
{
    kit::Process process;
    HWND launcher = installFromDriveN(process, "/log=z:\\interactive.log");
    ASSERT_NE(launcher, nullptr);
    ASSERT_TRUE(kit::waitUntil([&] { return kit::itemText(launcher, 1000) == L"インストール"; }, 20000));
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
    std::string log = logOf("interactive.log");
    EXPECT_NE(log.find(kit::utf8(L"message (確認): デスクトップにショートカットを作成しますか？ -> No")),
              std::string::npos);
    EXPECT_NE(log.find(kit::utf8(L"file " + kit::ansiToWide(installDir) + L"\\readme.txt, ")), std::string::npos);
    EXPECT_EQ(log.substr(log.size() - 13), "exit code 0\r\n");
}

}  // namespace
