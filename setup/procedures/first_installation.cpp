#include "procedures/first_installation.h"

#include "config/product_config.h"
#include "platform/run_log.h"
#include "state/installer.h"
#include "system/uninstall_entry.h"

bool removeFirstInstallation(Installer& in, const char* folder, RecordBegun record)
{
    in.removeInstalledFiles(folder);
    if (record == RecordBegunToo) {
        // Neither may be there: a record the run could not finish, an entry it never wrote.
        in.deleteRegistryKey(productConfig.installRecordKey);
        deleteUninstallEntry(in);
    }
    bool whole = true;
    forEachProductFile(in.productFiles(), folder, [&](const char*, const char* path) {
        if (!Installer::pathExists(path)) return true;
        logLine("not removed: %s", path);
        whole = false;
        return true;
    });
    return whole;
}
