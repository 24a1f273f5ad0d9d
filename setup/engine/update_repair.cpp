#include "engine/update_repair.h"

#include "engine/file_replacement.h"
#include "engine/installation_hold.h"
#include "engine/update_journal.h"
#include "platform/run_log.h"
#include "state/installer.h"

Outcome repairHeldUpdate(Installer& in)
{
    char failed[PathSize];
    // Without a folder the journal's name would be one at the root of the current drive.
    if (in.installDir[0] == '\0') return Outcome::Done;
    return recoverFromJournal(in, failed) ? Outcome::Done : notPutBack(in, ReplacingTask::Update, failed);
}

Outcome repairInterruptedUpdate(Installer& in)
{
    if (in.installDir[0] == '\0') return Outcome::Done;
    // A journal in a tree that is no longer the administrators' is someone else's: nothing is done
    // after its lines.
    InstallationHold hold;
    if (holdInstallation(in.installDir, in.folderName, hold) != Outcome::Done) {
        logLine("not recovered: %s", in.installDir);
        return Outcome::Refused;
    }
    Outcome repaired = repairHeldUpdate(in);
    releaseInstallation(hold);
    return repaired;
}

void removeTemporaryNames(Installer& in)
{
    forEachProductFile(in.productFiles(), in.installDir, [&](const char*, const char* target) {
        for (int n = 0; n < TemporaryNameTries; ++n) {
            char fresh[PathSize], old[PathSize];
            const char* names[] = {fresh, old};
            if (!temporaryPair(target, n, fresh, old)) continue;
            for (const char* name : names)
                if (in.deleteFileIfPresent(name)) logLine("removed: %s", name);
        }
        return true;
    });
    UpdateJournal journal;
    if (nameJournal(journal, in.installDir) && in.deleteFileIfPresent(journal.path))
        logLine("removed: %s", journal.path);
}
