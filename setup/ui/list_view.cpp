#include "ui/list_view.h"

#include <commctrl.h>
#include <string.h>

void setListItemText(HWND listView, int item, int subItem, const char* text, bool insert)
{
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
    LVITEMA cell = {};
    cell.mask = LVIF_TEXT;
    cell.iItem = item;
    cell.iSubItem = subItem;
    cell.pszText = buffer;
    cell.cchTextMax = (int)size;
    SendMessageA(listView, LVM_GETITEMA, 0, (LPARAM)&cell);
}
