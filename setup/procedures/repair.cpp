#include "procedures/repair.h"

#include <commctrl.h>
#include <string.h>

#include "engine/entry_rewrite.h"
#include "engine/file_replacement.h"
#include "engine/files_in_use.h"
#include "engine/installation_hold.h"
#include "engine/placed_record.h"
#include "engine/unattended.h"
#include "engine/update_files.h"
#include "engine/update_journal.h"
#include "platform/display_text.h"
#include "platform/run_log.h"
#include "state/installer.h"

namespace {

const ReplacingTask Repair = ReplacingTask::Repair;

// The files being repaired: their rows, in the replacement's table in the same order.
struct RepairRun {
    Installer& in;
    const CheckList& items;
    std::vector<int> rows;
    UpdateJournal journal;
    HWND bar;
    int filesDone = 0;
};

// The bar counts the files written of all there are to write.
void showBar(RepairRun& run)
{
    int count = (int)run.rows.size();
    SendMessageA(run.bar, PBM_SETPOS, (WPARAM)(count ? run.filesDone * 100 / count : 100), 0);
}

// The files of the table from first on that are journaled: their targets and new names, each line
// in the journal before its file is made. False with the Windows error as the last error.
bool listFiles(RepairRun& run, int first, int end)
{
    UpdateFile* files = replacementTable();
    for (int i = first; i < end; ++i) {
        UpdateFile& f = files[i];
        const CheckItem& item = run.items[(size_t)run.rows[(size_t)i]];
        f.source[0] = '\0';
        f.replaced = false;
        bool fits = formatText(f.target, PathSize, "%s\\%s", run.in.installDir, item.name) &&
                    temporaryNames(f.target, f.fresh, f.old) &&
                    (item.origin != PlacedOrigin::Disc ||
                     formatText(f.source, PathSize, "%s\\%s", run.in.sourceDir, item.name));
        if (!fits) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return false;
        }
        f.oldAttributes = GetFileAttributesA(f.target);
        if (!appendJournalLine(run.journal, f)) return false;
    }
    return true;
}

// The new files of the disc in the drive (the rows of that disc, from first to end of the table):
// plain files copied, archives' files extracted again, one archive at a time. Failed with
// everything put back, or the file that could not be named.
Outcome writeDiscFiles(RepairRun& run, int first, int end)
{
    UpdateFile* files = replacementTable();
    if (!listFiles(run, first, end))
        return failAndPutBack(run.in, Repair, run.journal, end, files[first].target, GetLastError());
    std::vector<bool> done((size_t)end, false);
    for (int i = first; i < end; ++i) {
        if (done[(size_t)i]) continue;
        const CheckItem& item = run.items[(size_t)run.rows[(size_t)i]];
        bool written;
        if (item.origin == PlacedOrigin::Disc) {
            written = writeReplacementFile(files[i]);
            done[(size_t)i] = true;
            ++run.filesDone;
        } else {
            // Every file of this archive among the rows comes out of it in one pass; they lie
            // together in the table because the rows are grouped by archive.
            int last = i + 1;
            while (last < end && _stricmp(run.items[(size_t)run.rows[(size_t)last]].archive, item.archive) == 0) ++last;
            char archive[PathSize];
            written = formatText(archive, sizeof archive, "%s\\%s", run.in.sourceDir, item.archive) &&
                      extractEntriesAgain(archive, run.in.installDir, files + i, last - i);
            for (int j = i; j < last; ++j) done[(size_t)j] = true;
            run.filesDone += last - i;
        }
        if (!written) return failAndPutBack(run.in, Repair, run.journal, end, files[i].target, GetLastError());
        showBar(run);
    }
    return Outcome::Done;
}

// The disc a row is written again from: the one it came from, or the first where that is unknown
// (its file then is looked for there, and named if it is not).
int discOf(const CheckItem& item, int discCount) { return item.disc >= 0 && item.disc < discCount ? item.disc : 0; }

// The rows to write again, grouped by disc and then by archive, in the rows' order within each.
void orderRows(RepairRun& run, const std::vector<uint8_t>& damaged, int discCount)
{
    const CheckList& items = run.items;
    std::vector<bool> taken(items.size(), false);
    auto take = [&](size_t row) {
        run.rows.push_back((int)row);
        taken[row] = true;
    };
    for (int disc = 0; disc < discCount; ++disc) {
        // Plain files first, then each archive's files together.
        for (size_t row = 0; row < items.size(); ++row)
            if (damaged[row] && items[row].origin == PlacedOrigin::Disc && discOf(items[row], discCount) == disc)
                take(row);
        for (size_t row = 0; row < items.size(); ++row) {
            if (taken[row] || !damaged[row] || items[row].origin != PlacedOrigin::Archive ||
                discOf(items[row], discCount) != disc)
                continue;
            for (size_t other = row; other < items.size(); ++other)
                if (!taken[other] && damaged[other] && items[other].origin == PlacedOrigin::Archive &&
                    discOf(items[other], discCount) == disc && _stricmp(items[other].archive, items[row].archive) == 0)
                    take(other);
        }
    }
}

