// The installation's journal: while an installation copies, the registry says into which folder.
// An installation ended half-way (killed, power lost) leaves files and no record; the next start
// of the launcher or of setup.exe /quiet finds the journal, removes what that installation placed
// and starts afresh. The journal lives beside the record, under HKEY_LOCAL_MACHINE, where only an
// administrator may write it.
#include "config/product_config.h"
#include "engine/changing_step.h"
#include "platform/display_text.h"
#include "engine/installer.h"
#include "platform/run_log.h"

// The journal's key: the record's own name with " (installation)".
static bool journalKey(char* out, size_t size)
{
    return formatText(out, size, "%s (installation)", productConfig.installRecordKey);
}

bool Installer::beginInstallJournal()
{
    char key[PathSize];
    HKEY handle;
    changingStep();
    if (!journalKey(key, sizeof key) || RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                                        &handle, nullptr) != ERROR_SUCCESS)
        return false;
    // On the disk before the first file is copied.
    bool ok = RegSetValueExA(handle, "Dir", 0, REG_SZ, (const BYTE*)installDir, (DWORD)strlen(installDir) + 1) ==
                  ERROR_SUCCESS &&
              RegFlushKey(handle) == ERROR_SUCCESS;
    RegCloseKey(handle);
    return ok;
}

bool Installer::endInstallJournal()
{
    char key[PathSize];
    if (!journalKey(key, sizeof key)) return false;
    changingStep();
    LONG status = RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

void Installer::clearInterruptedInstallation()
{
    char key[PathSize], folder[PathSize] = "";
    HKEY handle;
    if (!journalKey(key, sizeof key) ||
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS)
        return;
    DWORD type = 0, size = sizeof folder - 1;
    bool read =
        RegQueryValueExA(handle, "Dir", nullptr, &type, (BYTE*)folder, &size) == ERROR_SUCCESS && type == REG_SZ;
    RegCloseKey(handle);
    folder[read ? size : 0] = '\0';
    // Installed after all (the record is there): nothing is left to remove.
    if (installed == 1 || !read || folder[0] == '\0') {
        if (!endInstallJournal()) logLine("installation journal left: HKEY_LOCAL_MACHINE\\%s", key);
        return;
    }
    char saved[PathSize];
    copyText(saved, sizeof saved, installDir);
    copyText(installDir, sizeof installDir, folder);
    // Its folder never made, or gone: only the folders it may have made go, if they are empty.
    bool placed = pathExists(installDir), whole = true;
    if (placed) {
        removeInstalledFiles(installDir);
        // A record begun but not finished, and the entry, go with the files.
        deleteRegistryKey(productConfig.installRecordKey);
        deleteUninstallEntry();
        forEachProductFile(installDir, [&](const char*, const char* path) {
            if (pathExists(path)) logLine("not removed: %s", path);
            whole = whole && !pathExists(path);
            return true;
        });
    }
    removeInstallFolders(0);
    copyText(installDir, sizeof installDir, saved);
    if (!placed) {
        if (!endInstallJournal()) logLine("installation journal left: HKEY_LOCAL_MACHINE\\%s", key);
        return;
    }
    logLine("interrupted installation in %s: %s", folder, whole ? "removed" : "not all removed");
    // Kept where a file stays, so that the next start tries again.
    if (whole && !endInstallJournal()) logLine("installation journal left: HKEY_LOCAL_MACHINE\\%s", key);
    char text[MessageSize];
    formatWithPaths(text, sizeof text,
                    "前回のインストールが途中で終了していたため、\n%s にコピーされたファイルを削除しました。", folder);
    showMessage(nullptr, text, "確認", MB_ICONINFORMATION);
}
