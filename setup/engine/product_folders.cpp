#include "engine/product_folders.h"

#include <string.h>

#include "config/kit_names.h"
#include "engine/changing_step.h"
#include "engine/installer.h"
#include "platform/display_text.h"

bool folderExists(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool publisherFolderOf(const char* installDir, const char* folderName, char* out, size_t size)
{
    size_t dirLen = strlen(installDir), folderLen = strlen(folderName);
    if (dirLen <= folderLen + 1 || dirLen - folderLen - 1 >= size) return false;
    memcpy(out, installDir, dirLen - folderLen - 1);
    out[dirLen - folderLen - 1] = '\0';
    return true;
}

// A standard user who made the folder first keeps every right to it and to what it holds.
Outcome placeProductFolder(const char* path, AccessListKind kind, const char* except, HWND owner)
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
        showMessage(owner, text, "確認", MB_ICONWARNING);
        return Outcome::Refused;
    }
    lockExistingFolder(path, kind);  // a drive without permissions: logged, the installation goes on
    return Outcome::Done;
}

// The folders above the installation folder: the player's own up to the publisher folder, which is
// the product's.
static Outcome placeFoldersAbove(const char* path, HWND owner)
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
            Outcome placed = placeProductFolder(publisher, InstalledItem, nullptr, owner);
            if (placed != Outcome::Done) return placed;
        } else if (!Installer::ensureDirectory(prefix)) {
            return Outcome::Failed;
        }
    }
    return Outcome::Done;
}

Outcome makeInstallFolder(const char* path, HWND owner)
{
    if (!folderExists(path)) {
        char text[MessageSize];
        if (!formatWithPaths(text, sizeof text, "%s\nフォルダを作成します。\nよろしいですか？", path) ||
            showMessage(owner, text, "確認", MB_YESNO | MB_ICONQUESTION) != IDYES)
            return Outcome::Failed;
    }
    Outcome placed = placeFoldersAbove(path, owner);
    if (placed == Outcome::Done) placed = placeProductFolder(path, InstalledItem, SaveFolderName, owner);
    char save[PathSize];
    if (placed != Outcome::Done) return placed;
    if (!formatText(save, sizeof save, "%s\\%s", path, SaveFolderName)) return Outcome::Failed;
    // The save folder is the players': one that was there holds their saves and stays theirs.
    if (createLockedFolder(save, SaveFolder)) return Outcome::Done;
    if (!folderExists(save)) return Outcome::Failed;
    lockExistingFolder(save, SaveFolder);  // a drive without permissions: logged, the installation goes on
    return Outcome::Done;
}

void removeProductFolders(const char* installDir, const char* folderName)
{
    if (installDir[0] == '\0') return;
    // Each goes only when empty; one that stays holds what is not the installation's to delete.
    char path[PathSize];
    if (formatText(path, sizeof path, "%s\\%s", installDir, MovieFolderName)) RemoveDirectoryA(path);
    if (formatText(path, sizeof path, "%s\\%s", installDir, SaveFolderName)) RemoveDirectoryA(path);
    RemoveDirectoryA(installDir);
    if (publisherFolderOf(installDir, folderName, path, sizeof path)) RemoveDirectoryA(path);
}
