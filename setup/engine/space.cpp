// Sizes, free space and the installation folder.
#include <string.h>

#include "config/kit_names.h"
#include "engine/product_folders.h"
#include "platform/changing_step.h"
#include "state/installer.h"
#include "platform/display_text.h"
#include "platform/run_log.h"
#include "engine/unattended.h"
#include "engine/space.h"

bool openFileSize(HANDLE file, uint64_t& size)
{
    DWORD high = 0;
    SetLastError(NO_ERROR);
    DWORD low = GetFileSize(file, &high);
    size = ((uint64_t)high << 32) | low;
    // 0xFFFFFFFF is also the low word of a real size: only the error code tells a failure.
    return low != INVALID_FILE_SIZE || GetLastError() == NO_ERROR;
}

uint64_t Installer::fileSize(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    uint64_t result = 0;
    if (!openFileSize(file, result)) result = 0;
    CloseHandle(file);
    return result;
}

uint64_t Installer::totalInstallBytes()
{
    uint64_t total = 0;
    for (int32_t i = firstFileIndex; i < installFileCount && installFiles[i][0] != '\0' && i != endFileIndex; ++i) {
        if (i >= MaxFiles || fileSelected[i] != 1) continue;
        char path[PathSize];
        if (formatText(path, sizeof path, "%s\\%s", sourceDir, installFiles[i])) total += fileSize(path);
    }
    return total;
}

uint32_t Installer::queryFreeMB(const char* path)
{
    ULARGE_INTEGER available, total, totalFree;
    if (!GetDiskFreeSpaceExA(path, &available, &total, &totalFree)) {
        // A folder that does not exist yet: ask for its drive instead.
        char root[4] = {path[0], ':', '\\', '\0'};
        if (path[0] == '\0' || path[1] != ':' || !GetDiskFreeSpaceExA(root, &available, &total, &totalFree)) return 0;
    }
    return (uint32_t)(totalFree.QuadPart >> 20);
}

bool Installer::checkFreeSpace()
{
    uint32_t freeMB = queryFreeMB(baseDir);
    freeSpaceMB = freeMB;
    logLine("space: %u MB needed, %u MB free", requiredSpaceMB, freeMB);
    if (requiredSpaceMB <= freeMB) return true;
    showNoSpace(messageOwner, installDir, freeMB, requiredSpaceMB);
    return false;
}

void showNoSpace(HWND owner, const char* folder, uint32_t freeMB, uint32_t neededMB)
{
    char drive[4] = "";
    memcpy(drive, folder, strnlen(folder, 3));
    char text[MessageSize];
    formatText(
        text, sizeof text,
        "%s ドライブの空き容量が足りません。\n今現在のドライブの容量は %uMです。\nインストールするには 約%uMの容量が必要です。",
        drive, freeMB, neededMB);
    showMessage(owner, text, "確認", MB_ICONWARNING);
}

bool Installer::createInstallFolder(const char* path) { return makeInstallFolder(path, messageOwner) == Outcome::Done; }