// The files written disc by disc and then put in place together, in the held installation folder.
Outcome repairHeld(RepairRun& run, bool unattended)
{
    Installer& in = run.in;
    char failed[PathSize];
    if (!recoverFromJournal(in, failed)) return notPutBack(in, Repair, failed);
    // Asked as the update asks, without an owner like the check's own messages.
    Outcome step = waitUntilFilesFree(in.productFiles(), in.installDir, nullptr, filesInUseAsker(nullptr));
    if (step != Outcome::Done) return step;
    if (!nameJournal(run.journal, in.installDir) || !openJournal(run.journal, replacementTable(), 0))
        return replacementFailed(in, Repair, run.journal.path, GetLastError());
    SendMessageA(run.bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageA(run.bar, PBM_SETPOS, 0, 0);
    int count = (int)run.rows.size();
    for (int first = 0; first < count;) {
        int disc = discOf(run.items[(size_t)run.rows[(size_t)first]], in.discCount), end = first;
        while (end < count && discOf(run.items[(size_t)run.rows[(size_t)end]], in.discCount) == disc) ++end;
        bool discIn =
            in.discCount == 1 ? Installer::pathExists(in.sourceDir) || !unattended : in.waitForDisc(disc, unattended);
        if (!discIn) {
            logLine("repair not made: disc %d is in no drive", disc + 1);
            if (!putBack(first, failed)) {
                keepJournal(run.journal);
                return notPutBack(in, Repair, failed);
            }
            closeJournal(run.journal);  // everything is as it was: a journal left only finds it so
            return Outcome::NoDisc;
        }
        step = writeDiscFiles(run, first, end);
        if (step != Outcome::Done) return step;
        first = end;
    }
    step = replaceEvery(in, Repair, run.journal, count);
    if (step == Outcome::Done) step = finishReplacement(in, Repair, run.journal, count);
    return step;
}

}  // namespace

RepairEnd repairInstallation(Installer& in, const CheckList& items, std::vector<uint8_t>& damaged,
                             const CheckView& view, bool unattended)
{
    RepairEnd end{Outcome::Done, 0};
    // What only the update held is never replaced by the disc's older file.
    for (size_t row = 0; row < items.size(); ++row) {
        if (!damaged[row] || items[row].origin != PlacedOrigin::Update) continue;
        ++end.updateOnly;
        logLine("not repaired, the update's file: %s", items[row].name);
        char text[MessageSize];
        formatWithPaths(
            text, sizeof text,
            "%s はアップデートで更新されたファイルのため、修復できません。\nもう一度アップデートを行ってください。",
            items[row].name);
        showMessage(nullptr, text, "確認", MB_OK);
    }
    RepairRun run{in, items, {}, {INVALID_HANDLE_VALUE, ""}, view.bar};
    orderRows(run, damaged, in.discCount);
    if (run.rows.empty()) return end;
    // A record that cannot be read may have named the update's files: nothing is written over them.
    char record[PathSize];
    if (placedRecordUnreadable(in.installDir)) {
        end.outcome = replacementFailed(in, Repair, placedRecordPath(in.installDir, record) ? record : in.installDir,
                                        ERROR_FILE_CORRUPT);
        return end;
    }
    InstallationHold hold;
    if (holdInstallation(in.installDir, in.folderName, hold) != Outcome::Done) {
        end.outcome = replacementFailed(in, Repair, in.installDir, ERROR_ACCESS_DENIED);
        return end;
    }
    end.outcome = repairHeld(run, unattended);
    releaseInstallation(hold);
    if (in.discCount > 1 && end.outcome != Outcome::NoDisc && !in.waitForDisc(0, unattended))
        logLine("disc 1 is in no drive after the repair");  // the repair itself has ended
    if (end.outcome != Outcome::Done) return end;
    for (int row : run.rows) {
        damaged[(size_t)row] = 0;
        view.mark(view.context, row, RowMark::Same);
    }
    logLine("repair complete, files written again: %d", (int)run.rows.size());
    showMessage(nullptr, "修復が完了しました。", "終了", MB_OK);
    return end;
}
