// What is sized in pixels follows the dialog: the pictures of the launcher and the columns of the
// data check grow with the dialog's base units beyond those the same font has at 96 DPI. At 96 DPI
// nothing changes.
#pragma once
#include <windows.h>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// Horizontal and vertical growth as fractions (numX/denX, numY/denY); 1/1 at 96 DPI.
struct DialogGrowth {
    int numX, denX, numY, denY;
};
DialogGrowth dialogGrowth(HWND dialog);
int growX(const DialogGrowth& growth, int pixels);

// The picture grown by the smaller of the two factors with a smoothing stretch; nullptr when it
// keeps its size (or cannot be grown), so the caller shows the original.
HBITMAP grownPicture(HBITMAP picture, const DialogGrowth& growth);

// Posted by followDpiChange: by the time it arrives the system has given the dialog its font for the
// new DPI, and what is drawn in pixels is scaled again.
enum { WM_RESCALE = WM_APP + 32 };

// WM_DPICHANGED: the dialog takes the size and place the system suggests for the new monitor and
// posts itself WM_RESCALE. The dialog procedure returns FALSE, so the system's own handling of the
// dialog goes on.
void followDpiChange(HWND dialog, LPARAM suggested);
