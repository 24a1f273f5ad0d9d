// Keeps a second copy of the program from running: named mutexes in two slots.
#pragma once
#include <windows.h>

struct InstanceGuard {
    HANDLE slots[2];
    int acquire(int slot, const char* name);
    int release(int highestSlot);
};

extern InstanceGuard instanceGuard;
