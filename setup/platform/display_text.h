// Every text the user sees goes through here: control and window texts, message boxes, dialogs.
// The texts are code page 932 byte strings. Where the system's ANSI code page is 932, and on the
// 95/98/Me family whatever its code page, they go to the A-functions as they are. On any other
// system of the NT family they are converted from code page 932 at the point of display and go to
// the W-functions, so the Japanese reads right; nothing stored is converted.
#pragma once
#include <windows.h>
#include <stddef.h>

// True when texts are shown through the W-functions; decided once, from GetACP().
bool wideDisplay();

// Code page 932 text, its marked paths in the system's code page, as UTF-16 (out always terminated).
void toDisplayText(const char* text, WCHAR* out, size_t count);

// Set once the run's switches are read: in an unattended run no message box is shown.
void answerMessagesUnattended(bool on);

// A message box; in an unattended run none is shown and the answer is the one that loses nothing
// (yes to a question, OK otherwise), or unattendedAnswer. Either way it goes to the log, if any.
int showMessage(HWND owner, const char* text, const char* caption, UINT type);
int showMessageAnswering(HWND owner, const char* text, const char* caption, UINT type, int unattendedAnswer);
BOOL setItemText(HWND dialog, int id, const char* text);
BOOL setWindowText(HWND window, const char* text);
