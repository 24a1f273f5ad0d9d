// The installation record in the real registry of the bench.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include "driver.h"
#include "state/installer.h"

static const char* recordKey = "SOFTWARE\\TesmafromKuvel\\Veyla者";

class RegistryRecord : public ::testing::Test {
protected:
    void SetUp() override { kit::deleteRegistryTree(HKEY_LOCAL_MACHINE, recordKey); }
    void TearDown() override { kit::deleteRegistryTree(HKEY_LOCAL_MACHINE, recordKey); }
    static void setValue(const char* name, DWORD type, const void* data, DWORD bytes)
    {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, recordKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  0);
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, (const BYTE*)data, bytes), 0);
        RegCloseKey(key);
    }
    Installer in;
};

TEST_F(RegistryRecord, WriteStoresTheThreeValuesWithTheirByteCounts)
{
    snprintf(in.installDir, sizeof in.installDir, "%s", "c:\\TesmafromKuvel\\Veyla");
    snprintf(in.sourceDir, sizeof in.sourceDir, "%s", "e:\\Veyla");
    in.installType = 0;
    ASSERT_TRUE(in.writeInstallRecord());
    EXPECT_EQ(in.registryKey, nullptr) << "the key is closed after the record was written";
    std::string bytes;
    DWORD type = 0;
    ASSERT_TRUE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, recordKey, "Dir", bytes, &type));
    EXPECT_EQ(type, (DWORD)REG_SZ);
    EXPECT_EQ(bytes.size(), strlen("c:\\TesmafromKuvel\\Veyla") + 2) << "length + 2, as the record always had";
    EXPECT_STREQ(bytes.c_str(), "c:\\TesmafromKuvel\\Veyla");
    ASSERT_TRUE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, recordKey, "CD", bytes, &type));
    EXPECT_EQ(bytes.size(), strlen("e:\\Veyla") + 2);
    ASSERT_TRUE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, recordKey, "InstType", bytes, &type));
    EXPECT_EQ(type, (DWORD)REG_DWORD);
    EXPECT_EQ(bytes, std::string(4, '\0'));
}

TEST_F(RegistryRecord, ALongFolderNeverReadsPastItsField)
{
    memset(in.installDir, 'x', 259);
    in.installDir[259] = '\0';
    snprintf(in.sourceDir, sizeof in.sourceDir, "%s", "e:\\Veyla");
    ASSERT_TRUE(in.writeInstallRecord());
    std::string bytes;
    ASSERT_TRUE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, recordKey, "Dir", bytes));
    EXPECT_EQ(bytes.size(), 260u) << "259 bytes and the terminator: nothing past the 260-byte field";
}

TEST_F(RegistryRecord, ReadBackReplacesFieldsAndKeepsOtherValuesOnRewrite)
{
    snprintf(in.installDir, sizeof in.installDir, "%s", "d:\\Games\\TesmafromKuvel\\Veyla");
    snprintf(in.sourceDir, sizeof in.sourceDir, "%s", "q:\\Veyla");
    in.installType = 3;
    ASSERT_TRUE(in.writeInstallRecord());
    setValue("Other", REG_SZ, "keep", 5);
    snprintf(in.installDir, sizeof in.installDir, "%s", "c:\\TesmafromKuvel\\Veyla");
    ASSERT_TRUE(in.writeInstallRecord());
    std::string other;
    EXPECT_TRUE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, recordKey, "Other", other))
        << "a rewrite keeps other values";

    Installer reader;
    ASSERT_TRUE(reader.readInstallRecord());
    EXPECT_STREQ(reader.installDir, "c:\\TesmafromKuvel\\Veyla");
    EXPECT_STREQ(reader.sourceDir, "q:\\Veyla");
    EXPECT_EQ(reader.installType, 3);
    EXPECT_EQ(reader.registryKey, nullptr);
}

TEST_F(RegistryRecord, MissingKeyOrValuesFailAndKeepWhatWasRead)
{
    snprintf(in.installDir, sizeof in.installDir, "%s", "before");
    snprintf(in.sourceDir, sizeof in.sourceDir, "%s", "src-before");
    EXPECT_FALSE(in.readInstallRecord());
    EXPECT_STREQ(in.installDir, "before");

    setValue("Dir", REG_SZ, "c:\\X\\Veyla", 11);
    EXPECT_FALSE(in.readInstallRecord()) << "no CD value";
    EXPECT_STREQ(in.installDir, "c:\\X\\Veyla") << "the value read before the failing step stays";
    EXPECT_STREQ(in.sourceDir, "src-before");
    EXPECT_EQ(in.registryKey, nullptr) << "a failing query closes the key";

    setValue("CD", REG_SZ, "e:\\Veyla", 9);
    uint16_t shortType = 5;
    setValue("InstType", REG_BINARY, &shortType, 2);
    in.installType = 0;
    EXPECT_TRUE(in.readInstallRecord()) << "another type of at most 4 bytes is accepted";
    EXPECT_EQ(in.installType & 0xFFFF, 5);
}

TEST_F(RegistryRecord, StoredTextIsAlwaysTerminated)
{
    // A value stored without its zero byte, and one filling the whole 260-byte field.
    setValue("Dir", REG_BINARY, "c:\\Game", 7);
    setValue("CD", REG_SZ, "e:\\Veyla", 9);
    DWORD zero = 0;
    setValue("InstType", REG_DWORD, &zero, 4);
    memset(in.installDir, 'Z', sizeof in.installDir);
    ASSERT_TRUE(in.readInstallRecord());
    EXPECT_STREQ(in.installDir, "c:\\Game");

    std::string full(260, 'y');
    setValue("Dir", REG_BINARY, full.data(), 260);
    EXPECT_FALSE(in.readInstallRecord());
    EXPECT_LT(strnlen(in.installDir, sizeof in.installDir), sizeof in.installDir);
    std::string longer(300, 'y');
    setValue("Dir", REG_SZ, longer.c_str(), 301);
    EXPECT_FALSE(in.readInstallRecord()) << "a value over 260 bytes fails the read";
    EXPECT_LT(strnlen(in.installDir, sizeof in.installDir), sizeof in.installDir);
}

TEST_F(RegistryRecord, DeletionKeepsThePublisherKey)
{
    snprintf(in.installDir, sizeof in.installDir, "%s", "c:\\TesmafromKuvel\\Veyla");
    snprintf(in.sourceDir, sizeof in.sourceDir, "%s", "e:\\Veyla");
    ASSERT_TRUE(in.writeInstallRecord());
    EXPECT_TRUE(in.deleteRegistryKey(recordKey));
    HKEY key;
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, recordKey, 0, KEY_READ, &key), 0);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\TesmafromKuvel", 0, KEY_READ, &key), 0);
    RegCloseKey(key);
    EXPECT_FALSE(in.deleteRegistryKey(recordKey)) << "deleting a missing record fails";
}
