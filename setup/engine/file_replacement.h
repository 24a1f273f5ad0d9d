// Files replaced all or nothing, for the update and for an installation over the game: the new
// files beside their targets, the journal on the disk, then every target replaced with its old file
// kept aside until the run is whole.
#pragma once
#include <windows.h>

#include "state/outcome.h"
#include "engine/update_journal.h"

class Installer;

// An installation over the game replaces each of its files and archive entries.
enum { MaxReplacedFiles = 4096 };

// The replacement's table of the files of the run under way (an update or an installation, never
// both at once), MaxReplacedFiles of them: the run fills it, the replacement walks its first count.
UpdateFile* replacementTable();

// Which run replaces the files: the messages name it.
enum class ReplacingTask { Update, Installation, Repair };

// How many pairs of temporary names a target may have: name.new~ and name.old~, then name.new1~
// and so on.
enum { TemporaryNameTries = 10 };

// The n-th pair of temporary names beside target; false when they do not fit.
bool temporaryPair(const char* target, int n, char* fresh, char* old);

// The temporary names beside target: name.new~ and name.old~, or with a number where a file of that
// name is there that this run did not make and cannot delete (it is never used). False when none
// is free or the name does not fit.
bool temporaryNames(const char* target, char* fresh, char* old);

// Puts f's new file in place and keeps the old one under its temporary name; false with the
// Windows error as the last error.
bool replaceOne(UpdateFile& f);

// Every file of the first count as it was before the run, and no temporary file left. False, with
// the name of a file that could not be put back in failed, when one stays changed.
bool putBack(int count, char* failed);

// A kept-aside old file once the run is whole: deleted, or else at the next restart.
void removeOldFile(const UpdateFile& f);

// Brings the installation to one whole state from the journal an interrupted run left. False, with
// the journal kept for the next start, when a file could not be brought back (named in failed).
bool recoverFromJournal(Installer& in, char* failed);

// The run failed on path (logged; the update and the repair say so naming it, the launcher says it of
// an installation).
Outcome replacementFailed(Installer& in, ReplacingTask task, const char* path, DWORD error);

// A file that could not be put back: the player is told which; the journal stays for the next start.
Outcome notPutBack(Installer& in, ReplacingTask task, const char* path);

// The run failed on path: every file is put back and the journal goes; where a file cannot be put
// back, the journal stays for the next start and that file is named.
Outcome failAndPutBack(Installer& in, ReplacingTask task, UpdateJournal& journal, int count, const char* path,
                       DWORD error);

// Runs step on each of the first count files; failed (everything put back) once one failed.
Outcome everyFile(Installer& in, ReplacingTask task, UpdateJournal& journal, int count, bool (*step)(UpdateFile&));

// Every new file written: the journal says "replacing" and every target is replaced, or everything
// is put back.
Outcome replaceEvery(Installer& in, ReplacingTask task, UpdateJournal& journal, int count);

// Every target replaced: the journal says "done" and the old files go; where the journal can say
// neither "done" nor go, everything is put back and the run fails.
Outcome finishReplacement(Installer& in, ReplacingTask task, UpdateJournal& journal, int count);
