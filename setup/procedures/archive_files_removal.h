// The removal of the files the archives placed: the product's lists name the plain files, the
// record of what was placed names the archives' (extracted below the installation folder).
#pragma once
#include "system/pending_removal.h"

// Every archive's file the record in installDir names deleted, and each folder below installDir that
// it leaves empty; what cannot be deleted goes at the next restart. Nothing below the save folder
// (the players'), and nothing through a link on the way, is touched. None without a readable record.
// Called before the record itself goes with the product files.
RestartRemoval removeArchiveFiles(const char* installDir);
