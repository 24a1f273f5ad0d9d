#include "ui/dpi_scale.h"

#include "platform/system_library.h"

namespace {

const char sample[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
// Twice the average width is the extent over half the sample's letters; halved with rounding.
constexpr int HalfSample = (int)(sizeof sample - 1) / 2;

// The pixels per logical inch the window is drawn at: its monitor's where the system tells
// (Windows 10 1607 on), else the system's.
int windowDpi(HWND window)
{
    typedef UINT(WINAPI * GetDpiForWindowFn)(HWND);
    GetDpiForWindowFn dpiForWindow = (GetDpiForWindowFn)(void*)loadedFunction("user32.dll", "GetDpiForWindow");
    UINT dpi = dpiForWindow ? dpiForWindow(window) : 0;
    if (dpi == 0) {
        HDC screen = GetDC(nullptr);
        dpi = (UINT)GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? (int)dpi : USER_DEFAULT_SCREEN_DPI;
}

// The dialog base units a font gives a dialog: the average width of the Latin letters, rounded as
// the system rounds it, and the height.
bool baseUnits(HDC dc, HFONT font, SIZE& units)
{
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICA metrics;
    SIZE extent;
    bool ok = GetTextMetricsA(dc, &metrics) && GetTextExtentPoint32A(dc, sample, sizeof sample - 1, &extent);
    SelectObject(dc, old);
    if (!ok || extent.cx <= 0 || metrics.tmHeight <= 0) return false;
    units.cx = (extent.cx / HalfSample + 1) / 2;
    units.cy = metrics.tmHeight;
    return true;
}

}  // namespace

DialogGrowth dialogGrowth(HWND dialog)
{
    DialogGrowth growth = {1, 1, 1, 1};
    int dpi = windowDpi(dialog);
    if (dpi == USER_DEFAULT_SCREEN_DPI || !dialog) return growth;
    HFONT font = (HFONT)SendMessageA(dialog, WM_GETFONT, 0, 0);
    LOGFONTA wanted;
    RECT now = {0, 0, 4, 8};  // one average character: the dialog's base units now
    if (!font || !GetObjectA(font, sizeof wanted, &wanted) || !MapDialogRect(dialog, &now)) return growth;
    // The same font as the dialog would have had at 96 DPI.
    wanted.lfHeight = MulDiv(wanted.lfHeight, USER_DEFAULT_SCREEN_DPI, dpi);
    wanted.lfWidth = MulDiv(wanted.lfWidth, USER_DEFAULT_SCREEN_DPI, dpi);
    HFONT at96 = CreateFontIndirectA(&wanted);
    if (!at96) return growth;
    HDC dc = GetDC(dialog);
    SIZE before;
    if (baseUnits(dc, at96, before) && now.right > 0 && now.bottom > 0)
        growth = {now.right, before.cx, now.bottom, before.cy};
    ReleaseDC(dialog, dc);
    DeleteObject(at96);
    return growth;
}

int growX(const DialogGrowth& growth, int pixels) { return MulDiv(pixels, growth.numX, growth.denX); }

HBITMAP grownPicture(HBITMAP picture, const DialogGrowth& growth)
{
    BITMAP info;
    if (!GetObjectA(picture, sizeof info, &info)) return nullptr;
    // One factor for both directions, the smaller: the picture keeps its proportions.
    bool byX = (long long)growth.numX * growth.denY <= (long long)growth.numY * growth.denX;
    int num = byX ? growth.numX : growth.numY, den = byX ? growth.denX : growth.denY;
    int width = MulDiv(info.bmWidth, num, den), height = MulDiv(info.bmHeight, num, den);
    if (num == den || width <= 0 || height <= 0) return nullptr;
    HDC screen = GetDC(nullptr);
    HDC from = CreateCompatibleDC(screen), to = CreateCompatibleDC(screen);
    HBITMAP grown = CreateCompatibleBitmap(screen, width, height);
    bool ok = false;
    if (from && to && grown) {
        HGDIOBJ oldFrom = SelectObject(from, picture), oldTo = SelectObject(to, grown);
        SetStretchBltMode(to, HALFTONE);
        SetBrushOrgEx(to, 0, 0, nullptr);
        ok = StretchBlt(to, 0, 0, width, height, from, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY) != FALSE;
        SelectObject(from, oldFrom);
        SelectObject(to, oldTo);
    }
    if (from) DeleteDC(from);
    if (to) DeleteDC(to);
    ReleaseDC(nullptr, screen);
    if (!ok && grown) {
        DeleteObject(grown);
        grown = nullptr;
    }
    return grown;
}

void followDpiChange(HWND dialog, LPARAM suggested)
{
    const RECT* rect = (const RECT*)suggested;
    SetWindowPos(dialog, nullptr, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    PostMessageA(dialog, WM_RESCALE, 0, 0);
}
