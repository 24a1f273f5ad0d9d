// Runs without a person at the screen: the switches of setup, the update installer and the
// uninstaller, the exit codes every program ends with, and the answers given in place of questions.
#pragma once
#include "engine/files_in_use.h"
#include <windows.h>

#include "state/outcome.h"
#include "platform/text.h"

// The exit codes; where several conditions apply, the first of this list gives the code.
enum ExitCode {
    ExitDone = 0,
    ExitBadCommandLine = 1,  // switch not understood, bad or too long folder, log not created; nothing changed
    ExitAlreadyRunning = 2,
    ExitNothingToDo = 3,  // installed already (setup), not installed (uninstaller, update)
    ExitNoMedium = 4,     // the product's disc, or a further disc, is in no drive
    ExitNoSpace = 5,
    ExitFailed = 6,  // installation rolled back, removal or update failed
    ExitCancelled = 7,
    ExitRestartNeeded = 3010,  // removed; some files go when Windows restarts
};

enum SwitchRole { SetupSwitches, UpdateSwitches, UninstallerSwitches };

struct Switches {
    bool relaunched;      // the first word was "/r": a temporary copy
    bool removeDirectly;  // a command line the uninstaller does not understand: it removes at once, asking
    bool quiet;           // no window at all
    bool passive;         // the progress shows, nothing is asked
    bool noDesktop;
    bool deleteSave;
    bool repair;  // setup: check the installed game and repair it, with no window (quiet)
    bool any;     // the command line holds more than "/r": its run ends with an exit code
    char dir[PathSize];
    char log[PathSize];
    DWORD parent;  // the uninstaller that waits for its copy's result
    // In the waiting uninstaller: the event the copy sets once it has put its exit code into the
    // shared word, both without a name (the copy takes them from that process by their handles).
    DWORD resultEvent, resultWord;
    // When the waiting uninstaller started (its creation time): a process that has ended and whose
    // number another process got meanwhile is not it.
    DWORD parentStartHigh, parentStartLow;
};

// The switches of this process.
extern Switches switches;

// Reads a command line for a role; false when a word is not understood or too long. Switches are
// case-insensitive, begin with '/' or '-', and a value may be quoted ("/dir=a b" or /dir="a b").
bool parseSwitches(const char* commandLine, SwitchRole role, Switches& out);

// True in a quiet or passive run: no message box is shown, each one is logged with its answer.
bool unattendedRun();

// The exit code a run ends with after an operation ended so.
int exitCodeOf(Outcome outcome);

// The files-in-use question as this run asks it: owned by owner, answered at once when unattended,
// and not counting the uninstaller that waits for its temporary copy.
FilesInUseAsker filesInUseAsker(HWND owner);
