#pragma once

#include "platform/win/WinUser.h"

#include <string_view>

namespace pictavo::platform {

// The platform's message box as a modal dialog (caption, text, buttons by type). Asked for
// from another thread, it is shown by the owner's thread (else the active window's, else the
// UI thread's) while the asking thread waits.
class MessageBoxWindow
{
public:
    static int show(HWND owner, std::u16string_view text, std::u16string_view caption, UINT type);
    // Routes MessageBoxW here; uiThread shows boxes when no window says otherwise. A later
    // call replaces a UI thread that has ended.
    static void install(DWORD uiThread);
};

} // namespace pictavo::platform
