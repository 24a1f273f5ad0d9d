// Modal dialogs from the program's templates, through the text-output layer's choice of functions.
#pragma once
#include <windows.h>

// A modal dialog from a template of the program. Shown through the W-functions, it is a Unicode
// dialog, so the texts of its template survive, and its controls get a font with the Japanese
// glyphs when the template's font has none and the system offers one.
INT_PTR openDialog(HINSTANCE instance, int templateId, HWND owner, DLGPROC proc, LPARAM param);

// After a change of DPI: the controls of a Unicode dialog get the Japanese font at the dialog's
// new size.
void refreshDialogFont(HWND dialog);
