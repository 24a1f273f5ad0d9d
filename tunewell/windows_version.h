// The Windows release the program runs on, by its build number.
#pragma once

// 1-4 Windows 95, 12 NT 3.51, 13 NT 4.0, 20/21 98, 30 Me, 40 2000, 45 XP pre-releases, 50 XP,
// 60 Server 2003, 255 anything else; -1 when the system does not answer.
int classifyWindowsVersion();

// The kinds below 20 (Windows 95, NT 3.51 and 4.0), on which the tool does not run; the kind is
// read from the low byte of the result.
enum { FirstRefusedKind = 1, LastRefusedKind = 19, KindMask = 0xFF };
// The build number is the low word of the version record's field.
enum { BuildNumberMask = 0xFFFF };
