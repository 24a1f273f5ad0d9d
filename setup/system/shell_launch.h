// Programs started for the kit's own work, whose end it waits for.
#pragma once
#include <windows.h>

// The program started through the shell as shellLaunch opens it, its process handle kept (the
// caller closes it); nullptr when it did not start.
HANDLE shellLaunchProcess(const char* path, const char* parameters);
