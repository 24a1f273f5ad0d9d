#include "engine/installation_hold.h"

#include <string.h>

#include "engine/product_folders.h"
#include "platform/access_list.h"
#include "platform/run_log.h"

// The folder at path held, and an administrator's by the owner read on the holding handle; nothing
// there holds nothing and passes.
static bool holdOwned(const char* path, HeldFolder& held)
{
    Hold result = holdFolder(path, false, held);
    if (result == Hold::Absent) return true;
    if (result == Hold::Linked) logLine("a link, not followed: %s", path);
    if (result != Hold::Held) return false;
    if (held.handle == INVALID_HANDLE_VALUE || handleOwnedByAdministrator(held.handle, path)) return true;
    logLine("not made by an administrator: %s", path);
    releaseFolder(held);
    return false;
}

Outcome holdInstallation(const char* installDir, const char* folderName, InstallationHold& hold)
{
    hold.publisher.handle = hold.install.handle = INVALID_HANDLE_VALUE;
    if (installDir[0] == '\0') return Outcome::Done;
    char publisher[PathSize];
    // A publisher folder that would be a drive's root is the player's drive, not the product's.
    bool withPublisher = publisherFolderOf(installDir, folderName, publisher, sizeof publisher) &&
                         strlen(publisher) > 3 && lastBackslash(publisher) != nullptr;
    if ((!withPublisher || holdOwned(publisher, hold.publisher)) && holdOwned(installDir, hold.install))
        return Outcome::Done;
    releaseInstallation(hold);
    logLine("folder refused: %s", installDir);
    return Outcome::Refused;
}

void releaseInstallation(InstallationHold& hold)
{
    releaseFolder(hold.install);
    releaseFolder(hold.publisher);
}
