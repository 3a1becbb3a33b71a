// SPDX-License-Identifier: MIT
#include "win32app/forms.h"
#include "win32app/log.h"
#include "win32app/nativeplatform.h"

#include <commctrl.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    ponpira::win32::log(L"start");
    // The manifest says so too; this covers a copy of the program started without it.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    ponpira::win32::NativePlatform platform;
    ponpira::win32::Windows windows(platform);
    windows.showMain();
    ponpira::win32::log(L"ready");

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab, Esc, Enter and Alt with a letter work in every window as in a dialog.
        const HWND root = GetAncestor(message.hwnd, GA_ROOT);
        bool handled = false;
        for (const ponpira::win32::Window* window : ponpira::win32::Window::all())
            if (root && window->hwnd() == root) {
                handled = IsDialogMessageW(root, &message);
                break;
            }
        if (!handled) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        windows.collect();
    }
    ponpira::win32::log(L"end");
    return 0;
}
