// The repair after a data check: every damaged file written again from its disc (an archive's file
// extracted again from its archive), beside its target, journaled and then put in place all together
// as the update's files are; a file only the update held is never replaced by the disc's older one.
#pragma once
#include <windows.h>
#include <stdint.h>

#include <vector>

#include "engine/installed_check.h"
#include "state/outcome.h"

class Installer;

// How a repair ended: its outcome (done: every file it could repair is right again; failed:
// nothing changed, the player told which file; no disc: a disc it needed is in no drive of an
// unattended run; declined: the player cancelled at the files in use), and how many damaged files
// only the update held (named to the player, left as they are).
struct RepairEnd {
    Outcome outcome;
    int updateOnly;
};

// Repairs the rows of items that damaged marks; each row repaired is cleared in damaged and marked
// right in view before the last message. view's bar shows the files written; unattended, nothing is
// asked.
RepairEnd repairInstallation(Installer& in, const CheckList& items, std::vector<uint8_t>& damaged,
                             const CheckView& view, bool unattended);
