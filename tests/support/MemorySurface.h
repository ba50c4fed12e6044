#pragma once

#include "platform/gfx/Gdi.h"

namespace pictavo::test {

// A memory context with a white bitmap of the given size selected.
struct MemorySurface
{
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ previous;
    MemorySurface(int w, int h)
    {
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateCompatibleBitmap(dc, w, h);
        previous = SelectObject(dc, bitmap);
        RECT all{0, 0, w, h};
        HBRUSH white = CreateSolidBrush(0xFFFFFF);
        FillRect(dc, &all, white);
        DeleteObject(white);
    }
    ~MemorySurface()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    MemorySurface(const MemorySurface&) = delete;
    MemorySurface& operator=(const MemorySurface&) = delete;
    COLORREF at(int x, int y) const { return GetPixel(dc, x, y); }
};

} // namespace pictavo::test
