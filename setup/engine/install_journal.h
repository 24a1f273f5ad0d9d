// The installation's journal: while an installation copies, the registry says into which folder.
#pragma once
#include <windows.h>

#include "platform/text.h"

// Written (and on the disk) before the copy into installDir; false when it could not be.
bool beginInstallJournal(const char* installDir);

// The folders of an installation the journal names as made by the run.
enum MadeFolder : unsigned long {
    MadePublisher = 1,
    MadeInstallFolder = 2,
    MadeSaveFolder = 4,
    AllProductFolders = MadePublisher | MadeInstallFolder | MadeSaveFolder,
};

// Before the run makes the folder: the journal says it made it, and says so no more where it was
// there already. Once the folders are the run's own (made, or taken over after the checks and the
// question), the journal says that too: only then may the next start delete files from them.
bool journalFolderToMake(unsigned long folder);
bool journalFolderWasThere(unsigned long folder);
bool journalFoldersOwned();

// Removed once the record is there or the roll-back is done; false when it stays.
bool endInstallJournal();

// What a journal on the disk says: the folder it copies into (empty where it names none or cannot
// be read), whether its folders became the run's own, which folders it made. False when there is
// none.
struct InstallJournal {
    char folder[PathSize];
    DWORD owned, made;
};
bool readInstallJournal(InstallJournal& journal);

// The journal removed, or logged where it stays.
void dropInstallJournal();
