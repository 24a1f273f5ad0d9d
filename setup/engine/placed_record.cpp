#include "engine/placed_record.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <map>
#include <string>

#include "engine/path_key.h"
#include "platform/access_list.h"
#include "platform/changing_step.h"
#include "platform/run_log.h"
#include "state/installer.h"

namespace {

constexpr char RecordHeader[] = "kit placed files";
// A line: origin, disc, size, CRC, path, archive, separators and line end.
enum { RecordLineSize = 32 + PathSize + NameSize };

PlacedList thisRun;

// The index of thisRun by path, kept beside it: an archive of thousands of entries notes each.
std::map<std::string, size_t> thisRunIndex;

bool originOf(char c, PlacedOrigin& origin)
{
    if (c != 'D' && c != 'A' && c != 'U') return false;
    origin = (PlacedOrigin)c;
    return true;
}

// A number of at most maxDigits digits in base (10 or 16, lower-case) at p, ending at a space;
// false for anything else. p is left after the space.
bool readNumber(char*& p, unsigned base, int maxDigits, uint64_t& value)
{
    value = 0;
    int digits = 0;
    for (; *p != ' '; ++p, ++digits) {
        unsigned digit;
        if (*p >= '0' && *p <= '9')
            digit = (unsigned)(*p - '0');
        else if (base == 16 && *p >= 'a' && *p <= 'f')
            digit = (unsigned)(*p - 'a' + 10);
        else
            return false;
        if (digits == maxDigits) return false;
        value = value * base + digit;
    }
    ++p;
    return digits > 0;
}

// One line (its line end removed) into f; false for a line of any other shape.
bool parseLine(char* line, PlacedFile& f)
{
    if (!originOf(line[0], f.origin) || line[1] != ' ') return false;
    char* p = line + 2;
    uint64_t disc = 0, size = 0, crc = 0;
    bool unknownDisc = p[0] == '-' && p[1] == '1' && p[2] == ' ';
    if (unknownDisc)
        p += 3;
    else if (!readNumber(p, 10, 2, disc))
        return false;
    char* crcStart = nullptr;
    if (!readNumber(p, 10, 19, size) || (crcStart = p, !readNumber(p, 16, 8, crc)) || p - crcStart != 9) return false;
    char* bar = strchr(p, '|');
    if (!bar) return false;
    *bar = '\0';
    f.disc = unknownDisc ? -1 : (int)disc;
    f.size = size;
    f.crc = (uint32_t)crc;
    return p[0] != '\0' && copyText(f.path, sizeof f.path, p) && copyText(f.archive, sizeof f.archive, bar + 1);
}

// The decimal digits of value into text (at least 21 bytes): the C library of the oldest systems
// formats no 64-bit numbers.
void decimal(uint64_t value, char* text)
{
    char digits[21];
    int n = 0;
    do {
        digits[n++] = (char)('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = 0; i < n; ++i) text[i] = digits[n - 1 - i];
    text[n] = '\0';
}

}  // namespace

bool placedRecordPath(const char* installDir, char* path)
{
    return formatText(path, PathSize, "%s\\%s", installDir, PlacedRecordName);
}

void beginPlacedRun()
{
    thisRun.clear();
    thisRunIndex.clear();
}

void notePlaced(const char* path, PlacedOrigin origin, int disc, uint64_t size, uint32_t crc, const char* archive)
{
    PlacedFile f;
    f.origin = origin;
    f.disc = disc;
    f.size = size;
    f.crc = crc;
    if (!copyText(f.path, sizeof f.path, path) || !copyText(f.archive, sizeof f.archive, archive ? archive : ""))
        return;
    auto known = thisRunIndex.find(pathKey(f.path));
    if (known != thisRunIndex.end()) {
        thisRun[known->second] = f;  // written again in the same run: its last writing counts
        return;
    }
    thisRunIndex[pathKey(f.path)] = thisRun.size();
    thisRun.push_back(f);
}

const PlacedList& placedThisRun() { return thisRun; }

bool readPlacedRecord(const char* installDir, PlacedList& list)
{
    list.clear();
    char path[PathSize];
    if (!placedRecordPath(installDir, path)) return false;
    FILE* file = fopen(path, "rb");
    if (!file) return false;
    char line[RecordLineSize];
    bool ours = fgets(line, sizeof line, file) && strncmp(line, RecordHeader, strlen(RecordHeader)) == 0;
    while (ours && fgets(line, sizeof line, file)) {
        size_t len = strlen(line);
        if (len == 0 || line[len - 1] != '\n') {
            ours = false;  // cut off, or longer than any line the kit writes
            break;
        }
        line[--len] = '\0';
        if (len > 0 && line[len - 1] == '\r') line[--len] = '\0';
        PlacedFile f;
        if (!parseLine(line, f)) {
            ours = false;
            break;
        }
        list.push_back(f);
    }
    if (ferror(file)) ours = false;
    fclose(file);  // only read
    if (!ours) {
        logLine("record of the placed files not read: %s", path);
        list.clear();
    }
    return ours;
}

bool placedRecordUnreadable(const char* installDir)
{
    char path[PathSize];
    PlacedList list;
    return !placedRecordPath(installDir, path) || (Installer::pathExists(path) && !readPlacedRecord(installDir, list));
}

void mergePlaced(PlacedList& older, const PlacedList& newer)
{
    std::map<std::string, size_t> index;
    for (size_t i = 0; i < older.size(); ++i) index[pathKey(older[i].path)] = i;
    for (const PlacedFile& f : newer) {
        auto known = index.find(pathKey(f.path));
        if (known != index.end()) {
            older[known->second] = f;
        } else {
            index[pathKey(f.path)] = older.size();
            older.push_back(f);
        }
    }
}

const PlacedFile* findPlaced(const PlacedList& list, const char* path)
{
    for (const PlacedFile& f : list)
        if (samePath(f.path, path)) return &f;
    return nullptr;
}

bool writePlacedRecord(const char* path, const PlacedList& list)
{
    // The whole text at once: the record is small beside the files it names.
    std::string text = std::string(RecordHeader) + "\r\n";
    for (const PlacedFile& f : list) {
        char line[RecordLineSize], size[21];
        decimal(f.size, size);
        if (!formatText(line, sizeof line, "%c %d %s %08lx %s|%s\r\n", (char)f.origin, f.disc, size,
                        (unsigned long)f.crc, f.path, f.archive))
            return false;  // never: every field was bounded when it was noted
        text += line;
    }
    changingStep();
    HANDLE file = createLockedFile(path, UsersRead);
    if (file == INVALID_HANDLE_VALUE) {
        logLine("record of the placed files not written: %s (error %lu)", path, (unsigned long)GetLastError());
        return false;
    }
    DWORD written = 0;
    changingStep();
    bool ok = WriteFile(file, text.data(), (DWORD)text.size(), &written, nullptr) && written == text.size();
    // On the disk before the record that points at it, or the journal's "done".
    ok = ok && FlushFileBuffers(file);
    DWORD error = GetLastError();
    if (!CloseHandle(file)) ok = false;
    if (ok) noteStep("flushed", path);
    if (!ok) {
        logLine("record of the placed files not written: %s (error %lu)", path, (unsigned long)error);
        DeleteFileA(path);  // never left half written; a name that stays holds no record the kit trusts
    }
    return ok;
}
