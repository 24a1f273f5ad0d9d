// The settings tool run for real under Wine: its file, its dialog, its refusals and its resources.
#include <gtest/gtest.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "driver.h"

namespace {

const int32_t defaults[32] = {1, 1, 1, 1, 1, 0, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 2, 2, 1};

std::string image(const int32_t (&fields)[32]) { return std::string((const char*)fields, 128); }

std::string fieldsImage(std::initializer_list<std::pair<int, int32_t>> changes, const int32_t (&base)[32] = defaults)
{
    int32_t fields[32];
    memcpy(fields, base, sizeof fields);
    for (auto& c : changes) fields[c.first] = c.second;
    return image(fields);
}

// A copy of tunewell.exe in a folder of its own, with an optional tncfg.dat.
class Tunewell : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit::setWindowsVersion("tunewell.exe", nullptr);
        folder =
            kit::freshFolder(std::string("tw\\") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        exe = folder + "\\tunewell.exe";
        ASSERT_TRUE(kit::copyFile(kit::binPath("tunewell.exe"), exe));
        file = folder + "\\tncfg.dat";
    }
    void TearDown() override
    {
        kit::setWindowsVersion("tunewell.exe", nullptr);
        SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    HWND open(kit::Process& p)
    {
        if (!kit::start(p, exe)) return nullptr;
        return kit::waitWindow(p.pid, L"#32770", L"tunewell", 20000);
    }
    std::string contents()
    {
        std::string bytes;
        kit::readFile(file, bytes);
        return bytes;
    }
    // The button of each radio group that is selected (-1: none), in the order of the fields
    // drawMethod, fullscreenResolution, fullscreenScaling, titleDoubleClick, startWindow.
    static std::vector<int> selection(HWND dialog)
    {
        std::vector<int> result;
        for (auto range : {std::make_pair(1042, 1045), std::make_pair(1036, 1037), std::make_pair(1038, 1041),
                           std::make_pair(1046, 1047), std::make_pair(1048, 1049)}) {
            int selected = -1;
            for (int id = range.first; id <= range.second; ++id)
                if (kit::itemChecked(dialog, id) == BST_CHECKED) selected = id - range.first;
            result.push_back(selected);
        }
        return result;
    }
    static std::vector<int> checks(HWND dialog)
    {
        return {kit::itemChecked(dialog, 1035), kit::itemChecked(dialog, 1032), kit::itemChecked(dialog, 1033),
                kit::itemChecked(dialog, 1034)};
    }
    std::string folder, exe, file;
};

TEST_F(Tunewell, FirstStartCreatesTheDefaultImageAndShowsIt)
{
    kit::Process p;
    HWND dialog = open(p);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(contents(), image(defaults));
    EXPECT_EQ(checks(dialog), (std::vector<int>{1, 1, 1, 1}));
    EXPECT_EQ(selection(dialog), (std::vector<int>{1, 0, 0, 0, 0}));
    // The dialog may show before its focus is set. A window another test's program shows meanwhile
    // may take the activation, and with it the thread's focus: the player would click the dialog
    // back, and its focus comes back with it.
    HWND focus = nullptr;
    kit::waitUntil(
        [&] {
            if (GetForegroundWindow() != dialog) SetForegroundWindow(dialog);
            GUITHREADINFO gui = {};
            gui.cbSize = sizeof gui;
            focus = GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui) ? gui.hwndFocus : nullptr;
            return focus == GetDlgItem(dialog, IDOK);
        },
        10000);
    EXPECT_EQ(focus, GetDlgItem(dialog, IDOK)) << "OK has the keyboard focus";
    kit::click(dialog, IDCANCEL);
    EXPECT_EQ(kit::waitExit(p, 15000), 0);
    EXPECT_EQ(contents(), image(defaults));
}

