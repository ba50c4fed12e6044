// Bitmaps and DIB sections, whose bits are kept in the layout their creator asked for.

#include "platform/gfx/Gdi.h"

#include "platform/gfx/GdiObjects.h"

#include <algorithm>
#include <cstring>

namespace pictavo::platform {

void dibPixel(const uint8_t* row, int bpp, int x, const RGBQUAD* palette, int colours, uint8_t* out)
{
    int index = -1;
    switch (bpp) {
    case 1:
        index = row[x >> 3] >> (7 - (x & 7)) & 1;
        break;
    case 4:
        index = x & 1 ? row[x >> 1] & 15 : row[x >> 1] >> 4;
        break;
    case 8:
        index = row[x];
        break;
    case 16: {
        unsigned v = row[x * 2] | row[x * 2 + 1] << 8;
        out[0] = static_cast<uint8_t>((v & 31) * 255 / 31);
        out[1] = static_cast<uint8_t>((v >> 5 & 31) * 255 / 31);
        out[2] = static_cast<uint8_t>((v >> 10 & 31) * 255 / 31);
        break;
    }
    case 24:
        std::memcpy(out, row + x * 3, 3);
        break;
    default:
        std::memcpy(out, row + x * 4, 3);
        break;
    }
    if (index >= 0) {
        if (index < colours)
            out[0] = palette[index].rgbBlue, out[1] = palette[index].rgbGreen, out[2] = palette[index].rgbRed;
        else
            out[0] = out[1] = out[2] = 0;
    }
    out[3] = 255;
}

void BitmapObject::pull()
{
    if (!dib)
        return;
    uint8_t* dst = pixels->pixels();
    int w = pixels->width(), h = pixels->height();
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = raw.data() + static_cast<size_t>(bottomUp ? h - 1 - y : y) * rowBytes;
        for (int x = 0; x < w; ++x)
            dibPixel(row, bpp, x, palette.data(), static_cast<int>(palette.size()),
                     dst + (static_cast<size_t>(y) * w + x) * 4);
    }
    pixels->changed();
}

void BitmapObject::push()
{
    // Drawing into a palette DIB would need colour matching; nothing draws into one.
    if (!dib || bpp < 24)
        return;
    const uint8_t* src = pixels->pixels();
    int w = pixels->width(), h = pixels->height();
    for (int y = 0; y < h; ++y) {
        uint8_t* row = raw.data() + static_cast<size_t>(bottomUp ? h - 1 - y : y) * rowBytes;
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = src + (static_cast<size_t>(y) * w + x) * 4;
            if (bpp == 24)
                std::memcpy(row + x * 3, p, 3);
            else
                std::memcpy(row + x * 4, p, 4);
        }
    }
}

std::shared_ptr<Bitmap> bitmapOf(HBITMAP handle)
{
    auto* bm = static_cast<BitmapObject*>(findObject(handle, OBJ_BITMAP));
    if (!bm)
        return nullptr;
    bm->pull();
    return bm->pixels;
}

HBITMAP createBitmapHandle(std::shared_ptr<Bitmap> bitmap)
{
    if (!bitmap)
        return nullptr;
    auto* bm = new BitmapObject;
    bm->pixels = std::move(bitmap);
    return static_cast<HBITMAP>(registerObject(bm));
}

} // namespace pictavo::platform

using namespace pictavo::platform;

HBITMAP CreateCompatibleBitmap(HDC, int width, int height)
{
    auto pixels = Bitmap::create(width, height, 0xFF000000);
    return pixels ? createBitmapHandle(std::move(pixels)) : nullptr;
}

HBITMAP CreateBitmap(int width, int height, UINT, UINT bitsPerPixel, const void* bits)
{
    auto pixels = Bitmap::create(width, height, 0xFF000000);
    if (!pixels)
        return nullptr;
    if (bits && bitsPerPixel == 32)
        std::memcpy(pixels->pixels(), bits, static_cast<size_t>(width) * height * 4);
    HBITMAP handle = createBitmapHandle(std::move(pixels));
    if (bitsPerPixel == 1)
        if (auto* b = static_cast<BitmapObject*>(findObject(handle, OBJ_BITMAP)))
            unpackMonochrome(*b, bits);
    return handle;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bits, HANDLE, DWORD)
{
    if (bits)
        *bits = nullptr;
    if (!info)
        return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    int bpp = h.biBitCount;
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN || h.biCompression != BI_RGB ||
        (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32))
        return nullptr;
    int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    auto pixels = Bitmap::create(h.biWidth, height, 0xFF000000);
    if (!pixels)
        return nullptr;
    auto* bm = new BitmapObject;
    bm->pixels = std::move(pixels);
    bm->dib = true;
    bm->bpp = bpp;
    bm->bottomUp = h.biHeight > 0;
    bm->rowBytes = static_cast<int>((static_cast<int64_t>(h.biWidth) * bpp + 31) / 32 * 4);
    bm->raw.assign(static_cast<size_t>(bm->rowBytes) * height, 0);
    if (bpp <= 8) {
        size_t n = h.biClrUsed ? std::min<size_t>(h.biClrUsed, size_t{1} << bpp) : size_t{1} << bpp;
        bm->palette.assign(info->bmiColors, info->bmiColors + n);
    }
    if (bits)
        *bits = bm->raw.data();
    return static_cast<HBITMAP>(registerObject(bm));
}
