// Copies between contexts and single pixels.

#include "platform/gfx/Gdi.h"

#include "platform/gfx/GdiObjects.h"

#include <algorithm>
#include <vector>

using namespace pictavo::platform;

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD rop)
{
    DrawScope to(dcOf(dst));
    DcObject* from = dcOf(src);
    if (!to || !from || !from->canvas->target() || rop != SRCCOPY)
        return FALSE;
    if (from->bitmap)
        from->bitmap->pull();
    to->copyFrom(x, y, width, height, *from->canvas->target(), sx, sy);
    return TRUE;
}

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int sw, int sh,
                DWORD rop)
{
    DrawScope to(dcOf(dst));
    DcObject* from = dcOf(src);
    if (!to || !from || !from->canvas->target() || rop != SRCCOPY || width <= 0 || height <= 0 || sw <= 0 ||
        sh <= 0)
        return FALSE;
    if (from->bitmap)
        from->bitmap->pull();
    to->drawImage(*from->canvas->target(), x, y, width, height, sx, sy, sw, sh,
                  to.dc->stretchMode == HALFTONE ? Interpolation::Smooth : Interpolation::Nearest, false);
    return TRUE;
}

int SetStretchBltMode(HDC handle, int mode)
{
    DcObject* dc = dcOf(handle);
    if (!dc)
        return 0;
    int previous = dc->stretchMode;
    dc->stretchMode = mode;
    return previous;
}

int GetStretchBltMode(HDC handle)
{
    DcObject* dc = dcOf(handle);
    return dc ? dc->stretchMode : 0;
}

int SetDIBitsToDevice(HDC handle, int x, int y, DWORD width, DWORD height, int sx, int sy, UINT startScan,
                      UINT scanLines, const void* bits, const BITMAPINFO* info, UINT)
{
    DrawScope dc(dcOf(handle));
    if (!dc || !bits || !info || info->bmiHeader.biCompression != BI_RGB)
        return 0;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    int bpp = h.biBitCount;
    if (h.biWidth <= 0 || h.biHeight == 0 ||
        (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32))
        return 0;
    const bool bottomUp = h.biHeight > 0;
    const int64_t dibHeight = bottomUp ? h.biHeight : -static_cast<int64_t>(h.biHeight);
    const size_t rowBytes = (static_cast<size_t>(h.biWidth) * bpp + 31) / 32 * 4;
    int colours =
        bpp <= 8 ? static_cast<int>(h.biClrUsed ? std::min<DWORD>(h.biClrUsed, 1u << bpp) : 1u << bpp) : 0;
    // Only the part that is both in the source and visible is converted.
    int64_t w = std::min<int64_t>(width, static_cast<int64_t>(h.biWidth) - sx);
    int64_t hh = std::min<int64_t>(height, dibHeight - sy);
    if (sx < 0 || sy < 0 || w <= 0 || hh <= 0)
        return 0;
    RECT clip = dc->clipBox();
    RECT area{std::max<LONG>(x, clip.left), std::max<LONG>(y, clip.top),
              static_cast<LONG>(std::min<int64_t>(x + w, clip.right)),
              static_cast<LONG>(std::min<int64_t>(y + hh, clip.bottom))};
    if (area.left >= area.right || area.top >= area.bottom)
        return static_cast<int>(scanLines);
    const int aw = area.right - area.left;
    std::vector<uint8_t> row(static_cast<size_t>(aw) * 4);
    for (int dy = area.top; dy < area.bottom; ++dy) {
        // Destination row dy shows source row (sy + offset) counted from the DIB's top.
        int64_t fromTop = sy + (dy - y);
        int64_t scan = bottomUp ? dibHeight - 1 - fromTop : fromTop;
        if (scan < startScan || scan >= static_cast<int64_t>(startScan) + scanLines)
            continue;
        const uint8_t* src =
            static_cast<const uint8_t*>(bits) + static_cast<size_t>(scan - startScan) * rowBytes;
        for (int dx = area.left; dx < area.right; ++dx)
            dibPixel(src, bpp, sx + (dx - x), info->bmiColors, colours,
                     &row[static_cast<size_t>(dx - area.left) * 4]);
        dc->setPixels(area.left, dy, aw, 1, row.data(), aw * 4);
    }
    return static_cast<int>(scanLines);
}

COLORREF GetPixel(HDC handle, int x, int y)
{
    DrawScope dc(dcOf(handle));
    if (!dc)
        return CLR_INVALID;
    RECT c = dc->clipBox();
    if (x < c.left || x >= c.right || y < c.top || y >= c.bottom)
        return CLR_INVALID;
    return dc->pixel(x, y);
}

COLORREF SetPixel(HDC handle, int x, int y, COLORREF colour)
{
    DrawScope dc(dcOf(handle));
    if (!dc)
        return CLR_INVALID;
    dc->setPixel(x, y, colour);
    return colour & 0xFFFFFF;
}
