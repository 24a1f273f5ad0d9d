// The bounded text helpers: exact truncation boundaries, code page 932 walking, and messages that
// hold paths of the system's code page.
#include <gtest/gtest.h>
#include <string.h>

#include "platform/text.h"

TEST(BoundedText, FormatFitsExactlyOrFailsEmpty)
{
    char buf[8];
    EXPECT_TRUE(formatText(buf, sizeof buf, "%s", "1234567"));  // 7 bytes + terminator
    EXPECT_STREQ(buf, "1234567");
    EXPECT_FALSE(formatText(buf, sizeof buf, "%s\\%s", "abcd", "efg"));  // 8 bytes do not fit
    EXPECT_STREQ(buf, "") << "a path that does not fit must never become a shorter path";
    EXPECT_TRUE(formatText(buf, sizeof buf, "%s\\%s", "ab", "cd"));
    EXPECT_STREQ(buf, "ab\\cd");
}

TEST(BoundedText, CopyAndAppendBoundaries)
{
    char buf[6];
    EXPECT_TRUE(copyText(buf, sizeof buf, "12345"));
    EXPECT_FALSE(copyText(buf, sizeof buf, "123456"));
    EXPECT_STREQ(buf, "");
    EXPECT_TRUE(copyText(buf, sizeof buf, "abc"));
    EXPECT_TRUE(appendText(buf, sizeof buf, "de"));
    EXPECT_FALSE(appendText(buf, sizeof buf, "f"));
    EXPECT_STREQ(buf, "abcde") << "a failed append leaves the text as it was";
}

TEST(Cp932Walk, SecondByte5CIsNotABackslash)
{
    // ソ is 0x83 0x5C and 表 is 0x95 0x5C in code page 932.
    char path[] = "c:\\ソフト\\表";
    ASSERT_EQ((unsigned char)path[4], 0x5C);
    char* last = lastBackslash(path);
    ASSERT_NE(last, nullptr);
    EXPECT_STREQ(last + 1, "表");
    EXPECT_FALSE(endsWithBackslash(path));
    EXPECT_FALSE(endsWithBackslash("表"));
    EXPECT_TRUE(endsWithBackslash("表\\"));
    EXPECT_TRUE(endsWithBackslash("d:\\Games\\"));
    char none[] = "ソ";
    EXPECT_EQ(lastBackslash(none), nullptr);
    EXPECT_TRUE(isLeadByte(0x81) && isLeadByte(0x9F) && isLeadByte(0xE0) && isLeadByte(0xFC));
    EXPECT_FALSE(isLeadByte(0x80) || isLeadByte(0xA0) || isLeadByte(0xDF) || isLeadByte(0xFD) || isLeadByte('\\'));
}

TEST(Cp932Walk, PathsCompareTheirLettersInEitherCaseAndTheirSecondBytesAsTheyAre)
{
    // ア is 0x83 0x41 and ヂ is 0x83 0x61: one second byte is the other in another case.
    const struct {
        const char *a, *b;
        bool same;
    } pairs[] = {{"c:\\Game\\data.tpk", "C:\\GAME\\DATA.TPK", true},
                 {"c:\\ア", "c:\\ヂ", false},
                 {"c:\\ア\\a", "C:\\ア\\A", true},
                 {"c:\\game", "c:\\game2", false},
                 {"c:\\game2", "c:\\game", false},
                 {"", "", true}};
    for (const auto& p : pairs) EXPECT_EQ(samePath(p.a, p.b), p.same) << p.a << " " << p.b;
    EXPECT_TRUE(isBelowFolder("c:\\ソフト\\movie\\op.mpg", "C:\\ソフト"));
    EXPECT_FALSE(isBelowFolder("c:\\ソフト2\\op.mpg", "c:\\ソフト")) << "a longer name is not below";
    EXPECT_FALSE(isBelowFolder("c:\\ヂ\\op.mpg", "c:\\ア"));
    EXPECT_FALSE(isBelowFolder("c:\\ア\\", "c:\\ア")) << "nothing below it";
    EXPECT_FALSE(isBelowFolder("c:\\ア", "c:\\ア"));
}

TEST(PathsInMessages, EachPartIsConvertedFromItsOwnCodePage)
{
    char buf[64];
    ASSERT_TRUE(formatWithPaths(buf, sizeof buf, "%s は%d%%\n%s", "c:\\表", 5, "d:"));
    EXPECT_STREQ(buf, "\x01"
                      "c:\\表\x02 は5%\n\x01"
                      "d:\x02")
        << "only %s arguments are marked";
    char plain[64];
    EXPECT_STREQ(withoutPathMarks(buf, plain, sizeof plain), "c:\\表 は5%\nd:")
        << "the A-functions see the bytes of formatText";
    EXPECT_FALSE(formatWithPaths(buf, 8, "%s!", "1234567"));
    EXPECT_STREQ(buf, "");
    // The text part read as code page 1252 ("é"), the path part as this system's 932 ("表").
    wchar_t wide[16];
    toWideText("\xE9\x01\x95\x5C\x02", 1252, wide, 16);
    EXPECT_STREQ(wide, L"\u00E9\u8868");
    toWideText("\x01\x95\x5C\x95\x5C\x02", 1252, wide, 2);
    EXPECT_STREQ(wide, L"") << "a text that does not fit shows empty, never cut in a character";
}
