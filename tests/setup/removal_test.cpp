// Removal for real: the launcher's uninstall with every answer, the installed uninstaller running
// from its temporary copy, and the special uninstaller for the two earlier products.
#include "driver.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>

#include "launcher_buttons.h"
#include "veyla_medium.h"

namespace {

const std::string installDir = "c:\\TesmafromKuvel\\Veyla";

class Removal : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit::emptyAllDrives();
        clearVeylaInstallation();
        appData = specialFolder(CSIDL_APPDATA) + "\\TesmafromKuvel";
        kit::removeTree(appData);
        ASSERT_TRUE(layOutVeyla(kit::driveRoot('n')));
    }
    void TearDown() override
    {
        clearVeylaInstallation();
        kit::removeTree(appData);
        kit::emptyAllDrives();
    }
    // Save data in both places, and files with numbers beyond the ranges.
    void saveData()
    {
        std::string base = appData + "\\Veyla";
        kit::makeFolders(base + "\\ss");
        kit::makeFolders(installDir + "\\save\\ss");
        for (const std::string& f :
             {base + "\\savedata.000", base + "\\savedata999.bmp", base + "\\ss\\SS_123.bmp",
              installDir + "\\save\\savedata.010", installDir + "\\save\\ss\\SS_999.bmp",
              installDir + "\\save\\save00999.sd", installDir + "\\save\\gsd.sd", installDir + "\\save\\kidoku.sd"})
            kit::writeFile(f, "save");
    }
    HWND open()
    {
        if (!kit::start(process, "n:\\setup.exe")) return nullptr;
        return kit::waitWindow(process.pid, L"#32770", L"Veyla Setup", 20000);
    }
    kit::MessageBoxView answerBox(int button)
    {
        kit::MessageBoxView box;
        EXPECT_TRUE(kit::waitMessageBox(process.pid, box, 30000));
        kit::answer(box, button);
        return box;
    }
    bool recordExists()
    {
        std::string v;
        return kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaRecordKey, "Dir", v);
    }
    // Where path stands in the list of files Windows deletes at the next restart (-1: not there).
    static int restartPosition(const std::string& path)
    {
        std::string pending;
        kit::readRegistryBytes(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                               "PendingFileRenameOperations", pending);
        int index = 0;  // ANSI strings, each ended by a zero byte
        for (size_t at = 0; at < pending.size(); at += strlen(pending.c_str() + at) + 1, ++index)
            if (_stricmp(pending.c_str() + at, ("\\??\\" + path).c_str()) == 0) return index;
        return -1;
    }
    // The restart list as Windows keeps it, in UTF-16 (empty when there is none); set to an empty
    // text, it is deleted.
    static std::wstring pendingWide()
    {
        HKEY key;
        std::wstring names;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, sessionManager, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return names;
        DWORD type = 0, size = 0;
        if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
            names.resize(size / sizeof(WCHAR));
            if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, (BYTE*)&names[0], &size) !=
                ERROR_SUCCESS)
                names.clear();
        }
        RegCloseKey(key);
        return names;
    }
    static bool setPendingWide(const std::wstring& names)
    {
        HKEY key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, sessionManager, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return false;
        LONG status = names.empty() ? RegDeleteValueW(key, L"PendingFileRenameOperations")
                                    : RegSetValueExW(key, L"PendingFileRenameOperations", 0, REG_MULTI_SZ,
                                                     (const BYTE*)names.data(), (DWORD)(names.size() * sizeof(WCHAR)));
        RegCloseKey(key);
        return status == ERROR_SUCCESS || (names.empty() && status == ERROR_FILE_NOT_FOUND);
    }
    static constexpr const wchar_t* sessionManager = L"System\\CurrentControlSet\\Control\\Session Manager";
    bool entryExists()
    {
        std::string v;
        return kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaEntryKey, "DisplayName", v);
    }
    std::string appData;
    kit::Process process;
};

