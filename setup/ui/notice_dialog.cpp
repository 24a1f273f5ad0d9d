#include "ui/notice_dialog.h"
#include "platform/display_text.h"

#include "config/product_config.h"
#include "resources/resource.h"
#include "ui/system_info.h"

volatile int32_t noticeAccepted;

INT_PTR CALLBACK noticeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        centreInWorkArea(dialog);
        setItemText(dialog, IDC_NOTICE_TEXT, noticeText);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            noticeAccepted = 1;
            EndDialog(dialog, 2);
            break;
        case IDCANCEL:
            noticeAccepted = 0;
            EndDialog(dialog, 2);
            break;
        default: break;
        }
        return TRUE;
    default: return FALSE;
    }
}
