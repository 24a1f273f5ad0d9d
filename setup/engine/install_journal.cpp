// The installation's journal: while an installation copies, the registry says into which folder.
// An installation ended half-way (killed, power lost) leaves files and no record; the next start
// of the launcher or of setup.exe /quiet finds the journal, removes what that installation placed
// and starts afresh. The journal lives beside the record, under HKEY_LOCAL_MACHINE, where only an
// administrator may write it.
#include "config/product_config.h"
#include "engine/changing_step.h"
#include "platform/display_text.h"
#include "engine/install_journal.h"
#include "engine/installer.h"
#include "system/uninstall_entry.h"
#include "engine/product_folders.h"
#include "platform/run_log.h"

// The journal's key: the record's own name with " (installation)".
static bool journalKey(char* out, size_t size)
{
    return formatText(out, size, "%s (installation)", productConfig.installRecordKey);
}

bool beginInstallJournal(const char* installDir)
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

bool endInstallJournal()
{
    char key[PathSize];
    if (!journalKey(key, sizeof key)) return false;
    changingStep();
    LONG status = RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

// The folder the journal names, into folder (empty where it names none or cannot be read); false
// when there is no journal.
static bool journalFolder(const char* key, char* folder, DWORD size)
{
    HKEY handle;
    folder[0] = '\0';
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return false;
    DWORD type = 0, got = size - 1;
    bool read = RegQueryValueExA(handle, "Dir", nullptr, &type, (BYTE*)folder, &got) == ERROR_SUCCESS && type == REG_SZ;
    RegCloseKey(handle);
    folder[read ? got : 0] = '\0';
    return true;
}

static void dropJournal(const char* key)
{
    if (!endInstallJournal()) logLine("installation journal left: HKEY_LOCAL_MACHINE\\%s", key);
}

// What the installation placed in folder goes, with a record begun but not finished and the entry;
// false when a file stays (each is logged).
static bool removeInterrupted(Installer& in, const char* folder)
{
    in.removeInstalledFiles(folder);
    in.deleteRegistryKey(productConfig.installRecordKey);
    deleteUninstallEntry(in);
    bool whole = true;
    forEachProductFile(in.productFiles(), folder, [&](const char*, const char* path) {
        if (Installer::pathExists(path)) logLine("not removed: %s", path);
        whole = whole && !Installer::pathExists(path);
        return true;
    });
    return whole;
}

void clearInterruptedInstallation(Installer& in)
{
    char key[PathSize], folder[PathSize];
    if (!journalKey(key, sizeof key) || !journalFolder(key, folder, sizeof folder)) return;
    // Installed after all (the record is there): nothing is left to remove.
    if (in.installed == GameInstalled || folder[0] == '\0') return dropJournal(key);
    // Its folder never made, or gone: only the folders it may have made go, if they are empty.
    bool placed = Installer::pathExists(folder);
    bool whole = !placed || removeInterrupted(in, folder);
    removeProductFolders(folder, in.folderName);
    if (!placed) return dropJournal(key);
    logLine("interrupted installation in %s: %s", folder, whole ? "removed" : "not all removed");
    // Kept where a file stays, so that the next start tries again.
    if (whole) dropJournal(key);
    char text[MessageSize];
    formatWithPaths(text, sizeof text,
                    "前回のインストールが途中で終了していたため、\n%s にコピーされたファイルを削除しました。", folder);
    showMessage(nullptr, text, "確認", MB_ICONINFORMATION);
}
