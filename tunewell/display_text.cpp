#include "display_text.h"

static bool wideDisplay()
{
    bool ntFamily = (GetVersion() & 0x80000000u) == 0;
    return ntFamily && GetACP() != 932;
}

// W-functions are looked up at run time: the 95/98/Me family, which never takes this path, lacks them.
static FARPROC user32(const char* name) { return GetProcAddress(GetModuleHandleA("user32.dll"), name); }

// Every text of the tool fits 1024 UTF-16 units; one that does not shows empty.
static void toWide(const char* text, WCHAR* out, int count)
{
    if (MultiByteToWideChar(932, 0, text, -1, out, count) == 0) out[0] = 0;
}

int showMessage(HWND owner, const char* text, const char* caption, UINT type)
{
    typedef int(WINAPI * MessageBoxWFn)(HWND, LPCWSTR, LPCWSTR, UINT);
    MessageBoxWFn messageBoxW = (MessageBoxWFn)(void*)user32("MessageBoxW");
    if (!wideDisplay() || !messageBoxW) return MessageBoxA(owner, text, caption, type);
    WCHAR wideText[1024], wideCaption[64];
    toWide(text, wideText, 1024);
    toWide(caption ? caption : "エラー", wideCaption, 64);
    return messageBoxW(owner, wideText, wideCaption, type);
}

INT_PTR openDialog(HINSTANCE instance, const char* name, HWND owner, DLGPROC proc, LPARAM param)
{
    typedef INT_PTR(WINAPI * DialogBoxParamWFn)(HINSTANCE, LPCWSTR, HWND, DLGPROC, LPARAM);
    DialogBoxParamWFn dialogW = (DialogBoxParamWFn)(void*)user32("DialogBoxParamW");
    if (!wideDisplay() || !dialogW) return DialogBoxParamA(instance, name, owner, proc, param);
    WCHAR wideName[64];
    toWide(name, wideName, 64);
    return dialogW(instance, wideName, owner, proc, param);
}
