// The operating-system kind, classified before the entry runs, under Wine's per-program versions.
#include <gtest/gtest.h>

#include "driver.h"

TEST(SystemInfo, KindOfEachWindowsVersion)
{
    struct Case {
        const char* version;
        long expected;  // osKind * 10 + isWindows9xFamily
    };
    // No compatibility entry in this program's manifest: Windows 10 reports 6.2, kind 0.
    const Case cases[] = {{"win95", 11}, {"win98", 11}, {"winme", 11}, {"nt40", 0}, {"win2k", 20},
                          {"winxp", 20}, {"vista", 30}, {"win7", 40},  {"win8", 0}, {"win10", 0}};
    for (const Case& c : cases) {
        ASSERT_TRUE(kit::setWindowsVersion("os_kind_probe.exe", c.version));
        kit::Process p;
        ASSERT_TRUE(kit::start(p, kit::binPath("..\\tests\\os_kind_probe.exe")));
        EXPECT_EQ(kit::waitExit(p, 20000), c.expected) << c.version;
    }
    kit::setWindowsVersion("os_kind_probe.exe", nullptr);
}
