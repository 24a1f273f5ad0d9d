// Bad input, faults and cancellation: thousands of damaged archives, cancels at many points, a
// medium that fails or goes away, and folders near the 260-byte limit. Nothing may crash, hang,
// be written outside the installation folder, or be left installed as if it were good.
#include "driver.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <set>

#include "config/product_config.h"
#include "engine/zip_extract.h"
#include "launcher_stand_in.h"
#include "media.h"
#include "veyla_medium.h"
#include "state/copy_state.h"

namespace {

int stressCount(int normal)
{
    const char* v = getenv("KIT_STRESS_CASES");
    return v && atoi(v) > 0 ? atoi(v) : normal;
}

// Every file below folder, relative name and contents.
void listFiles(const std::string& folder, const std::string& prefix, std::map<std::string, std::string>& out)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            listFiles(folder + "\\" + name, prefix + name + "\\", out);
        } else {
            std::string bytes;
            kit::readFile(folder + "\\" + name, bytes);
            out[prefix + name] = bytes;
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

struct Mutation {
    std::string bytes;
    std::string what;
};

// A deterministic mutation of a well-formed archive, by case number.
Mutation mutate(const std::string& zip, unsigned n)
{
    uint32_t x = n * 2654435761u + 12345u;
    auto next = [&] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    Mutation m{zip, ""};
    size_t size = zip.size();
    switch (n % 6) {
    case 0: {  // truncation anywhere
        size_t at = next() % size;
        m.bytes.resize(at);
        m.what = "truncated at " + std::to_string(at);
        break;
    }
    case 1:
    case 2: {  // one flipped byte anywhere (headers and data)
        size_t at = next() % size;
        m.bytes[at] = (char)(m.bytes[at] ^ (1 + next() % 255));
        m.what = "byte flipped at " + std::to_string(at);
        break;
    }
    case 3: {  // a size or offset field of a header set to another value
        size_t at = 0;
        std::vector<size_t> headers;
        for (size_t i = 0; i + 4 <= size; ++i)
            if (zip.compare(i, 2, "PK") == 0) headers.push_back(i);
        at = headers[next() % headers.size()] + 14 + 4 * (next() % 6);
        if (at + 4 > size) at = size - 4;
        uint32_t v = next() % 4 == 0 ? 0xFFFFFFFFu : next() % (uint32_t)(size * 2 + 1);
        memcpy(&m.bytes[at], &v, 4);
        m.what = "field at " + std::to_string(at) + " set to " + std::to_string(v);
        break;
    }
    case 4: {  // several bytes of noise over a random stretch
        size_t at = next() % size;
        for (size_t i = at; i < size && i < at + 1 + next() % 40; ++i) m.bytes[i] = (char)next();
        m.what = "noise from " + std::to_string(at);
        break;
    }
    default: {  // a fresh archive with hostile or overlong names
        static const char* const names[] = {
            "../up.txt", "..\\up2.txt", "/root.txt",      "c:\\x.txt",         "CON",
            "aux.dat",   "a/LPT3.txt",  "ソ/../../z.txt", "表\\..\\..\\w.txt", "ok/ソ表.txt"};
        std::vector<kit::ZipEntry> entries;
        entries.push_back({names[next() % 10], "hostile"});
        entries.push_back({std::string(200 + next() % 300, 'n') + ".txt", "long"});
        entries.push_back({"good/" + std::string(1 + next() % 60, 'g'), "good"});
        m.bytes = kit::makeZip(entries);
        m.what = "hostile names";
        break;
    }
    }
    return m;
}

TEST(Robustness, DamagedArchivesNeverCrashEscapeOrLeaveBadFiles)
{
    std::vector<kit::ZipEntry> entries = {{"movie/", ""},
                                          {"movie/op/a.mpg", kit::noiseBytes(30000, 1)},
                                          {"text/readme.txt", kit::textBytes(20000, 2)},
                                          {"ソフト/表.dat", kit::noiseBytes(5000, 3), false},
                                          {"stored.bin", kit::textBytes(4000, 4), false},
                                          {"empty.dat", ""}};
    std::set<std::string> goodContents;
    for (auto& e : entries) goodContents.insert(e.data);
    goodContents.insert("hostile");
    goodContents.insert("long");
    goodContents.insert("good");
    std::string zip = kit::makeZip(entries);
    std::string root = kit::freshFolder("fuzz");
    std::string fence = root + "\\fence";  // must stay empty: the places an escape would reach
    kit::makeFolders(fence);
    int cases = stressCount(1500), failedRuns = 0;
    for (int n = 0; n < cases; ++n) {
        Mutation m = mutate(zip, (unsigned)n);
        std::string work = fence + "\\w";
        std::string dst = work + "\\dst";
        kit::removeTree(work);
        kit::makeFolders(dst);
        kit::writeFile(fence + "\\a.zip", m.bytes);
        Installer in;
        if (extractArchive(in, (fence + "\\a.zip").c_str(), (dst + "\\").c_str(), 0) != ArchiveResult::Extracted)
            ++failedRuns;
        std::map<std::string, std::string> files;
        listFiles(fence, "", files);
        for (auto& f : files) {
            if (f.first == "a.zip") continue;
            ASSERT_EQ(f.first.compare(0, 6, "w\\dst\\"), 0) << "case " << n << " (" << m.what << ") wrote " << f.first;
            ASSERT_TRUE(goodContents.count(f.second)) << "case " << n << " (" << m.what << ") left damaged " << f.first
                                                      << " of " << f.second.size() << " bytes, zip " << zip.size();
        }
    }
    printf("archives: %d mutated cases, %d of them failed the run\n", cases, failedRuns);
    EXPECT_GT(failedRuns, cases / 4) << "damage must be noticed";
    kit::removeTree(root);
}

// An in-process installation of the product from a folder, with the messages answered.
class Installs : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit::emptyAllDrives();
        clearVeylaInstallation();
        root =
            kit::freshFolder(std::string("robust\\") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        source = root + "\\src";
        kit::makeFolders(source);
        for (const char* const* n = veylaFiles(); *n; ++n) kit::writeFile(source + "\\" + *n, veylaFileBytes(*n));
        kit::writeFile(source + "\\Veyla.exe", kit::noiseBytes(3 << 20, 9));
        kit::writeFile(source + "\\data.tpk", kit::noiseBytes(24 << 20, 10));
        productConfig.installFiles[0] = productConfig.gameExe;
        in.initialise(productConfig.installFiles, productConfig.extraFiles, productConfig.discLabels, nullptr, nullptr,
                      productConfig.publisherName, productConfig.gameName, productConfig.folderName, 1);
        snprintf(in.sourceDir, sizeof in.sourceDir, "%s", source.c_str());
    }
    void TearDown() override { clearVeylaInstallation(); }
    // Runs install(); cancelAt >= 0 requests the abort once that many bytes are copied.
    bool install(const std::string& base, int64_t cancelAt = -1, std::vector<std::wstring>* texts = nullptr)
    {
        snprintf(in.baseDir, sizeof in.baseDir, "%s", base.c_str());
        storeBytesCopied(in, 0);
        // The request comes from a thread that watches nothing else: a fast copy passes several
        // points while the test's thread serves the stand-in or looks for boxes. A count above zero
        // is this run's, copied after the worker started.
        volatile bool over = false;
        kit::Async watch([&] {
            while (cancelAt >= 0 && !over) {
                int64_t copied = (int64_t)loadBytesCopied(in);
                if (in.isWorkerRunning() && copied > 0 && copied >= cancelAt) {
                    in.cancelState = 1;
                    return;
                }
            }
        });
        bool result = false;
        kit::Async run([&] { result = in.install(); });
        while (!run.wait(0)) {
            kit::MessageBoxView box;
            if (kit::waitMessageBox(GetCurrentProcessId(), box, 20)) {
                if (texts) texts->push_back(box.text);
                int answer = box.buttons.size() == 1
                                 ? box.buttons[0]
                                 : (box.text.find(L"デスクトップ") != std::wstring::npos ? IDNO : IDYES);
                kit::answer(box, answer);
            }
        }
        over = true;
        watch.wait(INFINITE);
        return result;
    }
    void expectNothingInstalled(const std::string& dir)
    {
        for (const char* const* n = veylaFiles(); *n; ++n) EXPECT_FALSE(kit::fileExists(dir + "\\" + *n)) << *n;
        EXPECT_FALSE(kit::fileExists(dir + "\\Veyla.exe"));
        std::string v;
        EXPECT_FALSE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaRecordKey, "Dir", v));
    }
    void expectInstalled(const std::string& dir)
    {
        for (const char* const* n = veylaFiles(); *n; ++n) {
            std::string bytes;
            EXPECT_TRUE(kit::readFile(dir + "\\" + *n, bytes) &&
                        bytes.size() == Installer::fileSize((source + "\\" + *n).c_str()))
                << *n;
        }
        std::string v;
        EXPECT_TRUE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaRecordKey, "Dir", v));
    }
    std::string root, source;
    Installer in;
    LauncherStandIn launcher{in};
};

