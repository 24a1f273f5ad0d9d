// The installed-data check's rows and their judgement, for the data check dialog and the unattended
// repair: each file the kit placed (by its record), or where it kept none each file of the product
// list that is there; a disc's file compared with the disc byte for byte, an archive's or the
// update's with the size and CRC recorded when it was placed, the player's settings file by its size.
#pragma once
#include <windows.h>
#include <stdint.h>

#include <vector>

#include "engine/placed_record.h"

class Installer;

struct CheckItem {
    char name[PathSize];  // the row's name: the path below the installation folder
    PlacedOrigin origin;  // Disc: judged against the disc; Archive and Update: against the record
    bool settings;        // the player's settings file: right whenever it has its size
    int disc;             // the index of the disc that holds its source; -1 while unknown
    uint64_t size;        // as recorded (Archive, Update)
    uint32_t crc;
    char archive[NameSize];  // the archive on the disc an entry is extracted from again
};
typedef std::vector<CheckItem> CheckList;

// The rows, in order: the product list's names the record holds, or that are in the installation
// folder (a name the kit never placed, and that is not there, has no row); then every other file of
// the record (archive entries, the update's further files) in its order.
void listCheckItems(const Installer& in, CheckList& items);

// The marks the check gives a row as it goes.
enum class RowMark { Blank, Busy, Same, Differ, Pending };

// Where the check shows its rows' marks and its bar (the dialog's list, or the run log).
struct CheckView {
    void (*mark)(void* context, int row, RowMark mark);
    void* context;
    HWND bar;
};

// How a check ended: every row right, some damaged (damaged[row] is 1 for each), or (nobody to ask)
// a disc that holds a file to compare is in no drive.
enum class CheckResult { Whole, Damaged, NoDisc };

// Every row judged as the dialog shows it: one disc compares each in order; several ask for every
// disc in turn, compare the rows no disc matched yet against it ("―" until one does) and then ask
// for the first disc again. A row whose source was found on a disc learns that disc.
CheckResult checkInstalledFiles(Installer& in, CheckList& items, std::vector<uint8_t>& damaged, const CheckView& view,
                                bool unattended);
