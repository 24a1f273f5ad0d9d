// Installed files another program holds open (the game, the settings tool), found before an
// update, a removal or an installation over the folder changes any of them.
#pragma once
#include <windows.h>

#include "engine/outcome.h"
#include "engine/product_files.h"

// True when another program holds the file open (or runs it).
bool fileInUse(const char* path);

// Until no product file in folder (of the names sourceFolder holds, when given) is held by another
// program, the player is asked to end it (Retry or Cancel, owner's message box). Declined when
// cancelled, failed at once in an unattended run; nothing has changed then.
Outcome waitUntilFilesFree(const ProductFiles& files, const char* folder, const char* sourceFolder, HWND owner);
