#include "instance_guard.h"

InstanceGuard instanceGuard;

int InstanceGuard::acquire(int slot, const char* name)
{
    if (slot != 0 && slot != 1) return -1;
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return -1;
    }
    slots[slot] = mutex;  // a creation that failed otherwise lets the program run
    return 0;
}

int InstanceGuard::release(int highestSlot)
{
    if (highestSlot != 0 && highestSlot != 1) return -1;
    for (int slot = 0; slot <= highestSlot; ++slot) {
        if (!slots[slot]) continue;
        ReleaseMutex(slots[slot]);
        CloseHandle(slots[slot]);
        slots[slot] = nullptr;
    }
    return 0;
}