TEST_F(Tunewell, OkWritesExactlyTheChosenValues)
{
    // A file with the engine's fields changed, hidden5 set and hidden1 cleared.
    std::string start = fieldsImage({{1, 0}, {5, 9}, {11, 77}, {20, -5}, {31, 123456}});
    ASSERT_TRUE(kit::writeFile(file, start));
    kit::Process p;
    HWND dialog = open(p);
    ASSERT_NE(dialog, nullptr);
    for (int id : {1045, 1037, 1041, 1047, 1049, 1032, 1034}) SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
    EXPECT_EQ(selection(dialog), (std::vector<int>{3, 1, 3, 1, 1}));
    kit::click(dialog, IDOK);
    EXPECT_EQ(kit::waitExit(p, 15000), 0);
    // hidden1 becomes 1 on load and stays; hidden5 is written 0; fields 11 to 31 are carried.
    EXPECT_EQ(contents(),
              fieldsImage(
                  {{2, 0}, {4, 0}, {5, 0}, {6, 1}, {7, 3}, {8, 3}, {9, 1}, {10, 1}, {11, 77}, {20, -5}, {31, 123456}}));
}

TEST_F(Tunewell, CancelAndResetWithCancelWriteNothingResetWithOkWritesDefaults)
{
    std::string start = fieldsImage({{0, 0}, {8, 2}, {11, 5}, {25, 8}});
    for (bool reset : {false, true}) {
        ASSERT_TRUE(kit::writeFile(file, start));
        kit::Process p;
        HWND dialog = open(p);
        ASSERT_NE(dialog, nullptr);
        if (reset) {
            SendMessageW(GetDlgItem(dialog, 3), BM_CLICK, 0, 0);
            EXPECT_EQ(selection(dialog), (std::vector<int>{1, 0, 0, 0, 0}));
            EXPECT_EQ(checks(dialog), (std::vector<int>{1, 1, 1, 1}));
        }
        kit::click(dialog, IDCANCEL);
        EXPECT_EQ(kit::waitExit(p, 15000), 0);
        EXPECT_EQ(contents(), start) << (reset ? "reset then cancel" : "cancel");
    }
    kit::Process p;
    HWND dialog = open(p);
    ASSERT_NE(dialog, nullptr);
    SendMessageW(GetDlgItem(dialog, 3), BM_CLICK, 0, 0);
    kit::click(dialog, IDOK);
    EXPECT_EQ(kit::waitExit(p, 15000), 0);
    EXPECT_EQ(contents(), image(defaults)) << "fields 11 to 31 take their defaults too";
}

TEST_F(Tunewell, EscapeActsLikeCancel)
{
    std::string start = fieldsImage({{8, 3}});
    ASSERT_TRUE(kit::writeFile(file, start));
    kit::Process p;
    HWND dialog = open(p);
    ASSERT_NE(dialog, nullptr);
    SendMessageW(GetDlgItem(dialog, 1042), BM_CLICK, 0, 0);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(kit::waitExit(p, 15000), 0);
    EXPECT_EQ(contents(), start);
}

TEST_F(Tunewell, InformationEachTimeDirectShowIsClearedNeverWhenSet)
{
    kit::Process p;
    HWND dialog = open(p);
    ASSERT_NE(dialog, nullptr);
    for (int round = 0; round < 2; ++round) {
        kit::click(dialog, 1035);  // clears it
        kit::MessageBoxView box;
        ASSERT_TRUE(kit::waitMessageBox(p.pid, box, 10000)) << "round " << round;
        EXPECT_EQ(box.caption, L"情報");
        EXPECT_EQ(
            box.text,
            L"※ムービー再生に DirectShow を使用しない場合で、\r\n　フルスクリーン時の拡大方法が「拡大(外接)」の場合、\r\n　強制的に「拡大(内接)」でムービーが再生されます。");
        EXPECT_FALSE(box.hasIcon);
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
        EXPECT_EQ(GetWindow(box.window, GW_OWNER), dialog) << "owned by the dialog";
        kit::answer(box, IDOK);
        // Setting it again is handled completely before SendMessage returns: no box may follow.
        SendMessageW(GetDlgItem(dialog, 1035), BM_CLICK, 0, 0);
        EXPECT_EQ(kit::itemChecked(dialog, 1035), BST_CHECKED);
        EXPECT_FALSE(kit::waitMessageBox(p.pid, box, 300));
    }
    kit::click(dialog, IDCANCEL);
    EXPECT_EQ(kit::waitExit(p, 15000), 0);
}

