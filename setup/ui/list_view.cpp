#include "ui/list_view.h"

#include <commctrl.h>
#include <string.h>

#include "config/kit_names.h"
#include "platform/display_text.h"
#include "platform/system_library.h"
#include "platform/text.h"

// The list view takes UTF-16 through its W messages whatever the dialog is; a Unicode dialog shows
// the rows through them (display_text.h), and reads them back as code page 932.
static LRESULT wideSend(HWND listView, UINT message, WPARAM wParam, LPARAM lParam)
{
    typedef LRESULT(WINAPI * SendMessageWFn)(HWND, UINT, WPARAM, LPARAM);
    SendMessageWFn sendW = (SendMessageWFn)(void*)loadedFunction("user32.dll", "SendMessageW");
    return sendW ? sendW(listView, message, wParam, lParam) : 0;
}

void addListColumn(HWND listView, int index, int width, const char* title)
{
    WCHAR wide[NameSize];
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = (char*)title;
    column.iSubItem = index;
    if (!wideDisplay()) {
        SendMessageA(listView, LVM_INSERTCOLUMNA, index, (LPARAM)&column);
        return;
    }
    // LVCOLUMNW differs from LVCOLUMNA only in the text's type.
    toDisplayText(title, wide, NameSize);
    column.pszText = (char*)wide;
    wideSend(listView, LVM_INSERTCOLUMNW, index, (LPARAM)&column);
}

void setListItemText(HWND listView, int item, int subItem, const char* text, bool insert)
{
    if (wideDisplay()) {
        WCHAR wide[MessageSize];
        toDisplayText(text, wide, MessageSize);
        LVITEMW cell = {};
        cell.mask = LVIF_TEXT;
        cell.iItem = item;
        cell.iSubItem = subItem;
        cell.pszText = wide;
        wideSend(listView, subItem == 0 && insert ? LVM_INSERTITEMW : LVM_SETITEMW, 0, (LPARAM)&cell);
        return;
    }
    LVITEMA cell = {};
    cell.mask = LVIF_TEXT;
    cell.iItem = item;
    cell.iSubItem = subItem;
    cell.pszText = (char*)text;
    SendMessageA(listView, subItem == 0 && insert ? LVM_INSERTITEMA : LVM_SETITEMA, 0, (LPARAM)&cell);
}

void getListItemText(HWND listView, int item, int subItem, char* buffer, size_t size)
{
    memset(buffer, 0, size);
    if (wideDisplay()) {
        WCHAR wide[MessageSize] = L"";
        LVITEMW cell = {};
        cell.mask = LVIF_TEXT;
        cell.iItem = item;
        cell.iSubItem = subItem;
        cell.pszText = wide;
        cell.cchTextMax = MessageSize;
        wideSend(listView, LVM_GETITEMW, 0, (LPARAM)&cell);
        if (size > 0 && WideCharToMultiByte(ProgramCodePage, 0, wide, -1, buffer, (int)size, nullptr, nullptr) == 0)
            buffer[0] = '\0';
        return;
    }
    LVITEMA cell = {};
    cell.mask = LVIF_TEXT;
    cell.iItem = item;
    cell.iSubItem = subItem;
    cell.pszText = buffer;
    cell.cchTextMax = (int)size;
    SendMessageA(listView, LVM_GETITEMA, 0, (LPARAM)&cell);
}