TEST_F(Removal, NoToTheFirstQuestionTouchesNothing)
{
    fakeInstallation("n:\\Veyla");
    fakeLinks(installDir);
    HWND launcher = open();
    ASSERT_NE(launcher, nullptr);
    kit::click(launcher, 1014);
    kit::MessageBoxView box = answerBox(IDNO);
    EXPECT_EQ(box.caption, L"確認");
    EXPECT_EQ(box.text, L"Veyla のアンインストールを開始します。\n開始してもよろしいですか？");
    EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_TRUE(box.hasIcon);
    EXPECT_TRUE(kit::itemEnabled(launcher, 1014)) << "still installed";
    EXPECT_TRUE(kit::fileExists(installDir + "\\data.tpk"));
    EXPECT_TRUE(kit::fileExists(specialFolder(CSIDL_COMMON_PROGRAMS) + "\\TesmafromKuvel\\Veyla\\README.lnk"));
    EXPECT_TRUE(recordExists());
    EXPECT_TRUE(entryExists());
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
}

TEST_F(Removal, KeepingTheSaveDataKeepsItAndTheInstallationFolder)
{
    fakeInstallation("n:\\Veyla");
    fakeLinks(installDir);
    saveData();
    SetFileAttributesA((installDir + "\\data.tpk").c_str(), FILE_ATTRIBUTE_READONLY);
    HWND launcher = open();
    ASSERT_NE(launcher, nullptr);
    kit::click(launcher, 1014);
    answerBox(IDYES);
    kit::MessageBoxView box = answerBox(IDNO);
    EXPECT_EQ(box.text, L"セーブデータを削除してもよろしいですか？");
    box = answerBox(IDOK);
    EXPECT_EQ(box.caption, L"終了");
    EXPECT_EQ(box.text, L"アンインストールが完了しました。");
    EXPECT_TRUE(waitEnabling(launcher, notInstalledButtons)) << enabling(launcher);
    for (const char* const* n = veylaFiles(); *n; ++n) EXPECT_FALSE(kit::fileExists(installDir + "\\" + *n)) << *n;
    EXPECT_FALSE(kit::fileExists(installDir + "\\data.tpk")) << "a read-only product file is removed too";
    EXPECT_TRUE(kit::fileExists(installDir + "\\save\\gsd.sd"));
    EXPECT_TRUE(kit::fileExists(appData + "\\Veyla\\savedata.000"));
    EXPECT_TRUE(kit::fileExists(installDir)) << "its save folder keeps the installation folder";
    EXPECT_FALSE(kit::fileExists(specialFolder(CSIDL_COMMON_PROGRAMS) + "\\TesmafromKuvel"));
    EXPECT_FALSE(kit::fileExists(specialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\Veyla.lnk"));
    EXPECT_FALSE(recordExists());
    EXPECT_FALSE(entryExists()) << "the installed-programs entry goes with the record";
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\TesmafromKuvel", 0, KEY_READ, &key), 0)
        << "publisher key stays";
    RegCloseKey(key);
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
}

TEST_F(Removal, DeletingTheSaveDataRemovesTheFoldersButNotNumbersBeyondTheRanges)
{
    fakeInstallation("n:\\Veyla");
    fakeLinks(installDir);
    saveData();
    kit::writeFile(appData + "\\Veyla\\savedata.1000", "beyond");
    HWND launcher = open();
    ASSERT_NE(launcher, nullptr);
    kit::click(launcher, 1014);
    answerBox(IDYES);
    answerBox(IDYES);
    kit::MessageBoxView box = answerBox(IDOK);
    EXPECT_EQ(box.text, L"アンインストールが完了しました。");
    EXPECT_FALSE(kit::fileExists(installDir)) << "installation folder removed";
    EXPECT_FALSE(kit::fileExists("c:\\TesmafromKuvel")) << "and the publisher folder";
    EXPECT_FALSE(kit::fileExists(appData + "\\Veyla\\savedata.000"));
    EXPECT_FALSE(kit::fileExists(appData + "\\Veyla\\savedata999.bmp"));
    EXPECT_FALSE(kit::fileExists(appData + "\\Veyla\\ss\\SS_123.bmp"));
    EXPECT_TRUE(kit::fileExists(appData + "\\Veyla\\savedata.1000")) << "1000 is beyond the range";
    EXPECT_TRUE(kit::fileExists(appData + "\\Veyla\\ss")) << "the removal names save\\ss, so ss under the base stays";
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
}

TEST_F(Removal, WithoutARecordTheUninstallFailsAtTheRecordWithoutTheCompletionMessage)
{
    std::string dir = fakeInstallation("n:\\Veyla");
    kit::deleteRegistryTree(HKEY_LOCAL_MACHINE, veylaRecordKey);
    ASSERT_TRUE(kit::start(process, kit::binPath("uninst.exe"), "/r"));
    answerBox(IDYES);
    answerBox(IDYES);
    EXPECT_EQ(kit::waitExit(process, 20000), 0);
    kit::MessageBoxView box;
    EXPECT_FALSE(kit::waitMessageBox(process.pid, box, 200));
}

TEST_F(Removal, InstalledUninstallerRunsFromATemporaryCopyAndRemovesEverything)
{
    fakeInstallation("n:\\Veyla");
    fakeLinks(installDir);
    ASSERT_TRUE(kit::copyFile(kit::binPath("uninst.exe"), installDir + "\\uninst.exe"));
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    // Another user's file where the copy once went: it is neither replaced nor started.
    std::string planted = std::string(temp) + "uninst.exe";
    ASSERT_TRUE(kit::writeFile(planted, "planted"));
    kit::Process game;
    ASSERT_TRUE(startGame(game));
    ASSERT_TRUE(kit::start(process, installDir + "\\uninst.exe"));
    EXPECT_EQ(kit::waitExit(process, 20000), 0) << "the installed uninstaller ends at once";
    kit::MessageBoxView box;
    ASSERT_TRUE(kit::waitMessageBox(0, box, 30000)) << "the temporary copy asks";
    EXPECT_EQ(box.text, L"Veyla のアンインストールを開始します。\n開始してもよろしいですか？");
    DWORD copyPid = 0;
    GetWindowThreadProcessId(box.window, &copyPid);
    EXPECT_NE(copyPid, process.pid);
    std::string copy = kit::processImage(copyPid);
    kit::answer(box, IDYES);
    // The game runs: nothing is removed until it has ended and the player retries.
    ASSERT_TRUE(kit::waitMessageBox(copyPid, box, 30000));
    EXPECT_EQ(box.text, gameInUseText(installDir));
    EXPECT_TRUE(recordExists() && kit::fileExists(installDir + "\\data.tpk"));
    endGame(game);
    kit::answer(box, IDRETRY);
    ASSERT_TRUE(kit::answerNext(copyPid, IDYES, 30000));
    ASSERT_TRUE(kit::waitMessageBox(copyPid, box, 30000));
    EXPECT_EQ(box.text, L"アンインストールが完了しました。");
    kit::answer(box, IDOK);
    // The copy runs from a new folder of its own in the temporary folder, under its own name.
    std::string folder = copy.substr(0, copy.rfind('\\'));
    EXPECT_EQ(_strnicmp(copy.c_str(), temp, strlen(temp)), 0) << copy;
    EXPECT_EQ(folder.find('\\', strlen(temp)), std::string::npos) << copy;
    EXPECT_EQ(copy.substr(folder.size()), "\\uninst.exe");
    std::string bytes;
    EXPECT_TRUE(kit::readFile(planted, bytes) && bytes == "planted");
    DeleteFileA(planted.c_str());
    EXPECT_FALSE(kit::fileExists(installDir + "\\uninst.exe")) << "the installed uninstaller is removed too";
    EXPECT_FALSE(kit::fileExists(installDir));
    EXPECT_FALSE(recordExists());
    EXPECT_GE(restartPosition(copy), 0) << "the copy is scheduled for removal at restart";
    EXPECT_GT(restartPosition(folder), restartPosition(copy)) << "and its folder after it";
}

TEST_F(Removal, QuietRemovalEndsWithTheCopysCode)
{
    fakeInstallation("n:\\Veyla");
    ASSERT_TRUE(kit::copyFile(kit::binPath("uninst.exe"), installDir + "\\uninst.exe"));
    std::string log = kit::scratchPath("remove.log");
    DeleteFileA(log.c_str());
    // The game runs: 6, nothing changed, and the log says why, line by line.
    kit::Process game;
    ASSERT_TRUE(startGame(game));
    ASSERT_TRUE(kit::start(process, installDir + "\\uninst.exe", "/quiet /log=" + log));
    EXPECT_EQ(kit::waitExit(process, 60000), 6) << "the copy's result reaches the uninstaller that waits";
    endGame(game);
    EXPECT_TRUE(recordExists() && entryExists() && kit::fileExists(installDir + "\\uninst.exe"));
    std::string bytes;
    ASSERT_TRUE(kit::readFile(log, bytes));
    std::vector<std::string> lines;  // without the time of each
    for (size_t at = 0, end; (end = bytes.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(bytes.substr(at + 20, end - at - 20));
    std::string held = installDir + "\\Veyla.exe";
    const std::string copysLines[] = {
        "uninst.exe 1.0.1.1, command line: /r /parent=",
        kit::utf8(L"message (確認): Veyla のアンインストールを開始します。 開始してもよろしいですか？ -> Yes"),
        "in use: " + held,
        kit::utf8(L"message (確認): " + kit::ansiToWide(held) +
                  L" は使用中です。 ゲームや設定ツールを終了してから［再試行］を押してください。 -> Cancel"),
        "exit code 6"};
    ASSERT_GE(lines.size(), 7u) << bytes;
    EXPECT_EQ(lines[0].rfind("uninst.exe 1.0.1.1, command line: /quiet /log=" + log + ", Windows ", 0), 0u);
    size_t next = 1;
    for (const std::string& expected : copysLines) {
        while (next < lines.size() && lines[next].rfind(expected, 0) != 0) ++next;
        EXPECT_LT(next, lines.size()) << "the copy's lines in order: " << expected;
    }
    EXPECT_EQ(lines.back(), "exit code 6");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.rfind("removal handed to ", 0) == 0; }),
              1);

    // A key below the record: the record cannot be deleted, so the removal fails.
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(veylaRecordKey) + "\\kept").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              0);
    RegCloseKey(key);
    ASSERT_TRUE(kit::start(process, installDir + "\\uninst.exe", "/quiet"));
    EXPECT_EQ(kit::waitExit(process, 60000), 6);
    EXPECT_TRUE(entryExists()) << "a record that stays keeps the game listed";

    // A product file that cannot be deleted (a folder holds its name): removed at restart, 3010.
    kit::deleteRegistryTree(HKEY_LOCAL_MACHINE, veylaRecordKey);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_SET_VALUE,
                            &key),
              0);
    RegDeleteValueA(key, "PendingFileRenameOperations");
    RegCloseKey(key);
    fakeInstallation("n:\\Veyla");
    ASSERT_TRUE(kit::copyFile(kit::binPath("uninst.exe"), installDir + "\\uninst.exe"));
    DeleteFileA((installDir + "\\readme.txt").c_str());
    ASSERT_TRUE(kit::makeFolders(installDir + "\\readme.txt") && kit::writeFile(installDir + "\\readme.txt\\x", "x"));
    ASSERT_TRUE(kit::start(process, installDir + "\\uninst.exe", "/quiet"));
    EXPECT_EQ(kit::waitExit(process, 60000), 3010);
    EXPECT_FALSE(recordExists() || entryExists());
    EXPECT_GE(restartPosition(installDir + "\\readme.txt"), 0);
    EXPECT_GT(restartPosition(installDir), restartPosition(installDir + "\\readme.txt")) << "then its folder";
    EXPECT_GT(restartPosition("c:\\TesmafromKuvel"), restartPosition(installDir));

    // An installation before the restart takes those deletions back: the restart would delete it.
    // Another program's rename and deletion around them, in letters the system's code page lacks,
    // stay exactly as they were, in their order.
    const std::wstring before = L"\\??\\C:\\M\u00fcller\\\u20acuro.tmp" + std::wstring(1, L'\0') +
                                L"\\??\\C:\\M\u00fcller\\\u20acuro.dat" + std::wstring(1, L'\0'),
                       after = L"\\??\\C:\\M\u00fcller\\\u0141\u00f3d\u017a.tmp" + std::wstring(2, L'\0');
    std::wstring ours = pendingWide();
    ASSERT_FALSE(ours.empty());
    ASSERT_TRUE(setPendingWide(before + ours.substr(0, ours.size() - 1) + after));
    ASSERT_TRUE(kit::removeTree(installDir + "\\readme.txt"));
    ASSERT_TRUE(layOutVeyla(kit::driveRoot('n')));
    ASSERT_TRUE(kit::start(process, "n:\\setup.exe", "/quiet /nodesktop"));
    EXPECT_EQ(kit::waitExit(process, 60000), 0);
    for (const std::string& path : {installDir + "\\readme.txt", installDir, std::string("c:\\TesmafromKuvel")})
        EXPECT_LT(restartPosition(path), 0) << path;
    // What stays of the list: the other program's pairs and those of the uninstaller's temporary
    // copy, in their order; the game's deletions are gone.
    const wchar_t* const gamePrefix = L"\\??\\c:\\TesmafromKuvel";
    std::wstring others;
    for (size_t at = 0; at + 1 < ours.size() && ours[at];) {
        size_t target = ours.find(L'\0', at) + 1, next = ours.find(L'\0', target) + 1;
        if (_wcsnicmp(ours.c_str() + at, gamePrefix, wcslen(gamePrefix)) != 0) others += ours.substr(at, next - at);
        at = next;
    }
    EXPECT_TRUE(pendingWide() == before + others + after + std::wstring(1, L'\0'))
        << "the other programs' entries, unchanged";
    ASSERT_TRUE(setPendingWide(L""));

    // Where nothing can be scheduled (the restart list refuses this run), a file that stays is a
    // removal that did not finish: 6, and the game stays installed and listed.
    ASSERT_TRUE(kit::copyFile(kit::binPath("uninst.exe"), installDir + "\\uninst.exe"));
    ASSERT_TRUE(kit::makeFolders(installDir + "\\update9.tpk.d") &&
                DeleteFileA((installDir + "\\update9.tpk").c_str()) &&
                MoveFileA((installDir + "\\update9.tpk.d").c_str(), (installDir + "\\update9.tpk").c_str()) &&
                kit::writeFile(installDir + "\\update9.tpk\\x", "x"));
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0,
                            READ_CONTROL | WRITE_DAC, &key),
              0);
    DWORD kept[512], size = sizeof kept;
    ASSERT_EQ(RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, kept, &size), 0);
    SECURITY_DESCRIPTOR refusing;
    DWORD everyone[3] = {0x101, 0x1000000, 0}, acl[32];  // S-1-1-0
    ASSERT_TRUE(InitializeAcl((PACL)acl, sizeof acl, ACL_REVISION) &&
                AddAccessAllowedAce((PACL)acl, ACL_REVISION, KEY_READ | WRITE_DAC, everyone) &&
                InitializeSecurityDescriptor(&refusing, SECURITY_DESCRIPTOR_REVISION) &&
                SetSecurityDescriptorDacl(&refusing, TRUE, (PACL)acl, FALSE));
    ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &refusing), 0);
    bool started = kit::start(process, installDir + "\\uninst.exe", "/quiet");
    long code = started ? kit::waitExit(process, 60000) : -2;
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, kept), 0);
    RegCloseKey(key);
    EXPECT_EQ(code, 6) << "not 3010: nothing was scheduled";
    EXPECT_TRUE(recordExists() && entryExists());
    EXPECT_LT(restartPosition(installDir + "\\update9.tpk"), 0);

    // The installed uninstaller held by another program: the quiet removal says 3010 for it.
    ASSERT_TRUE(kit::removeTree(installDir + "\\update9.tpk"));
    HANDLE holder = CreateFileA((installDir + "\\uninst.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(kit::start(process, installDir + "\\uninst.exe", "/quiet"));
    EXPECT_EQ(kit::waitExit(process, 60000), 3010);
    CloseHandle(holder);
    EXPECT_GE(restartPosition(installDir + "\\uninst.exe"), 0);
}

// The installed uninstaller started with a command line it does not understand (/S, as tools pass
// it) removes the game itself, asking as always, and leaves its own file to the restart.
TEST_F(Removal, TheInstalledUninstallerRemovesWhateverItsCommandLine)
{
    fakeInstallation("n:\\Veyla");
    ASSERT_TRUE(kit::copyFile(kit::binPath("uninst.exe"), installDir + "\\uninst.exe"));
    ASSERT_TRUE(kit::start(process, installDir + "\\uninst.exe", "/S"));
    kit::MessageBoxView box = answerBox(IDYES);
    EXPECT_EQ(box.text, L"Veyla のアンインストールを開始します。\n開始してもよろしいですか？");
    box = answerBox(IDNO);
    EXPECT_EQ(box.text, L"セーブデータを削除してもよろしいですか？") << "not asked about uninst.exe in use";
    box = answerBox(IDOK);
    EXPECT_EQ(box.text, L"アンインストールが完了しました。\n一部のファイルは再起動後に削除されます。");
    EXPECT_EQ(kit::waitExit(process, 30000), 0);
    EXPECT_FALSE(recordExists() || entryExists());
    EXPECT_FALSE(kit::fileExists(installDir + "\\data.tpk"));
    EXPECT_GE(restartPosition(installDir + "\\uninst.exe"), 0);
}

// The special uninstaller's earlier products: README links whose working folders hold left-overs.
class Special : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit::deleteRegistryTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\KUVEL");
        programs = specialFolder(CSIDL_COMMON_PROGRAMS) + "\\Kuvel";
        kit::removeTree(programs);
        root = kit::freshFolder("earlier");
    }
    void TearDown() override
    {
        kit::deleteRegistryTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\KUVEL");
        kit::removeTree(programs);
    }
    std::string leftovers(const std::string& folder, const char* exe)
    {
        std::string dir = root + "\\Kuvel\\" + folder;
        kit::makeFolders(dir + "\\movie");
        kit::writeFile(dir + "\\" + exe, "game");
        kit::writeFile(dir + "\\data.tpk", "data");
        return dir;
    }
    void link(const std::string& group, const std::string& dir)
    {
        kit::makeFolders(programs + "\\" + group);
        ASSERT_TRUE(writeLink(programs + "\\" + group + "\\README.lnk", dir + "\\readme.txt", dir));
    }
    void record(const char* key, bool complete)
    {
        HKEY handle;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr);
        RegSetValueExA(handle, "Dir", 0, REG_SZ, (const BYTE*)"c:\\x", 5);
        if (complete) {
            RegSetValueExA(handle, "CD", 0, REG_SZ, (const BYTE*)"d:\\x", 5);
            DWORD zero = 0;
            RegSetValueExA(handle, "InstType", 0, REG_DWORD, (const BYTE*)&zero, 4);
        }
        RegCloseKey(handle);
    }
    HWND open()
    {
        if (!kit::start(process, kit::binPath("exuninst.exe"))) return nullptr;
        return kit::waitWindow(process.pid, L"#32770", L"特殊アンインストーラー", 20000);
    }
    // Answers one product's removal: both questions yes, then the completion message.
    std::wstring removeOne()
    {
        kit::MessageBoxView box;
        if (!kit::waitMessageBox(process.pid, box, 30000)) return L"";
        std::wstring question = box.text;
        kit::answer(box, IDYES);
        kit::answerNext(process.pid, IDYES, 30000);
        kit::answerNext(process.pid, IDOK, 30000, &box);
        return question + L"|" + box.text;
    }
    std::string programs, root;
    kit::Process process;
};

