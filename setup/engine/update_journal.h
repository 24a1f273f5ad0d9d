// The update's journal, update~.jnl in the installation folder: the targets, their temporary names
// and how far the update got, on the disk before anything changes. The text: "kit update journal",
// "phase <phase>", then a line a file:
// "<1 when the target was installed> <its attributes, 8 hex digits> <target>|<new name>|<old name>".
#pragma once
#include <windows.h>

#include "platform/text.h"

// A file of the update: its source, its target and the two names beside the target, for the new
// file until it is put in place and for the old one until the update has succeeded.
struct UpdateFile {
    char source[PathSize], target[PathSize], fresh[PathSize], old[PathSize];
    DWORD oldAttributes;  // INVALID_FILE_ATTRIBUTES: nothing was installed under the name
    bool replaced;
};

// How far the update got: new files being written, targets being replaced, every target replaced.
enum class JournalPhase { Writing, Replacing, Done };

// An open journal: the file, held without sharing while the update runs, and its path.
struct UpdateJournal {
    HANDLE file;
    char path[PathSize];
};

// The journal's path in installDir, not yet open; false when it does not fit.
bool nameJournal(UpdateJournal& journal, const char* installDir);

// Written whole, with the first count files and the phase Writing, and on the disk; false (no
// journal left) when it cannot be.
bool openJournal(UpdateJournal& journal, const UpdateFile* files, int count);

// One more file, written at the journal's end while its phase is Writing; on the disk with the next
// phase. False when it cannot be written.
bool appendJournalLine(UpdateJournal& journal, const UpdateFile& f);

// The phase, written in place and on the disk before the next step.
bool writeJournalPhase(UpdateJournal& journal, JournalPhase phase);

// The update is whole (or was never begun): the journal goes. False when it stays on the disk.
bool closeJournal(UpdateJournal& journal);

// The update could not be made whole: the journal is closed and stays for the next run.
void keepJournal(UpdateJournal& journal);

// One line of the journal (its line end removed) into f: the target, its two temporary names
// (the target's name with ".new" or ".old", a digit at most and "~") and its old attributes.
// False for a line of any other shape: nothing is done with it. The line is cut into its fields.
bool parseJournalLine(char* line, UpdateFile& f);

// What a journal on the disk says: whether it is one (its two first lines), its phase as written
// (done: every target was replaced) and its lines that parse (each other line is logged and passed
// over). False when there is none.
struct JournalContents {
    bool ours;
    bool done;
    char phase[32];
    int count;
};
bool readJournal(const char* path, UpdateFile* files, int capacity, JournalContents& contents);
