// The access list each file the installation places is given.
#pragma once
#include "platform/access_list.h"

// SettingsFile for the settings file (by its name, the last part of path), InstalledItem for every
// other.
AccessListKind installedFileKind(const char* path);