TEST_F(Installs, CancelledAtManyPointsLeavesNothingAndTheNextInstallationSucceeds)
{
    std::string base = root + "\\base";
    kit::makeFolders(base + "\\TesmafromKuvel\\Veyla");
    std::string dir = base + "\\TesmafromKuvel\\Veyla";
    const int64_t points[] = {0, 1, 65536, 3 << 20, (3 << 20) + 1, 8 << 20, 26 << 20, 27 << 20};
    int landed = 0;
    std::string late;
    for (int64_t at : points) {
        // A request that comes after the last file can no longer stop the installation; every
        // one that lands must leave nothing behind.
        if (install(base, at)) {
            late += " " + std::to_string(at);
            expectInstalled(dir);
            clearVeylaInstallation();
            kit::removeTree(dir);
            in.installed = 0;
            continue;
        }
        ++landed;
        expectNothingInstalled(dir);
        EXPECT_EQ(in.installed, 0);
    }
    EXPECT_GE(landed, 6) << "cancels inside the copy; too late:" << late;
    std::vector<std::wstring> texts;
    EXPECT_TRUE(install(base, -1, &texts));
    expectInstalled(dir);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), L"インストールが完了しました。");
}

TEST_F(Installs, AnUnreadableFileOnTheMediumFailsTheInstallation)
{
    // The bench's damaged data folder: update3.tpk is there but cannot be read.
    std::string damaged = kit::scratchPath("fixtures\\damaged");
    std::string bytes;
    if (!kit::fileExists(damaged + "\\update3.tpk") || kit::readFile(damaged + "\\update3.tpk", bytes))
        GTEST_SKIP() << "no unreadable file on the bench (it needs root to make one)";
    for (const char* const* n = veylaFiles(); *n; ++n)
        if (strcmp(*n, "update3.tpk") != 0) kit::writeFile(damaged + "\\" + *n, veylaFileBytes(*n));
    kit::writeFile(damaged + "\\Veyla.exe", "game");
    snprintf(in.sourceDir, sizeof in.sourceDir, "%s", damaged.c_str());
    std::vector<std::wstring> texts;
    EXPECT_FALSE(install(root + "\\base", -1, &texts));
    expectNothingInstalled(root + "\\base\\TesmafromKuvel\\Veyla");
    for (auto& t : texts) EXPECT_NE(t, L"インストールが完了しました。");
}

