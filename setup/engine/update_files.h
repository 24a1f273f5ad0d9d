// The update's files, for the update procedure (Installer::applyUpdate): the files of the update
// folder that replace installed ones, the room they need, and their replacement all or nothing.
#pragma once
#include <stdint.h>

#include "state/outcome.h"

class Installer;
struct UpdateFile;

// f's source copied completely to its new name beside the target, with the source's time stamps,
// on the disk, and with the access list of the target's kind; its CRC-32 kept for the record.
// False with the Windows error as the last error.
bool writeReplacementFile(UpdateFile& f);

// The files the update folder holds, with their targets in the installation folder and temporary
// names, into the replacement's table; count and bytes say how many and how large. False (the
// source named in failed) when a name does not fit.
bool listUpdateFiles(const Installer& in, const char* updateFolder, int& count, uint64_t& bytes, char* failed);

// Until the old files are deleted, the new ones need room of their own: false, with the message of
// the space, where the drive lacks it.
bool roomForNewFiles(Installer& in, uint64_t bytes);

// Every one of the first count listed files written beside its target, then every target replaced
// (their attributes taken first); the old files go only once the journal says so, or is gone.
// Failed with everything put back, or with the file that could not be named.
Outcome replaceUpdateFiles(Installer& in, int count);
