// Sizes, free space, the installation folder and removal of installed files.
#include <string.h>

#include "config/kit_names.h"
#include "platform/access_list.h"
#include "engine/changing_step.h"
#include "engine/installer.h"
#include "platform/display_text.h"
#include "platform/run_log.h"
#include "engine/unattended.h"

uint64_t Installer::fileSize(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD high = 0;
    SetLastError(NO_ERROR);
    DWORD low = GetFileSize(file, &high);
    // 0xFFFFFFFF is also the low word of a real size: only the error code tells a failure.
    uint64_t result = low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR ? 0 : ((uint64_t)high << 32) | low;
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
    showNoSpace(freeMB, requiredSpaceMB);
    return false;
}

void Installer::showNoSpace(uint32_t freeMB, uint32_t neededMB)
{
    char drive[4] = "";
    memcpy(drive, installDir, strnlen(installDir, 3));
    char text[MessageSize];
    formatText(
        text, sizeof text,
        "%s ドライブの空き容量が足りません。\n今現在のドライブの容量は %uMです。\nインストールするには 約%uMの容量が必要です。",
        drive, freeMB, neededMB);
    showMessage(messageOwner, text, "確認", MB_ICONWARNING);
}

static bool folderExists(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Installer::ensureDirectory(const char* path) { return folderExists(path) || CreateDirectoryA(path, nullptr); }

// A folder of the product (publisher, installation): made with its list from the first
// moment, or, where it was there before, taken over only when an administrator made it and what
// it holds (but except, the players' saves), and then given the list. A folder someone else made is
// refused: a standard user who made it first keeps every right to it and to what it holds.
Outcome Installer::placeProductFolder(const char* path, AccessListKind kind, const char* except)
{
    changingStep();
    if (createLockedFolder(path, kind)) return Outcome::Done;
    if (GetLastError() != ERROR_ALREADY_EXISTS || !folderExists(path)) return Outcome::Failed;
    if (!folderOwnedByAdministrator(path, except)) {
        char text[MessageSize];
        formatWithPaths(
            text, sizeof text,
            "%s\nこのフォルダは別のユーザーが作成したため、インストールできません。\n別のフォルダを指定してください。",
            path);
        showMessage(messageOwner, text, "確認", MB_ICONWARNING);
        return Outcome::Refused;
    }
    lockExistingFolder(path, kind);  // a drive without permissions: logged, the installation goes on
    return Outcome::Done;
}

bool Installer::createInstallFolder(const char* path) { return placeInstallFolder(path) == Outcome::Done; }

// The folders above the installation folder: the player's own up to the publisher folder, which is
// the product's.
Outcome Installer::placeFoldersAbove(const char* path)
{
    char prefix[PathSize], publisher[PathSize];
    if (!copyText(publisher, sizeof publisher, path)) return Outcome::Failed;
    if (char* slash = lastBackslash(publisher)) *slash = '\0';
    size_t publisherLength = strlen(publisher);
    for (const char* p = path; *p; p = nextPathChar(p)) {
        if (*p != '\\') continue;
        size_t len = (size_t)(p - path) + 1;
        if (len >= sizeof prefix) return Outcome::Failed;
        memcpy(prefix, path, len);
        prefix[len] = '\0';
        if (len - 1 == publisherLength) {
            Outcome placed = placeProductFolder(publisher, InstalledItem, nullptr);
            if (placed != Outcome::Done) return placed;
        } else if (!ensureDirectory(prefix)) {
            return Outcome::Failed;
        }
    }
    return Outcome::Done;
}

// A No to the question fails like a folder that cannot be made: the caller says it was not made.
Outcome Installer::placeInstallFolder(const char* path)
{
    if (!folderExists(path)) {
        char text[MessageSize];
        if (!formatWithPaths(text, sizeof text, "%s\nフォルダを作成します。\nよろしいですか？", path) ||
            showMessage(messageOwner, text, "確認", MB_YESNO | MB_ICONQUESTION) != IDYES)
            return Outcome::Failed;
    }
    Outcome placed = placeFoldersAbove(path);
    if (placed == Outcome::Done) placed = placeProductFolder(path, InstalledItem, SaveFolderName);
    char save[PathSize];
    if (placed != Outcome::Done) return placed;
    if (!formatText(save, sizeof save, "%s\\%s", path, SaveFolderName)) return Outcome::Failed;
    // The save folder is the players': one that was there holds their saves and stays theirs.
    if (createLockedFolder(save, SaveFolder)) return Outcome::Done;
    if (!folderExists(save)) return Outcome::Failed;
    lockExistingFolder(save, SaveFolder);  // a drive without permissions: logged, the installation goes on
    return Outcome::Done;
}

bool Installer::removeInstalledFiles(const char* folder)
{
    forEachProductFile(folder, [&](const char*, const char* path) {
        deleteFileIfPresent(path);
        return true;
    });
    return true;
}

bool Installer::launchGame()
{
    char path[PathSize];
    if (!formatText(path, sizeof path, "%s\\%s", installDir, installFiles[0])) return false;
    return startForPlayer(path, "", LaunchOpen);
}

bool Installer::openReadme()
{
    char path[PathSize];
    if (!formatText(path, sizeof path, "%s\\%s", installed ? installDir : sourceDir, "readme.txt")) return false;
    return startForPlayer(path, "", LaunchNotepad);
}
