// setup, the update installer and the uninstaller run with switches: the command line taken at
// start, the quiet installation and update, and the end of every run with its exit code.
#pragma once

// Reads the switches of this role, opens the log and takes /dir; false when the command line is
// not understood or the log cannot be created (the run then ends with code 1, nothing changed).
bool beginRun(const char* commandLine);

// The quiet installation (no window) and the update without its confirmation; their exit codes.
int runQuietInstall();
int runQuietUpdate();

// setup.exe /repair: the data check and the repair of what it found, with no window. 0 when nothing
// was damaged or everything was repaired, 3 when the game is not installed, 4 when a disc it needs
// is in no drive, 6 when a file could not be repaired (nothing changed) or only the update held it.
int runQuietRepair();

// Ends the log with the run's exit code; the process's exit code: that code where switches were
// given, else 0 (a run started by a person, whose result the screen told).
int endRun(int code);
