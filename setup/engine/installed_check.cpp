#include "engine/installed_check.h"

#include <string.h>

#include "config/kit_names.h"
#include "engine/data_check.h"
#include "platform/run_log.h"
#include "state/installer.h"

namespace {

bool isSettingsFile(const char* name) { return _stricmp(name, SettingsFileName) == 0; }

CheckItem itemOf(const PlacedFile& f)
{
    CheckItem item{};
    copyText(item.name, sizeof item.name, f.path);  // both PathSize
    copyText(item.archive, sizeof item.archive, f.archive);
    item.origin = f.origin;
    item.settings = isSettingsFile(f.path);
    item.disc = f.disc;
    item.size = f.size;
    item.crc = f.crc;
    return item;
}

// Right or not, as the row will be marked; the bar shows the file's progress.
bool judge(Installer& in, const CheckItem& item, HWND bar)
{
    char path[PathSize];
    if (!formatText(path, sizeof path, "%s\\%s", in.installDir, item.name)) return false;
    if (item.settings) {
        // The player's own choices are right whatever they are; only the size the engine reads is checked.
        bool right = Installer::pathExists(path) && Installer::fileSize(path) == SettingsFileSize;
        showCheckBar(bar, right ? 100 : 0);
        return right;
    }
    if (item.origin == PlacedOrigin::Disc) return in.compareWithSource(item.name, bar) == 1;
    return matchesRecord(path, item.size, item.crc, bar);
}

// Whether the row is judged against a disc (the others are judged by the record alone).
bool needsDisc(const CheckItem& item) { return item.origin == PlacedOrigin::Disc && !item.settings; }

// The row judged with the disc of that index in: a disc's file whose source is there learns its disc.
bool judgeOnDisc(Installer& in, CheckItem& item, HWND bar, int disc)
{
    bool right = judge(in, item, bar);
    char source[PathSize];
    if (needsDisc(item) && item.disc < 0 && formatText(source, sizeof source, "%s\\%s", in.sourceDir, item.name) &&
        Installer::pathExists(source))
        item.disc = disc;
    return right;
}

}  // namespace

void listCheckItems(const Installer& in, CheckList& items)
{
    items.clear();
    PlacedList record;
    bool recorded = readPlacedRecord(in.installDir, record);
    for (int i = 0; in.installFiles && i < in.installFileCount && in.installFiles[i][0] != '\0'; ++i) {
        const char* name = in.installFiles[i];
        const PlacedFile* f = recorded ? findPlaced(record, name) : nullptr;
        if (f) {
            items.push_back(itemOf(*f));
            continue;
        }
        // Not in the record (none, or one an update began in an installation of an earlier kit):
        // the file is judged against the disc where it is there.
        char path[PathSize];
        WIN32_FIND_DATAA found;
        HANDLE search = formatText(path, sizeof path, "%s\\%s", in.installDir, name) ? FindFirstFileA(path, &found)
                                                                                     : INVALID_HANDLE_VALUE;
        if (search == INVALID_HANDLE_VALUE) continue;
        FindClose(search);
        CheckItem item{};
        copyText(item.name, sizeof item.name, name);
        item.origin = PlacedOrigin::Disc;
        item.settings = isSettingsFile(name);
        item.disc = in.discCount == 1 ? 0 : -1;
        items.push_back(item);
    }
    for (const PlacedFile& f : record) {
        bool listed = false;
        for (int i = 0; in.installFiles && i < in.installFileCount && !listed; ++i)
            listed = samePath(in.installFiles[i], f.path);
        if (!listed) items.push_back(itemOf(f));
    }
}

namespace {

// One disc: each row in order.
void checkOnOneDisc(Installer& in, CheckList& items, std::vector<uint8_t>& damaged, const CheckView& view)
{
    for (size_t row = 0; row < items.size(); ++row) {
        view.mark(view.context, (int)row, RowMark::Busy);
        bool right = judgeOnDisc(in, items[row], view.bar, 0);
        view.mark(view.context, (int)row, right ? RowMark::Same : RowMark::Differ);
        damaged[row] = !right;
    }
}

// Several discs: each in turn, for the rows no disc matched yet, then the first disc again. False
// where a disc is in no drive and nobody can be asked.
bool checkOnEveryDisc(Installer& in, CheckList& items, std::vector<uint8_t>& damaged, const CheckView& view,
                      bool unattended)
{
    // One pending flag per row, however many rows there are.
    std::vector<uint8_t> pending(items.size(), 1);
    for (int disc = 0; disc < in.discCount; ++disc) {
        // Asked for until it is in, unless nobody can be asked.
        if (!in.waitForDisc(disc, unattended)) return false;
        for (size_t row = 0; row < items.size(); ++row) {
            if (!pending[row]) continue;
            view.mark(view.context, (int)row, RowMark::Busy);
            bool right = judgeOnDisc(in, items[row], view.bar, disc);
            // What the record judges is judged once: no disc changes it.
            bool final = right || !needsDisc(items[row]);
            view.mark(view.context, (int)row, right ? RowMark::Same : final ? RowMark::Differ : RowMark::Pending);
            if (final) pending[row] = 0;
            damaged[row] = !right;
        }
    }
    for (size_t row = 0; row < items.size(); ++row)
        if (pending[row]) view.mark(view.context, (int)row, RowMark::Differ);
    return in.waitForDisc(0, unattended);
}

}  // namespace

CheckResult checkInstalledFiles(Installer& in, CheckList& items, std::vector<uint8_t>& damaged, const CheckView& view,
                                bool unattended)
{
    damaged.assign(items.size(), 0);
    for (size_t row = 0; row < items.size(); ++row) view.mark(view.context, (int)row, RowMark::Blank);
    beginCheckBar(view.bar);
    bool anyDisc = false;
    for (const CheckItem& item : items) anyDisc = anyDisc || needsDisc(item);
    // Unattended, a file that can only be compared with its disc is never called damaged for want of it.
    if (unattended && in.discCount == 1 && anyDisc && !Installer::pathExists(in.sourceDir)) return CheckResult::NoDisc;
    if (in.discCount == 1)
        checkOnOneDisc(in, items, damaged, view);
    else if (!checkOnEveryDisc(in, items, damaged, view, unattended))
        return CheckResult::NoDisc;
    bool any = false;
    for (size_t row = 0; row < items.size(); ++row)
        if (damaged[row]) {
            logLine("damaged: %s", items[row].name);
            any = true;
        }
    return any ? CheckResult::Damaged : CheckResult::Whole;
}
