// Device contexts: selection, saved states, clipping, mix mode and background.

#include "platform/gfx/Gdi.h"

#include "platform/gfx/GdiObjects.h"

namespace pictavo::platform {

HDC createCanvasDC(Canvas* canvas)
{
    auto* dc = new DcObject;
    dc->type = OBJ_DC;
    dc->canvas = canvas;
    return static_cast<HDC>(registerObject(dc));
}

Canvas* canvasOf(HDC handle)
{
    auto* dc = static_cast<DcObject*>(findObject(handle, OBJ_DC));
    return dc ? dc->canvas : nullptr;
}

} // namespace pictavo::platform

using namespace pictavo::platform;

namespace {

void applySelection(DcObject* dc)
{
    if (auto* p = static_cast<PenObject*>(findObject(dc->pen, OBJ_PEN)))
        dc->canvas->setPen(p->desc);
    if (auto* b = static_cast<BrushObject*>(findObject(dc->brush, OBJ_BRUSH)))
        dc->canvas->setBrush(b->desc);
    if (auto* f = static_cast<FontObject*>(findObject(dc->font, OBJ_FONT)))
        dc->canvas->setFont(f->desc);
}

} // namespace

HDC CreateCompatibleDC(HDC)
{
    auto* dc = new DcObject;
    auto* initial = static_cast<BitmapObject*>(findObject(stockObject(kDefaultBitmap), OBJ_BITMAP));
    dc->owned = std::make_unique<Canvas>(initial->pixels);
    dc->canvas = dc->owned.get();
    dc->bitmapHandle = stockObject(kDefaultBitmap);
    dc->pen = stockObject(BLACK_PEN);
    dc->brush = stockObject(WHITE_BRUSH);
    dc->font = stockObject(SYSTEM_FONT);
    applySelection(dc);
    return static_cast<HDC>(registerObject(dc));
}

BOOL DeleteDC(HDC handle)
{
    DcObject* dc = dcOf(handle);
    if (!dc || !unregisterObject(handle))
        return FALSE;
    if (auto* bm = static_cast<BitmapObject*>(findObject(dc->bitmapHandle, OBJ_BITMAP)))
        if (bm->selectedInto == dc)
            bm->selectedInto = nullptr;
    delete dc;
    return TRUE;
}

int SaveDC(HDC handle)
{
    DcObject* dc = dcOf(handle);
    if (!dc)
        return 0;
    dc->saved.push_back({dc->bitmapHandle, dc->pen, dc->brush, dc->font});
    return dc->canvas->save();
}

BOOL RestoreDC(HDC handle, int saved)
{
    DcObject* dc = dcOf(handle);
    if (!dc)
        return FALSE;
    int depth = static_cast<int>(dc->saved.size());
    int to = saved < 0 ? depth + saved + 1 : saved;
    if (saved == 0 || to < 1 || to > depth)
        return FALSE;
    DcObject::Selection s = dc->saved[to - 1];
    dc->saved.resize(to - 1);
    if (dc->owned && s.bitmap != dc->bitmapHandle && findObject(s.bitmap, OBJ_BITMAP))
        SelectObject(handle, s.bitmap);
    dc->canvas->restore(to);
    dc->pen = s.pen, dc->brush = s.brush, dc->font = s.font;
    return TRUE;
}

HGDIOBJ SelectObject(HDC handle, HGDIOBJ object)
{
    DcObject* dc = dcOf(handle);
    GdiObject* o = findObject(object);
    if (!dc || !o)
        return nullptr;
    HGDIOBJ previous = nullptr;
    switch (o->type) {
    case OBJ_PEN:
        previous = dc->pen, dc->pen = object;
        dc->canvas->setPen(static_cast<PenObject*>(o)->desc);
        break;
    case OBJ_BRUSH:
        previous = dc->brush, dc->brush = object;
        dc->canvas->setBrush(static_cast<BrushObject*>(o)->desc);
        break;
    case OBJ_FONT:
        previous = dc->font, dc->font = object;
        dc->canvas->setFont(static_cast<FontObject*>(o)->desc);
        break;
    case OBJ_BITMAP: {
        if (!dc->owned)
            return nullptr;
        auto* bm = static_cast<BitmapObject*>(o);
        // One context at a time, as in GDI.
        if (bm->selectedInto && bm->selectedInto != dc && !bm->stock)
            return nullptr;
        bm->pull();
        if (auto* old = static_cast<BitmapObject*>(findObject(dc->bitmapHandle, OBJ_BITMAP)))
            old->selectedInto = nullptr;
        previous = dc->bitmapHandle;
        dc->bitmapHandle = object;
        dc->bitmap = bm->dib ? bm : nullptr;
        if (!bm->stock)
            bm->selectedInto = dc;
        dc->canvas->setTarget(bm->pixels);
        break;
    }
    default:
        return nullptr;
    }
    return previous;
}

HGDIOBJ GetCurrentObject(HDC handle, UINT type)
{
    DcObject* dc = dcOf(handle);
    if (!dc)
        return nullptr;
    switch (type) {
    case OBJ_PEN:
        return dc->pen;
    case OBJ_BRUSH:
        return dc->brush;
    case OBJ_FONT:
        return dc->font;
    case OBJ_BITMAP:
        return dc->bitmapHandle;
    default:
        return nullptr;
    }
}

int IntersectClipRect(HDC handle, int left, int top, int right, int bottom)
{
    DcObject* dc = dcOf(handle);
    if (!dc)
        return ERROR;
    dc->canvas->intersectClip(RECT{left, top, right, bottom});
    RECT r = dc->canvas->clipBox();
    return r.left < r.right && r.top < r.bottom ? SIMPLEREGION : NULLREGION;
}

int GetClipBox(HDC handle, RECT* rect)
{
    DcObject* dc = dcOf(handle);
    if (!dc || !rect)
        return ERROR;
    *rect = dc->canvas->clipBox();
    return rect->left < rect->right && rect->top < rect->bottom ? SIMPLEREGION : NULLREGION;
}

int SelectClipRgn(HDC handle, void* region)
{
    DcObject* dc = dcOf(handle);
    if (!dc || region)
        return ERROR;
    dc->canvas->resetClip();
    return SIMPLEREGION;
}

int SetROP2(HDC handle, int mode)
{
    DcObject* dc = dcOf(handle);
    if (!dc || mode < R2_BLACK || mode > R2_WHITE)
        return 0;
    int previous = dc->canvas->rop2();
    dc->canvas->setRop2(mode);
    return previous;
}

int GetROP2(HDC handle)
{
    DcObject* dc = dcOf(handle);
    return dc ? dc->canvas->rop2() : 0;
}

COLORREF SetBkColor(HDC handle, COLORREF colour)
{
    DcObject* dc = dcOf(handle);
    if (!dc)
        return CLR_INVALID;
    COLORREF previous = dc->canvas->bkColour();
    dc->canvas->setBkColour(colour & 0xFFFFFF);
    return previous;
}

COLORREF GetBkColor(HDC handle)
{
    DcObject* dc = dcOf(handle);
    return dc ? dc->canvas->bkColour() : CLR_INVALID;
}

int SetBkMode(HDC handle, int mode)
{
    DcObject* dc = dcOf(handle);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE))
        return 0;
    int previous = dc->canvas->bkMode();
    dc->canvas->setBkMode(mode);
    return previous;
}

int GetBkMode(HDC handle)
{
    DcObject* dc = dcOf(handle);
    return dc ? dc->canvas->bkMode() : 0;
}
