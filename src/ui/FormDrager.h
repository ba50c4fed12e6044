#pragma once

#include "platform/win/WinUser.h"

// A window being moved with the mouse: where the press was and where the window was then,
// both in screen coordinates.
class FormDrager
{
public:
    virtual ~FormDrager() = default;

    void Start(HWND dragged, POINT screenPoint);
    // Moves the window by the mouse's offset from the press.
    void MoveTo(POINT screenPoint) const;
    void Stop() { active = FALSE; }

    BOOL active = FALSE;
    POINT startPoint{};
    RECT startRect{};
    HWND window = nullptr;
};
