// The installation record under HKEY_LOCAL_MACHINE and the registry operations it goes through.
#include <string.h>

#include "config/product_config.h"
#include "platform/changing_step.h"
#include "state/installer.h"

LONG Installer::closeRegistryKey()
{
    if (!registryKey) return 0;
    LONG result = RegCloseKey(registryKey);
    registryKey = nullptr;
    return result;
}

bool Installer::createRegistryKey(const char* keyPath)
{
    closeRegistryKey();
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr);
    if (rc != ERROR_SUCCESS) return false;
    registryKey = key;
    return true;
}

bool Installer::openRegistryKey(const char* keyPath)
{
    closeRegistryKey();
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
    registryKey = key;
    return true;
}

bool Installer::setRegistryValue(const char* name, DWORD type, const void* data, DWORD bytes)
{
    if (registryKey && RegSetValueExA(registryKey, name, 0, type, (const BYTE*)data, bytes) == ERROR_SUCCESS)
        return true;
    closeRegistryKey();
    return false;
}

bool Installer::queryRegistryValue(const char* name, DWORD expectedType, void* buffer, DWORD size)
{
    if (!registryKey || size == 0) {
        closeRegistryKey();
        return false;
    }
    if (expectedType != REG_SZ) {
        DWORD bytes = size;
        if (RegQueryValueExA(registryKey, name, nullptr, nullptr, (BYTE*)buffer, &bytes) == ERROR_SUCCESS) return true;
        closeRegistryKey();
        return false;
    }
    // A text value must end up terminated inside the buffer, whatever the registry holds: a value
    // stored without its zero byte is terminated here, one that fills the whole buffer is refused.
    char text[MessageSize];
    DWORD bytes = size < sizeof text ? size : (DWORD)sizeof text;
    if (RegQueryValueExA(registryKey, name, nullptr, nullptr, (BYTE*)text, &bytes) != ERROR_SUCCESS ||
        (bytes >= size && memchr(text, '\0', size) == nullptr)) {
        closeRegistryKey();
        return false;
    }
    if (bytes < size) text[bytes] = '\0';
    memcpy(buffer, text, strlen(text) + 1);
    return true;
}

bool Installer::deleteRegistryKey(const char* keyPath)
{
    return RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath) == ERROR_SUCCESS;
}

// A text value is written with its zero byte and the one after it, as the record always was; a
// text of 259 bytes only has room for its zero byte.
static DWORD textValueBytes(const char* text)
{
    DWORD len = (DWORD)strlen(text);
    return len + 2 <= PathSize ? len + 2 : len + 1;
}

bool Installer::writeInstallRecord()
{
    changingStep();
    if (!createRegistryKey(productConfig.installRecordKey)) return false;
    changingStep();
    if (!setRegistryValue("Dir", REG_SZ, installDir, textValueBytes(installDir))) return false;
    changingStep();
    if (!setRegistryValue("CD", REG_SZ, sourceDir, textValueBytes(sourceDir))) return false;
    changingStep();
    if (!setRegistryValue("InstType", REG_DWORD, &installType, sizeof installType)) return false;
    // On the disk before anything after it counts on it: the journal's end, or its "done".
    bool flushed = RegFlushKey(registryKey) == ERROR_SUCCESS;
    closeRegistryKey();
    return flushed;
}

bool Installer::readInstallRecordFrom(const char* keyPath)
{
    if (!openRegistryKey(keyPath)) return false;
    if (!queryRegistryValue("Dir", REG_SZ, installDir, sizeof installDir)) return false;
    if (!queryRegistryValue("CD", REG_SZ, sourceDir, sizeof sourceDir)) return false;
    if (!queryRegistryValue("InstType", REG_DWORD, &installType, sizeof installType)) return false;
    closeRegistryKey();
    return true;
}

bool Installer::readInstallRecord() { return readInstallRecordFrom(productConfig.installRecordKey); }
