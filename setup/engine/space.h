// Sizes and free space: what an open file holds, and the message that a drive lacks room.
#pragma once
#include <windows.h>
#include <stdint.h>

// The size of an open file; false when it cannot be had.
bool openFileSize(HANDLE file, uint64_t& size);

// The message that the drive of folder has freeMB where neededMB are needed, owned by owner.
void showNoSpace(HWND owner, const char* folder, uint32_t freeMB, uint32_t neededMB);
