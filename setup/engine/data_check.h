// The installed-data check's comparisons beside the Installer's (compareWithSource): a file judged
// by what the kit recorded when it placed it.
#pragma once
#include <windows.h>
#include <stdint.h>

// A check begins on this bar: range 100, step 1, empty. Within a check only what changes reaches
// the bar; each file's result leaves it at that file's position (full for a file that is right).
void beginCheckBar(HWND progressBar);

// The bar at position at once (a file judged without reading it).
void showCheckBar(HWND progressBar, int position);

// True when the file at path holds size bytes whose CRC-32 is crc; the bar moves as it does while a
// file is compared with its source, and is full only for a file that matches.
bool matchesRecord(const char* path, uint64_t size, uint32_t crc, HWND progressBar);
