// An update ended half-way (killed, power lost) is put right by whichever program of the kit starts
// next, before it does anything else: the launcher, the update installer and the uninstaller.
#pragma once
#include "state/outcome.h"

class Installer;

// The installation in the Installer brought from its update journal to one whole state: all old
// while the replacements were under way, all new once they were all done. Done where there was no
// journal; failed, with the file named in a message and the journal kept, where one could not be
// brought back; refused (logged, nothing done) where the installation's folders are no longer an
// administrator's or one is a link: its journal is not the kit's to follow.
Outcome repairInterruptedUpdate(Installer& in);

// The same for an installation whose folders the caller already holds (the removal).
Outcome repairHeldUpdate(Installer& in);

// The kit's own temporary files beside the product files (<name>.new~, <name>.old~ and their
// numbered forms) and the update journal, deleted with the game; each one is logged.
void removeTemporaryNames(Installer& in);
