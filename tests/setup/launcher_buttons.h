// The launcher's buttons: which are enabled, read together, and awaited together (the launcher
// changes them one after another, so one awaited button says nothing of its neighbours).
#pragma once
#include <string.h>

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
