// Removal with switches: the uninstaller hands over to its temporary copy and, in an unattended
// removal, waits for the copy's result.
#pragma once

class Installer;

// The uninstaller started without a command line: its copy started to do the removal, from an
// installation folder that is still the administrators' (else the removal's failure message).
void startRemovalCopy(Installer& in);

// The uninstaller's side: the copy started with the command line; returns the exit code (the
// copy's, in an unattended removal).
int removeThroughCopy(Installer& in, const char* commandLine);

// The copy's side: the result handed to the uninstaller that waits, then uninst.exe and the game
// folder removed once it has ended.
void reportRemoval(Installer& in, int code);
