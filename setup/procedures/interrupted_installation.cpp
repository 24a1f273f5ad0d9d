// An installation ended half-way (killed, power lost) leaves files and no record; the next start of
// the launcher or of setup.exe /quiet finds its journal, removes what that installation placed and
// starts afresh.
#include "procedures/interrupted_installation.h"

#include "config/product_config.h"
#include "engine/install_journal.h"
#include "engine/installation_hold.h"
#include "engine/product_folders.h"
#include "platform/display_text.h"
#include "platform/run_log.h"
#include "state/copy_state.h"
#include "state/installer.h"
#include "procedures/first_installation.h"

void clearInterruptedInstallation(Installer& in)
{
    InstallJournal journal;
    if (!readInstallJournal(journal)) return;
    const char* folder = journal.folder;
    // Installed after all (the record is there): nothing is left to remove.
    if (in.installed == GameInstalled || folder[0] == '\0') return dropInstallJournal();
    DWORD made = journal.made;
    if (!journal.owned) {
        // Ended before its folders were its own (at the question, or at the refusal of another
        // user's folder): nothing in them is the run's, and only the folders it made go.
        removeProductFolders(folder, in.folderName, made);
        logLine("interrupted installation in %s: removed, the folders it made only: it ended before it had its folders",
                folder);
        return dropInstallJournal();
    }
    // Its folder never made, or gone: only the folders it made go, if they are empty. Files are
    // deleted only in a tree that is still the administrators' and held: one swapped for another
    // user's folders meanwhile is theirs, and so is what it holds.
    bool placed = Installer::pathExists(folder);
    InstallationHold hold;
    if (placed && holdInstallation(folder, in.folderName, hold) != Outcome::Done) {
        logLine("interrupted installation in %s: left, its folders are no longer the kit's", folder);
        return;  // the journal stays: nothing of it was done
    }
    bool whole = !placed || removeFirstInstallation(in, folder, RecordBegunToo);
    if (placed) releaseInstallation(hold);
    removeProductFolders(folder, in.folderName, made);
    if (!placed) return dropInstallJournal();
    logLine("interrupted installation in %s: %s", folder, whole ? "removed" : "not all removed");
    // Kept where a file stays, so that the next start tries again.
    if (whole) dropInstallJournal();
    char text[MessageSize];
    formatWithPaths(text, sizeof text,
                    "前回のインストールが途中で終了していたため、\n%s にコピーされたファイルを削除しました。", folder);
    showMessage(nullptr, text, "確認", MB_ICONINFORMATION);
}
