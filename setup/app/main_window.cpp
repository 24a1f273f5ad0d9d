#include "app/main_window.h"

#include "config/product_config.h"
#include "resources/resource.h"
#include "ui/window_state.h"

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

static int createWindowOfClass(HINSTANCE instance, HINSTANCE previous, int showCommand, bool checkSingleInstance,
                               const char* className, const char* title)
{
    // Any running setup of this product (launcher or update installer) keeps a second one out.
    if (checkSingleInstance && FindWindowA(productConfig.setupTitle, productConfig.gameName)) return 0;
    if (!previous) {
        WNDCLASSA wc = {};
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = mainWindowProc;
        wc.hInstance = instance;
        wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SETUP));
        wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
        wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
        wc.lpszClassName = className;
        if (!RegisterClassA(&wc)) return 0;
    }
    HWND window = CreateWindowExA(0, className, title, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr,
                                  instance, nullptr);
    if (!window) return 0;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    mainWindowHandle = window;
    appInstance = instance;
    return 1;
}

int createMainWindow(HINSTANCE instance, HINSTANCE previous, int showCommand, bool checkSingleInstance)
{
    return createWindowOfClass(instance, previous, showCommand, checkSingleInstance, productConfig.setupTitle,
                               productConfig.gameName);
}

int createSpecialUninstallerWindow(HINSTANCE instance, HINSTANCE previous, int showCommand, bool checkSingleInstance)
{
    return createWindowOfClass(instance, previous, showCommand, checkSingleInstance, "EXUninst",
                               "特殊アンインストーラー");
}
