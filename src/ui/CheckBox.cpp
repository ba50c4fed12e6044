#include "ui/CheckBox.h"

#include "ui/DefaultFonts.h"
#include "ui/Drawing.h"
#include "ui/ImageLister.h"

namespace Quendal::UI::Controls {

void CheckBox::Create(ControlBase& parentElement, const std::u16string& caption)
{
    Attach(parentElement);
    text = caption;
    const SIZE size = MeasureText(hwnd, text, DefaultFonts::Instance().normalFont);
    width = size.cx;
    height = size.cy;
}

void CheckBox::SetChecked(BOOL check)
{
    checked = check;
    Invalidate();
}

void CheckBox::Layout()
{
    RECT r = AnchoredRect(GetContainerRect(), width + boxWidth, height);
    bounds = RECT{r.left, r.top, r.left + width + boxWidth, r.top + boxHeight};
}

void CheckBox::OnPaint(CPaintEventArgs& e)
{
    if (!visible)
        return;
    const bool hover = state & Hover;
    const std::string& look = checked ? (hover ? checkedHoverImage : checkedImage) : (hover ? hoverImage : normalImage);
    ImageLister::Instance().Draw(e.hdc, look, POINT{bounds.left, bounds.top});
    RECT r = bounds;
    r.left += boxWidth;
    r.right += boxWidth;
    const DefaultFonts& fonts = DefaultFonts::Instance();
    DrawText(e.hdc, r, text, fonts.textColour, fonts.normalFont, 0x25);
}

void CheckBox::OnLButtonDown(CMouseEventArgs& e)
{
    if (!visible || disabled || !HitTest(e.x, e.y))
        return;
    e.handled = TRUE;
    e.captureTarget = this;
    state |= Pressed;
    Invalidate();
}

void CheckBox::OnLButtonUp(CMouseEventArgs& e)
{
    if (!visible || !(state & Pressed))
        return;
    state &= ~Pressed;
    if (HitTest(e.x, e.y)) {
        checked = !checked;
        Invalidate();
        changed();
    } else {
        Invalidate();
    }
}

void CheckBox::OnMouseMove(CMouseEventArgs& e)
{
    // Disabled boxes still follow the mouse: only pressing is refused.
    if (!visible || (state & Pressed))
        return;
    TrackHover(e);
}

void CheckBox::Describe(pictavo::platform::AutomationNode& node) const
{
    ControlBase::Describe(node);
    node.text = text;
    node.state["checked"] = checked ? u"1" : u"0";
}

} // namespace Quendal::UI::Controls