TEST_F(Installs, AMediumTakenOutDuringTheCopyFailsTheInstallation)
{
    std::string base = root + "\\base";
    snprintf(in.baseDir, sizeof in.baseDir, "%s", base.c_str());
    // A pack large enough (sparse) that the copy is still under way when the medium goes: before
    // the copy starts, a missing medium is asked for instead.
    ASSERT_TRUE(kit::makeSparseFile(source + "\\data.tpk", 2ull << 30));
    bool result = true;
    kit::Async run([&] { result = in.install(); });
    // The folder question, then the medium goes while the large pack is copied.
    ASSERT_TRUE(kit::answerNext(GetCurrentProcessId(), IDYES, 20000));
    ASSERT_TRUE(kit::waitUntil(
        [&] {
            uint64_t copied = loadBytesCopied(in);
            return copied > 0 && copied < (1ull << 30);
        },
        20000));
    std::string away = root + "\\away";
    EXPECT_TRUE(MoveFileA(source.c_str(), away.c_str()));
    ASSERT_TRUE(run.wait(60000));
    EXPECT_FALSE(result);
    expectNothingInstalled(base + "\\TesmafromKuvel\\Veyla");
}

// Sets the key's access list from its text form; false when the system refuses.
bool setKeyAccess(const char* path, REGSAM access, const char* sddl)
{
    HKEY key;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, access, &key) != ERROR_SUCCESS) return false;
    bool ok = ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr) &&
              RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
    LocalFree(descriptor);
    RegCloseKey(key);
    return ok;
}

