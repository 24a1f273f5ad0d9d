#include "display_text.h"

// The tool's texts are code page 932; a message fits TextUnits UTF-16 units, a caption or a
// template's name NameUnits.
enum : unsigned { ToolCodePage = 932 };
enum { TextUnits = 1024, NameUnits = 64 };

static bool wideDisplay()
{
    bool ntFamily = (GetVersion() & 0x80000000u) == 0;
    return ntFamily && GetACP() != ToolCodePage;
}

// W-functions are looked up at run time: the 95/98/Me family, which never takes this path, lacks them.
static FARPROC user32(const char* name) { return GetProcAddress(GetModuleHandleA("user32.dll"), name); }

// Every text of the tool fits its buffer; one that does not shows empty.
static void toWide(const char* text, WCHAR* out, int count)
{
    if (MultiByteToWideChar(ToolCodePage, 0, text, -1, out, count) == 0) out[0] = 0;
}

int showMessage(HWND owner, const char* text, const char* caption, UINT type)
{
    typedef int(WINAPI * MessageBoxWFn)(HWND, LPCWSTR, LPCWSTR, UINT);
    MessageBoxWFn messageBoxW = (MessageBoxWFn)(void*)user32("MessageBoxW");
    if (!wideDisplay() || !messageBoxW) return MessageBoxA(owner, text, caption, type);
    WCHAR wideText[TextUnits], wideCaption[NameUnits];
    toWide(text, wideText, TextUnits);
    toWide(caption ? caption : "エラー", wideCaption, NameUnits);
    return messageBoxW(owner, wideText, wideCaption, type);
}

INT_PTR openDialog(HINSTANCE instance, const char* name, HWND owner, DLGPROC proc, LPARAM param)
{
    typedef INT_PTR(WINAPI * DialogBoxParamWFn)(HINSTANCE, LPCWSTR, HWND, DLGPROC, LPARAM);
    DialogBoxParamWFn dialogW = (DialogBoxParamWFn)(void*)user32("DialogBoxParamW");
    if (!wideDisplay() || !dialogW) return DialogBoxParamA(instance, name, owner, proc, param);
    WCHAR wideName[NameUnits];
    toWide(name, wideName, NameUnits);
    return dialogW(instance, wideName, owner, proc, param);
}
