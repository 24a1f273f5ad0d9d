// The product's entry in Windows' list of installed programs (Add/Remove Programs, Programs and
// Features, Settings > Apps): written right after the installation record, deleted with it.
#include <string.h>
#include <wchar.h>

#include "config/kit_names.h"
#include "config/product_config.h"
#include "platform/display_text.h"
#include "engine/installer.h"
#include "platform/system_library.h"

namespace {

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

bool Installer::setRegistryDisplayText(const char* name, const char* text)
{
    typedef LONG(WINAPI * RegSetValueExWFn)(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD);
    RegSetValueExWFn setW =
        wideDisplay() ? (RegSetValueExWFn)(void*)loadedFunction("advapi32.dll", "RegSetValueExW") : nullptr;
    if (!setW) return setTextValue(*this, name, text);
    WCHAR wideName[NameSize], wideText[MessageSize];
    toDisplayText(name, wideName, NameSize);
    toDisplayText(text, wideText, MessageSize);
    DWORD bytes = (DWORD)(wcslen(wideText) + 1) * (DWORD)sizeof(WCHAR);
    if (registryKey && setW(registryKey, wideName, 0, REG_SZ, (const BYTE*)wideText, bytes) == ERROR_SUCCESS)
        return true;
    closeRegistryKey();
    return false;
}

bool Installer::writeUninstallEntryValues()
{
    char text[MessageSize];
    if (!setRegistryDisplayText("DisplayName", gameName) || !setRegistryDisplayText("Publisher", publisherName))
        return false;
    const char* version = productConfig.displayVersion;
    if (version && !setTextValue(*this, "DisplayVersion", version)) return false;
    if (!formatText(text, sizeof text, "\"%s\\%s\"", installDir, UninstallerName) ||
        !setTextValue(*this, "UninstallString", text))
        return false;
    if (!formatText(text, sizeof text, "\"%s\\%s\" /quiet", installDir, UninstallerName) ||
        !setTextValue(*this, "QuietUninstallString", text))
        return false;
    if (!formatText(text, sizeof text, "%s\\%s", installDir, installFiles[0]) ||
        !setTextValue(*this, "DisplayIcon", text))
        return false;
    if (!setTextValue(*this, "InstallLocation", installDir)) return false;
    if (!setTextValue(*this, "URLInfoAbout", productConfig.homePageUrl)) return false;
    DWORD kilobytes = (DWORD)((installedBytes + 1023) / 1024);
    if (!setRegistryValue("EstimatedSize", REG_DWORD, &kilobytes, 4)) return false;
    SYSTEMTIME today;
    GetLocalTime(&today);
    if (!formatText(text, sizeof text, "%04u%02u%02u", today.wYear, today.wMonth, today.wDay) ||
        !setTextValue(*this, "InstallDate", text))
        return false;
    DWORD one = 1;
    return setRegistryValue("NoModify", REG_DWORD, &one, 4) && setRegistryValue("NoRepair", REG_DWORD, &one, 4);
}

bool Installer::writeUninstallEntry()
{
    char key[PathSize];
    if (!entryKeyPath(key, sizeof key)) return false;
    bool existed = keyExists(key);
    bool written = createRegistryKey(key) && writeUninstallEntryValues();
    closeRegistryKey();
    if (written) return true;
    // Nothing of a half entry stays: a key this installation made goes whole, one that was there
    // before loses only the values written here.
    if (!existed) {
        deleteRegistryKey(key);
    } else if (openRegistryKey(key)) {
        for (const char* name : entryValueNames) RegDeleteValueA(registryKey, name);
        closeRegistryKey();
    }
    return false;
}

bool Installer::deleteUninstallEntry()
{
    char key[PathSize];
    return entryKeyPath(key, sizeof key) && deleteRegistryKey(key);
}
