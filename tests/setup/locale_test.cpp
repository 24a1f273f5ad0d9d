// The Japanese interface on any system code page. CTest runs this program on the bench's Japanese
// locale (code page 932), on C.UTF-8 (code page 1252) and on ru_RU.UTF-8 (code page 1251): what the
// user reads must be the same Japanese on each, what is stored the same bytes, and a folder named in
// the system's own letters must install, read right and be removed.
#include "driver.h"

#include <algorithm>

#include <gtest/gtest.h>
#include <shlobj.h>

#include "launcher_buttons.h"
#include "veyla_medium.h"

namespace {

// A base folder named in letters of the system's code page, as its bytes and as the user reads it:
// on 932 with a second byte 0x5C (ソ), on 1252 an accented letter ("Café"), on 1251 Cyrillic
// letters ("Мир"); on the last two the letter before the backslash is a code page 932 lead byte.
struct LocaleFolder {
    UINT codePage;
    const char* locale;
    const char* base;
    const wchar_t* shown;
};
const LocaleFolder localeFolders[] = {{932, "ja_JP.UTF-8", "c:\\ソフト", L"c:\\ソフト"},
                                      {1252, "C.UTF-8", "c:\\Caf\xE9", L"c:\\Caf\u00E9"},
                                      {1251, "ru_RU.UTF-8", "c:\\\xCC\xE8\xF0", L"c:\\\u041C\u0438\u0440"}};

const LocaleFolder& localeFolder()
{
    const char* locale = getenv("KIT_LOCALE");
    for (const LocaleFolder& f : localeFolders)
        if (locale && strcmp(locale, f.locale) == 0) return f;
    return localeFolders[0];
}

// The names in a folder as the shell shows them.
std::vector<std::wstring> namesIn(const std::string& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((kit::ansiToWide(folder) + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0) names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

struct TextSearch {
    const std::wstring* text;
    bool found;
};

BOOL CALLBACK matchText(HWND child, LPARAM data)
{
    TextSearch* search = (TextSearch*)data;
    if (kit::text(child) == *search->text) search->found = true;
    return !search->found;
}

// True when a control of the window shows that text.
bool showsText(HWND window, const std::wstring& text)
{
    TextSearch search = {&text, false};
    EnumChildWindows(window, matchText, (LPARAM)&search);
    return search.found;
}

class Locale : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The bench runs this program on the locale CTest names, and the programs it starts with it.
        ASSERT_EQ(GetACP(), localeFolder().codePage) << localeFolder().locale;
        kit::emptyAllDrives();
        clearVeylaInstallation();
        kit::removeTree(localeFolder().base);
        ASSERT_TRUE(layOutVeyla(kit::driveRoot('n')));
    }
    void TearDown() override
    {
        if (process.handle && kit::waitExit(process, 0) < 0) kit::terminate(process);
        kit::setWindowsVersion("tunewell.exe", nullptr);
        clearVeylaInstallation();
        kit::removeTree(localeFolder().base);
        kit::emptyAllDrives();
    }
    HWND openLauncher()
    {
        if (!kit::start(process, "n:\\setup.exe")) return nullptr;
        return kit::waitWindow(process.pid, L"#32770", L"Veyla Setup", 20000);
    }
    kit::MessageBoxView nextBox(DWORD pid)
    {
        kit::MessageBoxView box;
        EXPECT_TRUE(kit::waitMessageBox(pid, box, 60000));
        return box;
    }
    kit::Process process;
};

TEST_F(Locale, EveryRoleShowsItsJapanese)
{
    HWND launcher = openLauncher();
    ASSERT_NE(launcher, nullptr);
    const struct {
        int id;
        const wchar_t* text;
    } launcherTexts[] = {{1003, L"インストール先の参照"}, {1000, L"インストール"},
                         {1001, L"ゲームスタート"},       {1006, L"READMEを読む"},
                         {1014, L"アンインストール"},     {1020, L"オンラインマニュアルを読む"},
                         {1022, L"ホームページを開く"},   {1025, L"データチェック"},
                         {2, L"セットアップの終了"},      {1004, L"c:\\TesmafromKuvel\\Veyla"}};
    for (const auto& expected : launcherTexts)
        EXPECT_EQ(kit::itemText(launcher, expected.id), expected.text) << expected.id;
    kit::click(launcher, 1000);
    HWND notice = kit::waitOtherDialog(process.pid, launcher, 20000);
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(kit::text(notice), L"確認");
    std::wstring noticeText = kit::itemText(notice, 1028), end = L"詳しくは『Readme.txt』参照。";
    ASSERT_GT(noticeText.size(), end.size());
    EXPECT_EQ(noticeText.substr(noticeText.size() - end.size()), end);
    kit::click(notice, IDCANCEL);
    ASSERT_TRUE(kit::waitGone(notice, 10000));
    kit::click(launcher, 1003);
    HWND browse = kit::waitOtherDialog(process.pid, launcher, 20000);
    ASSERT_NE(browse, nullptr);
    EXPECT_TRUE(kit::waitUntil([&] { return showsText(browse, L"フォルダを選択してください"); }, 10000));
    kit::click(browse, IDCANCEL);
    ASSERT_TRUE(kit::waitGone(browse, 10000));
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);

