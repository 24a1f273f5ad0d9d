#include "engine/update_journal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/changing_step.h"
#include "platform/access_list.h"
#include "platform/run_log.h"

namespace {

const char JournalName[] = "update~.jnl";
const char JournalTitle[] = "kit update journal";
const char PhaseLabel[] = "phase ";
const char JournalHead[] = "kit update journal\r\nphase ";
// The phases, padded to one width so that each is written over the last in place.
const char PhaseWriting[] = "writing  ", PhaseReplacing[] = "replacing", PhaseDone[] = "done     ";
static_assert(sizeof PhaseWriting == sizeof PhaseReplacing && sizeof PhaseDone == sizeof PhaseReplacing,
              "the phases are written over each other");
enum {
    TitleLength = sizeof JournalTitle - 1,
    LabelLength = sizeof PhaseLabel - 1,
    AttributeDigits = 8,                     // "%08lx"
    TargetColumn = 2 + AttributeDigits + 1,  // after "1 " and the attributes and their space
    TemporarySuffixLength = 6,               // ".new" or ".old", a digit at most, "~"
    JournalLineSize = 4 * PathSize,
};
static_assert(sizeof JournalHead - 1 == TitleLength + 2 + LabelLength, "the head is the title and the label");

bool journalWrite(UpdateJournal& journal, const char* text)
{
    changingStep();
    DWORD put = 0, length = (DWORD)strlen(text);
    return WriteFile(journal.file, text, length, &put, nullptr) && put == length;
}

bool writeLine(UpdateJournal& journal, const UpdateFile& f)
{
    char line[JournalLineSize];
    return formatText(line, sizeof line, "%d %08lx %s|%s|%s\r\n", f.oldAttributes != INVALID_FILE_ATTRIBUTES,
                      (unsigned long)f.oldAttributes, f.target, f.fresh, f.old) &&
           journalWrite(journal, line);
}

bool writeLines(UpdateJournal& journal, const UpdateFile* files, int count)
{
    bool ok =
        journalWrite(journal, JournalHead) && journalWrite(journal, PhaseWriting) && journalWrite(journal, "\r\n");
    for (int i = 0; ok && i < count; ++i) ok = writeLine(journal, files[i]);
    return ok;
}

// A temporary name of target: the target, kind (".new" or ".old"), a digit at most, "~".
bool ownTemporaryName(const char* name, const char* target, const char* kind)
{
    size_t length = strlen(target), nameLength = strlen(name);
    return _strnicmp(name, target, length) == 0 && _strnicmp(name + length, kind, 4) == 0 &&
           nameLength <= length + TemporarySuffixLength && name[nameLength - 1] == '~';
}

}  // namespace

bool nameJournal(UpdateJournal& journal, const char* installDir)
{
    journal.file = INVALID_HANDLE_VALUE;
    return formatText(journal.path, sizeof journal.path, "%s\\%s", installDir, JournalName);
}

bool appendJournalLine(UpdateJournal& journal, const UpdateFile& f)
{
    return journal.file != INVALID_HANDLE_VALUE &&
           SetFilePointer(journal.file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER && writeLine(journal, f);
}

bool openJournal(UpdateJournal& journal, const UpdateFile* files, int count)
{
    AccessList list;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
    if (buildAccessList(UsersRead, list)) attributes.lpSecurityDescriptor = &list.descriptor;
    changingStep();
    journal.file = CreateFileA(journal.path, GENERIC_WRITE, 0, &attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (journal.file == INVALID_HANDLE_VALUE) return false;
    if (writeLines(journal, files, count) && FlushFileBuffers(journal.file)) return true;
    CloseHandle(journal.file);
    journal.file = INVALID_HANDLE_VALUE;
    DeleteFileA(journal.path);  // never written whole: nothing has changed yet
    return false;
}

bool writeJournalPhase(UpdateJournal& journal, JournalPhase phase)
{
    const char* text = phase == JournalPhase::Writing     ? PhaseWriting
                       : phase == JournalPhase::Replacing ? PhaseReplacing
                                                          : PhaseDone;
    return journal.file != INVALID_HANDLE_VALUE &&
           SetFilePointer(journal.file, (LONG)strlen(JournalHead), nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
           journalWrite(journal, text) && FlushFileBuffers(journal.file);
}

bool closeJournal(UpdateJournal& journal)
{
    if (journal.file != INVALID_HANDLE_VALUE) CloseHandle(journal.file);
    journal.file = INVALID_HANDLE_VALUE;
    changingStep();
    return DeleteFileA(journal.path) != FALSE;
}

void keepJournal(UpdateJournal& journal)
{
    if (journal.file != INVALID_HANDLE_VALUE) CloseHandle(journal.file);
    journal.file = INVALID_HANDLE_VALUE;
}

bool parseJournalLine(char* line, UpdateFile& f)
{
    if ((line[0] != '0' && line[0] != '1') || line[1] != ' ') return false;
    bool existed = line[0] == '1';
    char* target = nullptr;
    unsigned long attributes = strtoul(line + 2, &target, 16);
    if (target != line + TargetColumn - 1 || *target++ != ' ') return false;
    char* fresh = strchr(target, '|');
    char* old = fresh ? strchr(fresh + 1, '|') : nullptr;
    if (!old) return false;
    *fresh++ = '\0';
    *old++ = '\0';
    if (target[0] == '\0' || !ownTemporaryName(fresh, target, ".new") || !ownTemporaryName(old, target, ".old"))
        return false;
    f.oldAttributes = existed ? (DWORD)attributes : INVALID_FILE_ATTRIBUTES;
    f.replaced = false;
    return copyText(f.target, PathSize, target) && copyText(f.fresh, PathSize, fresh) && copyText(f.old, PathSize, old);
}

bool readJournal(const char* path, UpdateFile* files, int capacity, JournalContents& contents)
{
    contents = JournalContents{false, false, "", 0};
    FILE* file = fopen(path, "rb");
    if (!file) return false;
    char line[JournalLineSize];
    contents.ours = fgets(line, sizeof line, file) && strncmp(line, JournalTitle, TitleLength) == 0 &&
                    fgets(line, sizeof line, file) && strncmp(line, PhaseLabel, LabelLength) == 0;
    if (contents.ours) copyText(contents.phase, sizeof contents.phase, line + LabelLength);
    contents.phase[strcspn(contents.phase, " \r\n")] = '\0';
    contents.done = strcmp(contents.phase, "done") == 0;
    while (contents.ours && contents.count < capacity && fgets(line, sizeof line, file)) {
        line[strcspn(line, "\r\n")] = '\0';
        char fields[JournalLineSize];
        copyText(fields, sizeof fields, line);
        if (parseJournalLine(fields, files[contents.count]))
            ++contents.count;
        else
            logLine("journal line passed over: %s", line);
    }
    fclose(file);
    return true;
}
