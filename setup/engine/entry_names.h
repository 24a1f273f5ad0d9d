// The rule archive entries' names and the update journal's names are kept by.
#pragma once

// An archive entry's name (backslashes already) that stays inside its folder and names no device.
bool isSafeEntryName(const char* name);
