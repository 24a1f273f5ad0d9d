// The update procedure: the files beside update.exe replace the installed ones, all or nothing, in
// an installation folder that is still the administrators' and held while they do.
#include "engine/file_replacement.h"
#include "engine/files_in_use.h"
#include "engine/installation_hold.h"
#include "engine/update_files.h"
#include "platform/display_text.h"
#include "platform/module_folder.h"
#include "state/copy_state.h"
#include "state/installer.h"
#include "engine/unattended.h"

// The update in the held installation folder.
static Outcome updateHeldInstallation(Installer& in, const char* updateFolder)
{
    char failed[PathSize];
    if (!recoverFromJournal(in, failed)) return notPutBack(in, ReplacingTask::Update, failed);
    Outcome step = waitUntilFilesFree(in.productFiles(), in.installDir, updateFolder, filesInUseAsker(in.messageOwner));
    if (step != Outcome::Done) return step;
    int count = 0;
    uint64_t bytes = 0;
    if (!listUpdateFiles(in, updateFolder, count, bytes, failed))
        return replacementFailed(in, ReplacingTask::Update, failed, ERROR_FILENAME_EXCED_RANGE);
    if (!roomForNewFiles(in, bytes)) return Outcome::NoSpace;
    step = replaceUpdateFiles(in, count);
    if (step != Outcome::Done) return step;
    // Installed files the update does not hold get normal attributes, as the new ones have.
    forEachProductFile(in.productFiles(), in.installDir, [](const char*, const char* target) {
        SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);  // a file that keeps its attributes still runs
        return true;
    });
    showMessage(in.messageOwner, "アップデートが完了しました。", "終了", MB_ICONWARNING);
    return Outcome::Done;
}

Outcome Installer::applyUpdate()
{
    moduleFolder(sourceDir, sizeof sourceDir);
    cancelState = CancelNone;
    char updateFolder[PathSize];
    if (!formatText(updateFolder, sizeof updateFolder, "%s\\%s", sourceDir, folderName))
        return replacementFailed(*this, ReplacingTask::Update, sourceDir, ERROR_FILENAME_EXCED_RANGE);
    // A tree that is no longer the administrators' (a link, or another user's folders put in its
    // place) is never updated, not even repaired; the one that is stays held while it is.
    InstallationHold hold;
    if (holdInstallation(installDir, folderName, hold) != Outcome::Done)
        return replacementFailed(*this, ReplacingTask::Update, installDir, ERROR_ACCESS_DENIED);
    Outcome updated = updateHeldInstallation(*this, updateFolder);
    releaseInstallation(hold);
    return updated;
}
