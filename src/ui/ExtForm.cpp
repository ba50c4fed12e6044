#include "ui/ExtForm.h"

#include "ui/DefaultFonts.h"
#include "ui/Drawing.h"
#include "ui/ImageLister.h"

using Quendal::UI::CPaintEventArgs;

void ExtForm::OnPaint(CPaintEventArgs& e)
{
    PaintFrame(e);
    if (!iconName.empty())
        Quendal::UI::ImageLister::Instance().Draw(e.hdc, iconName, POINT{6, 6});
    PaintCaption(e);
}

void ExtForm::PaintFrame(CPaintEventArgs& e)
{
    const RECT b = bounds;
    Quendal::UI::FillSolid(e.hdc, b, 0xFFFFFF);
    Quendal::UI::FillSolid(e.hdc, RECT{b.left, b.bottom - 37, b.right, b.bottom}, 0xF3F3F3);
    Quendal::UI::ImageLister::Instance().DrawInRect(e.hdc, "Title_bk", RECT{b.left, b.top + 1, b.right, b.top + 34});
    Quendal::UI::FrameDouble(e.hdc, b, 1, 0xD8D8D8);
}

void ExtForm::PaintCaption(CPaintEventArgs& e)
{
    if (caption.empty())
        return;
    const SIZE size = Quendal::UI::MeasureText(e.hdc, caption, DefaultFonts::Instance().normalFont);
    const RECT r{26, 7, 26 + size.cx, 7 + size.cy};
    Quendal::UI::DrawText(e.hdc, r, caption, 0x4E4E4E, DefaultFonts::Instance().normalFont, 0x25);
}