TEST_F(Special, BothProductsWithoutRecordsAreRemovedSerapineFirst)
{
    std::string serapine = leftovers("Serapine", "Serapine.exe");
    std::string halvorn = leftovers("HALVORN", "halvorn.exe");
    link("Serapine「Quorrel」", serapine);
    link("Halvorn", halvorn);
    HWND dialog = open();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(kit::itemText(dialog, 1), L"開始");
    kit::click(dialog, 1);
    EXPECT_EQ(
        removeOne(),
        L"Serapine「Quorrel」 のアンインストールを開始します。\n開始してもよろしいですか？|アンインストールが完了しました。");
    EXPECT_EQ(removeOne(),
              L"Halvorn のアンインストールを開始します。\n開始してもよろしいですか？|アンインストールが完了しました。");
    EXPECT_TRUE(kit::waitUntil([&] { return !kit::fileExists(halvorn); }, 10000));
    EXPECT_FALSE(kit::fileExists(serapine));
    EXPECT_FALSE(kit::fileExists(root + "\\Kuvel")) << "the folder above each product goes when empty";
    EXPECT_FALSE(kit::fileExists(programs + "\\Halvorn\\README.lnk"));
    EXPECT_FALSE(kit::fileExists(programs + "\\Serapine「Quorrel」\\README.lnk"));
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog stays open";
    // A second press finds no links and does nothing.
    kit::click(dialog, 1);
    kit::MessageBoxView box;
    EXPECT_FALSE(kit::waitMessageBox(process.pid, box, 1000));
    kit::click(dialog, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
}

TEST_F(Special, ACompleteRecordOfHalvornStopsEverything)
{
    std::string serapine = leftovers("Serapine", "Serapine.exe");
    link("Serapine「Quorrel」", serapine);
    record("SOFTWARE\\KUVEL\\Halvorn", true);
    HWND dialog = open();
    ASSERT_NE(dialog, nullptr);
    kit::click(dialog, 1);
    kit::MessageBoxView box;
    ASSERT_TRUE(kit::waitMessageBox(process.pid, box, 20000));
    EXPECT_EQ(box.caption, L"確認");
    EXPECT_EQ(box.text, L"インストール情報がありました。このまま処理を終了します。");
    EXPECT_FALSE(box.hasIcon);
    kit::answer(box, IDOK);
    EXPECT_TRUE(kit::fileExists(serapine + "\\Serapine.exe")) << "product 2's left-overs stay";
    kit::click(dialog, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
}

TEST_F(Special, SerapineWithACompleteRecordIsSkippedAndAnIncompleteHalvornRecordGoesOn)
{
    std::string serapine = leftovers("Serapine", "Serapine.exe");
    std::string halvorn = leftovers("HALVORN", "halvorn.exe");
    link("Serapine「Quorrel」", serapine);
    link("Halvorn", halvorn);
    record("SOFTWARE\\KUVEL\\Serapine", true);
    record("SOFTWARE\\KUVEL\\Halvorn", false);
    HWND dialog = open();
    ASSERT_NE(dialog, nullptr);
    kit::click(dialog, 1);
    EXPECT_EQ(removeOne(),
              L"Halvorn のアンインストールを開始します。\n開始してもよろしいですか？|アンインストールが完了しました。");
    EXPECT_TRUE(kit::fileExists(serapine + "\\Serapine.exe"));
    EXPECT_FALSE(kit::fileExists(halvorn + "\\halvorn.exe"));
    std::string v;
    EXPECT_TRUE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, "SOFTWARE\\KUVEL\\Halvorn", "Dir", v))
        << "no record is deleted";
    kit::click(dialog, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);
}

}  // namespace
