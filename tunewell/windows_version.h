// The Windows release the program runs on, by its build number.
#pragma once

// 1-4 Windows 95, 12 NT 3.51, 13 NT 4.0, 20/21 98, 30 Me, 40 2000, 45 XP pre-releases, 50 XP,
// 60 Server 2003, 255 anything else; -1 when the system does not answer.
int classifyWindowsVersion();
