#pragma once

#include "platform/win/WinUser.h"

namespace pictavo::test {

// A plain top-level window on the calling thread: another program's window, or a dialog's owner.
inline HWND plainWindow(int x, int y, int w, int h)
{
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = u"TestPlainWindow";
        return RegisterClassExW(&wc) != 0;
    }();
    (void)registered;
    return CreateWindowExW(0, u"TestPlainWindow", u"plain", WS_POPUP | WS_VISIBLE, x, y, w, h, nullptr, nullptr,
                           nullptr, nullptr);
}

} // namespace pictavo::test
