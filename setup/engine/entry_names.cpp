#include "engine/entry_names.h"

#include <ctype.h>
#include <string.h>

#include "platform/text.h"

namespace {

// A device name as a path component: CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, with or without an
// extension, in any letter case.
bool isDeviceName(const char* component, size_t len)
{
    size_t stem = 0;
    while (stem < len && component[stem] != '.') ++stem;
    while (stem > 0 && component[stem - 1] == ' ') --stem;
    char upper[5] = "";
    if (stem != 3 && stem != 4) return false;
    for (size_t k = 0; k < stem; ++k) upper[k] = (char)toupper((unsigned char)component[k]);
    upper[stem] = '\0';
    if (stem == 3)
        return !strcmp(upper, "CON") || !strcmp(upper, "PRN") || !strcmp(upper, "AUX") || !strcmp(upper, "NUL");
    return (!strncmp(upper, "COM", 3) || !strncmp(upper, "LPT", 3)) && upper[3] >= '1' && upper[3] <= '9';
}

}  // namespace

// An entry name (backslashes already) that stays inside the destination and names no device.
// The name is judged a character at a time, so a second byte 0x5C is not taken for a separator.
bool isSafeEntryName(const char* name)
{
    if (name[0] == '\0' || name[0] == '\\') return false;
    const char* start = name;
    for (const char* p = name;; p = nextPathChar(p)) {
        if (*p == ':') return false;
        if (*p == '\\' || *p == '\0') {
            size_t len = (size_t)(p - start);
            if (len == 2 && start[0] == '.' && start[1] == '.') return false;
            if (isDeviceName(start, len)) return false;
            if (*p == '\0') return true;
            start = p + 1;
        }
    }
}
