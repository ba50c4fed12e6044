#include "ui/ListViewPostItem.h"

#include "Biz/AppState.h"
#include "platform/kernel/WFormat.h"
#include "ui/CombinBitmap.h"
#include "ui/DefaultFonts.h"
#include "ui/Drawing.h"
#include "ui/ListView.h"

namespace {

ARGB opaque(COLORREF c)
{
    return 0xFF000000u | (static_cast<ARGB>(GetRValue(c)) << 16) | (static_cast<ARGB>(GetGValue(c)) << 8) |
           GetBValue(c);
}

void fill(GpGraphics* graphics, ARGB colour, int left, int top, int right, int bottom)
{
    if (right <= left || bottom <= top)
        return;
    GpSolidFill* brush = nullptr;
    GdipCreateSolidFill(colour, &brush);
    GdipFillRectangleI(graphics, brush, left, top, right - left, bottom - top);
    GdipDeleteBrush(brush);
}

bool uploading()
{
    return AppState::Instance()->IsUploading();
}

} // namespace

void ListViewPostItem::SetRect(RECT r)
{
    rect = r;
    rotateLeftRect = RECT{r.left + 13, r.bottom - 53, r.left + 29, r.bottom - 37};
    rotateRightRect = RECT{r.left + 41, r.bottom - 53, r.left + 57, r.bottom - 37};
    editRect = RECT{r.left + 69, r.bottom - 53, r.left + 85, r.bottom - 37};
    previewRect = RECT{r.left + 126, r.bottom - 53, r.left + 142, r.bottom - 37};
    deleteRect = RECT{r.right - 16, r.top, r.right, r.top + 16};
    nameRect = RECT{r.left, r.bottom - 30, r.right, r.bottom};
}

bool ListViewPostItem::HitsTool(POINT p)
{
    for (const RECT* r : {&rotateLeftRect, &rotateRightRect, &editRect, &previewRect, &deleteRect, &nameRect})
        if (PtInRect(r, p))
            return true;
    return false;
}

void ListViewPostItem::EndRename()
{
    if (owner)
        name = owner->TakeEditorText();
    Redraw();
}

int ListViewPostItem::ProgressPercent()
{
    progressLock.Lock();
    const bool done = uploaded;
    const uint64_t sent = bytesSent;
    const uint64_t size = preparedSize ? preparedSize : static_cast<uint64_t>(std::max<int64_t>(0, fileSize));
    progressLock.Unlock();
    const float f = done ? 1.0f : size == 0 ? 0.0f : static_cast<float>(sent) / static_cast<float>(size);
    return std::min(100, static_cast<int>(f * 100.0f));
}

void ListViewPostItem::Draw(Quendal::UI::CPaintEventArgs& e, const RECT& r)
{
    GpGraphics* g = e.graphics;
    lock.Lock();
    if (thumbnail)
        DrawThumbnailCentred(g, RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 30});
    lock.Unlock();
    const COLORREF accent = owner ? owner->accentColour : 0xE9B454;
    GpPen* pen = nullptr;
    GdipCreatePen1((itemState & Selected) ? opaque(accent) : 0xFFE1E1E1, 1.0f, UnitPixel, &pen);
    GdipDrawRectangleI(g, pen, r.left, r.top, r.right - r.left - 1, r.bottom - r.top - 1);
    GdipDeletePen(pen);
    if (uploading()) {
        const int left = r.left + 1, top = r.top + 96, right = r.right - 1, bottom = r.bottom - 30;
        fill(g, 0x5A000000, left, top, right, bottom);
        const int percent = ProgressPercent();
        fill(g, 0xD2ABD369, left, top, left + (right - left) * percent / 100, bottom);
        const std::u16string text =
            percent == 100 ? std::u16string(u"上传成功") : pictavo::platform::wformat(u"%d%%", percent);
        Quendal::UI::DrawText(e.hdc, RECT{left, top, right, bottom}, text, 0xFFFFFF,
                              DefaultFonts::Instance().normalFont, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    } else if (itemState & Hovered) {
        CombinBitmap& sprites = CombinBitmap::Instance();
        sprites.DrawSpriteInRect(g, u"Del", RECT{r.right - 17, r.top + 1, r.right - 1, r.top + 17});
        if (owner && owner->IsEditable()) {
            fill(g, 0xAA000000, r.left + 1, r.top + 90, r.right - 1, r.bottom - 30);
            const int top = r.bottom - 53, bottom = r.bottom - 37;
            sprites.DrawSpriteInRect(g, u"LeftCirc", RECT{r.left + 12, top, r.left + 28, bottom});
            sprites.DrawSpriteInRect(g, u"RightCirc", RECT{r.left + 40, top, r.left + 56, bottom});
            sprites.DrawSpriteInRect(g, u"Editor", RECT{r.left + 68, top, r.left + 84, bottom});
            sprites.DrawSpriteInRect(g, u"Search", RECT{r.left + 125, top, r.left + 141, bottom});
        }
    }
    Quendal::UI::DrawText(e.hdc, RECT{r.left + 3, r.top + 120, r.right, r.bottom}, name,
                          DefaultFonts::Instance().textColour, DefaultFonts::Instance().normalFont,
                          DT_END_ELLIPSIS | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void ListViewPostItem::OnLButtonDown(POINT)
{
    if (uploading())
        return;
    itemState |= Selected;
    Redraw();
    if (owner) {
        owner->AddToSelection(this);
        owner->SetAnchor(id);
    }
}

void ListViewPostItem::OnLButtonUp(POINT p)
{
    if (!(itemState & Selected) || !owner || !owner->IsEditable() || uploading())
        return;
    if (PtInRect(&deleteRect, p)) {
        // Posted: the tile must not be freed inside its own handler.
        owner->PostRemove(id);
    } else if (PtInRect(&editRect, p)) {
        if (IsImageReady() && owner->openEditor)
            owner->openEditor(*this);
        Redraw();
    } else if (PtInRect(&rotateLeftRect, p)) {
        Turn(true);
    } else if (PtInRect(&rotateRightRect, p)) {
        Turn(false);
    } else if (PtInRect(&nameRect, p)) {
        owner->BeginRename(this);
    } else if (PtInRect(&previewRect, p)) {
        if (IsImageReady() && owner->openPreview)
            owner->openPreview(*this);
    }
}

void ListViewPostItem::SetBytesSent(uint64_t n)
{
    progressLock.Lock();
    bytesSent = n;
    progressLock.Unlock();
}

void ListViewPostItem::RefreshProgress()
{
    if (owner)
        owner->RefreshItem(id);
}

void ListViewPostItem::MarkUploaded()
{
    progressLock.Lock();
    uploaded = true;
    bytesSent = preparedSize ? preparedSize : static_cast<uint64_t>(std::max<int64_t>(0, fileSize));
    progressLock.Unlock();
    RefreshProgress();
}

void ListViewPostItem::ResetProgress()
{
    progressLock.Lock();
    bytesSent = 0;
    progressLock.Unlock();
}

void ListViewPostItem::SetPreparedSize(uint64_t n)
{
    progressLock.Lock();
    preparedSize = n;
    progressLock.Unlock();
}

bool ListViewPostItem::IsUploaded()
{
    progressLock.Lock();
    const bool done = uploaded;
    progressLock.Unlock();
    return done;
}

void ListViewPostItem::Describe(pictavo::platform::AutomationNode& node)
{
    ListViewItem::Describe(node);
    node.state["uploaded"] = IsUploaded() ? u"1" : u"0";
    node.state["progress"] = pictavo::platform::wformat(u"%d", ProgressPercent());
}
