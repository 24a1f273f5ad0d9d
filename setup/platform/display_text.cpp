#include "platform/display_text.h"

#include "config/kit_names.h"
#include "platform/run_log.h"
#include "platform/system_library.h"
#include "platform/text.h"

bool wideDisplay()
{
    static int decided = -1;
    if (decided < 0) {
        decided = ntFamily() && GetACP() != ProgramCodePage ? 1 : 0;
    }
    return decided == 1;
}

void toDisplayText(const char* text, WCHAR* out, size_t count) { toWideText(text, ProgramCodePage, out, count); }

static int boxAnswer(HWND owner, const char* text, const char* caption, UINT type)
{
    typedef int(WINAPI * MessageBoxWFn)(HWND, LPCWSTR, LPCWSTR, UINT);
    MessageBoxWFn messageBoxW = (MessageBoxWFn)(void*)loadedFunction("user32.dll", "MessageBoxW");
    if (!wideDisplay() || !messageBoxW) {
        char bytes[MessageSize];
        return MessageBoxA(owner, withoutPathMarks(text, bytes, sizeof bytes), caption, type);
    }
    WCHAR wideText[MessageSize], wideCaption[NameSize];
    toDisplayText(text, wideText, MessageSize);
    toDisplayText(caption, wideCaption, NameSize);
    return messageBoxW(owner, wideText, caption ? wideCaption : nullptr, type);
}

static bool unattendedMessages;

void answerMessagesUnattended(bool on) { unattendedMessages = on; }

int showMessageAnswering(HWND owner, const char* text, const char* caption, UINT type, int unattendedAnswer)
{
    int answer = unattendedMessages ? unattendedAnswer : boxAnswer(owner, text, caption, type);
    logMessage(caption, text, answer);
    return answer;
}

int showMessage(HWND owner, const char* text, const char* caption, UINT type)
{
    // Unasked, a question is answered the way that loses nothing and goes on.
    UINT buttons = type & MB_TYPEMASK;
    int answer = buttons == MB_YESNO || buttons == MB_YESNOCANCEL ? IDYES : IDOK;
    return showMessageAnswering(owner, text, caption, type, answer);
}

BOOL setWindowText(HWND window, const char* text)
{
    typedef BOOL(WINAPI * SetWindowTextWFn)(HWND, LPCWSTR);
    SetWindowTextWFn setW = (SetWindowTextWFn)(void*)loadedFunction("user32.dll", "SetWindowTextW");
    if (!wideDisplay() || !setW) {
        char bytes[MessageSize];
        return SetWindowTextA(window, withoutPathMarks(text, bytes, sizeof bytes));
    }
    WCHAR wide[MessageSize];
    toDisplayText(text, wide, MessageSize);
    return setW(window, wide);
}

BOOL setItemText(HWND dialog, int id, const char* text)
{
    if (!wideDisplay()) {
        char bytes[MessageSize];
        return SetDlgItemTextA(dialog, id, withoutPathMarks(text, bytes, sizeof bytes));
    }
    HWND item = GetDlgItem(dialog, id);
    return item ? setWindowText(item, text) : FALSE;
}
