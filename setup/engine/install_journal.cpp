// The installation's journal: while an installation copies, the registry says into which folder.
// An installation ended half-way (killed, power lost) leaves files and no record; the next start
// of the launcher or of setup.exe /quiet finds the journal, removes what that installation placed
// and starts afresh. The journal lives beside the record, under HKEY_LOCAL_MACHINE, where only an
// administrator may write it.
#include "config/product_config.h"
#include "platform/changing_step.h"
#include "engine/install_journal.h"
#include "state/installer.h"
#include "platform/run_log.h"
#include "state/copy_state.h"

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

bool readInstallJournal(InstallJournal& journal)
{
    char key[PathSize];
    if (!journalKey(key, sizeof key) || !journalFolder(key, journal.folder, sizeof journal.folder)) return false;
    // A journal without these numbers is an earlier version's, written once its folders were its own.
    journalNumber(key, "Owned", 1, journal.owned);
    journalNumber(key, "Made", AllProductFolders, journal.made);
    return true;
}

void dropInstallJournal()
{
    char key[PathSize];
    if (!endInstallJournal() && journalKey(key, sizeof key))
        logLine("installation journal left: HKEY_LOCAL_MACHINE\\%s", key);
}
