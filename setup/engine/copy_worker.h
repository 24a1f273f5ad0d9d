// The copy worker: the thread that copies and extracts the selected files of every disc, and how
// it places each file.
#pragma once
#include <windows.h>

#include "state/outcome.h"

// How one plain file's turn of the copy ended.
enum class FileCopy {
    Copied,
    Cancelled,  // stopped at a cancel request; the partly written file stays for the roll-back
    NotThere,   // not on this disc: it lies on another
    NotOpened,  // there but unreadable, or its target could not be placed
    Damaged,    // not read or written completely; the partly written target is removed
};

class Installer;

// What the copy worker is started with (the Installer, and whether nobody can be asked for a disc)
// and how it ended: done, cancelled, no disc, failed; written by the worker before it says it ended.
struct CopyRun {
    Installer* installer;
    bool unattended;
    volatile Outcome result;
};

// Copy worker thread procedure; its argument is a CopyRun.
DWORD WINAPI copyWorker(LPVOID param);
