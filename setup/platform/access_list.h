// Protected access lists for what an administrator's run creates on the NT family, so that a
// standard user can neither change nor replace it, and the owner checks and locks of what was there.
// The 95/98/Me family has no permissions: nothing changes there. Which object gets which list is
// the caller's to say.
#pragma once
#include <windows.h>

enum AccessListKind {
    // The creating user, Administrators and SYSTEM: full control, inherited. Nobody else.
    OwnerOnly,
    // SYSTEM and Administrators: full control; Users: read and execute; all inherited.
    UsersRead,
    // As UsersRead, and Users may also change it (not inherited).
    UsersModify,
    // As UsersRead, and Users may change, make and delete what it holds, inherited.
    UsersModifyInside,
};

// Room for any SID, in DWORDs: its revision, count and authority, then at most
// SID_MAX_SUB_AUTHORITIES sub-authorities.
enum { SidWords = 2 + SID_MAX_SUB_AUTHORITIES };
// Room for the kit's lists: three entries of a SID each, with the list's header.
enum { AclWords = 128 };

// A protected access list in an absolute security descriptor whose parts live inside it: the
// entries' three SIDs (SYSTEM, Administrators, then Users or this user).
struct AccessList {
    SECURITY_DESCRIPTOR descriptor;
    DWORD acl[AclWords];
    DWORD sids[3][SidWords];
};

// False on the 95/98/Me family, on NT 4 and wherever the system lacks the calls.
bool buildAccessList(AccessListKind kind, AccessList& list);

// Gives the file or folder at path the access list of that kind. False when it was not set (no
// permissions on this system or this drive, or the call failed); the unattended log says so.
bool lockPath(const char* path, AccessListKind kind);

// lockPath where lists can be kept: false only where the system and the volume keep lists and the
// one of that kind could not be set (logged), so that a file the players must not change, or the
// settings file they must be able to change, is never left with another list.
bool lockWherePossible(const char* path, AccessListKind kind);

// Makes the folder at path with the list of that kind from its first moment (on 95/98/Me, and
// where no list can be built, as CreateDirectoryA makes it). False when it was not made; then
// GetLastError() says why (ERROR_ALREADY_EXISTS: something of that name was there).
bool createLockedFolder(const char* path, AccessListKind kind);

// Makes the file at path new (never through one that is there), open for writing without sharing,
// with the list of that kind from its first moment (where no list can be built, as CreateFileA makes
// it); INVALID_HANDLE_VALUE with the Windows error as the last error.
HANDLE createLockedFile(const char* path, AccessListKind kind);

// True when what stands at path is a link (a junction or a symbolic link): a reparse point.
bool isLink(const char* path);

// Removes the link to a folder at path itself, never what it points at (Windows removes a junction
// so). Wine takes every delete of a link for one of its target, and removes an empty target folder
// through it: there nothing is removed (false, ERROR_NOT_SUPPORTED).
bool removeFolderLink(const char* path);

// True when the volume that holds path keeps access lists (FILE_PERSISTENT_ACLS): false on FAT32
// and exFAT, where every user may change everything, and on 95/98/Me.
bool keepsAccessLists(const char* path);

// True when an administrator may take over what stands at path: no link, no file with a second
// name elsewhere, and its owner, read through a handle that does not follow a link, is
// Administrators, SYSTEM, TrustedInstaller, or this process's user running as an administrator.
// On 95/98/Me and on a volume that keeps no access lists, true; where the owner cannot be read,
// false (logged).
bool ownedByAdministrator(const char* path);

// The owner rule of ownedByAdministrator for what is open as object (path names it, for its volume).
bool handleOwnedByAdministrator(HANDLE object, const char* path);

// Gives what stood at path before (a folder or a file) the list of that kind, with Administrators as
// its owner where this run may change it. Through one handle that does not follow a link, on which
// the owner is read again: Refused for a link, a file with a second name elsewhere or another user's
// object, NotLocked where the list
// could not be set (on 95/98/Me always). Each but Locked is logged.
enum class LockResult { Locked, Refused, NotLocked };
LockResult lockExisting(const char* path, AccessListKind kind);

// The owner rule of ownedByAdministrator for one owner.
bool administratorOwner(PSID owner);

// True on Vista and later where this process runs with an administrator's elevated token.
bool runsElevated();
