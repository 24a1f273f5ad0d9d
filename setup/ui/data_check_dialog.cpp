#include "ui/data_check_dialog.h"
#include "platform/display_text.h"
#include "platform/unicode_dialog.h"

#include <commctrl.h>
#include <stdlib.h>
#include <string.h>

#include "config/product_config.h"
#include "state/installer.h"
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
// Room for any of the marks as the list gives it back.
enum { MarkSize = 16 };

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
    char name[LongPathSize];
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
    char name[LongPathSize];
    getListItemText(list, row, 1, name, sizeof name);
    setListItemText(list, row, 0, markBusy, false);
    return installer.compareWithSource(name, bar) == 1;
}

// Every row checked against the one disc; true when one differs.
static bool checkEveryRow(HWND list, HWND bar, int rows)
{
    bool failed = false;
    for (int row = 0; row < rows; ++row) {
        bool same = checkRow(list, bar, row);
        setListItemText(list, row, 0, same ? markSame : markDiffer, false);
        if (!same) failed = true;
    }
    return failed;
}

// A product of several discs: each disc in turn checks the rows no earlier disc matched; a row no
// disc matched differs. True when one differs.
static bool checkEveryDisc(HWND list, HWND bar, int rows)
{
    // One pending flag per row, however many rows there are.
    size_t flags = rows > 0 ? (size_t)rows : 1;
    unsigned char* pending = (unsigned char*)malloc(flags);
    if (!pending) return true;  // nothing checked: nothing may pass for installed
    memset(pending, 1, flags);
    for (int disc = 0; disc < productConfig.discCount; ++disc) {
        // The player is asked until the disc is in: the wait ends only with the disc.
        if (!installer.waitForDisc(disc, false)) break;
        for (int row = 0; row < rows; ++row) {
            if (!pending[row]) continue;
            bool same = checkRow(list, bar, row);
            setListItemText(list, row, 0, same ? markSame : markPending, false);
            if (same) pending[row] = 0;
        }
    }
    bool failed = false;
    for (int row = 0; row < rows; ++row) {
        char mark[MarkSize];
        getListItemText(list, row, 0, mark, sizeof mark);
        if (strcmp(mark, markPending) == 0) {
            setListItemText(list, row, 0, markDiffer, false);
            failed = true;
        }
    }
    free(pending);
    if (!installer.waitForDisc(0, false)) failed = true;  // never: the player is asked until it is in
    return failed;
}

DWORD WINAPI runDataCheck(LPVOID)
{
    HWND dialog = dataCheckDialog;
    HWND list = GetDlgItem(dialog, IDC_CHECK_LIST);
    HWND bar = GetDlgItem(dialog, IDC_CHECK_PROGRESS);
    EnableWindow(GetDlgItem(dialog, IDC_CHECK_START), FALSE);
    EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
    int rows = checkRowCount;
    for (int row = 0; row < rows; ++row) setListItemText(list, row, 0, markBlank, false);
    bool failed = productConfig.discCount == 1 ? checkEveryRow(list, bar, rows) : checkEveryDisc(list, bar, rows);
    EnableWindow(GetDlgItem(dialog, IDC_CHECK_START), TRUE);
    EnableWindow(GetDlgItem(dialog, IDCANCEL), TRUE);
    showMessage(nullptr, "データのチェックが終了しました。", "終了", MB_OK);
    showMessage(nullptr,
                failed ? "『×』の部分が正常にインストールされていません。\nもう一度インストールしなおしてください。"
                       : "ファイルは正常にインストールされています。",
                "確認", MB_OK);
    return 0;
}
