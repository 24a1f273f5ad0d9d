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
typedef BOOL(WINAPI* GetFileSecurityFn)(LPCSTR, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR, DWORD, LPDWORD);
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

// The owner of what stands at path, copied into out; false when it cannot be read.
bool ownerOf(const char* path, DWORD* out, size_t size)
{
    GetFileSecurityFn getSecurity = (GetFileSecurityFn)(void*)security("GetFileSecurityA");
    GetOwnerFn getOwner = (GetOwnerFn)(void*)security("GetSecurityDescriptorOwner");
    DWORD descriptor[OwnerDescriptorWords], needed = 0;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!getSecurity || !getOwner ||
        !getSecurity(path, OWNER_SECURITY_INFORMATION, descriptor, sizeof descriptor, &needed) ||
        !getOwner(descriptor, &owner, &defaulted) || !owner ||
        ((SID*)owner)->SubAuthorityCount > SID_MAX_SUB_AUTHORITIES || sidLength(owner) > size)
        return false;
    memcpy(out, owner, sidLength(owner));
    return true;
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
    case PrivateFolder:
        // The user's own SID takes the place of Users'.
        ok = ok && currentUserSid(list.sids[2], sizeof list.sids[2]) &&
             addAce(acl, ACL_REVISION, Inherited, FullControl, (PSID)list.sids[2]);
        break;
    case InstalledItem: ok = ok && addAce(acl, ACL_REVISION, Inherited, ReadExecute, users); break;
    case SettingsFile:
        ok = ok && addAce(acl, ACL_REVISION, 0, FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE, users);
        break;
    case SaveFolder:
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

bool ownedByAdministrator(const char* path)
{
    DWORD owner[SidWords];
    if (!ntFamily() || !ownerOf(path, owner, sizeof owner)) return true;
    return administratorOwner((PSID)owner);
}

bool folderOwnedByAdministrator(const char* folder, const char* except)
{
    if (!ownedByAdministrator(folder)) return false;
    char pattern[PathSize], path[PathSize];
    if (!formatText(pattern, sizeof pattern, "%s\\*", folder)) return false;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return true;  // nothing in it (or nothing readable: the folder's own check stands)
    bool owned = true;
    do {
        const char* name = found.cFileName;
        if (!strcmp(name, ".") || !strcmp(name, "..") || (except && _stricmp(name, except) == 0)) continue;
        owned = formatText(path, sizeof path, "%s\\%s", folder, name) && ownedByAdministrator(path);
        if (!owned) logLine("not made by an administrator: %s", path);
    } while (owned && FindNextFileA(search, &found));
    FindClose(search);
    return owned;
}

bool lockExistingFolder(const char* path, AccessListKind kind)
{
    AccessList list;
    DWORD owner[SidWords], admins[SidWords];
    SetOwnerFn setOwner = (SetOwnerFn)(void*)security("SetSecurityDescriptorOwner");
    SetFileSecurityFn setSecurity = (SetFileSecurityFn)(void*)security("SetFileSecurityA");
    if (!buildAccessList(kind, list) || !setSecurity) return lockPath(path, kind);
    // Whoever else owns it (this administrator, unelevated, or SYSTEM) the folder becomes the group's.
    SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION;
    administratorsSid(admins);
    if (setOwner && ownerOf(path, owner, sizeof owner) && !sameSid(owner, admins) &&
        setOwner(&list.descriptor, (PSID)admins, FALSE))
        what |= OWNER_SECURITY_INFORMATION;
    if (setSecurity(path, what, &list.descriptor)) return true;
    // The owner could not be changed (a right this run lacks): the list alone still closes it.
    return lockPath(path, kind);
}
