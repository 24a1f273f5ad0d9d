// The dialog templates, version record and manifest of the built setup.exe.
#include <gtest/gtest.h>

#include "driver.h"

namespace {

struct Expected {
    int id;
    const wchar_t* text;
    int x, y, cx, cy;
};

void expectTemplate(int templateId, const wchar_t* caption, int cx, int cy, const wchar_t* font, int points,
                    const std::vector<Expected>& controls)
{
    kit::DialogTemplate dialog;
    ASSERT_TRUE(kit::loadDialogTemplate(kit::binPath("setup.exe"), templateId, nullptr, dialog)) << templateId;
    if (caption) {
        EXPECT_EQ(dialog.caption, caption) << templateId;
    }
    EXPECT_EQ(dialog.cx, cx) << templateId;
    EXPECT_EQ(dialog.cy, cy) << templateId;
    EXPECT_EQ(dialog.font, font) << templateId;
    EXPECT_EQ(dialog.pointSize, points) << templateId;
    EXPECT_TRUE(dialog.style & DS_MODALFRAME) << templateId;
    ASSERT_EQ(dialog.items.size(), controls.size()) << templateId;
    for (size_t i = 0; i < controls.size(); ++i) {
        const kit::TemplateItem& item = dialog.items[i];
        const Expected& e = controls[i];
        EXPECT_EQ(item.id & 0xFFFF, e.id & 0xFFFF) << templateId << " control " << i;
        if (e.text) {
            EXPECT_EQ(item.text, e.text) << templateId << " control " << e.id;
        }
        EXPECT_EQ(std::vector<int>({item.x, item.y, item.cx, item.cy}), std::vector<int>({e.x, e.y, e.cx, e.cy}))
            << templateId << " control " << e.id;
    }
}

TEST(SetupResources, LauncherTemplate116)
{
    expectTemplate(116, nullptr, 504, 260, L"MS Shell Dlg", 8,
                   {{1003, L"インストール先の参照", 404, 7, 93, 11},
                    {1000, L"インストール", 393, 56, 104, 21},
                    {1001, L"ゲームスタート", 393, 81, 104, 21},
                    {1006, L"READMEを読む", 393, 106, 104, 21},
                    {1014, L"アンインストール", 393, 131, 104, 21},
                    {1022, L"ホームページを開く", 393, 181, 104, 21},
                    {1025, L"データチェック", 393, 206, 104, 21},
                    {2, L"セットアップの終了", 393, 231, 104, 21},
                    {1016, nullptr, 7, 56, 15, 13},
                    {1004, nullptr, 8, 7, 391, 12},
                    {1005, nullptr, 8, 20, 489, 9},
                    {1019, L"", 8, 41, 380, 8},
                    {1021, L"", 405, 41, 92, 8},
                    {-1, L"0%", 7, 30, 30, 8},
                    {-1, L"FINISH!!", 467, 30, 30, 8},
                    {-1, L"20%", 103, 30, 30, 8},
                    {-1, L"40%", 201, 30, 30, 8},
                    {-1, L"60%", 298, 30, 30, 8},
                    {-1, L"80%", 395, 30, 30, 8},
                    {1020, L"オンラインマニュアルを読む", 393, 156, 104, 21}});
    kit::DialogTemplate dialog;
    ASSERT_TRUE(kit::loadDialogTemplate(kit::binPath("setup.exe"), 116, nullptr, dialog));
    EXPECT_TRUE(dialog.style & WS_SYSMENU) << "the launcher has a close box";
    EXPECT_EQ(dialog.items[8].style & SS_TYPEMASK, (DWORD)SS_BITMAP);
    EXPECT_TRUE(dialog.items[8].style & SS_REALSIZEIMAGE);
    EXPECT_EQ(dialog.items[9].style & (ES_READONLY | ES_AUTOHSCROLL), (DWORD)(ES_READONLY | ES_AUTOHSCROLL));
    EXPECT_TRUE(dialog.items[10].style & 0x01) << "smooth progress bar";
}

TEST(SetupResources, UpdateNoticeDataCheckAndSpecialTemplates)
{
    expectTemplate(
        105, L"ﾀﾞｲｱﾛｸﾞ", 187, 51, L"ＭＳ Ｐゴシック", 9,
        {{1008, L"アップデート", 7, 30, 78, 14}, {2, L"ｷｬﾝｾﾙ", 102, 30, 78, 14}, {1009, L"Static", 7, 7, 173, 20}});
    expectTemplate(115, L"確認", 329, 195, L"MS Shell Dlg", 8,
                   {{2, L"いいえ", 273, 174, 50, 14}, {1, L"はい", 211, 174, 50, 14}, {1028, nullptr, 7, 7, 316, 164}});
    expectTemplate(113, nullptr, 151, 182, L"MS Shell Dlg", 8,
                   {{1026, L"チェック開始", 7, 160, 58, 14},
                    {2, L"戻る", 86, 160, 58, 14},
                    {1024, nullptr, 7, 7, 137, 128},
                    {1027, nullptr, 7, 143, 137, 10}});
    expectTemplate(114, L"特殊アンインストーラー", 201, 54, L"MS Shell Dlg", 8,
                   {{1, L"開始", 79, 33, 50, 14},
                    {2, L"終了", 144, 33, 50, 14},
                    {-1, L"「Halvorn」「Serapine」の完全にアンインストールできなかったデータをアンインストールします。",
                     7, 7, 187, 20}});
    kit::DialogTemplate check;
    ASSERT_TRUE(kit::loadDialogTemplate(kit::binPath("setup.exe"), 113, nullptr, check));
    EXPECT_FALSE(check.style & WS_SYSMENU) << "the data check has no close box";
    kit::DialogTemplate update;
    ASSERT_TRUE(kit::loadDialogTemplate(kit::binPath("setup.exe"), 105, nullptr, update));
    EXPECT_FALSE(update.style & WS_SYSMENU);
}

TEST(SetupResources, VersionRecordManifestAndIcon)
{
    std::string exe = kit::binPath("setup.exe");
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, info.data()));
    struct Field {
        const char* name;
        std::wstring value;
    } fields[] = {{"FileVersion", L"1, 0, 1, 1"},  {"ProductVersion", L"1, 0, 1, 1"},
                  {"FileDescription", L"setup"},   {"ProductName", L"setup"},
                  {"Comments", L"インストーラー"}, {"OriginalFilename", L"setup.exe"}};
    for (const Field& f : fields) {
        char* text = nullptr;
        UINT length = 0;
        std::string query = std::string("\\StringFileInfo\\041104b0\\") + f.name;
        ASSERT_TRUE(VerQueryValueA(info.data(), query.c_str(), (void**)&text, &length)) << f.name;
        EXPECT_EQ(kit::ansiToWide(text), f.value) << f.name;
    }
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC manifest = FindResourceA(module, MAKEINTRESOURCEA(1), (LPCSTR)RT_MANIFEST);
    ASSERT_NE(manifest, nullptr);
    std::string xml((const char*)LockResource(LoadResource(module, manifest)), SizeofResource(module, manifest));
    EXPECT_NE(xml.find("{e2011457-1546-43c5-a5fe-008deee3d3f0}"), std::string::npos) << "Vista";
    EXPECT_NE(xml.find("{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"), std::string::npos) << "Windows 7";
    EXPECT_EQ(xml.find("{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"), std::string::npos) << "nothing later";
    EXPECT_EQ(xml.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos);
    EXPECT_NE(xml.find("SMI/2005/WindowsSettings\">true/pm</dpiAware>"), std::string::npos) << "DPI-aware";
    EXPECT_NE(xml.find("SMI/2016/WindowsSettings\">PerMonitorV2</dpiAwareness>"), std::string::npos);
    EXPECT_NE(FindResourceA(module, MAKEINTRESOURCEA(104), (LPCSTR)RT_GROUP_ICON), nullptr) << "icon group 104";
    FreeLibrary(module);
}

}  // namespace
