// The two earlier products of the maker whose left-overs the special uninstaller removes: where each
// was found, what it was called, and the records that stop a removal.
#pragma once

struct EarlierProduct {
    const char* readmeLink;  // its README link, below the Start menu's programs folder
    const char* recordKey;   // a record of its own (HKEY_LOCAL_MACHINE) that keeps it; nullptr: none
    const char* folderName;
    const char* gameName;
    const char* exeName;
};

// The earlier products' publisher word.
extern const char* const earlierPublisher;

// A record (HKEY_LOCAL_MACHINE) whose presence stops the special uninstaller before it removes
// anything.
extern const char* const earlierStoppingRecord;

enum { EarlierProductCount = 2 };
extern const EarlierProduct earlierProducts[EarlierProductCount];