TEST_F(Tunewell, ASecondCopyEndsSilently)
{
    kit::Process first;
    HWND dialog = open(first);
    ASSERT_NE(dialog, nullptr);
    kit::Process second;
    ASSERT_TRUE(kit::start(second, exe));
    EXPECT_EQ(kit::waitExit(second, 15000), 0);
    EXPECT_EQ(kit::findWindowOf(second.pid, nullptr, nullptr), nullptr);
    kit::click(dialog, IDCANCEL);
    EXPECT_EQ(kit::waitExit(first, 15000), 0);
}

TEST_F(Tunewell, RefusesWindows95AndNt4AndRunsOnLaterSystems)
{
    for (const char* version : {"win95", "nt40"}) {
        ASSERT_TRUE(kit::setWindowsVersion("tunewell.exe", version));
        kit::Process p;
        ASSERT_TRUE(kit::start(p, exe));
        kit::MessageBoxView box;
        ASSERT_TRUE(kit::waitMessageBox(p.pid, box, 20000)) << version;
        EXPECT_EQ(box.caption, L"エラー");
        EXPECT_EQ(box.text, L"Windows95/NT3.5/NT4 では起動できません。");
        EXPECT_FALSE(box.hasIcon);
        kit::answer(box, IDOK);
        EXPECT_EQ(kit::waitExit(p, 15000), 0);
        EXPECT_FALSE(kit::fileExists(file)) << "the settings file is not touched on " << version;
    }
    for (const char* version : {"win98", "winxp", "win10"}) {
        ASSERT_TRUE(kit::setWindowsVersion("tunewell.exe", version));
        kit::Process p;
        HWND dialog = open(p);
        ASSERT_NE(dialog, nullptr) << version;
        kit::click(dialog, IDCANCEL);
        EXPECT_EQ(kit::waitExit(p, 15000), 0);
    }
}

TEST_F(Tunewell, ReadOnlyFileShowsTheSaveMessageAndStaysUnchanged)
{
    std::string start = fieldsImage({{8, 2}});
    ASSERT_TRUE(kit::writeFile(file, start));
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
    kit::Process p;
    HWND dialog = open(p);
    ASSERT_NE(dialog, nullptr) << "a read-only file loads normally";
    EXPECT_EQ(selection(dialog)[0], 2);
    SendMessageW(GetDlgItem(dialog, 1042), BM_CLICK, 0, 0);
    kit::click(dialog, IDOK);
    kit::MessageBoxView box;
    ASSERT_TRUE(kit::waitMessageBox(p.pid, box, 10000));
    EXPECT_EQ(box.caption, L"エラー") << "the system's default caption";
    EXPECT_EQ(
        box.text,
        L"設定データファイルに設定を保存できませんでした。\r\n\r\n[ tncfg.dat ]ファイルが読み取り専用になっている可能性があります。");
    EXPECT_FALSE(box.hasIcon);
    kit::answer(box, IDOK);
    EXPECT_EQ(kit::waitExit(p, 15000), 0) << "the dialog closes all the same";
    EXPECT_EQ(contents(), start);
}

TEST_F(Tunewell, FileThatCannotBeCreatedEndsWithoutTheDialog)
{
    // The build's bin folder is not writable for the bench user; a folder named tncfg.dat takes
    // the file's place.
    ASSERT_TRUE(CreateDirectoryA(file.c_str(), nullptr));
    for (const std::string& program : {kit::binPath("tunewell.exe"), exe}) {
        kit::Process p;
        ASSERT_TRUE(kit::start(p, program));
        kit::MessageBoxView box;
        ASSERT_TRUE(kit::waitMessageBox(p.pid, box, 20000)) << program;
        EXPECT_EQ(box.caption, L"エラー");
        EXPECT_EQ(
            box.text,
            L"設定データファイルを新規作成できませんでした。\r\n\r\n書き込みできないフォルダである可能性があります。");
        kit::answer(box, IDOK);
        EXPECT_EQ(kit::waitExit(p, 15000), 0);
        EXPECT_EQ(kit::findWindowOf(p.pid, L"#32770", L"tunewell"), nullptr);
    }
    EXPECT_FALSE(kit::fileExists(kit::binPath("tncfg.dat")));
}

