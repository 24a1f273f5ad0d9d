// The update journal's lines: what the update writes is read back, and any other shape is passed over.
#include <gtest/gtest.h>
#include <string>

#include "engine/update_journal.h"

TEST(UpdateJournal, LinesOfEveryShape)
{
    struct Case {
        const char* line;
        bool good;
        const char* target;
        DWORD attributes;  // INVALID_FILE_ATTRIBUTES: nothing was installed under the name
    };
    const Case cases[] = {
        {"1 00000021 c:\\G\\Veyla.exe|c:\\G\\Veyla.exe.new~|c:\\G\\Veyla.exe.old~", true, "c:\\G\\Veyla.exe", 0x21},
        {"0 ffffffff c:\\G\\data.tpk|c:\\G\\data.tpk.new~|c:\\G\\data.tpk.old~", true, "c:\\G\\data.tpk",
         INVALID_FILE_ATTRIBUTES},
        // A numbered pair, in another letter case.
        {"1 00000080 c:\\G\\a.dat|C:\\G\\A.DAT.NEW3~|c:\\g\\a.dat.old3~", true, "c:\\G\\a.dat", 0x80},
        {"2 00000080 c:\\G\\a.dat|c:\\G\\a.dat.new~|c:\\G\\a.dat.old~", false, "", 0},    // not 0 or 1
        {"1 0080 c:\\G\\a.dat|c:\\G\\a.dat.new~|c:\\G\\a.dat.old~", false, "", 0},        // attributes not 8 digits
        {"1 000000800 c:\\G\\a.dat|c:\\G\\a.dat.new~|c:\\G\\a.dat.old~", false, "", 0},   // nor 9
        {"1 00000080 c:\\G\\a.dat|c:\\G\\a.dat.new~", false, "", 0},                      // one name missing
        {"1 00000080 c:\\G\\a.dat|c:\\G\\b.dat.new~|c:\\G\\a.dat.old~", false, "", 0},    // another file's name
        {"1 00000080 c:\\G\\a.dat|c:\\G\\a.dat.old~|c:\\G\\a.dat.new~", false, "", 0},    // the two names swapped
        {"1 00000080 c:\\G\\a.dat|c:\\G\\a.dat.new12~|c:\\G\\a.dat.old~", false, "", 0},  // two digits
        {"1 00000080 c:\\G\\a.dat|c:\\G\\a.dat.new|c:\\G\\a.dat.old~", false, "", 0},     // no "~"
        {"1 00000080 |.new~|.old~", false, "", 0},                                        // no target
        {"", false, "", 0},
    };
    for (const Case& c : cases) {
        std::string line = c.line;
        UpdateFile f = {};
        bool good = parseJournalLine(&line[0], f);
        EXPECT_EQ(good, c.good) << c.line;
        if (!good || !c.good) continue;
        EXPECT_STREQ(f.target, c.target) << c.line;
        EXPECT_EQ(f.oldAttributes, c.attributes) << c.line;
        EXPECT_FALSE(f.replaced);
    }
}

TEST(UpdateJournal, WrittenLinesReadBackWithTheirPhase)
{
    char folder[MAX_PATH];
    ASSERT_NE(GetTempPathA(sizeof folder, folder), 0u);
    std::string dir = std::string(folder) + "journal-test";
    CreateDirectoryA(dir.c_str(), nullptr);  // there already from an earlier run is fine
    UpdateFile written[2] = {};
    const char* names[2] = {"Veyla.exe", "data.tpk"};
    for (int i = 0; i < 2; ++i) {
        std::string target = dir + "\\" + names[i];
        snprintf(written[i].target, PathSize, "%s", target.c_str());
        snprintf(written[i].fresh, PathSize, "%s.new~", target.c_str());
        snprintf(written[i].old, PathSize, "%s.old~", target.c_str());
        written[i].oldAttributes = i == 0 ? FILE_ATTRIBUTE_READONLY : INVALID_FILE_ATTRIBUTES;
    }
    UpdateJournal journal;
    ASSERT_TRUE(nameJournal(journal, dir.c_str()));
    DeleteFileA(journal.path);  // left by an earlier run that failed
    ASSERT_TRUE(openJournal(journal, written, 2));
    ASSERT_TRUE(writeJournalPhase(journal, JournalPhase::Replacing));
    keepJournal(journal);
    UpdateFile read[4] = {};
    JournalContents contents;
    ASSERT_TRUE(readJournal(journal.path, read, 4, contents));
    EXPECT_TRUE(contents.ours);
    EXPECT_FALSE(contents.done);
    EXPECT_STREQ(contents.phase, "replacing");
    ASSERT_EQ(contents.count, 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_STREQ(read[i].target, written[i].target);
        EXPECT_STREQ(read[i].fresh, written[i].fresh);
        EXPECT_STREQ(read[i].old, written[i].old);
        EXPECT_EQ(read[i].oldAttributes, written[i].oldAttributes);
    }
    ASSERT_TRUE(nameJournal(journal, dir.c_str()));
    ASSERT_TRUE(closeJournal(journal));
    EXPECT_FALSE(readJournal(journal.path, read, 4, contents)) << "a closed journal is gone";
    RemoveDirectoryA(dir.c_str());
}
