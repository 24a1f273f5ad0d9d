// Files and folders deleted when Windows restarts.
#pragma once

// True when the path is really down for deletion at the next restart (MoveFileEx on the NT family,
// WININIT.INI on 95/98/Me).
bool scheduleRestartDeletion(const char* path);

// The 95/98/Me way: the [Rename] section of WININIT.INI, rewritten at the end of the file with the
// old lines and, last, "NUL=" and the file's short path. False when the section would not fit.
bool scheduleDeleteInWininit(const char* iniPath, const char* shortPath);
