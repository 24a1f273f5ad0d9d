// The product's files as the engine keeps them: two name lists, walked together wherever every
// file the installation places is meant (removal, restart removal, the files in use, the update).
#pragma once
#include "platform/text.h"

// A name list: an owned array of 128-byte buffers whose last buffer is empty.
typedef char** NameList;

// The product's main files (entry 0 the game) and its further pack files.
struct ProductFiles {
    NameList installFiles;
    NameList extraFiles;
};

// Calls visit(name, path) for each name of installFiles and then of extraFiles, path being
// folder\name (a name whose path does not fit is passed over); visit returns false to stop.
template <typename Visit>
void forEachProductFile(const ProductFiles& files, const char* folder, Visit visit)
{
    NameList lists[2] = {files.installFiles, files.extraFiles};
    for (NameList names : lists)
        for (int i = 0; names && names[i][0] != '\0'; ++i) {
            char path[PathSize];
            if (formatText(path, sizeof path, "%s\\%s", folder, names[i]) && !visit(names[i], path)) return;
        }
}
