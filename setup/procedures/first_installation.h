// The roll-back of a first installation (no record of the game, or one that names another folder):
// what it placed goes, whether it failed now or ended half-way before.
#pragma once

class Installer;

// Whether the run began its record (and so perhaps its installed-programs entry).
enum RecordBegun { RecordNotBegun, RecordBegunToo };

// The product files in folder removed and, where the run began its record, the record and the
// installed-programs entry with them. True when no product file stays (each one that does is logged).
bool removeFirstInstallation(Installer& in, const char* folder, RecordBegun record);
