#include "engine/install_over_game.h"

#include <string.h>

#include <map>
#include <string>

#include "engine/file_replacement.h"
#include "engine/path_key.h"
#include "config/product_config.h"
#include "state/installer.h"
#include "platform/run_log.h"

namespace {

// The staged copy under way: its journal, and its files (in the replacement's table) by target
// (archive entries named twice, or in another letter case, are one file: they share a key).
struct StagedCopy {
    bool active;
    bool unflushed;  // journal lines written since the journal was last flushed
    UpdateJournal journal;
    int count;
    std::map<std::string, int> byTarget;
};
StagedCopy staged;

void endStaging()
{
    staged.active = false;
    staged.count = 0;
    staged.byTarget.clear();
}

}  // namespace

bool beginStagedCopy(Installer& in)
{
    endStaging();
    char failed[PathSize];
    // A journal an earlier run could not finish is put right first; its files are never taken over.
    if (!recoverFromJournal(in, failed)) {
        notPutBack(in, ReplacingTask::Installation, failed);
        return false;
    }
    if (!nameJournal(staged.journal, in.installDir) || !openJournal(staged.journal, replacementTable(), 0)) {
        logLine("journal not begun: %s (error %lu)", staged.journal.path, (unsigned long)GetLastError());
        return false;
    }
    staged.active = true;
    logLine("over the installed game: every file is written beside its target first");
    return true;
}

const char* placedName(const char* target, char* placed)
{
    if (!staged.active) return target;
    auto known = staged.byTarget.find(pathKey(target));
    if (known != staged.byTarget.end())
        return copyText(placed, PathSize, replacementTable()[known->second].fresh) ? placed : nullptr;
    UpdateFile& f = replacementTable()[staged.count];
    bool fits = staged.count < MaxReplacedFiles && copyText(f.target, PathSize, target) &&
                temporaryNames(target, f.fresh, f.old) && copyText(placed, PathSize, f.fresh);
    if (!fits) {
        logLine("cannot be written beside its target: %s", target);
        return nullptr;
    }
    f.source[0] = '\0';
    f.replaced = false;
    f.oldAttributes = GetFileAttributesA(target);
    if (!appendJournalLine(staged.journal, f)) {
        logLine("journal not written: %s (error %lu)", staged.journal.path, (unsigned long)GetLastError());
        return nullptr;
    }
    staged.unflushed = true;
    staged.byTarget[pathKey(target)] = staged.count++;
    return placed;
}

bool stagingActive() { return staged.active; }

bool stagedNamesOnDisk()
{
    if (!staged.active || !staged.unflushed) return true;
    if (!FlushFileBuffers(staged.journal.file)) {
        logLine("journal not written: %s (error %lu)", staged.journal.path, (unsigned long)GetLastError());
        return false;
    }
    staged.unflushed = false;
    return true;
}

Outcome dropStagedCopy(Installer& in)
{
    char failed[PathSize];
    bool back = putBack(staged.count, failed);
    int count = staged.count;
    endStaging();
    if (!back) {
        keepJournal(staged.journal);
        return notPutBack(in, ReplacingTask::Installation, failed);
    }
    if (!closeJournal(staged.journal))
        logLine("journal left: %s", staged.journal.path);  // it only finds the game whole
    logLine("installation over the game not completed: %d new files removed, the game as it was", count);
    return Outcome::Done;
}

Outcome placeStagedCopy(Installer& in)
{
    Outcome result = replaceEvery(in, ReplacingTask::Installation, staged.journal, staged.count);
    if (result != Outcome::Done) endStaging();
    return result;
}

Outcome finishStagedCopy(Installer& in)
{
    Outcome result = finishReplacement(in, ReplacingTask::Installation, staged.journal, staged.count);
    endStaging();
    return result;
}

Outcome undoStagedCopy(Installer& in)
{
    Outcome result = failAndPutBack(in, ReplacingTask::Installation, staged.journal, staged.count,
                                    productConfig.installRecordKey, GetLastError());
    endStaging();
    return result;
}
