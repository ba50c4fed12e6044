#include "ui/FormDrager.h"

void FormDrager::Start(HWND dragged, POINT screenPoint)
{
    window = dragged;
    active = TRUE;
    startPoint = screenPoint;
    GetWindowRect(dragged, &startRect);
}

void FormDrager::MoveTo(POINT p) const
{
    if (!active)
        return;
    SetWindowPos(window, nullptr, startRect.left + p.x - startPoint.x, startRect.top + p.y - startPoint.y, 0, 0,
                 SWP_NOZORDER | SWP_NOSIZE);
}
