// The log of a run (/log=<file>): UTF-8, one line per event, each after the local time, written
// out line by line so that a crash still leaves it. The program's texts are code page 932.
#pragma once
#include <stddef.h>

// Opens (or, with append, continues) the log; false when the file cannot be created.
bool openRunLog(const char* path, bool append);
bool runLogOpen();
void logLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The first line: program, version, command line, Windows version and code page.
void logStart(const char* commandLine);
// A message box, shown or not, and the answer taken.
void logMessage(const char* caption, const char* text, int answer);
// The last line, "exit code N"; the log is closed.
void closeRunLog(int code);