    // The update installer's and the special uninstaller's dialogs.
    const struct {
        const char* exe;
        const wchar_t* title;
        std::vector<std::pair<int, std::wstring>> texts;
    } roles[] = {{"update.exe",
                  L"Veyla Updata",
                  {{1009, L"Veyla　をアップデートしますか？"}, {1008, L"アップデート"}, {2, L"ｷｬﾝｾﾙ"}}},
                 {"exuninst.exe", L"特殊アンインストーラー", {{1, L"開始"}, {2, L"終了"}}}};
    for (const auto& role : roles) {
        kit::Process p;
        ASSERT_TRUE(kit::start(p, kit::binPath(role.exe)));
        HWND dialog = kit::waitWindow(p.pid, L"#32770", role.title, 20000);
        ASSERT_NE(dialog, nullptr) << role.exe;
        for (const auto& expected : role.texts)
            EXPECT_EQ(kit::itemText(dialog, expected.first), expected.second) << role.exe << " " << expected.first;
        kit::click(dialog, 2);
        EXPECT_EQ(kit::waitExit(p, 15000), 0);
    }

    kit::Process uninstaller;
    ASSERT_TRUE(kit::start(uninstaller, kit::binPath("uninst.exe")));
    kit::MessageBoxView box = nextBox(uninstaller.pid);
    EXPECT_EQ(box.caption, L"注意");
    EXPECT_EQ(box.text, L"この実行ファイルはアンインストーラです。\n現在ゲームがインストールされていません。\n"
                        L"インストールされている状態でアンインストールを行ってください。");
    kit::answer(box, IDOK);
    EXPECT_EQ(kit::waitExit(uninstaller, 15000), 0);

    // The settings tool's refusal, on a system of the NT family it refuses.
    ASSERT_TRUE(kit::setWindowsVersion("tunewell.exe", "nt40"));
    kit::Process tool;
    ASSERT_TRUE(kit::start(tool, kit::binPath("tunewell.exe")));
    box = nextBox(tool.pid);
    EXPECT_EQ(box.caption, L"エラー");
    EXPECT_EQ(box.text, L"Windows95/NT3.5/NT4 では起動できません。");
    kit::answer(box, IDOK);
    EXPECT_EQ(kit::waitExit(tool, 15000), 0);
}

