// The product's media: the drives searched for its discs.
#pragma once
#include <stddef.h>

enum class DriveKind { Unknown = 0, Fixed = 1, CdRom = 2, Removable = 3, RamDisk = 4, Remote = 5 };

// Classifies the drive at root and, when its volume can be read, copies its label into label.
DriveKind driveKind(const char* root, char* label, size_t labelSize);
