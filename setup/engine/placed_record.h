// What the kit placed in the installation folder, kept there in placed.lst: each file's path below
// the folder, its size, its CRC-32 where one is known, and where it came from. The installation
// writes it with its files, the update with its own, and the data check and the repair judge the
// installed game by it. The text: "kit placed files", then a line a file:
// "<D disc file, A archive entry, U the update's> <disc index, -1 unknown> <size> <CRC, 8 hex digits>
// <path>|<the archive's name, for an entry>". A plain file of a disc has no CRC: the check compares it
// with the disc byte for byte.
#pragma once
#include <stdint.h>

#include <vector>

#include "platform/text.h"

enum class PlacedOrigin : char { Disc = 'D', Archive = 'A', Update = 'U' };

struct PlacedFile {
    char path[PathSize];     // below the installation folder
    char archive[NameSize];  // the archive an entry came from; empty otherwise
    uint64_t size;
    uint32_t crc;
    PlacedOrigin origin;
    int disc;  // the index of the disc it came from; -1 for the update's files and where unknown
};

typedef std::vector<PlacedFile> PlacedList;

// The record's name in the installation folder.
constexpr char PlacedRecordName[] = "placed.lst";

// The record's path in installDir; false when it does not fit.
bool placedRecordPath(const char* installDir, char* path);

// The files the copy run under way placed (the copy worker notes each, by its path below the
// installation folder; the run begins the list). A path noted again keeps its last noting.
void beginPlacedRun();
void notePlaced(const char* path, PlacedOrigin origin, int disc, uint64_t size, uint32_t crc, const char* archive);
const PlacedList& placedThisRun();

// The record in installDir into list: false (list empty) when there is none, or when it is not the
// kit's or cannot be read whole (a line of another shape makes the record unreadable: nothing of a
// damaged record is trusted).
bool readPlacedRecord(const char* installDir, PlacedList& list);

// True when installDir holds a record that readPlacedRecord cannot read: what it said is unknown.
bool placedRecordUnreadable(const char* installDir);

// The files of newer over those of older, matched by path in either case: the newer line wins, the
// older files the newer run did not place stay.
void mergePlaced(PlacedList& older, const PlacedList& newer);

// The entry of list for the path below the installation folder; nullptr when the kit did not place it.
const PlacedFile* findPlaced(const PlacedList& list, const char* path);

// The record written whole to path (made new: never through what was there), on the disk and with
// an installed file's access list; false (nothing left at path) when it cannot be.
bool writePlacedRecord(const char* path, const PlacedList& list);
