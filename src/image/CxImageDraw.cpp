#include "image/CxImage.h"
#include "platform/gfx/Gdi.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

struct Rgba
{
    int b, g, r, a;
};

RECT intersect(const RECT& a, const RECT& b)
{
    return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

BITMAPINFOHEADER dib24(LONG width, LONG height)
{
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = 24;
    h.biCompression = BI_RGB;
    h.biSizeImage = static_cast<DWORD>((width * 24 + 31) / 32 * 4 * height);
    return h;
}

} // namespace

HBITMAP CxImage::ToHBitmap(HDC dc) const
{
    if (pDib == nullptr)
        return nullptr;
    HDC temporary = dc ? nullptr : CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc ? dc : temporary, static_cast<const BITMAPINFO*>(pDib),
                                      DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits)
        std::memcpy(bits, info.pImage, head.biSizeImage);
    if (temporary)
        DeleteDC(temporary);
    return bitmap;
}

LONG CxImage::DrawTo(HDC dc, LONG x, LONG y, LONG cx, LONG cy, const RECT* clip, bool smooth)
{
    if (pDib == nullptr || dc == nullptr || cx == 0 || cy == 0 || !info.bEnabled)
        return 0;
    const LONG width = head.biWidth, height = head.biHeight;
    if (cx < 0)
        cx = width;
    if (cy < 0)
        cy = height;
    SaveDC(dc);
    if (clip)
        IntersectClipRect(dc, clip->left, clip->top, clip->right, clip->bottom);
    RECT box{};
    GetClipBox(dc, &box);
    const RECT visible = intersect(RECT{x, y, x + cx, y + cy}, box);
    const LONG vw = visible.right - visible.left, vh = visible.bottom - visible.top;
    if (vw <= 0 || vh <= 0) {
        RestoreDC(dc, -1);
        return 1;
    }
    const bool natural = cx == width && cy == height;
    const bool palette = head.biClrUsed != 0;
    const bool composed =
        info.nBkgndIndex >= 0 || pAlpha != nullptr || (info.bAlphaPaletteEnabled && palette);
    if (!composed && natural) {
        SetStretchBltMode(dc, COLORONCOLOR);
        SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                          static_cast<UINT>(height), info.pImage, static_cast<const BITMAPINFO*>(pDib),
                          DIB_RGB_COLORS);
        RestoreDC(dc, -1);
        return 1;
    }

    // The colour, alpha and palette alpha of a stored pixel.
    const RGBQUAD transparent = GetTransparentColour();
    auto stored = [&](LONG sx, LONG row) {
        RGBQUAD c;
        if (head.biBitCount == 24) {
            const BYTE* p = info.pImage + static_cast<size_t>(row) * info.dwEffWidth + sx * 3;
            c = RGBQUAD{p[0], p[1], p[2], 0};
        } else {
            c = PixelColour(sx, row, false);
        }
        int a = pAlpha ? pAlpha[static_cast<size_t>(row) * width + sx] : 255;
        a = (a * (info.nAlphaMax + 1)) >> 8;
        if (palette && info.bAlphaPaletteEnabled)
            a = (a * (GetPaletteColor(GetPixelIndex(sx, row)).rgbReserved + 1)) >> 8;
        bool skip = info.nBkgndIndex >= 0 && c.rgbBlue == transparent.rgbBlue &&
                    c.rgbGreen == transparent.rgbGreen && c.rgbRed == transparent.rgbRed;
        return std::pair{Rgba{c.rgbBlue, c.rgbGreen, c.rgbRed, a}, skip};
    };
    // Image pixel for a destination offset inside the drawn rectangle (top-down offsets).
    auto sample = [&](LONG ox, LONG oy) {
        if (!smooth || natural) {
            LONG sx = natural ? ox : static_cast<LONG>(int64_t{ox} * width / cx);
            LONG sy = natural ? oy : static_cast<LONG>(int64_t{oy} * height / cy);
            return stored(sx, height - 1 - sy);
        }
        double fx = std::clamp((ox + 0.5) * width / cx - 0.5, 0.0, width - 1.0);
        double fy = std::clamp((oy + 0.5) * height / cy - 0.5, 0.0, height - 1.0);
        LONG x0 = static_cast<LONG>(fx), y0 = static_cast<LONG>(fy);
        LONG x1 = std::min(width - 1, x0 + 1), y1 = std::min(height - 1, y0 + 1);
        double dx = fx - x0, dy = fy - y0;
        const auto p00 = stored(x0, height - 1 - y0);
        const auto p10 = stored(x1, height - 1 - y0);
        const auto p01 = stored(x0, height - 1 - y1);
        const auto p11 = stored(x1, height - 1 - y1);
        auto mixc = [&](int Rgba::*ch) {
            double top = p00.first.*ch + (p10.first.*ch - p00.first.*ch) * dx;
            double bottom = p01.first.*ch + (p11.first.*ch - p01.first.*ch) * dx;
            return static_cast<int>(top + (bottom - top) * dy);
        };
        return std::pair{Rgba{mixc(&Rgba::b), mixc(&Rgba::g), mixc(&Rgba::r), mixc(&Rgba::a)},
                         p00.second && p10.second && p01.second && p11.second};
    };

    BITMAPINFOHEADER header = dib24(vw, vh);
    const size_t stride = static_cast<size_t>((vw * 24 + 31) / 32 * 4);
    std::vector<BYTE> fallback;
    BYTE* bits = nullptr;
    HDC memory = nullptr;
    HBITMAP section = nullptr;
    HGDIOBJ previous = nullptr;
    if (composed) {
        // What is already there, to blend onto.
        memory = CreateCompatibleDC(dc);
        void* sectionBits = nullptr;
        section = CreateDIBSection(memory, reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                   &sectionBits, nullptr, 0);
        if (!section || !sectionBits) {
            DeleteDC(memory);
            RestoreDC(dc, -1);
            return 0;
        }
        previous = SelectObject(memory, section);
        BitBlt(memory, 0, 0, vw, vh, dc, visible.left, visible.top, SRCCOPY);
        bits = static_cast<BYTE*>(sectionBits);
    } else {
        fallback.assign(stride * vh, 0);
        bits = fallback.data();
    }
    for (LONG dy = 0; dy < vh; ++dy) {
        BYTE* row = bits + stride * static_cast<size_t>(vh - 1 - dy);
        for (LONG dx = 0; dx < vw; ++dx) {
            auto [c, skip] = sample(visible.left + dx - x, visible.top + dy - y);
            BYTE* p = row + dx * 3;
            if (!composed) {
                p[0] = static_cast<BYTE>(c.b), p[1] = static_cast<BYTE>(c.g), p[2] = static_cast<BYTE>(c.r);
                continue;
            }
            const int a = c.a;
            if (skip || a == 0)
                continue;
            if (a == 255) {
                p[0] = static_cast<BYTE>(c.b), p[1] = static_cast<BYTE>(c.g), p[2] = static_cast<BYTE>(c.r);
            } else {
                p[0] = static_cast<BYTE>((c.b * a + p[0] * (255 - a)) >> 8);
                p[1] = static_cast<BYTE>((c.g * a + p[1] * (255 - a)) >> 8);
                p[2] = static_cast<BYTE>((c.r * a + p[2] * (255 - a)) >> 8);
            }
        }
    }
    SetDIBitsToDevice(dc, visible.left, visible.top, static_cast<DWORD>(vw), static_cast<DWORD>(vh), 0, 0, 0,
                      static_cast<UINT>(vh), bits, reinterpret_cast<const BITMAPINFO*>(&header),
                      DIB_RGB_COLORS);
    if (memory) {
        SelectObject(memory, previous);
        DeleteObject(section);
        DeleteDC(memory);
    }
    RestoreDC(dc, -1);
    return 1;
}
