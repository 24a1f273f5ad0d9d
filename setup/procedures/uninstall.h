// The removal of an installation (Installer::removalOutcome) and what its other roads share.
#pragma once
#include <windows.h>

#include "state/outcome.h"

// A removal that leaves the game installed and listed, to be removed again: the player is told
// (owner's message box) and it failed.
Outcome removalFailed(HWND owner);
