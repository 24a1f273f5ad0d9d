// The Installer's defaults, name lists and initialisation from the product table.
#include <windows.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "config/product_config.h"
#include "driver.h"
#include "platform/access_list.h"
#include "state/installer.h"
#include "engine/product_folders.h"

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

// Each access list entry by trustee, rights and inheritance, read back from the built descriptor.
TEST(AccessLists, EachKindHoldsExactlyItsEntriesAndOnlyAdministratorsFoldersAreTakenOver)
{
    struct Entry {
        std::string trustee;
        DWORD rights;
        BYTE inheritance;
    };
    HANDLE token;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    DWORD buffer[64], got = 0;
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &got));
    CloseHandle(token);
    char* user = nullptr;
    ASSERT_TRUE(ConvertSidToStringSidA(((TOKEN_USER*)buffer)->User.Sid, &user));
    const DWORD full = FILE_ALL_ACCESS, readExecute = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;
    const BYTE inherited = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    const Entry system = {"S-1-5-18", full, inherited}, admins = {"S-1-5-32-544", full, inherited},
                users = {"S-1-5-32-545", readExecute, inherited};
    const std::pair<AccessListKind, std::vector<Entry>> kinds[] = {
        {OwnerOnly, {system, admins, {user, full, inherited}}},
        {UsersRead, {system, admins, users}},
        {UsersModify,
         {system, admins, {"S-1-5-32-545", FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE, 0}}},
        {UsersModifyInside,
         {system,
          admins,
          {"S-1-5-32-545", FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE, inherited}}},
    };
    // Whose folder that was there before an administrator's installation may take over: the bench
    // runs as an administrator.
    const std::pair<std::string, bool> owners[] = {
        {"S-1-5-32-544", true},
        {"S-1-5-18", true},
        {"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", true},
        {user, true},
        {"S-1-5-32-545", false},
        {"S-1-5-7", false},
        {"S-1-5-21-1004336348-1177238915-682003330-1001", false},
    };
    for (const auto& [owner, taken] : owners) {
        PSID sid = nullptr;
        ASSERT_TRUE(ConvertStringSidToSidA(owner.c_str(), &sid)) << owner;
        EXPECT_EQ(administratorOwner(sid), taken) << owner;
        LocalFree(sid);
    }
    LocalFree(user);
    for (const auto& [kind, expected] : kinds) {
        AccessList list;
        ASSERT_TRUE(buildAccessList(kind, list)) << kind;
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        ASSERT_TRUE(GetSecurityDescriptorControl(&list.descriptor, &control, &revision));
        EXPECT_TRUE(control & SE_DACL_PROTECTED) << kind << ": nothing is inherited from above";
        BOOL present = FALSE, defaulted = FALSE;
        PACL acl = nullptr;
        ASSERT_TRUE(GetSecurityDescriptorDacl(&list.descriptor, &present, &acl, &defaulted) && present && acl);
        ASSERT_EQ(acl->AceCount, expected.size()) << kind;
        for (DWORD i = 0; i < acl->AceCount; ++i) {
            ACCESS_ALLOWED_ACE* ace = nullptr;
            ASSERT_TRUE(GetAce(acl, i, (void**)&ace));
            char* trustee = nullptr;
            ASSERT_TRUE(ConvertSidToStringSidA((PSID)&ace->SidStart, &trustee));
            EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
            EXPECT_EQ(trustee, expected[i].trustee) << kind << " entry " << i;
            EXPECT_EQ(ace->Mask, expected[i].rights) << kind << " entry " << i;
            EXPECT_EQ(ace->Header.AceFlags, expected[i].inheritance) << kind << " entry " << i;
            LocalFree(trustee);
        }
    }
}

// What an administrator may take over, where the kit decides it: nothing of another user at any
// depth below an installation folder (the save folder's contents are the players'), no link, and no
// owner taken on trust where it cannot be read.
TEST(AccessLists, ATakeoverTrustsNoLinkNoOtherOwnerBelowAndNoOwnerItCannotRead)
{
    const std::string trust = "z:\\fixtures\\trust", game = trust + "\\foreignchild\\Veyla";
    const std::string linked = kit::freshFolder("trust-links"), target = kit::freshFolder("trust-target");
    ASSERT_TRUE(kit::makeFolders(linked + "\\Veyla\\movie"));
    ASSERT_TRUE(kit::makeLink(linked + "\\Veyla\\movie\\more", target));
    ASSERT_TRUE(kit::makeLink(linked + "\\Link", target));
    struct Case {
        std::string folder;
        const char* except;
        bool wholeTree, taken;
        const char* why;
    } cases[] = {
        {game, "save", false, true, "what it holds directly is the administrator's"},
        {game, "save", true, false, "sub\\deep.dat, two levels down, is another user's"},
        {game + "\\save", nullptr, false, false, "the players' gsd.sd, when the save folder is what is taken"},
        {linked + "\\Veyla", "save", false, true, "the link lies below what is looked at"},
        {linked + "\\Veyla", "save", true, false, "a link anywhere below"},
        {linked + "\\Link", nullptr, false, false, "the folder itself a link"},
        {trust + "\\sealed", nullptr, false, false, "a folder nobody may list"},
        {trust + "\\sealed\\inner", nullptr, false, false, "an owner that cannot be read"},
        {target, nullptr, true, true, "an administrator's folder with nothing in it"},
    };
    for (const Case& c : cases) EXPECT_EQ(mayTakeOver(c.folder.c_str(), c.except, c.wholeTree), c.taken) << c.why;
    EXPECT_FALSE(ownedByAdministrator((trust + "\\sealed\\inner").c_str())) << "fails closed";
    EXPECT_EQ(lockExisting((linked + "\\Link").c_str(), UsersRead), LockResult::Refused) << "never locked through";
    EXPECT_EQ(lockExisting(target.c_str(), UsersRead), LockResult::Locked);
    kit::removeTree(linked);
    EXPECT_TRUE(kit::fileExists(target)) << "the links went as links";
}
