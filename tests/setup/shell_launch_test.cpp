// Opening programs, documents and addresses through the shell in the three launch modes.
#include <gtest/gtest.h>

#include "driver.h"
#include "state/installer.h"
#include "system/shell_launch.h"

static void registerProbe(HKEY root, const char* key, const char* command, bool urlProtocol)
{
    HKEY handle;
    ASSERT_EQ(RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr), 0);
    if (urlProtocol) RegSetValueExA(handle, "URL Protocol", 0, REG_SZ, (const BYTE*)"", 1);
    RegCloseKey(handle);
    std::string commandKey = std::string(key) + "\\shell\\open\\command";
    ASSERT_EQ(RegCreateKeyExA(root, commandKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr), 0);
    RegSetValueExA(handle, nullptr, 0, REG_SZ, (const BYTE*)command, (DWORD)strlen(command) + 1);
    RegCloseKey(handle);
}

TEST(ShellLaunch, OpenUsesTheLongNameAndInheritsTheCurrentFolder)
{
    std::string folder = kit::freshFolder("launch");
    DeleteFileA(kit::scratchPath("probe.log").c_str());
    std::string program = folder + "\\a long program name.exe";
    ASSERT_TRUE(kit::copyFile(kit::binPath("..\\tests\\probe.exe"), program));
    char shortPath[MAX_PATH];
    ASSERT_GT(GetShortPathNameA(program.c_str(), shortPath, sizeof shortPath), 0u);
    ASSERT_NE(std::string(shortPath), program);
    SetCurrentDirectoryA(folder.c_str());
    Installer in;
    EXPECT_TRUE(in.shellLaunch(shortPath, "/r", LaunchOpen));
    std::vector<std::string> lines = kit::probeLines(2);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "/r");
    EXPECT_EQ(lines[1], folder) << "no directory is given: the launcher's current folder is inherited";
    SetCurrentDirectoryA("c:\\");
}

TEST(ShellLaunch, DefaultPassesTheAddressUnchanged)
{
    kit::freshFolder("launch");
    DeleteFileA(kit::scratchPath("probe.log").c_str());
    std::string command = "\"" + kit::binPath("..\\tests\\probe.exe") + "\" \"%1\"";
    registerProbe(HKEY_CLASSES_ROOT, "kitprobe", command.c_str(), true);
    Installer in;
    EXPECT_TRUE(in.shellLaunch("kitprobe://www.example/veyla/", nullptr, LaunchDefault));
    std::vector<std::string> lines = kit::probeLines(2);
    ASSERT_GE(lines.size(), 1u);
    EXPECT_NE(lines[0].find("kitprobe://www.example/veyla/"), std::string::npos) << lines[0];
    kit::deleteRegistryTree(HKEY_CLASSES_ROOT, "kitprobe");
}

TEST(ShellLaunch, NotepadOpensTheDocumentAndOtherModesStartNothing)
{
    std::string folder = kit::freshFolder("launch");
    std::string readme = folder + "\\readme.txt";
    kit::writeFile(readme, "Veyla README\r\n");
    Installer in;
    EXPECT_TRUE(in.shellLaunch(readme.c_str(), "", LaunchNotepad));
    HWND notepad = kit::waitWindow(0, L"Notepad", nullptr, 15000);
    ASSERT_NE(notepad, nullptr);
    EXPECT_NE(kit::text(notepad).find(L"readme"), std::wstring::npos) << kit::wideToAnsi(kit::text(notepad));
    PostMessageW(notepad, WM_CLOSE, 0, 0);
    EXPECT_TRUE(kit::waitGone(notepad, 10000));

    DeleteFileA(kit::scratchPath("probe.log").c_str());
    std::string program = folder + "\\probe.exe";
    kit::copyFile(kit::binPath("..\\tests\\probe.exe"), program);
    EXPECT_TRUE(in.shellLaunch(program.c_str(), "", 3)) << "an unknown mode starts nothing and is still true";
    EXPECT_TRUE(in.shellLaunch(program.c_str(), "second", LaunchOpen));
    std::vector<std::string> lines = kit::probeLines(2);
    ASSERT_EQ(lines.size(), 2u) << "only the start in a known mode ran the program";
    EXPECT_EQ(lines[0], "second");
}
