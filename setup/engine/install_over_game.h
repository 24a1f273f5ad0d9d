// An installation into the folder the record names, over the game: all or nothing. Each file and
// archive entry is written beside its target, and the targets are replaced only once everything is
// copied, journaled and put right at the next start as the update is (file_replacement.h). A copy
// that fails, is cancelled or is ended leaves the earlier game, its record and its entry as they were.
#pragma once
#include "state/outcome.h"

class Installer;

// From here the copy writes beside its targets; false (logged) when its journal cannot be begun or
// an earlier run's journal cannot be put right.
bool beginStagedCopy(Installer& in);

// The name the copy writes target under: target itself, or during a staged copy its new name beside
// it (in placed, PathSize bytes); nullptr, logged, when it cannot be staged (the copy fails on it).
// Called by the copy's worker only.
const char* placedName(const char* target, char* placed);

// True while the copy writes beside its targets.
bool stagingActive();

// The journal lines placedName wrote since the last call on the disk, before any file they name is
// made: a run ended by a power cut leaves no new file that the journal does not name. False
// (logged) when they cannot be.
bool stagedNamesOnDisk();

// The copy did not end: every new file goes, and the earlier game stays as it was (done); failed,
// with the file named, where one could not be put back.
Outcome dropStagedCopy(Installer& in);

// The copy ended: every target is replaced, or everything is put back and the run fails.
Outcome placeStagedCopy(Installer& in);

// The record is written: the journal says "done" and the earlier files go; where it can say
// neither "done" nor go, the earlier files are put back and the run fails (the caller writes the
// earlier record back).
Outcome finishStagedCopy(Installer& in);

// The record could not be written: the earlier files are put back (the caller writes the earlier
// record back).
Outcome undoStagedCopy(Installer& in);
