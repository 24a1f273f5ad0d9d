#include "engine/product_folders.h"

#include <string.h>

#include "config/kit_names.h"
#include "platform/changing_step.h"
#include "engine/install_journal.h"
#include "engine/installed_file_kind.h"
#include "state/installer.h"
#include "platform/run_log.h"
#include "platform/display_text.h"

bool folderExists(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

// Calls visit(path, folder, link) for each file and folder in folder but the one named except, and
// with deep for what is below each folder that is no link, to any depth; false when a folder
// cannot be listed (what cannot be read is not taken on trust), a path does not fit or visit
// returns false.
template <typename Visit>
bool forEachBelow(const char* folder, const char* except, bool deep, Visit visit)
{
    char pattern[PathSize], path[PathSize];
    if (!formatText(pattern, sizeof pattern, "%s\\*", folder)) return false;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) {
        logLine("not readable: %s", folder);
        return false;
    }
    bool ok = true;
    do {
        const char* name = found.cFileName;
        if (!strcmp(name, ".") || !strcmp(name, "..") || (except && _stricmp(name, except) == 0)) continue;
        bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        bool link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        ok = formatText(path, sizeof path, "%s\\%s", folder, name) && visit(path, isFolder, link) &&
             (!deep || !isFolder || link || forEachBelow(path, nullptr, true, visit));
    } while (ok && FindNextFileA(search, &found));
    FindClose(search);
    return ok;
}

// Everything below the folder (deep: to any depth) is an administrator's and no link.
bool everythingOwned(const char* folder, const char* except, bool deep)
{
    return forEachBelow(folder, except, deep, [](const char* path, bool, bool link) {
        if (link) logLine("a link, not followed: %s", path);
        return !link && ownedByAdministrator(path);
    });
}

// Locked, or on a volume that keeps no lists at all, where nothing can be.
bool lockedOrNoLists(const char* path, AccessListKind kind)
{
    LockResult locked = lockExisting(path, kind);
    return locked == LockResult::Locked || (locked == LockResult::NotLocked && !keepsAccessLists(path));
}

// The list each file and folder below the installation folder would have had had the kit made it.
AccessListKind kindBelow(const char* path, bool folder) { return folder ? UsersRead : installedFileKind(path); }

// A folder that was there, taken over: the folder, and with deep every file and folder below it,
// given its list. False when one is refused on its second look or its list cannot be set.
bool lockTree(const char* folder, AccessListKind kind, const char* except, bool deep)
{
    if (!lockedOrNoLists(folder, kind)) return false;
    return !deep || forEachBelow(folder, except, true, [](const char* path, bool isFolder, bool link) {
        return !link && lockedOrNoLists(path, kindBelow(path, isFolder));
    });
}

}  // namespace

bool mayTakeOver(const char* folder, const char* except, bool wholeTree)
{
    return ownedByAdministrator(folder) && everythingOwned(folder, except, wholeTree);
}

// A standard user who made the folder first, or made it a link, keeps every right to it and to
// what it holds (or points at). The installation folder is taken over only when everything in it,
// to any depth, is an administrator's; the publisher folder when what it holds directly is.
Outcome placeProductFolder(const char* path, AccessListKind kind, const char* except, bool wholeTree, HWND owner,
                           unsigned long journaled)
{
    if (journaled) journalFolderToMake(journaled);  // not written: a next start leaves the folder
    changingStep();
    if (createLockedFolder(path, kind)) return Outcome::Done;
    DWORD error = GetLastError();
    if (journaled) journalFolderWasThere(journaled);  // not written: a next start tries to remove it, if empty
    if (error != ERROR_ALREADY_EXISTS || !folderExists(path)) return Outcome::Failed;
    if (!mayTakeOver(path, except, wholeTree)) {
        logLine("folder refused: %s", path);
        char text[MessageSize];
        formatWithPaths(
            text, sizeof text,
            "%s\nこのフォルダは別のユーザーが作成したため、インストールできません。\n別のフォルダを指定してください。",
            path);
        showMessage(owner, text, "確認", MB_ICONWARNING);
        return Outcome::Refused;
    }
    if (lockTree(path, kind, except, wholeTree)) return Outcome::Done;
    logLine("folder not locked: %s", path);
    return Outcome::Failed;
}

// The save folder is the players' and the kit's: one that was there holds their saves and stays
// theirs, but a link a player made of it is removed as a link, never followed, and made again.
static Outcome placeSaveFolder(const char* save)
{
    journalFolderToMake(MadeSaveFolder);  // not written: a next start leaves the folder
    if (isLink(save)) {
        logLine("save folder is a link, removed as one: %s", save);
        if (!removeFolderLink(save) || isLink(save)) {
            logLine("link not removed: %s (error %lu)", save, (unsigned long)GetLastError());
            return Outcome::Failed;
        }
    }
    if (createLockedFolder(save, UsersModifyInside)) return Outcome::Done;
    journalFolderWasThere(MadeSaveFolder);  // not written: a next start tries to remove it, if empty
    if (!folderExists(save)) return Outcome::Failed;
    return lockedOrNoLists(save, UsersModifyInside) ? Outcome::Done : Outcome::Failed;
}

// The folders above the installation folder: the player's own up to the publisher folder, which is
// the product's; one that is not there yet is made as an administrator's.
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
            Outcome placed = placeProductFolder(publisher, UsersRead, nullptr, false, owner, MadePublisher);
            if (placed != Outcome::Done) return placed;
        } else if (!folderExists(prefix) && !createLockedFolder(prefix, UsersRead)) {
            // Made with the installed items' list, never the drive's inherited one, so that no
            // player can rename it and put a tree of their own where the record points.
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
    if (placed == Outcome::Done)
        placed = placeProductFolder(path, UsersRead, SaveFolderName, true, owner, MadeInstallFolder);
    char save[PathSize];
    if (placed != Outcome::Done) return placed;
    if (!formatText(save, sizeof save, "%s\\%s", path, SaveFolderName)) return Outcome::Failed;
    return placeSaveFolder(save);
}

void removeProductFolders(const char* installDir, const char* folderName, unsigned long which)
{
    if (installDir[0] == '\0') return;
    // Each goes only when empty; one that stays holds what is not the installation's to delete, so
    // no result here tells anything new.
    // A folder that is a link is left as it is: some systems (Wine) take the call for its target.
    char path[PathSize];
    if ((which & MadeInstallFolder) && formatText(path, sizeof path, "%s\\%s", installDir, MovieFolderName) &&
        !isLink(path))
        RemoveDirectoryA(path);
    if ((which & MadeSaveFolder) && formatText(path, sizeof path, "%s\\%s", installDir, SaveFolderName) &&
        !isLink(path))
        RemoveDirectoryA(path);
    if (which & MadeInstallFolder) RemoveDirectoryA(installDir);
    if ((which & MadePublisher) && publisherFolderOf(installDir, folderName, path, sizeof path)) RemoveDirectoryA(path);
}
