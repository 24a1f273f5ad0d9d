// The extraction of the medium's zip archives (Installer::extractZip).
#pragma once

class Installer;

// How an archive's extraction ended: every entry written (and, outside a copy run, on the disk), the
// archive not opened (not there, or not an archive), or damaged: an entry that could not be read or
// written, or a flush that failed.
// Each entry written is noted as placed from the disc of index disc.
enum class ArchiveResult { Extracted, NotOpened, Damaged };
ArchiveResult extractArchive(Installer& in, const char* archive, const char* destRoot, int disc);
