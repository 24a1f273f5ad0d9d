#include "platform/access_list.h"

#include <stddef.h>
#include <string.h>

#include "platform/run_log.h"
#include "platform/system_library.h"
#include "platform/text.h"

namespace {

typedef BOOL(WINAPI* InitializeAclFn)(PACL, DWORD, DWORD);
typedef BOOL(WINAPI* AddAceExFn)(PACL, DWORD, DWORD, DWORD, PSID);
typedef BOOL(WINAPI* InitializeDescriptorFn)(PSECURITY_DESCRIPTOR, DWORD);
typedef BOOL(WINAPI* SetDaclFn)(PSECURITY_DESCRIPTOR, BOOL, PACL, BOOL);
typedef BOOL(WINAPI* SetControlFn)(PSECURITY_DESCRIPTOR, SECURITY_DESCRIPTOR_CONTROL, SECURITY_DESCRIPTOR_CONTROL);
typedef BOOL(WINAPI* SetFileSecurityFn)(LPCSTR, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR);
typedef BOOL(WINAPI* OpenProcessTokenFn)(HANDLE, DWORD, PHANDLE);
typedef BOOL(WINAPI* GetTokenInformationFn)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
typedef BOOL(WINAPI* GetOwnerFn)(PSECURITY_DESCRIPTOR, PSID*, LPBOOL);
typedef BOOL(WINAPI* SetOwnerFn)(PSECURITY_DESCRIPTOR, PSID, BOOL);

FARPROC security(const char* name) { return loadedFunction("advapi32.dll", name); }

enum { FullControl = FILE_ALL_ACCESS, ReadExecute = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE };
// The last byte of SECURITY_NT_AUTHORITY {0,0,0,0,0,5}, the authority of every SID here.
enum : BYTE { NtAuthority = 5 };
enum { TrustedInstallerRids = 6 };
// Room for what the token and the owner's descriptor give back: TOKEN_USER with its SID, the
// groups of a user in many groups, a descriptor with an owner only.
enum { TokenUserWords = 64, TokenGroupsWords = 4096, OwnerDescriptorWords = 256 };
enum { Inherited = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE };

// A SID of the authority and sub-authorities given, written into out (SidWords DWORDs hold any SID).
PSID sidOf(DWORD* out, BYTE authority, const DWORD* subAuthorities, BYTE count)
{
    SID* sid = (SID*)out;
    sid->Revision = SID_REVISION;
    sid->SubAuthorityCount = count;
    memset(&sid->IdentifierAuthority, 0, sizeof sid->IdentifierAuthority);
    sid->IdentifierAuthority.Value[sizeof sid->IdentifierAuthority.Value - 1] = authority;
    memcpy(sid->SubAuthority, subAuthorities, count * sizeof(DWORD));
    return sid;
}

// A well-known SID of one or two sub-authorities, written into out.
PSID wellKnownSid(DWORD* out, BYTE authority, DWORD first, DWORD second = 0, bool two = false)
{
    const DWORD subAuthorities[] = {first, second};
    return sidOf(out, authority, subAuthorities, two ? 2 : 1);
}

PSID administratorsSid(DWORD* out)
{
    return wellKnownSid(out, NtAuthority, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, true);
}

size_t sidLength(const void* sid)
{
    return offsetof(SID, SubAuthority) + sizeof(DWORD) * (size_t)((const SID*)sid)->SubAuthorityCount;
}

bool sameSid(const void* a, const void* b)
{
    return ((const SID*)a)->SubAuthorityCount == ((const SID*)b)->SubAuthorityCount && memcmp(a, b, sidLength(a)) == 0;
}

// What the token of this process tells: its information of that class into buffer.
bool tokenInformation(TOKEN_INFORMATION_CLASS what, DWORD* buffer, DWORD size)
{
    OpenProcessTokenFn openToken = (OpenProcessTokenFn)(void*)security("OpenProcessToken");
    GetTokenInformationFn tokenInfo = (GetTokenInformationFn)(void*)security("GetTokenInformation");
    HANDLE token;
    if (!openToken || !tokenInfo || !openToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    DWORD got = 0;
    bool ok = tokenInfo(token, what, buffer, size, &got) != FALSE;
    CloseHandle(token);
    return ok;
}

// The SID of the user this process runs as, copied into out (SidWords DWORDs hold any SID).
bool currentUserSid(DWORD* out, size_t size)
{
    DWORD buffer[TokenUserWords];
    if (!tokenInformation(TokenUser, buffer, sizeof buffer)) return false;
    const SID* sid = (const SID*)((TOKEN_USER*)buffer)->User.Sid;
    if (sid->SubAuthorityCount > SID_MAX_SUB_AUTHORITIES || sidLength(sid) > size) return false;
    memcpy(out, sid, sidLength(sid));
    return true;
}

// True when this process has the Administrators group in force (elevated, where there is
// elevation): a group that is only there to deny does not count.
bool runsAsAdministrator()
{
    static DWORD buffer[TokenGroupsWords];
    DWORD admins[SidWords];
    administratorsSid(admins);
    if (!tokenInformation(TokenGroups, buffer, sizeof buffer)) return false;
    const TOKEN_GROUPS* groups = (const TOKEN_GROUPS*)buffer;
    for (DWORD i = 0; i < groups->GroupCount; ++i)
        if ((groups->Groups[i].Attributes & SE_GROUP_ENABLED) && sameSid(groups->Groups[i].Sid, admins)) return true;
    return false;
}

typedef BOOL(WINAPI* GetObjectSecurityFn)(HANDLE, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR, DWORD, LPDWORD);
typedef BOOL(WINAPI* SetObjectSecurityFn)(HANDLE, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR);

// Why what stands at path was not opened to be taken over: a link, a file with a second name
// elsewhere (whatever is set on it is set on that other file too), or it could not be opened.
enum class NotOpened { No, Link, SecondName, Unopened };

// What stands at path, opened with access without following a link; INVALID_HANDLE_VALUE, with
// why, where it is a link or a file with a second name or cannot be opened. A junction shows as a
// reparse point by its path, and on Windows by the opened handle too.
HANDLE openUnfollowed(const char* path, DWORD access, NotOpened& why)
{
    why = isLink(path) ? NotOpened::Link : NotOpened::No;
    if (why != NotOpened::No) return INVALID_HANDLE_VALUE;
    HANDLE object = CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (object == INVALID_HANDLE_VALUE) {
        why = NotOpened::Unopened;
        return object;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(object, &info))
        why = NotOpened::Unopened;
    else if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        why = NotOpened::Link;
    else if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && info.nNumberOfLinks > 1)
        why = NotOpened::SecondName;
    if (why == NotOpened::No) return object;
    DWORD error = GetLastError();
    CloseHandle(object);
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

// The log's line for what was not opened; what says what could not be done where it was not opened.
void logNotOpened(NotOpened why, const char* path, const char* what)
{
    if (why == NotOpened::Link)
        logLine("a link, not followed: %s", path);
    else if (why == NotOpened::SecondName)
        logLine("a file with a second name, not taken: %s", path);
    else
        logLine("%s: %s (error %lu)", what, path, (unsigned long)GetLastError());
}

// The owner of the opened object, copied into out; false when it cannot be read.
bool ownerOf(HANDLE object, DWORD* out, size_t size)
{
    GetObjectSecurityFn getSecurity = (GetObjectSecurityFn)(void*)security("GetKernelObjectSecurity");
    GetOwnerFn getOwner = (GetOwnerFn)(void*)security("GetSecurityDescriptorOwner");
    DWORD descriptor[OwnerDescriptorWords], needed = 0;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!getSecurity || !getOwner ||
        !getSecurity(object, OWNER_SECURITY_INFORMATION, descriptor, sizeof descriptor, &needed) ||
        !getOwner(descriptor, &owner, &defaulted) || !owner ||
        ((SID*)owner)->SubAuthorityCount > SID_MAX_SUB_AUTHORITIES || sidLength(owner) > size)
        return false;
    memcpy(out, owner, sidLength(owner));
    return true;
}

// The owner rule on the opened object: an owner that cannot be read is nobody's to trust.
bool objectOwnedByAdministrator(HANDLE object)
{
    DWORD owner[SidWords];
    return ownerOf(object, owner, sizeof owner) && administratorOwner((PSID)owner);
}

// The list of kind given to the opened object, and Administrators as its owner where the object
// was opened for that and another owns it.
bool setList(HANDLE object, AccessListKind kind, bool changeOwner)
{
    AccessList list;
    DWORD owner[SidWords], admins[SidWords];
    SetOwnerFn setOwner = (SetOwnerFn)(void*)security("SetSecurityDescriptorOwner");
    SetObjectSecurityFn setSecurity = (SetObjectSecurityFn)(void*)security("SetKernelObjectSecurity");
    if (!buildAccessList(kind, list) || !setSecurity) return false;
    SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION;
    administratorsSid(admins);
    if (changeOwner && setOwner && ownerOf(object, owner, sizeof owner) && !sameSid(owner, admins) &&
        setOwner(&list.descriptor, (PSID)admins, FALSE))
        what |= OWNER_SECURITY_INFORMATION;
    return setSecurity(object, what, &list.descriptor) != FALSE;
}

}  // namespace

