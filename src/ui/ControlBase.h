#pragma once

#include "platform/win/AutomationNode.h"
#include "platform/win/WinUser.h"
#include "ui/CMouseEventArgs.h"
#include "ui/CPaintEventArgs.h"

#include <string>
#include <vector>

// An element of a window's tree: a rectangle laid out by the anchor rule, painted into the
// window's back buffer and fed the window's mouse events. Children are not owned.
class ControlBase
{
public:
    enum Anchor : DWORD
    {
        Top = 1,
        Bottom = 2,
        Left = 4,
        Right = 8,
        CentreVertical = 0x20,
        CentreHorizontal = 0x40,
    };
    enum State : DWORD
    {
        Hover = 1,
        Pressed = 4,
    };

    ControlBase() = default;
    virtual ~ControlBase() = default;
    ControlBase(const ControlBase&) = delete;
    ControlBase& operator=(const ControlBase&) = delete;

    virtual HWND GetHwnd();
    virtual void SetVisible(BOOL show);
    virtual void SetDisabled(BOOL disable);
    virtual RECT GetContainerRect();
    virtual void Attach(ControlBase& parentElement);
    virtual void OnPaint(Quendal::UI::CPaintEventArgs& e);
    virtual void OnLButtonDown(Quendal::UI::CMouseEventArgs& e);
    virtual void OnLButtonUp(Quendal::UI::CMouseEventArgs& e);
    virtual void OnMouseMove(Quendal::UI::CMouseEventArgs& e);
    virtual void OnMouseLeave();
    virtual void LayoutChildren();
    virtual void Layout();

    // What the automation reads: the element's class, text and state.
    virtual std::u16string ElementClass() const { return u"Element"; }
    virtual void Describe(pictavo::platform::AutomationNode& node) const;

    void SetAnchor(DWORD flags) { anchor = flags; }
    void SetSize(int w, int h)
    {
        width = w;
        height = h;
    }
    void SetMargins(int l, int t, int r, int b)
    {
        marginLeft = l;
        marginTop = t;
        marginRight = r;
        marginBottom = b;
    }
    void Invalidate();
    bool HitTest(int x, int y) const
    {
        return x >= bounds.left && x < bounds.right && y >= bounds.top && y < bounds.bottom;
    }
    // The anchor rule for a preferred size inside container.
    RECT AnchoredRect(const RECT& container, int w, int h) const;

    BOOL visible = TRUE;
    BOOL disabled = FALSE;
    DWORD anchor = Top | Left;
    DWORD state = 0;
    ControlBase* parent = nullptr;
    HWND hwnd = nullptr;
    int marginLeft = 0;
    int marginTop = 0;
    int marginRight = 0;
    int marginBottom = 0;
    RECT bounds{};
    int width = 0;
    int height = 0;
    std::vector<ControlBase*> children;

protected:
    // Shared by the clickable controls: hover follows the hit test, invalidating on change.
    void TrackHover(const Quendal::UI::CMouseEventArgs& e);
};
