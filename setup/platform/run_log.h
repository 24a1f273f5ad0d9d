// The log of a run (/log=<file>): UTF-8, one line per event, each after the local time, written
// out line by line so that a crash still leaves it. Paths are in the system's code page, the
// program's messages in code page 932.
#pragma once
#include <stddef.h>

// Opens (or, with append, continues) the log; false when the file cannot be created.
bool openRunLog(const char* path, bool append);
bool runLogOpen();
// A line of paths and plain words: its text is in the system's code page, as paths are.
void logLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
// A code page 932 name stored by the program (a registry key) for logLine, in the system's code
// page ('?' for a character it lacks); the text itself where that is 932 or it cannot be converted.
const char* systemText(const char* text, char* out, size_t size);
// The first line: program, version, command line, Windows version and code page.
void logStart(const char* commandLine);
// A message box, shown or not, and the answer taken.
void logMessage(const char* caption, const char* text, int answer);
// The last line, "exit code N"; the log is closed.
void closeRunLog(int code);
