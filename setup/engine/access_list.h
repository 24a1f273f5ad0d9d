// The access lists the kit gives what it creates on the NT family, so that a standard user can
// neither change nor replace what an administrator's installation placed, nor plant anything in
// the kit's temporary folders. The 95/98/Me family has no permissions: nothing changes there.
#pragma once
#include <windows.h>

enum AccessListKind {
    // The creating user, Administrators and SYSTEM: full control, inherited. Nobody else.
    PrivateFolder,
    // SYSTEM and Administrators: full control; Users: read and execute; all inherited.
    InstalledItem,
    // As InstalledItem; Users may also create files and folders in it (the game's save folder),
    // and what a user creates there is theirs (CREATOR OWNER: full control, inherited only).
    InstallationFolder,
    // As InstalledItem, and Users may also change it: the settings file the settings tool writes.
    SettingsFile,
};

// A protected access list in an absolute security descriptor whose parts live inside it.
struct AccessList {
    SECURITY_DESCRIPTOR descriptor;
    DWORD acl[128];
    DWORD sids[4][17];
};

// False on the 95/98/Me family, on NT 4 and wherever the system lacks the calls.
bool buildAccessList(AccessListKind kind, AccessList& list);

// Gives the file or folder at path the access list of that kind. False when it was not set (no
// permissions on this system or this drive, or the call failed); the unattended log says so.
bool lockPath(const char* path, AccessListKind kind);

// The kind of a file the installation places: SettingsFile for the settings file (by its name, the
// last part of path), InstalledItem for every other.
AccessListKind installedFileKind(const char* path);
