#include "config/kit_names.h"
#include "engine/unattended.h"

#include <stdlib.h>
#include <string.h>

Switches switches;

namespace {

// A word of the command line holds a path and the switch that names it ("/dir=", "/log=").
enum { SwitchNameRoom = 16 };

// The next word of a command line into word (quotes removed, spaces inside them kept); false at
// the end, or (with bad set) when the word does not fit or a quote is left open. The command line
// is in the system's code page: its lead bytes, not code page 932's, begin two-byte characters.
bool nextWord(const char*& p, char* word, size_t size, bool& bad)
{
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0') return false;
    size_t n = 0;
    bool quoted = false;
    while (*p && (quoted || (*p != ' ' && *p != '\t'))) {
        if (*p == '"') {
            quoted = !quoted;
            ++p;
            continue;
        }
        size_t len = IsDBCSLeadByte((BYTE)*p) && p[1] ? 2 : 1;
        if (n + len >= size) {
            bad = true;
            return false;
        }
        memcpy(word + n, p, len);
        n += len;
        p += len;
    }
    word[n] = '\0';
    if (quoted) bad = true;
    return !quoted;
}

// The value of "name=value" when the word is that switch (name without its '/' or '-').
const char* switchValue(const char* word, const char* name)
{
    size_t len = strlen(name);
    if (_strnicmp(word, name, len) != 0 || word[len] != '=') return nullptr;
    return word + len + 1;
}

// "/parent=<process id>,<event>,<word>,<start time high>,<start time low>", as the uninstaller
// hands it to its copy.
bool parseParent(const char* value, Switches& out)
{
    DWORD* fields[5] = {&out.parent, &out.resultEvent, &out.resultWord, &out.parentStartHigh, &out.parentStartLow};
    for (int i = 0; i < 5; ++i) {
        char* end = nullptr;
        unsigned long n = strtoul(value, &end, 10);
        if (end == value || *end != (i < 4 ? ',' : '\0')) return false;
        *fields[i] = (DWORD)n;
        value = end + 1;
    }
    return true;
}

bool takeSwitch(const char* word, SwitchRole role, Switches& out)
{
    if (word[0] != '/' && word[0] != '-') return false;
    const char* name = word + 1;
    const char* value;
    if (_stricmp(name, "quiet") == 0)
        out.quiet = true;
    else if (_stricmp(name, "passive") == 0)
        out.passive = true;
    else if (_stricmp(name, "nodesktop") == 0 && role == SetupSwitches)
        out.noDesktop = true;
    else if (_stricmp(name, "deletesave") == 0 && role == UninstallerSwitches)
        out.deleteSave = true;
    else if (_stricmp(name, "repair") == 0 && role == SetupSwitches)
        out.repair = out.quiet = true;
    else if ((value = switchValue(name, "dir")) && role == SetupSwitches)
        return value[0] != '\0' && copyText(out.dir, sizeof out.dir, value);
    else if ((value = switchValue(name, "log")))
        return value[0] != '\0' && copyText(out.log, sizeof out.log, value);
    else if ((value = switchValue(name, "parent")) && role == UninstallerSwitches && out.relaunched)
        return parseParent(value, out);
    else
        return false;
    return true;
}

}  // namespace

bool parseSwitches(const char* commandLine, SwitchRole role, Switches& out)
{
    memset(&out, 0, sizeof out);
    const char* p = commandLine ? commandLine : "";
    char word[PathSize + SwitchNameRoom];
    bool bad = false;
    for (bool first = true; nextWord(p, word, sizeof word, bad); first = false) {
        if (first && _stricmp(word, "/r") == 0) {
            out.relaunched = true;
            continue;
        }
        // A word that is not understood still makes this a run with switches: it ends with code 1.
        out.any = true;
        if (!takeSwitch(word, role, out)) return false;
    }
    // The uninstaller has no window of its own: passive is quiet there, and so it is for the update.
    if (role != SetupSwitches && out.passive) out.quiet = true;
    if (bad) out.any = true;
    return !bad;
}

bool unattendedRun() { return switches.quiet || switches.passive; }

int exitCodeOf(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Done: return ExitDone;
    case Outcome::DoneAtRestart: return ExitRestartNeeded;
    case Outcome::Refused: return ExitBadCommandLine;  // the folder given is one the run may not take
    case Outcome::NoDisc: return ExitNoMedium;
    case Outcome::NoSpace: return ExitNoSpace;
    case Outcome::Cancelled: return ExitCancelled;
    // A declined run did nothing: it never claims more.
    case Outcome::Declined:
    case Outcome::Failed: break;
    }
    return ExitFailed;
}

FilesInUseAsker filesInUseAsker(HWND owner)
{
    return FilesInUseAsker{owner, unattendedRun(), switches.relaunched ? UninstallerName : nullptr};
}
