// The status line the copy worker writes, and the report of a run without a display.
#include "engine/progress_report.h"

#include <stdio.h>

char statusText[StatusTextSize];

void setStatusLine(const char* text) { snprintf(statusText, sizeof statusText - 1, "%s", text); }

static void doNothing() {}
static int showNothing() { return 0; }
static int showNoSlide(int32_t) { return 0; }
static BOOL setNoText(const char*, int) { return FALSE; }

const ProgressReport noProgressReport = {doNothing, doNothing, doNothing, showNoSlide, showNothing, setNoText};