TEST_F(Tunewell, ShortEmptyAndLongFiles)
{
    {
        ASSERT_TRUE(kit::writeFile(file, ""));
        kit::Process p;
        HWND dialog = open(p);
        ASSERT_NE(dialog, nullptr) << "an empty file loads without a message";
        EXPECT_EQ(checks(dialog), (std::vector<int>{0, 0, 0, 0}));
        EXPECT_EQ(selection(dialog), (std::vector<int>{0, 0, 0, 0, 0}));
        kit::click(dialog, IDOK);
        EXPECT_EQ(kit::waitExit(p, 15000), 0);
        int32_t zeros[32] = {};
        EXPECT_EQ(contents(), fieldsImage({{1, 1}}, zeros));
    }
    {
        int32_t forty[10] = {0, 0, 1, 0, 1, 0, 1, 2, 7, 1};
        ASSERT_TRUE(kit::writeFile(file, std::string((const char*)forty, 40)));
        kit::Process p;
        HWND dialog = open(p);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(selection(dialog), (std::vector<int>{-1, 1, 2, 1, 0})) << "drawMethod 7 selects nothing";
        kit::click(dialog, IDOK);
        EXPECT_EQ(kit::waitExit(p, 15000), 0);
        int32_t expected[32] = {0, 1, 1, 0, 1, 0, 1, 2, 7, 1};
        EXPECT_EQ(contents(), image(expected)) << "fields past the file stay 0; 7 is written back";
    }
    {
        std::string tail(72, '\xAB');
        ASSERT_TRUE(kit::writeFile(file, image(defaults) + tail));
        kit::Process p;
        HWND dialog = open(p);
        ASSERT_NE(dialog, nullptr);
        SendMessageW(GetDlgItem(dialog, 1044), BM_CLICK, 0, 0);
        kit::click(dialog, IDOK);
        EXPECT_EQ(kit::waitExit(p, 15000), 0);
        EXPECT_EQ(contents(), fieldsImage({{8, 2}}) + tail) << "a longer file keeps its tail";
    }
}

TEST_F(Tunewell, ProgramFolderEndingInA5CSecondByte)
{
    std::string other = kit::freshFolder("tw\\設定表");
    std::string program = other + "\\tunewell.exe";
    ASSERT_TRUE(kit::copyFile(exe, program));
    kit::Process p;
    ASSERT_TRUE(kit::start(p, program));
    HWND dialog = kit::waitWindow(p.pid, L"#32770", L"tunewell", 20000);
    ASSERT_NE(dialog, nullptr);
    kit::click(dialog, IDCANCEL);
    EXPECT_EQ(kit::waitExit(p, 15000), 0);
    std::string bytes;
    EXPECT_TRUE(kit::readFile(other + "\\tncfg.dat", bytes));
    EXPECT_EQ(bytes, image(defaults));
    EXPECT_FALSE(kit::fileExists(kit::scratchPath("tw\\設定") + "tncfg.dat"));
}

