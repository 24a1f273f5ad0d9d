// What an installation shows while it works. The launcher hands the installer its display before
// it installs; a run without one (the quiet installation) keeps the report that shows nothing.
#pragma once
#include <windows.h>
#include <stdint.h>

struct ProgressReport {
    void (*resetElapsedClock)();
    void (*tickStatusAndClock)();
    void (*resetSlideshow)();
    int (*advanceSlideshow)(int32_t step);
    int (*showRegisteringSlide)();
    BOOL (*setLauncherText)(const char* text, int index);
};

// Every operation does nothing.
extern const ProgressReport noProgressReport;

// The status line: the name of the file being copied, or "Disc Check..." while the worker waits for a
// disc. Written by the copy worker, read by the display; its last byte stays a terminator.
enum { StatusTextSize = 1024 };
extern char statusText[StatusTextSize];
void setStatusLine(const char* text);