TEST_F(Installs, StartMenuAndProgramsEntryThatCannotBeWrittenStillComplete)
{
    std::string programs = specialFolder(CSIDL_COMMON_PROGRAMS);
    ASSERT_TRUE(kit::writeFile(programs + "\\TesmafromKuvel", "a file where the group folder would go"));
    // The entry's key, with a value of somebody else's, may be read but not written.
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, veylaEntryKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              0);
    RegSetValueExA(key, "Comments", 0, REG_SZ, (const BYTE*)"kept", 5);
    RegCloseKey(key);
    ASSERT_TRUE(setKeyAccess(veylaEntryKey, KEY_ALL_ACCESS, "D:P(A;;KRWD;;;WD)"));
    std::vector<std::wstring> texts;
    std::string base = root + "\\base";
    EXPECT_TRUE(install(base, -1, &texts));
    DeleteFileA((programs + "\\TesmafromKuvel").c_str());
    std::string value;
    EXPECT_FALSE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaEntryKey, "DisplayName", value)) << "no half entry";
    EXPECT_TRUE(kit::readRegistryBytes(HKEY_LOCAL_MACHINE, veylaEntryKey, "Comments", value));
    EXPECT_TRUE(setKeyAccess(veylaEntryKey, WRITE_DAC, "D:P(A;;KA;;;WD)"));
    ASSERT_GE(texts.size(), 2u);
    std::wstring dir = kit::ansiToWide(base) + L"\\TesmafromKuvel\\Veyla";
    EXPECT_EQ(
        texts[texts.size() - 2],
        L"スタートメニューにショートカットが作成できませんでした。\n管理者アカウントで再インストールを行うか、\n[ " +
            dir + L"\\Veyla.exe ]を起動させてください。");
    EXPECT_EQ(texts.back(), L"インストールが完了しました。");
    expectInstalled(kit::wideToAnsi(dir));
}

TEST_F(Installs, BaseFoldersNearTheLimitInstallRightOrFailCleanly)
{
    int successes = 0, failures = 0;
    for (int length = 200; length <= 259; length += 3) {
        // Nested folders of at most 50 bytes, with a double-byte character whose second byte is
        // 0x5C at a different place each time.
        std::string base = root + "\\L";
        int part = 0;
        while ((int)base.size() < length) {
            std::string component = "\\";
            component += std::string(std::min(40, length - (int)base.size() - 1), 'a' + part % 26);
            size_t at = (length + part * 7) % component.size();
            if (component.size() > 3 && at > 0 && at + 2 < component.size()) component.replace(at, 2, "ソ");
            base += component;
            ++part;
        }
        base.resize(length);
        if (base.back() == '\\' || (unsigned char)base.back() == 0x83) base.back() = 'z';
        kit::makeFolders(base);
        std::vector<std::wstring> texts;
        bool ok = install(base, -1, &texts);
        std::string dir = base + "\\TesmafromKuvel\\Veyla";
        if (ok) {
            ++successes;
            expectInstalled(dir);
            clearVeylaInstallation();
        } else {
            ++failures;
            expectNothingInstalled(dir);
            for (auto& t : texts) EXPECT_NE(t, L"インストールが完了しました。") << length;
        }
        // Nothing may land anywhere else under the base folder.
        std::map<std::string, std::string> files;
        listFiles(root + "\\L", "", files);
        for (auto& f : files)
            EXPECT_NE(f.first.find("TesmafromKuvel\\Veyla\\"), std::string::npos) << length << " wrote " << f.first;
        kit::removeTree(root + "\\L");
    }
    printf("base folders near the limit: %d installed, %d refused cleanly\n", successes, failures);
    EXPECT_GT(successes, 0);
    EXPECT_GT(failures, 0);
}

}  // namespace
