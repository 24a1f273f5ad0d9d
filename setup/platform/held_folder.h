// Folders held open while the kit acts in them, and files deleted through a handle of their own.
// A folder is opened without following a link and without delete sharing, so that nobody can
// rename, delete or replace it while it is held (nor, on NTFS, a folder above it, which holds an
// open child); the files in it are opened by name relative to the held handle, never by a path
// that someone may have redirected since it was checked. On 95/98/Me, which have neither links nor
// permissions, nothing is held and the same calls act by path.
#pragma once
#include <windows.h>

#include "platform/text.h"

struct HeldFolder {
    HANDLE handle;        // INVALID_HANDLE_VALUE: not held (95/98/Me: acted on by path)
    char path[PathSize];  // for the log, and for the calls by path where nothing can be held
};

// How a hold ended: held (or, on 95/98/Me, its path taken), nothing there, a link (not followed),
// or refused: a file, or a folder that cannot be opened (logged). A folder held with removable may
// be removed through its handle (removeHeldFolder); where another program keeps it open, it is
// held without that right.
enum class Hold { Held, Absent, Linked, Refused };
Hold holdFolder(const char* path, bool removable, HeldFolder& out);

// The folder name directly in parent, held as holdFolder holds.
Hold holdSubfolder(const HeldFolder& parent, const char* name, bool removable, HeldFolder& out);

// Closes the handle; the folder may then change again.
void releaseFolder(HeldFolder& held);

// The held folder removed through its handle where it is empty, and released either way; false
// where it stays (not empty, or held without the right to remove it).
bool removeHeldFolder(HeldFolder& held);

// What a deletion found: the file deleted, nothing of that name, a folder of that name (left), a
// file with a second name elsewhere (left: it is another's, and so are its attributes), or a file
// that could not be deleted (the last error says why).
enum class Deletion { Deleted, Absent, NotAFile, SecondName, Failed };

// The file name directly in folder, opened without following a link: a link of that name goes as a
// link, a plain file with one name has its read-only attribute cleared and goes, through the handle.
Deletion deleteFileIn(const HeldFolder& folder, const char* name);

// The same for the file at path, opened by its path without following a link at its end.
Deletion deleteFileAt(const char* path);
