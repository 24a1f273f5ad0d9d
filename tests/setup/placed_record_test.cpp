// The record of what the kit placed: what it writes reads back, a damaged record is never trusted,
// and a newer run's files replace an older run's by name.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "engine/placed_record.h"
#include "driver.h"

namespace {

PlacedFile placed(const char* path, PlacedOrigin origin, int disc, uint64_t size, uint32_t crc,
                  const char* archive = "")
{
    PlacedFile f = {};
    snprintf(f.path, sizeof f.path, "%s", path);
    snprintf(f.archive, sizeof f.archive, "%s", archive);
    f.origin = origin;
    f.disc = disc;
    f.size = size;
    f.crc = crc;
    return f;
}

class PlacedRecord : public ::testing::Test {
protected:
    void SetUp() override { folder = kit::freshFolder("placed"); }
    std::string record() const { return folder + "\\placed.lst"; }
    std::string folder;
};

TEST_F(PlacedRecord, WrittenFilesReadBackWithEveryField)
{
    // A path with a space, a second byte 0x5C and a name of an archive; a size beyond 32 bits.
    const PlacedList list = {
        placed("Veyla.exe", PlacedOrigin::Disc, 0, 0, 0),
        placed("movie\\op \x83\x5C.mpg", PlacedOrigin::Archive, 1, 5000000000ull, 0xdeadbeef, "Agrd.zip"),
        placed("update1.tpk", PlacedOrigin::Update, -1, 17, 0x0000abcd)};
    ASSERT_TRUE(writePlacedRecord(record().c_str(), list));
    PlacedList read;
    ASSERT_TRUE(readPlacedRecord(folder.c_str(), read));
    ASSERT_EQ(read.size(), list.size());
    for (size_t i = 0; i < list.size(); ++i) {
        EXPECT_STREQ(read[i].path, list[i].path);
        EXPECT_STREQ(read[i].archive, list[i].archive);
        EXPECT_EQ(read[i].origin, list[i].origin);
        EXPECT_EQ(read[i].disc, list[i].disc);
        EXPECT_EQ(read[i].size, list[i].size);
        EXPECT_EQ(read[i].crc, list[i].crc);
    }
    EXPECT_FALSE(placedRecordUnreadable(folder.c_str()));
    EXPECT_FALSE(writePlacedRecord(record().c_str(), list)) << "made new only: never written through what is there";
}

TEST_F(PlacedRecord, ARecordOfAnyOtherShapeIsNotTrusted)
{
    PlacedList read;
    EXPECT_FALSE(readPlacedRecord(folder.c_str(), read)) << "none";
    EXPECT_FALSE(placedRecordUnreadable(folder.c_str())) << "none is not a damaged one";
    const std::string good = "kit placed files\r\nD 0 10 00000000 a.dat|\r\n";
    const char* const bad[] = {
        "someone's list\r\nD 0 10 00000000 a.dat|\r\n",    // not the kit's
        "kit placed files\r\nD 0 10 00000000 a.dat|",      // cut within its last line
        "kit placed files\r\nX 0 10 00000000 a.dat|\r\n",  // no such origin
        "kit placed files\r\nD 0 10 0000000 a.dat|\r\n",   // a CRC of seven digits
        "kit placed files\r\nD 0 1x 00000000 a.dat|\r\n",  // a size that is no number
        "kit placed files\r\nD 0 10 00000000 a.dat\r\n",   // no archive field
        "kit placed files\r\nD 0 10 00000000 |\r\n",       // no path
        "kit placed files\r\nD -2 10 00000000 a.dat|\r\n",
    };
    ASSERT_TRUE(kit::writeFile(record(), good));
    ASSERT_TRUE(readPlacedRecord(folder.c_str(), read));
    EXPECT_EQ(read.size(), 1u);
    for (const char* text : bad) {
        ASSERT_TRUE(kit::writeFile(record(), text));
        EXPECT_FALSE(readPlacedRecord(folder.c_str(), read)) << text;
        EXPECT_TRUE(read.empty()) << "nothing of a damaged record is kept: " << text;
        EXPECT_TRUE(placedRecordUnreadable(folder.c_str())) << text;
    }
}

TEST(PlacedRecords, ANewerRunsFilesReplaceTheOlderByNameInEitherCase)
{
    PlacedList older = {placed("data.tpk", PlacedOrigin::Disc, 0, 10, 0),
                        placed("update1.tpk", PlacedOrigin::Update, -1, 5, 0x11)};
    const PlacedList newer = {placed("UPDATE1.TPK", PlacedOrigin::Disc, 0, 7, 0),
                              placed("movie\\a.dat", PlacedOrigin::Archive, 0, 3, 0x22, "Agrd.zip")};
    mergePlaced(older, newer);
    ASSERT_EQ(older.size(), 3u);
    EXPECT_STREQ(older[0].path, "data.tpk") << "the older run's other file stays";
    EXPECT_EQ(older[1].origin, PlacedOrigin::Disc) << "the disc's file put back over the update's";
    EXPECT_EQ(older[1].size, 7u);
    EXPECT_STREQ(older[2].path, "movie\\a.dat");
    EXPECT_EQ(findPlaced(older, "MOVIE\\A.DAT"), &older[2]);
    EXPECT_EQ(findPlaced(older, "grd_2.pac"), nullptr);
}

}  // namespace