bool buildAccessList(AccessListKind kind, AccessList& list)
{
    if (!ntFamily()) return false;  // 95/98/Me: no permissions
    InitializeAclFn initAcl = (InitializeAclFn)(void*)security("InitializeAcl");
    AddAceExFn addAce = (AddAceExFn)(void*)security("AddAccessAllowedAceEx");
    InitializeDescriptorFn initDescriptor = (InitializeDescriptorFn)(void*)security("InitializeSecurityDescriptor");
    SetDaclFn setDacl = (SetDaclFn)(void*)security("SetSecurityDescriptorDacl");
    SetControlFn setControl = (SetControlFn)(void*)security("SetSecurityDescriptorControl");
    if (!initAcl || !addAce || !initDescriptor || !setDacl || !setControl) return false;

    memset(&list, 0, sizeof list);
    PSID system = wellKnownSid(list.sids[0], NtAuthority, SECURITY_LOCAL_SYSTEM_RID);
    PSID admins = administratorsSid(list.sids[1]);
    PSID users = wellKnownSid(list.sids[2], NtAuthority, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS, true);
    PACL acl = (PACL)list.acl;
    bool ok = initAcl(acl, sizeof list.acl, ACL_REVISION) &&
              addAce(acl, ACL_REVISION, Inherited, FullControl, system) &&
              addAce(acl, ACL_REVISION, Inherited, FullControl, admins);
    switch (kind) {
    case OwnerOnly:
        // The user's own SID takes the place of Users'.
        ok = ok && currentUserSid(list.sids[2], sizeof list.sids[2]) &&
             addAce(acl, ACL_REVISION, Inherited, FullControl, (PSID)list.sids[2]);
        break;
    case UsersRead: ok = ok && addAce(acl, ACL_REVISION, Inherited, ReadExecute, users); break;
    case UsersModify:
        ok = ok && addAce(acl, ACL_REVISION, 0, FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE, users);
        break;
    case UsersModifyInside:
        ok = ok && addAce(acl, ACL_REVISION, Inherited,
                          FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE, users);
        break;
    }
    return ok && initDescriptor(&list.descriptor, SECURITY_DESCRIPTOR_REVISION) &&
           setDacl(&list.descriptor, TRUE, acl, FALSE) &&
           setControl(&list.descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

bool lockPath(const char* path, AccessListKind kind)
{
    AccessList list;
    if (!buildAccessList(kind, list)) return false;
    SetFileSecurityFn setSecurity = (SetFileSecurityFn)(void*)security("SetFileSecurityA");
    if (setSecurity && setSecurity(path, DACL_SECURITY_INFORMATION, &list.descriptor)) return true;
    // A drive without permissions (FAT32, exFAT) is no reason to stop: the installation goes on.
    logLine("access list not set: %s (error %lu)", path, (unsigned long)GetLastError());
    return false;
}

bool lockWherePossible(const char* path, AccessListKind kind)
{
    return lockPath(path, kind) || !ntFamily() || !keepsAccessLists(path);
}

bool runsElevated()
{
    // TokenElevation is known from Vista on; earlier systems refuse the class.
    DWORD elevation[1] = {0};
    return ntFamily() && tokenInformation(TokenElevation, elevation, sizeof elevation) && elevation[0] != 0;
}

bool createLockedFolder(const char* path, AccessListKind kind)
{
    AccessList list;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
    if (buildAccessList(kind, list)) attributes.lpSecurityDescriptor = &list.descriptor;
    return CreateDirectoryA(path, &attributes) != FALSE;
}

HANDLE createLockedFile(const char* path, AccessListKind kind)
{
    AccessList list;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
    if (buildAccessList(kind, list)) attributes.lpSecurityDescriptor = &list.descriptor;
    return CreateFileA(path, GENERIC_WRITE, 0, attributes.lpSecurityDescriptor ? &attributes : nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool administratorOwner(PSID owner)
{
    DWORD known[SidWords];
    // S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464: the service SID of
    // TrustedInstaller, the same on every Windows.
    static const DWORD trustedInstaller[TrustedInstallerRids] = {
        SECURITY_SERVICE_ID_BASE_RID, 956008885, 3418522649u, 1831038044, 1853292631, 2271478464u};
    if (sameSid(owner, wellKnownSid(known, NtAuthority, SECURITY_LOCAL_SYSTEM_RID)) ||
        sameSid(owner, administratorsSid(known)) ||
        sameSid(owner, sidOf(known, NtAuthority, trustedInstaller, TrustedInstallerRids)))
        return true;
    return currentUserSid(known, sizeof known) && sameSid(owner, known) && runsAsAdministrator();
}

bool isLink(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool removeFolderLink(const char* path)
{
    if (loadedFunction("ntdll.dll", "wine_get_version")) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    return RemoveDirectoryA(path) != FALSE;
}

bool keepsAccessLists(const char* path)
{
    if (!ntFamily()) return false;
    typedef BOOL(WINAPI * VolumePathFn)(LPCSTR, LPSTR, DWORD);
    VolumePathFn volumePath = (VolumePathFn)(void*)loadedFunction("kernel32.dll", "GetVolumePathNameA");
    char root[PathSize];
    // Without the call (NT 4) the drive's root; a path that names none is taken to keep lists.
    if (!volumePath || !volumePath(path, root, sizeof root)) {
        if (path[0] == '\0' || path[1] != ':') return true;
        formatText(root, sizeof root, "%c:\\", path[0]);
    }
    DWORD flags = 0;
    if (!GetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)) return true;
    return (flags & FILE_PERSISTENT_ACLS) != 0;
}

bool handleOwnedByAdministrator(HANDLE object, const char* path)
{
    return !ntFamily() || !keepsAccessLists(path) || objectOwnedByAdministrator(object);
}

bool ownedByAdministrator(const char* path)
{
    if (!ntFamily() || !keepsAccessLists(path)) return true;
    NotOpened why;
    HANDLE object = openUnfollowed(path, READ_CONTROL, why);
    if (object == INVALID_HANDLE_VALUE) {
        logNotOpened(why, path, "owner not readable");
        return false;
    }
    bool owned = objectOwnedByAdministrator(object);
    CloseHandle(object);
    return owned;
}

LockResult lockExisting(const char* path, AccessListKind kind)
{
    if (!ntFamily()) return LockResult::NotLocked;
    NotOpened why;
    // With the owner's right where this run has it, else the list alone still closes it.
    bool changeOwner = true;
    HANDLE object = openUnfollowed(path, READ_CONTROL | WRITE_DAC | WRITE_OWNER, why);
    if (object == INVALID_HANDLE_VALUE && why == NotOpened::Unopened) {
        changeOwner = false;
        object = openUnfollowed(path, READ_CONTROL | WRITE_DAC, why);
    }
    if (object == INVALID_HANDLE_VALUE) {
        logNotOpened(why, path, "access list not set");
        return why == NotOpened::Unopened ? LockResult::NotLocked : LockResult::Refused;
    }
    // What is locked is what was checked: the owner is read again on the handle that sets the list.
    LockResult result =
        !keepsAccessLists(path) || objectOwnedByAdministrator(object) ? LockResult::Locked : LockResult::Refused;
    if (result == LockResult::Locked && !setList(object, kind, changeOwner)) {
        logLine("access list not set: %s (error %lu)", path, (unsigned long)GetLastError());
        result = LockResult::NotLocked;
    }
    if (result == LockResult::Refused) logLine("not made by an administrator: %s", path);
    CloseHandle(object);
    return result;
}
