// How the kit opens a program, a document or a web page (Installer::shellLaunch), and the programs
// started for its own work, whose end it waits for.
#pragma once
#include <windows.h>

// shellLaunch's mode: open through the shell, the README in Notepad, or the shell's default verb.
enum LaunchMode { LaunchOpen = 0, LaunchNotepad = 1, LaunchDefault = 2 };

// The program started through the shell as shellLaunch opens it, its process handle kept (the
// caller closes it); nullptr when it did not start.
HANDLE shellLaunchProcess(const char* path, const char* parameters);
