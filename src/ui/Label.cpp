#include "ui/Label.h"

#include "ui/DefaultFonts.h"
#include "ui/Drawing.h"

void Label::Create(ControlBase& parentElement, const std::u16string& caption)
{
    Attach(parentElement);
    SetText(caption);
}

void Label::SetText(const std::u16string& caption)
{
    Invalidate();
    text = caption;
    // Measured with the font it is drawn with, so the label is exactly as wide as its text.
    const SIZE size = Quendal::UI::MeasureText(hwnd, text, font ? font : DefaultFonts::Instance().normalFont);
    bounds.right = bounds.left + size.cx;
    bounds.bottom = bounds.top + size.cy;
    Invalidate();
}

void Label::Layout()
{
    const LONG w = bounds.right - bounds.left, h = bounds.bottom - bounds.top;
    RECT r = AnchoredRect(GetContainerRect(), static_cast<int>(w), static_cast<int>(h));
    bounds = RECT{r.left, r.top, r.left + w, r.top + h};
}

void Label::OnPaint(Quendal::UI::CPaintEventArgs& e)
{
    if (visible)
        Quendal::UI::DrawText(e.hdc, bounds, text, colour, font ? font : DefaultFonts::Instance().normalFont,
                              format);
}

void Label::Describe(pictavo::platform::AutomationNode& node) const
{
    ControlBase::Describe(node);
    node.text = text;
}
