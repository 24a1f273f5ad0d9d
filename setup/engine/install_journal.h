// The installation's journal: while an installation copies, the registry says into which folder.
#pragma once

class Installer;

// Written (and on the disk) before the copy into installDir; false when it could not be.
bool beginInstallJournal(const char* installDir);

// Removed once the record is there or the roll-back is done; false when it stays.
bool endInstallJournal();

// At the start of the launcher: what an installation that never ended placed is removed, with
// the record it began, and the player is told.
void clearInterruptedInstallation(Installer& in);
