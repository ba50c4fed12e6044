#include "ui/IconLabel.h"

#include "ui/DefaultFonts.h"
#include "ui/Drawing.h"
#include "ui/ImageLister.h"

namespace Quendal::UI::Controls {

void IconLabel::Create(ControlBase& parentElement, const std::u16string& caption, const std::string& icon)
{
    Attach(parentElement);
    iconName = icon;
    SetText(caption);
}

void IconLabel::SetText(const std::u16string& caption)
{
    text = caption;
    const SIZE size = MeasureText(hwnd, text, DefaultFonts::Instance().normalFont);
    width = size.cx;
    height = size.cy;
    if (ImageLister::Instance().Find(iconName))
        width += ImageLister::Instance().Width(iconName) + 5;
    Invalidate();
}

void IconLabel::PaintIcon(CPaintEventArgs& e)
{
    const POINT at{bounds.left, bounds.top};
    if (disabled)
        ImageLister::Instance().DrawGrey(e.hdc, iconName, at);
    else
        ImageLister::Instance().Draw(e.hdc, iconName, at);
}

void IconLabel::OnPaint(CPaintEventArgs& e)
{
    if (!visible)
        return;
    PaintIcon(e);
    RECT r = bounds;
    if (ImageLister::Instance().Find(iconName))
        r.left += ImageLister::Instance().Width(iconName) + gap;
    const DefaultFonts& fonts = DefaultFonts::Instance();
    DrawText(e.hdc, r, text, disabled ? fonts.disabledTextColour : fonts.textColour, fonts.normalFont, 0x24);
}

void IconLabel::OnLButtonDown(CMouseEventArgs& e)
{
    if (!visible || disabled || !HitTest(e.x, e.y))
        return;
    e.handled = TRUE;
    e.captureTarget = this;
    state |= Pressed;
    Invalidate();
}

void IconLabel::OnLButtonUp(CMouseEventArgs& e)
{
    if (disabled || !visible)
        return;
    if (HitTest(e.x, e.y)) {
        if (state & Pressed) {
            state &= ~Pressed;
            Invalidate();
            clicked(this);
        }
    } else if (state & Pressed) {
        state = 0;
        Invalidate();
    }
}

void IconLabel::OnMouseMove(CMouseEventArgs& e)
{
    if (!visible || disabled || (state & Pressed))
        return;
    TrackHover(e);
}

void IconLabel::Describe(pictavo::platform::AutomationNode& node) const
{
    ControlBase::Describe(node);
    node.text = text;
}

} // namespace Quendal::UI::Controls