TEST_F(Locale, InstallationAndRemovalShowJapaneseAndStoreTheSameBytes)
{
    const LocaleFolder& folder = localeFolder();
    // The folder dialog names the drive in upper case.
    std::string installDir = std::string("C") + (folder.base + 1) + "\\TesmafromKuvel\\Veyla";
    ASSERT_TRUE(kit::makeFolders(folder.base));
    HWND launcher = openLauncher();
    ASSERT_NE(launcher, nullptr);
    browseFolder(process, launcher, folder.base);
    kit::click(launcher, 1000);
    HWND notice = kit::waitOtherDialog(process.pid, launcher, 20000);
    ASSERT_NE(notice, nullptr);
    kit::click(notice, IDOK);
    kit::MessageBoxView box = nextBox(process.pid);
    EXPECT_EQ(box.caption, L"確認");
    EXPECT_EQ(box.text, L"C" + std::wstring(folder.shown + 1) +
                            L"\\TesmafromKuvel\\Veyla\nフォルダを作成します。\nよろしいですか？");
    kit::answer(box, IDYES);
    ASSERT_TRUE(kit::answerNext(process.pid, IDYES, 60000));  // desktop link
    box = nextBox(process.pid);
    EXPECT_EQ(box.caption, L"終了");
    EXPECT_EQ(box.text, L"インストールが完了しました。");
    kit::answer(box, IDOK);
    ASSERT_TRUE(kit::waitUntil([&] { return kit::itemText(launcher, 1000) == L"インストール"; }, 20000));

    // Stored as on a Japanese system: the record, read through the A-functions of this system.
    std::string value;
    ASSERT_TRUE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaRecordKey, "Dir", value));
    EXPECT_STREQ(value.c_str(), installDir.c_str());
    ASSERT_TRUE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaRecordKey, "CD", value));
    EXPECT_STREQ(value.c_str(), "n:\\Veyla");
    for (const char* const* n = veylaFiles(); *n; ++n) {
        std::string bytes;
        EXPECT_TRUE(kit::readFile(installDir + "\\" + *n, bytes) && bytes == veylaFileBytes(*n)) << *n;
    }
    // Shown as on a Japanese system: the names in the shell.
    std::string programs = specialFolder(CSIDL_COMMON_PROGRAMS);
    std::string group = programs + "\\TesmafromKuvel\\Veyla";
    EXPECT_EQ(namesIn(group), (std::vector<std::wstring>{L"README.lnk", L"Veyla アンインストール.lnk", L"Veyla.lnk"}));
    EXPECT_EQ(readLink(group + "\\README.lnk").target, installDir + "\\readme.txt");
    std::vector<std::wstring> desktop = namesIn(specialFolder(CSIDL_COMMON_DESKTOPDIRECTORY));
    EXPECT_NE(std::find(desktop.begin(), desktop.end(), L"Veyla.lnk"), desktop.end());

    // The data check lists the files by their names.
    kit::click(launcher, 1025);
    HWND check = kit::waitWindow(process.pid, L"#32770", L"インストールデータチェック", 20000);
    ASSERT_NE(check, nullptr);
    auto rows = kit::listViewRows(GetDlgItem(check, 1024), 2);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0][0], L"　");
    EXPECT_EQ(rows[0][1], L"Veyla.exe");
    EXPECT_EQ(kit::itemText(check, 1026), L"チェック開始");
    kit::click(check, 1026);
    ASSERT_TRUE(kit::answerNext(process.pid, IDOK, 60000));  // the check has ended
    box = nextBox(process.pid);
    EXPECT_EQ(box.text, L"ファイルは正常にインストールされています。") << "every file read back from the folder";
    kit::answer(box, IDOK);
    kit::click(check, 2);
    ASSERT_TRUE(kit::waitGone(check, 10000));

    // A link of an installation whose names went through the A-functions is removed as well.
    std::string legacy = group + "\\Veyla アンインストール.lnk";
    ASSERT_TRUE(kit::writeFile(legacy, "link"));

    kit::click(launcher, 1014);
    box = nextBox(process.pid);
    EXPECT_EQ(box.text, L"Veyla のアンインストールを開始します。\n開始してもよろしいですか？");
    kit::answer(box, IDYES);
    ASSERT_TRUE(kit::answerNext(process.pid, IDYES, 30000));
    box = nextBox(process.pid);
    EXPECT_EQ(box.caption, L"終了");
    EXPECT_EQ(box.text, L"アンインストールが完了しました。");
    kit::answer(box, IDOK);
    ASSERT_TRUE(kit::waitUntil([&] { return !kit::fileExists(installDir); }, 20000));
    EXPECT_TRUE(namesIn(programs + "\\TesmafromKuvel").empty()) << "the group and every link are gone";
    EXPECT_FALSE(kit::fileExists(programs + "\\TesmafromKuvel"));
    desktop = namesIn(specialFolder(CSIDL_COMMON_DESKTOPDIRECTORY));
    EXPECT_EQ(std::find(desktop.begin(), desktop.end(), L"Veyla.lnk"), desktop.end());
    EXPECT_FALSE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaRecordKey, "Dir", value));
    kit::click(launcher, 2);
    EXPECT_EQ(kit::waitExit(process, 15000), 0);

    // The same folder unattended, named on the command line and made by the installation, and
    // removed the same way.
    ASSERT_TRUE(kit::removeTree(folder.base));
    kit::Process quiet;
    ASSERT_TRUE(kit::start(quiet, "n:\\setup.exe", std::string("\"/dir=") + folder.base + "\" /quiet"));
    EXPECT_EQ(kit::waitExit(quiet, 120000), 0);
    installDir = std::string(folder.base) + "\\TesmafromKuvel\\Veyla";
    ASSERT_TRUE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaRecordKey, "Dir", value));
    EXPECT_STREQ(value.c_str(), installDir.c_str());
    kit::Process removal;
    ASSERT_TRUE(kit::copyFile(kit::binPath("uninst.exe"), installDir + "\\uninst.exe"));  // the medium's is a stand-in
    ASSERT_TRUE(kit::start(removal, installDir + "\\uninst.exe", "/quiet"));
    EXPECT_EQ(kit::waitExit(removal, 120000), 0);
    EXPECT_TRUE(kit::waitUntil([&] { return !kit::fileExists(installDir); }, 20000));
}

}  // namespace
