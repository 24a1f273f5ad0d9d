// The uninstaller's side of its temporary copy.
#pragma once
#include <windows.h>
#include <stddef.h>

class Installer;

// The uninstaller's notice that the game is not installed.
void showNotInstalledNotice();

// The installed uninst.exe copied for a run of its own and marked for removal at restart; copy is
// its path, held the open handle that keeps it as it is until the caller has started it.
bool placeUninstallerCopy(Installer& in, char* copy, size_t size, HANDLE& held);
