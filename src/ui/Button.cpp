#include "ui/Button.h"

#include "ui/DefaultFonts.h"
#include "ui/Drawing.h"
#include "ui/ImageLister.h"

namespace Quendal::UI::Controls {

void Button::Create(ControlBase& parentElement, const std::u16string& caption)
{
    Attach(parentElement);
    text = caption;
}

void Button::SetImages(const std::string& normal, const std::string& hover, const std::string& down,
                       const std::string& disabledLook)
{
    normalImage = normal;
    hoverImage = hover;
    downImage = down;
    disabledImage = disabledLook;
}

void Button::SetText(const std::u16string& caption)
{
    text = caption;
    Invalidate();
}

void Button::PaintBackground(CPaintEventArgs& e)
{
    const std::string& look = disabled            ? disabledImage
                              : (state & Pressed) ? downImage
                              : (state & Hover)   ? hoverImage
                                                  : normalImage;
    ImageLister::Instance().DrawInRect(e.hdc, look, bounds);
}

void Button::OnPaint(CPaintEventArgs& e)
{
    if (!visible)
        return;
    PaintBackground(e);
    if (!text.empty()) {
        const DefaultFonts& fonts = DefaultFonts::Instance();
        DrawText(e.hdc, bounds, text, disabled ? fonts.disabledTextColour : fonts.textColour, fonts.normalFont,
                 0x25);
    }
}

void Button::OnLButtonDown(CMouseEventArgs& e)
{
    if (!visible || disabled || !HitTest(e.x, e.y))
        return;
    e.handled = TRUE;
    e.captureTarget = this;
    state |= Pressed;
    Invalidate();
}

void Button::OnLButtonUp(CMouseEventArgs& e)
{
    if (disabled || !visible)
        return;
    if (HitTest(e.x, e.y)) {
        if (state & Pressed) {
            state &= ~Pressed;
            Invalidate();
            clicked();
        }
    } else if (state & Pressed) {
        state = 0;
        Invalidate();
    }
}

void Button::OnMouseMove(CMouseEventArgs& e)
{
    if (!visible || disabled || (state & Pressed))
        return;
    TrackHover(e);
}

void Button::Describe(pictavo::platform::AutomationNode& node) const
{
    ControlBase::Describe(node);
    node.text = text;
}

} // namespace Quendal::UI::Controls
