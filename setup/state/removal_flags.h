// The removal's two flags, by name (Installer::uninstall, removalOutcome): whether the program first
// leaves the installation folder as its current folder, so that the folder can go, and whether the
// installation record goes with the game.
#pragma once
#include <stdint.h>

enum : uint8_t { KeepCurrentFolder = 0, LeaveInstallFolder = 1 };
enum : uint8_t { KeepRecord = 0, DeleteRecord = 1 };
