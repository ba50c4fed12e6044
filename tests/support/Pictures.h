#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/gfx/GdiPlus.h"

namespace pictavo::test {

// A 32-bit ARGB bitmap whose pixel (x, y) is pixel(x, y); null when it cannot be made.
template <class Pixel>
GpBitmap* filledBitmap(int w, int h, Pixel pixel)
{
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromScan0(w, h, 0, PixelFormat32bppARGB, nullptr, &bitmap) != Ok)
        return nullptr;
    GpRect all{0, 0, w, h};
    BitmapData data{};
    GdipBitmapLockBits(bitmap, &all, ImageLockModeWrite, PixelFormat32bppARGB, &data);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride);
        for (int x = 0; x < w; ++x)
            row[x] = pixel(x, y);
    }
    GdipBitmapUnlockBits(bitmap, &data);
    return bitmap;
}

} // namespace pictavo::test
