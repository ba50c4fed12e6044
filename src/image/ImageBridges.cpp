#include "image/ImageBridges.h"

#include <algorithm>

GpStatus CopyBitmapInto(GpBitmap* bitmap, CxImage& image)
{
    GpStatus last = Ok;
    auto note = [&](GpStatus s) {
        if (s != Ok)
            last = s;
    };
    UINT width = 0, height = 0;
    note(GdipGetImageWidth(bitmap, &width));
    note(GdipGetImageHeight(bitmap, &height));
    GpRect rect{0, 0, static_cast<INT>(width), static_cast<INT>(height)};
    BitmapData data{};
    GpStatus locked = GdipBitmapLockBits(bitmap, &rect, ImageLockModeRead, PixelFormat32bppARGB, &data);
    note(locked);
    if (!image.CreateFromPixels(locked == Ok ? static_cast<const BYTE*>(data.Scan0) : nullptr, width, height,
                                32, width * 4, true))
        image.Destroy();
    if (locked == Ok)
        note(GdipBitmapUnlockBits(bitmap, &data));
    return last;
}

CxImage* ImageFromBitmap(GpBitmap* bitmap)
{
    auto* image = new CxImage;
    CopyBitmapInto(bitmap, *image);
    return image;
}

float FitSize(LONG width, LONG height, LONG boxWidth, LONG boxHeight, SIZE* out)
{
    SIZE size{width, height};
    float factor = 1.0f;
    if (!((width < boxWidth && height < boxHeight) || (width == boxWidth && height == boxHeight))) {
        const float longer = static_cast<float>(std::max(width, height));
        // The factor is a single-precision value; the products are taken in double and truncated.
        factor = static_cast<float>(static_cast<double>(height > width ? boxHeight : boxWidth) / longer);
        size.cx = static_cast<LONG>(static_cast<double>(factor) * width);
        size.cy = static_cast<LONG>(static_cast<double>(factor) * height);
    }
    if (out)
        *out = size;
    return factor;
}

GpImage* MakeFittedBitmap(LONG width, LONG height, LONG boxWidth, LONG boxHeight, GpBitmap* bitmap)
{
    if (!bitmap)
        return nullptr;
    SIZE size{};
    if (FitSize(width, height, boxWidth, boxHeight, &size) == 1.0f)
        return CloneBitmap(bitmap);
    // A sliver of a picture still gets a thumbnail one pixel thick.
    const UINT w = static_cast<UINT>(std::max<LONG>(1, size.cx));
    const UINT h = static_cast<UINT>(std::max<LONG>(1, size.cy));
    GpImage* thumbnail = nullptr;
    if (GdipGetImageThumbnail(bitmap, w, h, &thumbnail, nullptr, nullptr) != Ok)
        return nullptr;
    return thumbnail;
}

GpBitmap* CloneBitmap(GpBitmap* bitmap)
{
    UINT width = 0, height = 0;
    if (GdipGetImageWidth(bitmap, &width) != Ok || GdipGetImageHeight(bitmap, &height) != Ok)
        return nullptr;
    GpBitmap* clone = nullptr;
    GdipCloneBitmapAreaI(0, 0, static_cast<INT>(width), static_cast<INT>(height), PixelFormat32bppARGB,
                         bitmap, &clone);
    return clone;
}

GpBitmap* BitmapFromImage(const CxImage& image)
{
    HBITMAP hbm = image.ToHBitmap(nullptr);
    if (!hbm)
        return nullptr;
    GpBitmap* bitmap = nullptr;
    GdipCreateBitmapFromHBITMAP(hbm, nullptr, &bitmap);
    // GDI+ keeps its own copy of the pixels.
    DeleteObject(hbm);
    return bitmap;
}
