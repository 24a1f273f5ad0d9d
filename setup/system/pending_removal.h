// Restart removals of an installation: scheduled where a removal cannot delete, taken back where a
// new installation placed the same paths.
#pragma once
#include "state/product_files.h"

// Takes back the restart deletions an earlier removal left for the paths the installation in
// installDir placed; false when they could not be read or rewritten (logged).
bool dropPendingRemovals(const ProductFiles& files, const char* installDir, const char* folderName);

// Product files still in installDir after a removal (not in use: the player was asked about those)
// are deleted at the next restart, but heldName (nullptr: none), the file of a process that waits
// for the removal and whose file goes once it has ended. None, Scheduled when every one of them is
// down for deletion, NotScheduled when one could not be (each is logged).
enum class RestartRemoval { None, Scheduled, NotScheduled };
RestartRemoval removeLeftoversAtRestart(const ProductFiles& files, const char* installDir, const char* heldName);

// Then the folders of the installation, on the NT family.
void removeFoldersAtRestart(const char* installDir, const char* folderName);
