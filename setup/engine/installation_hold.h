// The installed game's two folders, held while an update, a removal or the recovery of an ended run
// acts in them: each must still be an administrator's and no link, read through the handle that
// then holds it without delete sharing, so that nobody can swap in a tree of their own meanwhile.
#pragma once

#include "state/outcome.h"
#include "platform/held_folder.h"

struct InstallationHold {
    HeldFolder publisher, install;
};

// Done with both held (or nothing there to act on, or 95/98/Me, where nothing can be held); Refused
// where either is a link or another user's (logged: nothing may be done in it).
Outcome holdInstallation(const char* installDir, const char* folderName, InstallationHold& hold);

// Lets both go; the folders may be removed then.
void releaseInstallation(InstallationHold& hold);
