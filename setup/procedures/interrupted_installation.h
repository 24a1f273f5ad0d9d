// The clean-up at start of an installation that never ended.
#pragma once

class Installer;

// At the start of the launcher: what an installation that never ended placed is removed, with
// the record it began, and the player is told.
void clearInterruptedInstallation(Installer& in);
