// Installed files another program holds open (the game, the settings tool), found before an
// update, a removal or an installation over the folder changes any of them.
#pragma once
#include <windows.h>

#include "state/outcome.h"
#include "state/product_files.h"

// True when another program holds the file open (or runs it).
bool fileInUse(const char* path);

// Who waits for the files: an unattended run is failed at once rather than asked; notCounted names a
// product file whose holder waits for this run and ends after it (the uninstaller that started its
// temporary copy), nullptr where there is none.
struct FilesInUseAsker {
    HWND owner;
    bool unattended;
    const char* notCounted;
};

// Until no product file in folder (of the names sourceFolder holds, when given) is held by another
// program, the player is asked to end it (Retry or Cancel, the asker's owner's message box).
// Declined when cancelled, failed at once in an unattended run; nothing has changed then.
Outcome waitUntilFilesFree(const ProductFiles& files, const char* folder, const char* sourceFolder,
                           const FilesInUseAsker& asker);
