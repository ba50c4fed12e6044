#include "ui/WindowedElement.h"

void WindowedElement::Owner::Place(const RECT&) {}

void WindowedElement::Attach(ControlBase& parentElement)
{
    if (!hwnd)
        hwnd = m_owner.CreateFor(parentElement.GetHwnd());
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
    // The rule runs against the client area of the window the element sits in, so a list
    // anchored to every edge follows that window; with Top | Left the window sits at its
    // margins with its preferred size either way.
    const RECT r = AnchoredRect(parent ? parent->GetContainerRect() : GetContainerRect(), width, height);
    m_owner.Place(r);
}
