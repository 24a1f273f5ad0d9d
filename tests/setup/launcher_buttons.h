// The launcher's buttons: which are enabled, read together, and awaited together (the launcher
// changes them one after another, so one awaited button says nothing of its neighbours).
#pragma once
#include <shlobj.h>
#include <string.h>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

#include "driver.h"

struct Enabling {
    bool install, uninstall, gameStart, readme, manual, quit, browse, dataCheck, homePage;
};

inline Enabling enabling(HWND d)
{
    return {kit::itemEnabled(d, 1000), kit::itemEnabled(d, 1014), kit::itemEnabled(d, 1001),
            kit::itemEnabled(d, 1006), kit::itemEnabled(d, 1020), kit::itemEnabled(d, 2),
            kit::itemEnabled(d, 1003), kit::itemEnabled(d, 1025), kit::itemEnabled(d, 1022)};
}

inline bool operator==(const Enabling& a, const Enabling& b) { return memcmp(&a, &b, sizeof a) == 0; }
inline std::ostream& operator<<(std::ostream& o, const Enabling& e)
{
    return o << e.install << e.uninstall << e.gameStart << e.readme << e.manual << e.quit << e.browse << e.dataCheck
             << e.homePage;
}

// The launcher's buttons as expected; true once every one of them is.
inline bool waitEnabling(HWND launcher, const Enabling& expected, DWORD timeoutMs = 20000)
{
    return kit::waitUntil([&] { return enabling(launcher) == expected; }, timeoutMs);
}

// The launcher at rest after an installation, and when nothing is installed.
constexpr Enabling installedButtons{true, true, true, true, true, true, false, true, true};
constexpr Enabling notInstalledButtons{true, false, false, true, true, true, true, false, true};

// Starts the launcher from drive n: with args and installs into the default folder (or /dir's),
// without the desktop link; the launcher, or nullptr when a step did not come. duringCopy, when
// given, runs once the folder question is answered and must succeed.
inline HWND installFromDriveN(kit::Process& process, const std::string& args = "",
                              const std::function<bool()>& duringCopy = nullptr)
{
    if (!kit::start(process, "n:\\setup.exe", args)) return nullptr;
    HWND launcher = kit::waitWindow(process.pid, L"#32770", L"Veyla Setup", 20000);
    if (!launcher) return nullptr;
    kit::click(launcher, 1000);
    HWND notice = kit::waitOtherDialog(process.pid, launcher, 20000);
    if (!notice) return nullptr;
    kit::click(notice, IDOK);
    bool answered = kit::answerNext(process.pid, IDYES, 20000) &&                                  // create the folder
                    (!duringCopy || duringCopy()) && kit::answerNext(process.pid, IDNO, 60000) &&  // no desktop link
                    kit::answerNext(process.pid, IDOK, 60000);                                     // installed
    return answered ? launcher : nullptr;
}

// Selects a folder (a path of the system's code page) in the folder dialog; the dialog may still
// be making its controls or filling its tree, so the tree is looked for and the selection repeated
// until the tree shows it.
inline bool selectFolder(HWND browse, const std::string& folder)
{
    HWND tree = nullptr;
    std::wstring wide = kit::systemToWide(folder), last = wide.substr(wide.find_last_of(L'\\') + 1);
    return kit::waitUntil(
        [&] {
            if (!tree) tree = FindWindowExW(browse, nullptr, L"SysTreeView32", nullptr);
            if (!tree) return false;
            kit::sendTextMessage(browse, BFFM_SETSELECTIONA, TRUE, folder);
            std::wstring shown = kit::treeSelectionText(tree);
            return last.empty() || _wcsicmp(shown.c_str(), last.c_str()) == 0;
        },
        30000);
}

// Chooses a folder in the folder dialog that the launcher's browse button opens, and awaits it in
// the launcher's folder field.
inline void browseFolder(kit::Process& process, HWND launcher, const std::string& folder)
{
    kit::click(launcher, 1003);
    HWND browse = kit::waitOtherDialog(process.pid, launcher, 20000);
    ASSERT_NE(browse, nullptr);
    ASSERT_TRUE(selectFolder(browse, folder)) << folder;
    kit::click(browse, IDOK);
    ASSERT_TRUE(kit::waitGone(browse, 10000));
    // The launcher shows the folder once the dialog's call has returned, a moment later.
    std::string base = folder.back() == '\\' ? folder.substr(0, folder.size() - 1) : folder;
    std::wstring shown = kit::systemToWide(base + "\\TesmafromKuvel\\Veyla");
    ASSERT_TRUE(
        kit::waitUntil([&] { return _wcsicmp(kit::itemText(launcher, 1004).c_str(), shown.c_str()) == 0; }, 10000))
        << kit::utf8(kit::itemText(launcher, 1004));
}
