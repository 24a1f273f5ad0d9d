// The product's entry in Windows' list of installed programs (Add/Remove Programs, Programs and
// Features, Settings > Apps): written right after the installation record, deleted with it.
#include <string.h>
#include <wchar.h>

#include "config/kit_names.h"
#include "config/product_config.h"
#include "platform/display_text.h"
#include "system/uninstall_entry.h"

#include "state/installer.h"
#include "platform/system_library.h"

namespace {

// The entry gives the installation's size in kilobytes.
const uint64_t KiloByte = 1024;

const char* const uninstallListKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The names this program writes; a failed entry loses exactly these, and values others added stay.
const char* const entryValueNames[] = {"DisplayName",          "Publisher",   "DisplayVersion",  "UninstallString",
                                       "QuietUninstallString", "DisplayIcon", "InstallLocation", "URLInfoAbout",
                                       "EstimatedSize",        "InstallDate", "NoModify",        "NoRepair"};

bool entryKeyPath(char* out, size_t size)
{
    return formatText(out, size, "%s\\%s", uninstallListKey, productConfig.uninstallEntry);
}

bool setTextValue(Installer& in, const char* name, const char* text)
{
    return in.setRegistryValue(name, REG_SZ, text, (DWORD)strlen(text) + 1);
}

// Asks only to read, so that a key this program may not write still counts as there.
bool keyExists(const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

}  // namespace

// A text of the program for the entry, stored in UTF-16 where texts are shown through the
// W-functions, so that the list shows it right; as its bytes elsewhere.
static bool setDisplayText(Installer& in, const char* name, const char* text)
{
    typedef LONG(WINAPI * RegSetValueExWFn)(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD);
    RegSetValueExWFn setW =
        wideDisplay() ? (RegSetValueExWFn)(void*)loadedFunction("advapi32.dll", "RegSetValueExW") : nullptr;
    if (!setW) return setTextValue(in, name, text);
    WCHAR wideName[NameSize], wideText[MessageSize];
    toDisplayText(name, wideName, NameSize);
    toDisplayText(text, wideText, MessageSize);
    DWORD bytes = (DWORD)(wcslen(wideText) + 1) * (DWORD)sizeof(WCHAR);
    if (in.registryKey && setW(in.registryKey, wideName, 0, REG_SZ, (const BYTE*)wideText, bytes) == ERROR_SUCCESS)
        return true;
    in.closeRegistryKey();
    return false;
}

static bool writeEntryValues(Installer& in)
{
    char text[MessageSize];
    if (!setDisplayText(in, "DisplayName", in.gameName) || !setDisplayText(in, "Publisher", in.publisherName))
        return false;
    const char* version = productConfig.displayVersion;
    if (version && !setTextValue(in, "DisplayVersion", version)) return false;
    if (!formatText(text, sizeof text, "\"%s\\%s\"", in.installDir, UninstallerName) ||
        !setTextValue(in, "UninstallString", text))
        return false;
    if (!formatText(text, sizeof text, "\"%s\\%s\" /quiet", in.installDir, UninstallerName) ||
        !setTextValue(in, "QuietUninstallString", text))
        return false;
    if (!formatText(text, sizeof text, "%s\\%s", in.installDir, in.installFiles[0]) ||
        !setTextValue(in, "DisplayIcon", text))
        return false;
    if (!setTextValue(in, "InstallLocation", in.installDir)) return false;
    if (!setTextValue(in, "URLInfoAbout", productConfig.homePageUrl)) return false;
    DWORD kilobytes = (DWORD)((in.installedBytes + KiloByte - 1) / KiloByte);
    if (!in.setRegistryValue("EstimatedSize", REG_DWORD, &kilobytes, sizeof kilobytes)) return false;
    SYSTEMTIME today;
    GetLocalTime(&today);
    if (!formatText(text, sizeof text, "%04u%02u%02u", today.wYear, today.wMonth, today.wDay) ||
        !setTextValue(in, "InstallDate", text))
        return false;
    DWORD one = 1;
    return in.setRegistryValue("NoModify", REG_DWORD, &one, sizeof one) &&
           in.setRegistryValue("NoRepair", REG_DWORD, &one, sizeof one);
}

bool writeUninstallEntry(Installer& in)
{
    char key[PathSize];
    if (!entryKeyPath(key, sizeof key)) return false;
    bool existed = keyExists(key);
    // On the disk, as the record beside it, before the installation's journal goes.
    bool written = in.createRegistryKey(key) && writeEntryValues(in) && RegFlushKey(in.registryKey) == ERROR_SUCCESS;
    in.closeRegistryKey();
    if (written) return true;
    // Nothing of a half entry stays: a key this installation made goes whole, one that was there
    // before loses only the values written here.
    if (!existed) {
        in.deleteRegistryKey(key);
    } else if (in.openRegistryKey(key)) {
        for (const char* name : entryValueNames) RegDeleteValueA(in.registryKey, name);
        in.closeRegistryKey();
    }
    return false;
}

bool deleteUninstallEntry(Installer& in)
{
    char key[PathSize];
    return entryKeyPath(key, sizeof key) && in.deleteRegistryKey(key);
}
