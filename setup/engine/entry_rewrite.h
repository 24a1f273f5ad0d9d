// Archive entries written again, for the repair: each to the new name beside its target, as the
// replacement then puts it in place (file_replacement.h).
#pragma once

struct UpdateFile;

// The entries of the archive at archive that files[0..count) name (their targets' paths below
// installDir) extracted to their new names: made new, checked whole against the entry's CRC, on the
// disk, with the access list of the target's kind. False with the Windows error as the last error
// (ERROR_FILE_NOT_FOUND where the archive holds no such entry, ERROR_CRC for damaged data); a new
// file left is removed by the replacement's put-back.
bool extractEntriesAgain(const char* archive, const char* installDir, UpdateFile* files, int count);