TEST(TunewellResources, DialogTemplateAsLaidOut)
{
    kit::DialogTemplate dialog;
    ASSERT_TRUE(kit::loadDialogTemplate(kit::binPath("tunewell.exe"), 0, "IDD_DIALOG1", dialog));
    EXPECT_EQ(dialog.caption, L"tunewell");
    EXPECT_EQ(dialog.font, L"ＭＳ Ｐゴシック");
    EXPECT_EQ(dialog.pointSize, 9);
    EXPECT_EQ(dialog.cx, 331);
    EXPECT_EQ(dialog.cy, 325);
    DWORD frame = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | WS_VISIBLE;
    EXPECT_EQ(dialog.style & frame, frame);
    struct Control {
        int id;
        const wchar_t* text;
        int x, y, w, h;
        DWORD kind;
        bool group, tabStop;
    };
    const int none = 0xFFFF;
    const Control controls[] = {
        {none, L"ゲーム画面の描画方法", 7, 7, 317, 64, BS_GROUPBOX, false, false},
        {1042, L"GPU (ﾊﾞｲｷｭｰﾋﾞｯｸ) --- Direct3D を使用して描画します。画質が一番良いですが負荷が高いです。", 14, 19, 302,
         9, BS_AUTORADIOBUTTON, true, false},
        {1043, L"GPU (バイリニア) --- Direct3D を使用して描画します。画質が良く負荷は普通です。", 14, 31, 302, 9,
         BS_AUTORADIOBUTTON, false, false},
        {1044, L"CPU (バイリニア) --- 画質は良いですがスペックによっては負荷が高いです。", 14, 43, 302, 9,
         BS_AUTORADIOBUTTON, false, false},
        {1045, L"CPU (ﾆｱﾚｽﾄﾈｲﾊﾞｰ) --- 画質は汚いですが負荷は軽いです。", 14, 55, 302, 9, BS_AUTORADIOBUTTON, false,
         false},
        {none, L"フルスクリーン処理", 7, 78, 317, 132, BS_GROUPBOX, false, false},
        {none, L"解像度", 15, 90, 300, 40, BS_GROUPBOX, false, false},
        {1036, L"変更する --- 自動的に最適なアスペクト比の解像度に設定します。", 21, 102, 285, 9, BS_AUTORADIOBUTTON,
         true, false},
        {1037, L"変更しない --- 解像度を変更しません。", 21, 114, 285, 9, BS_AUTORADIOBUTTON, false, false},
        {none, L"拡大方法", 15, 136, 300, 64, BS_GROUPBOX, false, false},
        {1038, L"拡大(内接) --- 縦横比を維持して縦横どちらかが画面端に接するまで拡大します。", 21, 148, 285, 9,
         BS_AUTORADIOBUTTON, true, false},
        {1039, L"拡大(外接) --- 縦横比を維持して画面いっぱいに拡大します。(一部領域が見えなくなります)", 21, 160, 285,
         9, BS_AUTORADIOBUTTON, false, false},
        {1040, L"拡大(ﾌｨｯﾄ) --- 縦横比を無視して画面いっぱいに拡大します。", 21, 172, 285, 9, BS_AUTORADIOBUTTON, false,
         false},
        {1041, L"拡大しない --- 拡大しません。", 21, 184, 285, 9, BS_AUTORADIOBUTTON, false, false},
        {none, L"タイトルバーダブルクリック時の処理", 7, 217, 150, 41, BS_GROUPBOX, false, false},
        {1046, L"ウィンドウサイズの最大化", 14, 230, 135, 9, BS_AUTORADIOBUTTON, true, false},
        {1047, L"ウィンドウサイズの初期化", 14, 242, 135, 9, BS_AUTORADIOBUTTON, false, false},
        {none, L"起動時のウィンドウ位置とサイズ", 164, 217, 160, 41, BS_GROUPBOX, false, false},
        {1048, L"前回終了時の状態", 171, 230, 147, 9, BS_AUTORADIOBUTTON, true, false},
        {1049, L"常に画面中央、通常サイズ", 171, 242, 147, 9, BS_AUTORADIOBUTTON, false, false},
        {none, L"CPU", 7, 265, 150, 52, BS_GROUPBOX, false, false},
        {1032, L"SSE 命令が使えれば使用する", 14, 277, 135, 9, BS_AUTOCHECKBOX, false, true},
        {1033, L"SSE2 命令が使えれば使用する", 14, 289, 135, 9, BS_AUTOCHECKBOX, false, true},
        {1034, L"マルチコア機能が使えれば使用する", 14, 301, 135, 9, BS_AUTOCHECKBOX, false, true},
        {1029, L"ムービー再生", 164, 265, 160, 29, BS_GROUPBOX, false, false},
        {1035, L"ムービー再生に DirectShow を使用する", 171, 277, 147, 10, BS_AUTOCHECKBOX, false, true},
        {1, L"OK", 164, 302, 50, 16, BS_DEFPUSHBUTTON, false, true},
        {2, L"キャンセル", 217, 302, 50, 16, BS_PUSHBUTTON, false, true},
        {3, L"初期化", 274, 302, 50, 16, BS_DEFPUSHBUTTON, false, true},
    };
    ASSERT_EQ(dialog.items.size(), sizeof controls / sizeof controls[0]);
    for (size_t i = 0; i < dialog.items.size(); ++i) {
        const kit::TemplateItem& item = dialog.items[i];
        const Control& c = controls[i];
        EXPECT_EQ(item.id & 0xFFFF, c.id) << i;
        EXPECT_EQ(item.text, c.text) << c.id;
        EXPECT_TRUE(item.classAtom == 0x80 || _wcsicmp(item.className.c_str(), L"Button") == 0)
            << c.id << " is a button";
        EXPECT_EQ(std::vector<int>({item.x, item.y, item.cx, item.cy}), std::vector<int>({c.x, c.y, c.w, c.h})) << c.id;
        EXPECT_EQ(item.style & BS_TYPEMASK, c.kind) << c.id;
        EXPECT_EQ((item.style & WS_GROUP) != 0, c.group) << c.id;
        EXPECT_EQ((item.style & WS_TABSTOP) != 0, c.tabStop) << c.id;
    }
}

