#include "ui/ControlBase.h"

using Quendal::UI::CMouseEventArgs;
using Quendal::UI::CPaintEventArgs;

HWND ControlBase::GetHwnd()
{
    return hwnd;
}

void ControlBase::SetVisible(BOOL show)
{
    visible = show;
    Invalidate();
}

void ControlBase::SetDisabled(BOOL disable)
{
    disabled = disable;
    Invalidate();
}

RECT ControlBase::GetContainerRect()
{
    RECT r{};
    if (hwnd)
        GetClientRect(hwnd, &r);
    return r;
}

void ControlBase::Attach(ControlBase& parentElement)
{
    hwnd = parentElement.GetHwnd();
    parent = &parentElement;
    parentElement.children.push_back(this);
}

void ControlBase::OnPaint(CPaintEventArgs& e)
{
    // Leaves wholly outside the area being repainted would only draw into clipped-away pixels.
    RECT clip{};
    const bool clipped = e.hdc && GetClipBox(e.hdc, &clip) != ERROR;
    for (ControlBase* child : children) {
        const RECT& b = child->bounds;
        if (clipped && child->children.empty() && b.left < b.right && b.top < b.bottom &&
            (b.right <= clip.left || b.left >= clip.right || b.bottom <= clip.top || b.top >= clip.bottom))
            continue;
        child->OnPaint(e);
    }
}

void ControlBase::OnLButtonDown(CMouseEventArgs& e)
{
    for (ControlBase* child : children)
        child->OnLButtonDown(e);
}

void ControlBase::OnLButtonUp(CMouseEventArgs& e)
{
    for (ControlBase* child : children)
        child->OnLButtonUp(e);
}

void ControlBase::OnMouseMove(CMouseEventArgs& e)
{
    for (ControlBase* child : children)
        child->OnMouseMove(e);
}

void ControlBase::OnMouseLeave()
{
    if (state & Hover) {
        state &= ~Hover;
        Invalidate();
    }
    for (ControlBase* child : children)
        child->OnMouseLeave();
}

void ControlBase::LayoutChildren()
{
    for (ControlBase* child : children)
        child->Layout();
}

void ControlBase::Layout()
{
    bounds = AnchoredRect(GetContainerRect(), width, height);
}

RECT ControlBase::AnchoredRect(const RECT& k, int w, int h) const
{
    RECT r{};
    const bool left = anchor & Left, right = anchor & Right;
    if (left && right) {
        r.left = k.left + marginLeft;
        r.right = k.right - marginRight;
    } else if (left) {
        r.left = k.left + marginLeft;
        r.right = r.left + w;
    } else if (right) {
        r.left = k.right - marginRight - w;
        r.right = r.left + w;
    } else {
        r.left = (k.right - w - k.left) / 2;
        r.right = r.left + w;
    }
    const bool top = anchor & Top, bottom = anchor & Bottom;
    if (top && bottom) {
        r.top = k.top + marginTop;
        r.bottom = k.bottom - marginBottom;
    } else if (top) {
        r.top = k.top + marginTop;
        r.bottom = r.top + h;
    } else if (bottom) {
        r.top = k.bottom - marginBottom - h;
        r.bottom = r.top + h;
    } else {
        r.top = (k.bottom - h - k.top) / 2;
        r.bottom = r.top + h;
    }
    return r;
}

void ControlBase::Invalidate()
{
    if (hwnd)
        InvalidateRect(hwnd, &bounds, FALSE);
}

void ControlBase::TrackHover(const CMouseEventArgs& e)
{
    const DWORD before = state;
    if (HitTest(e.x, e.y))
        state |= Hover;
    else
        state &= ~Hover;
    if (state != before)
        Invalidate();
}

void ControlBase::Describe(pictavo::platform::AutomationNode& node) const
{
    node.className = ElementClass();
    POINT tl{bounds.left, bounds.top}, br{bounds.right, bounds.bottom};
    if (hwnd) {
        ClientToScreen(hwnd, &tl);
        ClientToScreen(hwnd, &br);
    }
    node.bounds = RECT{tl.x, tl.y, br.x, br.y};
    bool shown = visible;
    for (const ControlBase* p = parent; p && shown; p = p->parent)
        shown = p->visible;
    node.visible = shown && hwnd && IsWindowVisible(hwnd);
    node.disabled = disabled;
    if (state & Hover)
        node.state["hover"] = u"1";
    if (state & Pressed)
        node.state["pressed"] = u"1";
}
