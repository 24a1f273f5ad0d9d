#include "ui/data_check_dialog.h"
#include "platform/display_text.h"
#include "platform/unicode_dialog.h"

#include <commctrl.h>
#include <string.h>

#include "config/product_config.h"
#include "engine/installed_check.h"
#include "procedures/repair.h"
#include "state/installer.h"
#include "resources/resource.h"
#include "ui/dpi_scale.h"
#include "ui/list_view.h"
#include "ui/system_info.h"

HWND dataCheckDialog;
int checkRowCount;

// The rows as the dialog opened with them, and how many checks were started since.
static CheckList checkItems;
static volatile LONG checksStarted;

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

    listCheckItems(installer, checkItems);
    int rows = 0;
    for (const CheckItem& item : checkItems) {
        setListItemText(list, rows, 0, markBlank, true);
        setListItemText(list, rows, 1, item.name, false);
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

static void markRow(void* list, int row, RowMark mark)
{
    static const char* const marks[] = {markBlank, markBusy, markSame, markDiffer, markPending};
    setListItemText((HWND)list, row, 0, marks[(int)mark], false);
}

static void enableButtons(HWND dialog, BOOL enable)
{
    EnableWindow(GetDlgItem(dialog, IDC_CHECK_START), enable);
    EnableWindow(GetDlgItem(dialog, IDCANCEL), enable);
}

// After a check that found damage, unless another check began meanwhile: the player is asked, and
// every file that could be written again is, its row then marked right.
static void offerRepair(HWND dialog, HWND list, HWND bar, std::vector<uint8_t>& damaged, LONG check)
{
    if (checksStarted != check) return;
    enableButtons(dialog, FALSE);
    CheckView view{markRow, list, bar};
    if (showMessage(nullptr, "『×』の部分を修復しますか？", "確認", MB_YESNO) == IDYES)
        repairInstallation(installer, checkItems, damaged, view, false);
    enableButtons(dialog, TRUE);
}

DWORD WINAPI runDataCheck(LPVOID)
{
    HWND dialog = dataCheckDialog;
    HWND list = GetDlgItem(dialog, IDC_CHECK_LIST);
    HWND bar = GetDlgItem(dialog, IDC_CHECK_PROGRESS);
    LONG check = InterlockedIncrement(&checksStarted);
    enableButtons(dialog, FALSE);
    std::vector<uint8_t> damaged;
    CheckView view{markRow, list, bar};
    // The player is asked for each disc until it is in: the check ends only with its result.
    bool failed = checkInstalledFiles(installer, checkItems, damaged, view, false) != CheckResult::Whole;
    enableButtons(dialog, TRUE);
    showMessage(nullptr, "データのチェックが終了しました。", "終了", MB_OK);
    showMessage(nullptr,
                failed ? "『×』の部分が正常にインストールされていません。\nもう一度インストールしなおしてください。"
                       : "ファイルは正常にインストールされています。",
                "確認", MB_OK);
    if (failed) offerRepair(dialog, list, bar, damaged, check);
    return 0;
}
