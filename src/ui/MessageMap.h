#pragma once

#include "platform/win/WinUser.h"

// Something a window procedure hands its messages to; true when it produced the result.
class MessageMap
{
public:
    virtual ~MessageMap() = default;
    virtual BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                                      DWORD mapId = 0) = 0;
};
