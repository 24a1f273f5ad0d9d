#include "ui/data_check_dialog.h"
#include "platform/display_text.h"
#include "platform/unicode_dialog.h"

#include <commctrl.h>
#include <stdlib.h>
#include <string.h>

#include "config/product_config.h"
#include "engine/installer.h"
#include "resources/resource.h"
#include "ui/dpi_scale.h"
#include "ui/list_view.h"
#include "ui/system_info.h"

HWND dataCheckDialog;
int checkRowCount;

static const char markBlank[] = "　";
static const char markBusy[] = "⇒";
static const char markSame[] = "○";
static const char markDiffer[] = "×";
static const char markPending[] = "―";

// The columns' widths in pixels at 96 DPI; they grow with the dialog.
static const int columnWidths[] = {50, 150};

static void rescaleColumns(HWND dialog)
{
    refreshDialogFont(dialog);
    DialogGrowth growth = dialogGrowth(dialog);
    for (int column = 0; column < 2; ++column)
        SendDlgItemMessageA(dialog, IDC_CHECK_LIST, LVM_SETCOLUMNWIDTH, column, growX(growth, columnWidths[column]));
}

static void onInitDialog(HWND dialog)
{
    dataCheckDialog = dialog;
    setWindowText(dialog, "インストールデータチェック");
    centreInWorkArea(dialog);
    HWND list = GetDlgItem(dialog, IDC_CHECK_LIST);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    DialogGrowth growth = dialogGrowth(dialog);
    addListColumn(list, 0, growX(growth, columnWidths[0]), "チェック");
    addListColumn(list, 1, growX(growth, columnWidths[1]), "ファイル名");

    int rows = 0;
    char name[1024];
    for (int index = 0;; ++index) {
        int found = installer.probeInstalledFile(index, name, sizeof name);
        if (found == 0) break;
        if (found != 1) continue;
        setListItemText(list, rows, 0, markBlank, true);
        setListItemText(list, rows, 1, name, false);
        ++rows;
    }
    checkRowCount = rows;
}

INT_PTR CALLBACK dataCheckDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: onInitDialog(dialog); return TRUE;
    case WM_DPICHANGED: followDpiChange(dialog, lParam); return FALSE;
    case WM_RESCALE: rescaleColumns(dialog); return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_CHECK_START: {
            DWORD id;
            HANDLE thread = CreateThread(nullptr, 0, runDataCheck, nullptr, 0, &id);
            (void)thread;  // neither waited for nor closed: the check reports on its own
            break;
        }
        case IDCANCEL: EndDialog(dialog, 2); break;
        default: break;
        }
        return TRUE;
    default: return FALSE;
    }
}

static bool checkRow(HWND list, HWND bar, int row)
{
    char name[1024];
    getListItemText(list, row, 1, name, sizeof name);
    setListItemText(list, row, 0, markBusy, false);
    return installer.compareWithSource(name, bar) == 1;
}

DWORD WINAPI runDataCheck(LPVOID)
{
    HWND dialog = dataCheckDialog;
    HWND list = GetDlgItem(dialog, IDC_CHECK_LIST);
    HWND bar = GetDlgItem(dialog, IDC_CHECK_PROGRESS);
    EnableWindow(GetDlgItem(dialog, IDC_CHECK_START), FALSE);
    EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
    int rows = checkRowCount;
    bool failed = false;
    for (int row = 0; row < rows; ++row) setListItemText(list, row, 0, markBlank, false);

    if (productConfig.discCount == 1) {
        for (int row = 0; row < rows; ++row) {
            bool same = checkRow(list, bar, row);
            setListItemText(list, row, 0, same ? markSame : markDiffer, false);
            if (!same) failed = true;
        }
    } else {
        // One pending flag per row, however many rows there are.
        unsigned char* pending = (unsigned char*)malloc(rows > 0 ? rows : 1);
        memset(pending, 1, rows > 0 ? rows : 1);
        for (int disc = 0; disc < productConfig.discCount; ++disc) {
            installer.waitForDisc(disc);
            for (int row = 0; row < rows; ++row) {
                if (!pending[row]) continue;
                bool same = checkRow(list, bar, row);
                setListItemText(list, row, 0, same ? markSame : markPending, false);
                if (same) pending[row] = 0;
            }
        }
        for (int row = 0; row < rows; ++row) {
            char mark[16];
            getListItemText(list, row, 0, mark, sizeof mark);
            if (strcmp(mark, markPending) == 0) {
                setListItemText(list, row, 0, markDiffer, false);
                failed = true;
            }
        }
        free(pending);
        installer.waitForDisc(0);
    }
    EnableWindow(GetDlgItem(dialog, IDC_CHECK_START), TRUE);
    EnableWindow(GetDlgItem(dialog, IDCANCEL), TRUE);
    showMessage(nullptr, "データのチェックが終了しました。", "終了", MB_OK);
    showMessage(nullptr,
                failed ? "『×』の部分が正常にインストールされていません。\nもう一度インストールしなおしてください。"
                       : "ファイルは正常にインストールされています。",
                "確認", MB_OK);
    return 0;
}
