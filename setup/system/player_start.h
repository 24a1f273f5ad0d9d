// Programs, documents and pages the launcher opens for the player (the game, the README, the manual,
// the home page), with the player's own rights where the launcher runs elevated.
#pragma once

// Starts path (LaunchOpen: it, in its own folder when that is gameFolder, the installation folder;
// LaunchNotepad: the system's Notepad with path; LaunchDefault: the page or document as the shell
// opens it). On Vista and later, where this process runs elevated, through the desktop shell with
// the signed-in user's rights; where that fails nothing is started (it would run as an
// administrator) and the player is told to start the game from the Start menu, or that the document
// could not be opened. Its working folder is the game's folder for the game, else the system
// folder. False when nothing was started, or COM or the system folder cannot be had.
bool startForPlayer(const char* path, const char* parameters, int mode, const char* gameFolder);
