// The tool's texts are code page 932. Where the system's ANSI code page is 932, and on the 95/98/Me
// family, they go to the A-functions as they are; on any other system of the NT family they are
// converted at the point of display and go to the W-functions, so the Japanese reads right.
#pragma once
#include <windows.h>

// A message box; without a caption it gets "エラー", the caption a Japanese system gives such a box.
int showMessage(HWND owner, const char* text, const char* caption, UINT type);
// The named dialog template of the program (a Unicode dialog on the wide path, so the texts of its
// template survive).
INT_PTR openDialog(HINSTANCE instance, const char* name, HWND owner, DLGPROC proc, LPARAM param);
