// Pens, brushes and the shapes drawn with them.

#include "platform/gfx/Gdi.h"

#include "platform/gfx/GdiObjects.h"

#include <algorithm>

using namespace pictavo::platform;

HPEN CreatePen(int style, int width, COLORREF colour)
{
    auto* p = new PenObject;
    // Wide pens are stamped pixel by pixel; nothing here draws wider than this.
    p->desc = PenSpec{style, std::clamp(width, 1, 64), colour & 0xFFFFFF};
    return static_cast<HPEN>(registerObject(p));
}

HBRUSH CreateSolidBrush(COLORREF colour)
{
    auto* b = new BrushObject;
    b->desc = BrushSpec{BS_SOLID, 0, colour & 0xFFFFFF};
    return static_cast<HBRUSH>(registerObject(b));
}

HBRUSH CreateHatchBrush(int hatch, COLORREF colour)
{
    auto* b = new BrushObject;
    b->desc = BrushSpec{BS_HATCHED, hatch, colour & 0xFFFFFF};
    return static_cast<HBRUSH>(registerObject(b));
}

int FillRect(HDC handle, const RECT* rect, HBRUSH brush)
{
    DrawScope dc(dcOf(handle));
    auto* b = static_cast<BrushObject*>(findObject(brush, OBJ_BRUSH));
    if (!dc || !rect || !b)
        return 0;
    dc->fillRect(*rect, b->desc);
    return 1;
}

int FrameRect(HDC handle, const RECT* rect, HBRUSH brush)
{
    DrawScope dc(dcOf(handle));
    auto* b = static_cast<BrushObject*>(findObject(brush, OBJ_BRUSH));
    if (!dc || !rect || !b)
        return 0;
    dc->frameRect(*rect, b->desc);
    return 1;
}

BOOL Rectangle(HDC handle, int left, int top, int right, int bottom)
{
    DrawScope dc(dcOf(handle));
    if (!dc)
        return FALSE;
    dc->rectangle(RECT{left, top, right, bottom});
    return TRUE;
}

BOOL MoveToEx(HDC handle, int x, int y, POINT* previous)
{
    DcObject* dc = dcOf(handle);
    if (!dc)
        return FALSE;
    if (previous)
        *previous = dc->canvas->position();
    dc->canvas->moveTo(x, y);
    return TRUE;
}

BOOL LineTo(HDC handle, int x, int y)
{
    DrawScope dc(dcOf(handle));
    if (!dc)
        return FALSE;
    dc->lineTo(x, y);
    return TRUE;
}
