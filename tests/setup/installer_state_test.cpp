// The Installer's defaults, name lists and initialisation from the product table.
#include <gtest/gtest.h>

#include "config/product_config.h"
#include "driver.h"
#include "engine/installer.h"

static const char* recordKey = "SOFTWARE\\TesmafromKuvel\\Veyla者";

TEST(InstallerState, ConstructionDefaults)
{
    Installer fresh;
    EXPECT_EQ(fresh.endFileIndex, 9999);
    EXPECT_EQ(fresh.firstFileIndex, 0);
    EXPECT_EQ(fresh.discCount, 1);
    EXPECT_STREQ(fresh.baseDir, "c:");
    EXPECT_STREQ(fresh.installDir, "");
    EXPECT_EQ(fresh.installFiles, nullptr);
    for (int i = 0; i < MaxFiles; ++i) ASSERT_EQ(fresh.fileSelected[i], 1) << i;
    EXPECT_EQ(fresh.registryKey, nullptr);
}

TEST(InstallerState, NameListsAndDiscLayout)
{
    const char* none[] = {nullptr};
    int32_t count = -1;
    NameList empty = Installer::duplicateNameList(nullptr, none, &count);
    EXPECT_EQ(count, 1);
    EXPECT_STREQ(empty[0], "");
    const char* names[] = {"a.exe", "b.dat", nullptr};
    NameList list = Installer::duplicateNameList(empty, names, &count);  // frees the old list
    EXPECT_EQ(count, 3);
    EXPECT_STREQ(list[1], "b.dat");
    EXPECT_STREQ(list[2], "");
    Installer::freeNameList(list);

    Installer layout;
    layout.setDiscLayout(1, 4000);
    EXPECT_EQ(layout.discCount, 1);
    EXPECT_EQ(layout.multiDiscTotalBytes, 0u);
    layout.setDiscLayout(2, 4000);
    EXPECT_EQ(layout.discCount, 2);
    EXPECT_EQ(layout.multiDiscTotalBytes, 4194304000ull);
    layout.setDiscLayout(3, 0xFFFFFFFFu);
    EXPECT_EQ(layout.multiDiscTotalBytes, 0xFFFFFFFFull * 1048576ull) << "the product is taken in 64 bits";
}

TEST(InstallerState, InitialiseTakesTheTableAndTheRecord)
{
    kit::emptyAllDrives();
    kit::deleteRegistryTree(HKEY_LOCAL_MACHINE, recordKey);
    const char* files[] = {"Veyla.exe", "uninst.exe", nullptr};
    const char* extras[] = {"grd_2.pac", nullptr};
    const char* labels[] = {"Veyla", nullptr};
    Installer in;
    EXPECT_FALSE(in.initialise(files, extras, labels, nullptr, nullptr, "TesmafromKuvel", "Veyla", "Veyla", 4000));
    EXPECT_EQ(in.installed, 0);
    EXPECT_EQ(in.installFileCount, 3);
    EXPECT_STREQ(in.installFiles[0], "Veyla.exe");
    // No disc anywhere: the source is the folder of the running program, and its data folder.
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, sizeof module);
    *strrchr(module, '\\') = '\0';
    EXPECT_STREQ(in.sourceRoot, module);
    EXPECT_EQ(std::string(in.sourceDir), std::string(module) + "\\Veyla");

    // With a record, its folders replace what the search found; initialising again frees the lists.
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, recordKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
    RegSetValueExA(key, "Dir", 0, REG_SZ, (const BYTE*)"d:\\G\\TesmafromKuvel\\Veyla", 27);
    RegSetValueExA(key, "CD", 0, REG_SZ, (const BYTE*)"q:\\Veyla", 9);
    DWORD type = 7;
    RegSetValueExA(key, "InstType", 0, REG_DWORD, (const BYTE*)&type, 4);
    RegCloseKey(key);
    EXPECT_TRUE(in.initialise(files, extras, labels, nullptr, nullptr, "TesmafromKuvel", "Veyla", "Veyla", 4000));
    EXPECT_EQ(in.installed, 1);
    EXPECT_STREQ(in.sourceDir, "q:\\Veyla");
    EXPECT_STREQ(in.installDir, "d:\\G\\TesmafromKuvel\\Veyla");
    EXPECT_EQ(in.installType, 7);
    kit::deleteRegistryTree(HKEY_LOCAL_MACHINE, recordKey);
}
