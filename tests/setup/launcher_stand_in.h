// A window with the launcher's progress controls (1005 bar, 1016 picture, 1019 status, 1021 clock),
// for tests that run the copy engine inside the test program.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "state/installer.h"
#include "ui/progress_display.h"
#include "ui/window_state.h"

struct LauncherStandIn {
    HWND window;
    explicit LauncherStandIn(Installer& in)
    {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        window = CreateWindowExA(0, "STATIC", "stand-in", WS_POPUP, 0, 0, 600, 200, nullptr, nullptr, nullptr, nullptr);
        CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD, 0, 0, 500, 10, window, (HMENU)1005, nullptr, nullptr);
        CreateWindowExA(0, "STATIC", "", WS_CHILD | SS_BITMAP, 0, 20, 50, 50, window, (HMENU)1016, nullptr, nullptr);
        CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 80, 400, 12, window, (HMENU)1019, nullptr, nullptr);
        CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 100, 100, 12, window, (HMENU)1021, nullptr, nullptr);
        // Like the launcher, it shows the pictures other threads ask for.
        SetWindowLongPtrA(window, GWLP_USERDATA, GetWindowLongPtrA(window, GWLP_WNDPROC));
        SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)serve);
        launcherDialog = window;
        in.messageOwner = window;
        in.progressCtrlId = 1005;
        in.setProgressReport(&launcherProgress);
    }
    static LRESULT CALLBACK serve(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_SHOWSLIDE) {
            showRequestedSlide(lParam);
            return 0;
        }
        WNDPROC base = (WNDPROC)GetWindowLongPtrA(window, GWLP_USERDATA);
        return CallWindowProcA(base, window, message, wParam, lParam);
    }
    ~LauncherStandIn()
    {
        DestroyWindow(window);
        launcherDialog = nullptr;
    }
    HWND bar() const { return GetDlgItem(window, 1005); }
    int position() const { return (int)SendMessageA(bar(), PBM_GETPOS, 0, 0); }
    std::string text(int id) const
    {
        char buffer[1024] = "";
        GetDlgItemTextA(window, id, buffer, sizeof buffer);
        return buffer;
    }
};
