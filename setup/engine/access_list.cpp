#include "engine/access_list.h"

#include <string.h>

#include "engine/run_log.h"
#include "engine/system_library.h"
#include "engine/text.h"

namespace {

typedef BOOL(WINAPI* InitializeAclFn)(PACL, DWORD, DWORD);
typedef BOOL(WINAPI* AddAceExFn)(PACL, DWORD, DWORD, DWORD, PSID);
typedef BOOL(WINAPI* InitializeDescriptorFn)(PSECURITY_DESCRIPTOR, DWORD);
typedef BOOL(WINAPI* SetDaclFn)(PSECURITY_DESCRIPTOR, BOOL, PACL, BOOL);
typedef BOOL(WINAPI* SetControlFn)(PSECURITY_DESCRIPTOR, SECURITY_DESCRIPTOR_CONTROL, SECURITY_DESCRIPTOR_CONTROL);
typedef BOOL(WINAPI* SetFileSecurityFn)(LPCSTR, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR);
typedef BOOL(WINAPI* OpenProcessTokenFn)(HANDLE, DWORD, PHANDLE);
typedef BOOL(WINAPI* GetTokenInformationFn)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);

FARPROC security(const char* name) { return loadedFunction("advapi32.dll", name); }

enum { FullControl = FILE_ALL_ACCESS, ReadExecute = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE };
enum { Inherited = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE };

// A well-known SID of one or two sub-authorities, written into out.
PSID wellKnownSid(DWORD* out, BYTE authority, DWORD first, DWORD second = 0, bool two = false)
{
    SID* sid = (SID*)out;
    sid->Revision = SID_REVISION;
    sid->SubAuthorityCount = two ? 2 : 1;
    memset(&sid->IdentifierAuthority, 0, sizeof sid->IdentifierAuthority);
    sid->IdentifierAuthority.Value[5] = authority;
    sid->SubAuthority[0] = first;
    if (two) sid->SubAuthority[1] = second;
    return sid;
}

// The SID of the user this process runs as, copied into out (17 DWORDs hold any SID).
bool currentUserSid(DWORD* out, size_t size)
{
    OpenProcessTokenFn openToken = (OpenProcessTokenFn)(void*)security("OpenProcessToken");
    GetTokenInformationFn tokenInfo = (GetTokenInformationFn)(void*)security("GetTokenInformation");
    HANDLE token;
    if (!openToken || !tokenInfo || !openToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    DWORD buffer[64], got = 0;
    bool ok = tokenInfo(token, TokenUser, buffer, sizeof buffer, &got) != FALSE;
    CloseHandle(token);
    if (!ok) return false;
    const SID* sid = (const SID*)((TOKEN_USER*)buffer)->User.Sid;
    size_t length = 8 + 4 * (size_t)sid->SubAuthorityCount;
    if (sid->SubAuthorityCount > 15 || length > size) return false;
    memcpy(out, sid, length);
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
    PSID system = wellKnownSid(list.sids[0], 5, SECURITY_LOCAL_SYSTEM_RID);
    PSID admins = wellKnownSid(list.sids[1], 5, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, true);
    PSID users = wellKnownSid(list.sids[2], 5, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS, true);
    PSID creator = wellKnownSid(list.sids[3], 3, SECURITY_CREATOR_OWNER_RID);
    PACL acl = (PACL)list.acl;
    bool ok = initAcl(acl, sizeof list.acl, ACL_REVISION) &&
              addAce(acl, ACL_REVISION, Inherited, FullControl, system) &&
              addAce(acl, ACL_REVISION, Inherited, FullControl, admins);
    switch (kind) {
    case PrivateFolder:
        // The user's own SID takes the place of CREATOR OWNER's slot.
        ok = ok && currentUserSid(list.sids[3], sizeof list.sids[3]) &&
             addAce(acl, ACL_REVISION, Inherited, FullControl, (PSID)list.sids[3]);
        break;
    case InstalledItem: ok = ok && addAce(acl, ACL_REVISION, Inherited, ReadExecute, users); break;
    case InstallationFolder:
        ok = ok && addAce(acl, ACL_REVISION, Inherited, ReadExecute, users) &&
             addAce(acl, ACL_REVISION, 0, FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY, users) &&
             addAce(acl, ACL_REVISION, Inherited | INHERIT_ONLY_ACE, FullControl, creator);
        break;
    case SettingsFile:
        ok = ok && addAce(acl, ACL_REVISION, 0, FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE, users);
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

// The settings file, which the settings tool writes as the player: standard users may change it.
AccessListKind installedFileKind(const char* path)
{
    char copy[PathSize];
    if (!copyText(copy, sizeof copy, path)) return InstalledItem;
    const char* slash = lastBackslash(copy);
    return _stricmp(slash ? slash + 1 : copy, "tncfg.dat") == 0 ? SettingsFile : InstalledItem;
}
