#pragma once

#include "platform/win/WinUser.h"

#include <string_view>

namespace pictavo::platform {

// The platform's message box as a modal dialog (caption, text, buttons by type). Asked for
// from another thread, it is shown by the owner's thread (or the first thread that made a
// window) while the asking thread waits.
class MessageBoxWindow
{
public:
    static int show(HWND owner, std::u16string_view text, std::u16string_view caption, UINT type);
    // Routes MessageBoxW here; uiThread shows boxes that have no owner.
    static void install(DWORD uiThread);
};

} // namespace pictavo::platform
