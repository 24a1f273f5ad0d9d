#include "ui/special_uninstaller_dialog.h"

#include "procedures/special_uninstaller.h"
#include "ui/system_info.h"

INT_PTR CALLBACK specialUninstallerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: centreInWorkArea(dialog); return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: uninstallEarlierProducts(); break;
        case IDCANCEL:
            EndDialog(dialog, 2);
            PostQuitMessage(0);
            break;
        default: break;
        }
        return TRUE;
    default: return FALSE;
    }
}
