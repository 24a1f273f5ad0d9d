// The Start-menu group and the desktop link (the Installer's shortcut operations), and the shell's
// special folders they live in.
#pragma once
#include <stddef.h>

// Looks up a special folder by path into out; false (out empty) when the shell has none.
bool getSpecialFolder(int csidl, char* out, size_t size);

// Where createStartMenuEntries and readStartMenuShortcutDir put and read the group: the Start
// menu's own folder or its programs folder.
enum ShortcutLocation { StartMenuFolder = 0, ProgramsFolder = 1 };
