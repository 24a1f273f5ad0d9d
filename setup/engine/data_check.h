// The installed-data check's comparisons beside the Installer's (compareWithSource): a file judged
// by what the kit recorded when it placed it.
#pragma once
#include <windows.h>
#include <stdint.h>

// True when the file at path holds size bytes whose CRC-32 is crc; the bar moves as it does while a
// file is compared with its source, and is full only for a file that matches.
bool matchesRecord(const char* path, uint64_t size, uint32_t crc, HWND progressBar);
