// The access list each item the installation places is given: every folder and file UsersRead,
// but the settings file, which the settings tool writes as the player (UsersModify), and the save
// folder, shared by every player of the PC (UsersModifyInside).
#pragma once
#include "platform/access_list.h"

// UsersModify for the settings file (by its name, the last part of path), UsersRead for every
// other.
AccessListKind installedFileKind(const char* path);
