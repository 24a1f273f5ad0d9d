// The installation's journal: while an installation copies, the registry says into which folder.
// An installation ended half-way (killed, power lost) leaves files and no record; the next start
// of the launcher or of setup.exe /quiet finds the journal, removes what that installation placed
// and starts afresh. The journal lives beside the record, under HKEY_LOCAL_MACHINE, where only an
// administrator may write it.
#include "config/product_config.h"
#include "engine/changing_step.h"
#include "platform/display_text.h"
#include "engine/install_journal.h"
#include "engine/installation_hold.h"
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
    // On the disk before the first folder is made: the folder, none made yet, none the run's own.
    DWORD none = 0;
    bool ok = RegSetValueExA(handle, "Dir", 0, REG_SZ, (const BYTE*)installDir, (DWORD)strlen(installDir) + 1) ==
                  ERROR_SUCCESS &&
              RegSetValueExA(handle, "Made", 0, REG_DWORD, (const BYTE*)&none, sizeof none) == ERROR_SUCCESS &&
              RegSetValueExA(handle, "Owned", 0, REG_DWORD, (const BYTE*)&none, sizeof none) == ERROR_SUCCESS &&
              RegFlushKey(handle) == ERROR_SUCCESS;
    RegCloseKey(handle);
    return ok;
}

// A number of the journal (fallback where it has none), and whether there is a journal.
static bool journalNumber(const char* key, const char* name, DWORD fallback, DWORD& value)
{
    HKEY handle;
    value = fallback;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return false;
    DWORD type = 0, read = 0, size = sizeof read;
    if (RegQueryValueExA(handle, name, nullptr, &type, (BYTE*)&read, &size) == ERROR_SUCCESS && type == REG_DWORD)
        value = read;
    RegCloseKey(handle);
    return true;
}

// The journal's number changed as change says, on the disk before the next step; false where there
// is no journal or it cannot be written.
static bool changeJournalNumber(const char* name, DWORD (*change)(DWORD, DWORD), DWORD bits)
{
    char key[PathSize];
    DWORD value = 0;
    HKEY handle;
    if (!journalKey(key, sizeof key) || !journalNumber(key, name, 0, value)) return false;
    changingStep();
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_SET_VALUE, &handle) != ERROR_SUCCESS) return false;
    value = change(value, bits);
    bool ok = RegSetValueExA(handle, name, 0, REG_DWORD, (const BYTE*)&value, sizeof value) == ERROR_SUCCESS &&
              RegFlushKey(handle) == ERROR_SUCCESS;
    RegCloseKey(handle);
    return ok;
}

static DWORD withBits(DWORD value, DWORD bits) { return value | bits; }
static DWORD withoutBits(DWORD value, DWORD bits) { return value & ~bits; }

bool journalFolderToMake(DWORD folder) { return changeJournalNumber("Made", withBits, folder); }
bool journalFolderWasThere(DWORD folder) { return changeJournalNumber("Made", withoutBits, folder); }
bool journalFoldersOwned() { return changeJournalNumber("Owned", withBits, 1); }

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
    // A journal without these numbers is an earlier version's, written once its folders were its own.
    DWORD owned = 1, made = AllProductFolders;
    journalNumber(key, "Owned", 1, owned);
    journalNumber(key, "Made", made, made);
    if (!owned) {
        // Ended before its folders were its own (at the question, or at the refusal of another
        // user's folder): nothing in them is the run's, and only the folders it made go.
        removeProductFolders(folder, in.folderName, made);
        logLine("interrupted installation in %s: removed, the folders it made only: it ended before it had its folders",
                folder);
        return dropJournal(key);
    }
    // Its folder never made, or gone: only the folders it made go, if they are empty. Files are
    // deleted only in a tree that is still the administrators' and held: one swapped for another
    // user's folders meanwhile is theirs, and so is what it holds.
    bool placed = Installer::pathExists(folder);
    InstallationHold hold;
    if (placed && holdInstallation(folder, in.folderName, hold) != Outcome::Done) {
        logLine("interrupted installation in %s: left, its folders are no longer the kit's", folder);
        return;  // the journal stays: nothing of it was done
    }
    bool whole = !placed || removeInterrupted(in, folder);
    if (placed) releaseInstallation(hold);
    removeProductFolders(folder, in.folderName, made);
    if (!placed) return dropJournal(key);
    logLine("interrupted installation in %s: %s", folder, whole ? "removed" : "not all removed");
    // Kept where a file stays, so that the next start tries again.
    if (whole) dropJournal(key);
    char text[MessageSize];
    formatWithPaths(text, sizeof text,
                    "前回のインストールが途中で終了していたため、\n%s にコピーされたファイルを削除しました。", folder);
    showMessage(nullptr, text, "確認", MB_ICONINFORMATION);
}
