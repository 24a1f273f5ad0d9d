// The folders that are the product's: the publisher folder, the installation folder below it and
// its save folder. They are made with their access list from the first moment or, where they were
// there before, taken over only from an administrator; the folders above them are the player's.
#pragma once
#include <windows.h>

#include "engine/install_journal.h"
#include "state/outcome.h"
#include "platform/access_list.h"
#include "state/installation_folders.h"

// True when a folder stands at path.
bool folderExists(const char* path);

// True when an administrator may take over the folder that was there: it is no link and an
// administrator's, and so is (with wholeTree to any depth, else directly in it) every file and
// folder it holds but the one named except. What cannot be listed or whose owner cannot be read
// is not taken on trust.
bool mayTakeOver(const char* folder, const char* except, bool wholeTree);

// A folder of the product made with the list of kind, or one that was there taken over when it is
// no link and an administrator made it and what it holds (but except, the players' saves): with
// wholeTree every file and folder below it, to any depth, else what it holds directly. Then it is
// given the list, and with wholeTree everything below it the list it would have had had the kit
// made it. A folder someone else made, or a link, is refused with a message owned by owner; one
// whose list cannot be set (on a volume that keeps lists) fails.
// With journaled (a MadeFolder), the installation journal says whether the run made it.
Outcome placeProductFolder(const char* path, AccessListKind kind, const char* except, bool wholeTree, HWND owner,
                           unsigned long journaled);

// The installation folder at path and every folder above it, after asking (owner's message box)
// where it is not there; then its save folder. Failed, with nothing said, when the player answered
// No or a folder could not be made; refused as placeProductFolder refuses.
Outcome makeInstallFolder(const char* path, HWND owner);

// The folders of an installation in installDir that which names (MadeFolder bits; the movie folder
// goes with the installation folder), each where it is empty: its movie and save folders (kept saves
// keep theirs), itself and its publisher folder.
void removeProductFolders(const char* installDir, const char* folderName, unsigned long which = AllProductFolders);