TEST(TunewellResources, ManifestVersionAndIcons)
{
    HMODULE module = LoadLibraryExA(kit::binPath("tunewell.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC manifest = FindResourceA(module, MAKEINTRESOURCEA(1), (LPCSTR)RT_MANIFEST);
    ASSERT_NE(manifest, nullptr);
    std::string xml((const char*)LockResource(LoadResource(module, manifest)), SizeofResource(module, manifest));
    EXPECT_NE(xml.find("name=\"tncfg.exe\" version=\"1.0.0.0\" processorArchitecture=\"*\""), std::string::npos);
    EXPECT_NE(xml.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(xml.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(xml.find("SMI/2005/WindowsSettings\">true/pm</dpiAware>"), std::string::npos) << "DPI-aware";
    EXPECT_NE(xml.find("SMI/2016/WindowsSettings\">PerMonitorV2</dpiAwareness>"), std::string::npos);

    HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(10001), (LPCSTR)RT_GROUP_ICON);
    ASSERT_NE(group, nullptr);
    const BYTE* dir = (const BYTE*)LockResource(LoadResource(module, group));
    int count = *(const WORD*)(dir + 4);
    std::vector<int> sizes;
    for (int i = 0; i < count; ++i) {
        const BYTE* entry = dir + 6 + 14 * i;
        sizes.push_back(entry[0] == 0 ? 256 : entry[0]);
        EXPECT_EQ(*(const WORD*)(entry + 6), 32) << "32-bit images";
    }
    EXPECT_EQ(sizes, (std::vector<int>{256, 48, 32, 16}));
    FreeLibrary(module);

    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(kit::binPath("tunewell.exe").c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(kit::binPath("tunewell.exe").c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", (void**)&fixed, &length));
    EXPECT_EQ(fixed->dwFileVersionMS, (DWORD)MAKELONG(479, 0));
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    char* text = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\041104b0\\FileVersion", (void**)&text, &length));
    EXPECT_STREQ(text, "0, 479, 0, 0");
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\041104b0\\ProductVersion", (void**)&text, &length));
    EXPECT_STREQ(text, "0, 479, 0, 0");
}

}  // namespace

namespace {

// tncfg.dat of many lengths: loaded without a message, saved by OK exactly as the record model
// says, bytes past 128 kept. make stress runs every length from 0 to 300.
TEST_F(Tunewell, EveryFileLengthLoadsAndSavesExactly)
{
    std::vector<int> lengths = {0,  1,  2,   3,   4,   5,   7,   8,   39,  40,  41,  44,
                                63, 64, 100, 124, 127, 128, 129, 132, 200, 255, 256, 300};
    const char* stress = getenv("KIT_STRESS_CASES");
    if (stress && atoi(stress) > 0) {
        lengths.clear();
        for (int n = 0; n <= 300; ++n) lengths.push_back(n);
    }
    for (int length : lengths) {
        std::string original(length, '\0');
        for (int i = 0; i < length; ++i)
            original[i] = (char)((i * 37 + length) % 7 == 0 ? 0 : (i % 4 == 0 ? (i * 3 + length) % 5 : 0));
        ASSERT_TRUE(kit::writeFile(file, original));
        int32_t fields[32] = {};
        memcpy(fields, original.data(), std::min(length, 128));
        fields[1] = 1;
        for (int f : {0, 2, 3, 4}) fields[f] = fields[f] != 0 ? 1 : 0;
        fields[5] = 0;
        kit::Process p;
        HWND dialog = open(p);
        ASSERT_NE(dialog, nullptr) << length;
        kit::click(dialog, IDOK);
        ASSERT_EQ(kit::waitExit(p, 15000), 0) << length;
        std::string expected = image(fields);
        if (length > 128) expected += original.substr(128);
        EXPECT_EQ(contents(), expected) << "length " << length;
    }
}

}  // namespace
