#include "ui/WindowedElement.h"

void WindowedElement::Owner::Place(const RECT&) {}

void WindowedElement::Attach(ControlBase& parentElement)
{
    if (!hwnd)
        hwnd = owner_.CreateFor(parentElement.GetHwnd());
    parent = &parentElement;
    parentElement.children.push_back(this);
}

void WindowedElement::SetVisible(BOOL show)
{
    visible = show;
    if (hwnd)
        ShowWindow(hwnd, show ? SW_SHOW : SW_HIDE);
}

void WindowedElement::Layout()
{
    if (!hwnd)
        return;
    // The rule runs against the control's own client area (origin 0, 0), so with Top | Left
    // the window sits at its margins with its preferred size.
    const RECT r = AnchoredRect(GetContainerRect(), width, height);
    owner_.Place(r);
}
