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

namespace {
// One axis of the anchor rule: pinned to the near side, the far side, both (stretched) or
// neither (centred).
void placeAxis(bool nearSide, bool farSide, LONG kNear, LONG kFar, int marginNear, int marginFar, int size,
               LONG& outNear, LONG& outFar)
{
    if (nearSide && farSide) {
        outNear = kNear + marginNear;
        outFar = kFar - marginFar;
        return;
    }
    if (nearSide)
        outNear = kNear + marginNear;
    else if (farSide)
        outNear = kFar - marginFar - size;
    else
        outNear = (kFar - size - kNear) / 2;
    outFar = outNear + size;
}
} // namespace

RECT ControlBase::AnchoredRect(const RECT& k, int w, int h) const
{
    RECT r{};
    placeAxis(anchor & Left, anchor & Right, k.left, k.right, marginLeft, marginRight, w, r.left, r.right);
    placeAxis(anchor & Top, anchor & Bottom, k.top, k.bottom, marginTop, marginBottom, h, r.top, r.bottom);
    return r;
}

void ControlBase::Invalidate()
{
    if (hwnd)
        InvalidateRect(hwnd, &bounds, FALSE);
}

void ControlBase::PressIfInside(CMouseEventArgs& e)
{
    if (!visible || disabled || !HitTest(e.x, e.y))
        return;
    e.handled = TRUE;
    e.captureTarget = this;
    state |= Pressed;
    Invalidate();
}

bool ControlBase::ReleaseIsClick(const CMouseEventArgs& e)
{
    if (disabled || !visible)
        return false;
    if (HitTest(e.x, e.y)) {
        if (!(state & Pressed))
            return false;
        state &= ~Pressed;
        Invalidate();
        return true;
    }
    if (state & Pressed) {
        state = 0;
        Invalidate();
    }
    return false;
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
