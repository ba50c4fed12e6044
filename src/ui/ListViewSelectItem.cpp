#include "ui/ListViewSelectItem.h"

#include "ui/CombinBitmap.h"
#include "ui/ListView.h"

void ListViewSelectItem::Draw(Quendal::UI::CPaintEventArgs& e, const RECT& r)
{
    lock.Lock();
    if (thumbLoaded && image)
        DrawThumbnailCentred(e.graphics, ThumbnailRect(r));
    lock.Unlock();
    if ((itemState & Hovered) || status) {
        GpPen* pen = nullptr;
        const COLORREF c = owner ? owner->accentColour : 0xE9B454;
        GdipCreatePen1(0xFF000000 | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c), 1.0f, UnitPixel, &pen);
        GdipDrawRectangleI(e.graphics, pen, r.left, r.top, r.right - r.left - 1, r.bottom - r.top - 1);
        GdipDeletePen(pen);
    }
    if (status)
        CombinBitmap::Instance().DrawSprite(e.graphics, u"Check", r.left + 1, r.top + 1);
    DrawCaptionCentred(e.hdc, r);
}

void ListViewSelectItem::Select(POINT)
{
    status = status ? 0 : 1;
    itemState |= Selected;
    Redraw();
}

void ListViewSelectItem::OnLButtonDown(POINT)
{
    Select(POINT{});
    if (owner) {
        owner->AddToSelection(this);
        owner->SetAnchor(id);
    }
}

void ListViewSelectItem::SizeForTotal(int64_t& out)
{
    if (status)
        ListViewItem::SizeForTotal(out);
}

void ListViewSelectItem::Describe(pictavo::platform::AutomationNode& node)
{
    ListViewItem::Describe(node);
    node.state["checked"] = status ? u"1" : u"0";
}
