#include "procedures/archive_files_removal.h"

#include <string.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "config/kit_names.h"
#include "engine/path_key.h"
#include "engine/placed_record.h"
#include "platform/access_list.h"
#include "platform/held_folder.h"
#include "platform/restart_removal.h"
#include "platform/run_log.h"
#include "state/installer.h"

namespace {

// The folders between installDir and the file at relative path (below installDir), outermost first.
std::vector<std::string> foldersOf(const char* path)
{
    std::vector<std::string> folders;
    for (const char* p = path; *p; p = nextPathChar(p))
        if (*p == '\\') folders.push_back(std::string(path, (size_t)(p - path)));
    return folders;
}

// True when the relative path is below the save folder, whose files are the players'.
bool inSaveFolder(const char* path)
{
    size_t len = strlen(SaveFolderName);
    return _strnicmp(path, SaveFolderName, len) == 0 && path[len] == '\\';
}

RestartRemoval worse(RestartRemoval a, RestartRemoval b)
{
    if (a == RestartRemoval::NotScheduled || b == RestartRemoval::NotScheduled) return RestartRemoval::NotScheduled;
    return a == RestartRemoval::Scheduled || b == RestartRemoval::Scheduled ? RestartRemoval::Scheduled
                                                                            : RestartRemoval::None;
}

// The file deleted, or else down for deletion at the restart.
RestartRemoval deleteOrSchedule(const char* path)
{
    Deletion deleted = deleteFileAt(path);
    if (deleted != Deletion::Failed) return RestartRemoval::None;  // gone, not there, or another's: it stays theirs
    if (scheduleRestartDeletion(path)) {
        logLine("removed at restart: %s", path);
        return RestartRemoval::Scheduled;
    }
    logLine("cannot be removed, not even at restart: %s (error %lu)", path, (unsigned long)GetLastError());
    return RestartRemoval::NotScheduled;
}

}  // namespace

RestartRemoval removeArchiveFiles(const char* installDir)
{
    PlacedList list;
    if (!readPlacedRecord(installDir, list)) return RestartRemoval::None;  // only the product's names go
    RestartRemoval result = RestartRemoval::None;
    std::map<std::string, bool> linked;                                     // a folder below installDir: a link or not
    std::map<std::string, std::string, std::greater<std::string>> folders;  // by key, deepest after its parent
    for (const PlacedFile& f : list) {
        if (f.origin != PlacedOrigin::Archive || inSaveFolder(f.path)) continue;
        bool throughLink = false;
        for (const std::string& folder : foldersOf(f.path)) {
            char full[PathSize];
            if (!formatText(full, sizeof full, "%s\\%s", installDir, folder.c_str())) continue;
            auto known = linked.emplace(pathKey(folder.c_str()), false);
            if (known.second) known.first->second = isLink(full);
            throughLink = throughLink || known.first->second;
            folders[pathKey(folder.c_str())] = full;
        }
        char path[PathSize];
        if (throughLink) {
            logLine("a link on the way, not followed: %s", f.path);
        } else if (formatText(path, sizeof path, "%s\\%s", installDir, f.path)) {
            result = worse(result, deleteOrSchedule(path));
        }
    }
    // Deepest first (a longer key after its parent's sorts first in reverse): each goes where it is
    // empty and no link; one that still holds files stays, or goes after them at the restart.
    for (const auto& folder : folders) {
        if (linked[folder.first] || !Installer::pathExists(folder.second.c_str())) continue;
        if (!RemoveDirectoryA(folder.second.c_str()) && result == RestartRemoval::Scheduled)
            scheduleRestartDeletion(folder.second.c_str());  // an empty folder left harms nothing
    }
    return result;
}
