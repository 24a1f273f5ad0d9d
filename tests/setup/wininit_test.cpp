// Removal at restart on the 95/98/Me family: the [Rename] section of WININIT.INI, on real files.
#include <gtest/gtest.h>

#include "driver.h"

bool scheduleDeleteInWininit(const char* iniPath, const char* shortPath);

TEST(Wininit, RenameSectionMovesToTheEndWithEveryOldLineAndTheNewOne)
{
    std::string folder = kit::freshFolder("wininit");
    std::string ini = folder + "\\WININIT.INI";
    ASSERT_TRUE(kit::writeFile(ini, "[boot]\r\nx=1\r\n[Rename]\r\nNUL=C:\\TEMP\\A.EXE\r\nNUL=C:\\TEMP\\B.EXE\r\n"
                                    "C:\\NEW.DLL=C:\\OLD.DLL\r\n[other]\r\ny=2\r\n\x1A"));
    ASSERT_TRUE(scheduleDeleteInWininit(ini.c_str(), "C:\\WINDOWS\\TEMP\\UNINST.EXE"));
    std::string text;
    ASSERT_TRUE(kit::readFile(ini, text));
    const std::string tail = "[Rename]\r\nNUL=C:\\TEMP\\A.EXE\r\nNUL=C:\\TEMP\\B.EXE\r\nC:\\NEW.DLL=C:\\OLD.DLL\r\n"
                             "NUL=C:\\WINDOWS\\TEMP\\UNINST.EXE\r\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << text;
    EXPECT_EQ(text.find("[Rename]"), text.size() - tail.size()) << "only one [Rename] section, at the end";
    EXPECT_EQ(text.find('\x1A'), std::string::npos) << "the end mark was written over";
    EXPECT_NE(text.find("[boot]\r\nx=1\r\n"), std::string::npos);
    EXPECT_NE(text.find("[other]\r\ny=2\r\n"), std::string::npos);
    size_t nul = 0;
    for (size_t at = 0; (at = text.find("NUL=", at)) != std::string::npos; ++at) ++nul;
    EXPECT_EQ(nul, 3u) << "no pending removal lost or repeated";

    // A file that does not end in 0x1A is appended to after its last byte.
    ASSERT_TRUE(kit::writeFile(ini, "[boot]\r\nx=1\r\n"));
    ASSERT_TRUE(scheduleDeleteInWininit(ini.c_str(), "C:\\T\\S.EXE"));
    ASSERT_TRUE(kit::readFile(ini, text));
    EXPECT_NE(text.find("x=1"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 26), "[Rename]\r\nNUL=C:\\T\\S.EXE\r\n");

    // A system that has no WININIT.INI yet gets one holding just the section.
    DeleteFileA(ini.c_str());
    ASSERT_TRUE(scheduleDeleteInWininit(ini.c_str(), "C:\\T\\S.EXE"));
    ASSERT_TRUE(kit::readFile(ini, text));
    EXPECT_EQ(text, "[Rename]\r\nNUL=C:\\T\\S.EXE\r\n");
}

TEST(Wininit, ASectionOverThirtyThousandBytesLeavesTheFileAsItWas)
{
    std::string folder = kit::freshFolder("wininit");
    std::string ini = folder + "\\WININIT.INI";
    std::string original = "[Rename]\r\n";
    for (int i = 0; i < 1200; ++i) original += "NUL=C:\\TEMP\\FILE" + std::to_string(i) + ".TMP\r\n";
    ASSERT_GT(original.size(), 30000u);
    ASSERT_TRUE(kit::writeFile(ini, original));
    EXPECT_FALSE(scheduleDeleteInWininit(ini.c_str(), "C:\\T\\S.EXE"));
    std::string text;
    ASSERT_TRUE(kit::readFile(ini, text));
    EXPECT_EQ(text, original);
}
