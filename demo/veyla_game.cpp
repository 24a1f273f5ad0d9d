// Stand-in for the game on the sample medium: a window that shows what tncfg.dat beside it holds,
// and ends on a key or a click.
#include <windows.h>
#include <stdio.h>
#include <stdint.h>
#include <string.h>

static char report[2048];

static void readSettings()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    char* slash = strrchr(path, '\\');
    if (slash) snprintf(slash + 1, sizeof path - (size_t)(slash + 1 - path), "%s", "tncfg.dat");
    int32_t f[32] = {};
    FILE* file = fopen(path, "rb");
    size_t got = file ? fread(f, 1, sizeof f, file) : 0;
    if (file) fclose(file);
    if (!file) {
        snprintf(report, sizeof report, "tncfg.dat が見つかりません。\r\n(%s)", path);
        return;
    }
    static const char* const draw[] = {"GPU バイキュービック", "GPU バイリニア", "CPU バイリニア",
                                       "CPU ニアレストネイバー"};
    static const char* const scale[] = {"拡大(内接)", "拡大(外接)", "拡大(フィット)", "拡大しない"};
    snprintf(report, sizeof report,
             "Veyla (デモ用の代役プログラム)\r\n\r\ntncfg.dat: %u バイト\r\n\r\n"
             "描画方法: %s\r\nフルスクリーン解像度: %s\r\n拡大方法: %s\r\n"
             "SSE: %d  SSE2: %d  マルチコア: %d  DirectShow: %d\r\n\r\nキーを押すかクリックで終了します。",
             (unsigned)got, f[8] >= 0 && f[8] < 4 ? draw[f[8]] : "(範囲外)", f[6] == 0 ? "変更する" : "変更しない",
             f[7] >= 0 && f[7] < 4 ? scale[f[7]] : "(範囲外)", f[2], f[3], f[4], f[0]);
}

static LRESULT CALLBACK gameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT r;
        GetClientRect(window, &r);
        HBRUSH sky = CreateSolidBrush(RGB(24, 32, 64));
        FillRect(dc, &r, sky);
        DeleteObject(sky);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(230, 230, 250));
        InflateRect(&r, -24, -24);
        DrawTextA(dc, report, -1, &r, DT_LEFT | DT_WORDBREAK);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN: DestroyWindow(window); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    readSettings();
    WNDCLASSA wc = {};
    wc.lpfnWndProc = gameProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    wc.lpszClassName = "VeylaGame";
    RegisterClassA(&wc);
    HWND window = CreateWindowA("VeylaGame", "Veyla", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 560, 360,
                                nullptr, nullptr, instance, nullptr);
    ShowWindow(window, show);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
