// Dialogs from the program's templates, shown as Unicode dialogs where texts go to the W-functions.
#include "platform/unicode_dialog.h"

#include <stdlib.h>

#include "platform/display_text.h"
#include "platform/system_library.h"

namespace {

struct DialogStart {
    DLGPROC proc;
    LPARAM param;
};

int CALLBACK noteShiftJisFont(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found)
{
    *(bool*)found = true;
    return 0;
}

// One Japanese font per height, kept for the life of the process: a dialog moved between monitors
// comes back to heights it had, and a font given to a window is never deleted under it.
struct MadeFont {
    LONG height;
    HFONT font;
    MadeFont* next;
};

// The template's font with the Japanese character set, which the font mapper answers with a font
// that has the glyphs; one per height, so a dialog moved to a monitor of another DPI gets its own.
HFONT japaneseFont(HWND dialog)
{
    static MadeFont* made;
    static bool offered, decided;
    LOGFONTA wanted = {};
    HFONT current = (HFONT)SendMessageA(dialog, WM_GETFONT, 0, 0);
    if (!GetObjectA(current ? (HGDIOBJ)current : GetStockObject(DEFAULT_GUI_FONT), sizeof wanted, &wanted) ||
        wanted.lfCharSet == SHIFTJIS_CHARSET)
        return nullptr;
    if (!decided) {
        decided = true;
        LOGFONTA probe = {};
        probe.lfCharSet = SHIFTJIS_CHARSET;
        HDC dc = GetDC(dialog);
        EnumFontFamiliesExA(dc, &probe, noteShiftJisFont, (LPARAM)&offered, 0);
        ReleaseDC(dialog, dc);
    }
    if (!offered) return nullptr;
    for (MadeFont* m = made; m; m = m->next)
        if (m->height == wanted.lfHeight) return m->font;
    wanted.lfCharSet = SHIFTJIS_CHARSET;
    wanted.lfFaceName[0] = '\0';
    MadeFont* entry = (MadeFont*)malloc(sizeof *entry);
    HFONT font = entry ? CreateFontIndirectA(&wanted) : nullptr;
    if (!font) {
        free(entry);
        return nullptr;
    }
    *entry = {wanted.lfHeight, font, made};
    made = entry;
    return font;
}

BOOL CALLBACK setFont(HWND child, LPARAM font)
{
    SendMessageA(child, WM_SETFONT, (WPARAM)font, FALSE);
    return TRUE;
}

void applyJapaneseFont(HWND dialog)
{
    if (HFONT font = japaneseFont(dialog)) EnumChildWindows(dialog, setFont, (LPARAM)font);
}

// The first procedure of a Unicode dialog: it gives the controls the Japanese font, hands the
// dialog to its own procedure and passes WM_INITDIALOG on.
INT_PTR CALLBACK startDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_INITDIALOG) return FALSE;
    const DialogStart* start = (const DialogStart*)lParam;
    typedef LONG(WINAPI * SetWindowLongWFn)(HWND, int, LONG);
    SetWindowLongWFn setLong = (SetWindowLongWFn)(void*)loadedFunction("user32.dll", "SetWindowLongW");
    if (setLong) setLong(dialog, DWLP_DLGPROC, (LONG)(LONG_PTR)start->proc);
    applyJapaneseFont(dialog);
    return start->proc(dialog, message, wParam, start->param);
}

}  // namespace

void refreshDialogFont(HWND dialog)
{
    if (!wideDisplay()) return;
    applyJapaneseFont(dialog);
}

INT_PTR openDialog(HINSTANCE instance, int templateId, HWND owner, DLGPROC proc, LPARAM param)
{
    typedef INT_PTR(WINAPI * DialogBoxParamWFn)(HINSTANCE, LPCWSTR, HWND, DLGPROC, LPARAM);
    DialogBoxParamWFn dialogW = (DialogBoxParamWFn)(void*)loadedFunction("user32.dll", "DialogBoxParamW");
    if (!wideDisplay() || !dialogW) return DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId), owner, proc, param);
    DialogStart start = {proc, param};
    return dialogW(instance, MAKEINTRESOURCEW(templateId), owner, startDialog, (LPARAM)&start);
}
