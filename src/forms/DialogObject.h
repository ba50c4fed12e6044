#pragma once

#include "platform/win/Dialog.h"
#include "platform/win/WinUser.h"

// The object behind a dialog window: WM_INITDIALOG hands it over in lParam and the dialog
// keeps it in DWLP_USER; null for the messages that come before.
template <class Dialog>
Dialog* DialogObject(HWND dialog, UINT message, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    return reinterpret_cast<Dialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
}
