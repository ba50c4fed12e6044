#include "platform/gfx/ImageDecoder.h"

#include <cstring>
#include <new>

namespace pictavo::platform {

bool withinDecodeBound(uint64_t width, uint64_t height)
{
    return width > 0 && height > 0 && width <= kMaxDecodedSide && height <= kMaxDecodedSide &&
           width * height <= kMaxDecodedPixels;
}

bool allocatePixels(DecodedImage& out, int width, int height)
{
    if (width <= 0 || height <= 0 || !withinDecodeBound(width, height))
        return false;
    try {
        out.pixels.assign(static_cast<size_t>(width) * height * 4, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    out.width = width;
    out.height = height;
    return true;
}

PictureFormat sniffFormat(std::span<const uint8_t> d)
{
    auto starts = [&](const char* magic, size_t n) {
        return d.size() >= n && std::memcmp(d.data(), magic, n) == 0;
    };
    if (starts("\xFF\xD8\xFF", 3))
        return PictureFormat::Jpeg;
    if (starts("\x89PNG\r\n\x1A\n", 8))
        return PictureFormat::Png;
    if (starts("GIF87a", 6) || starts("GIF89a", 6))
        return PictureFormat::Gif;
    if (starts("BM", 2))
        return PictureFormat::Bmp;
    if (starts("II*\0", 4) || starts("MM\0*", 4))
        return PictureFormat::Tiff;
    return PictureFormat::Unknown;
}

bool decodePicture(std::span<const uint8_t> data, const DecodeRequest& request, DecodedImage& out)
{
    out = DecodedImage{};
    bool ok = false;
    switch (sniffFormat(data)) {
    case PictureFormat::Jpeg:
        ok = decodeJpeg(data, request, out);
        break;
    case PictureFormat::Png:
        ok = decodePng(data, request, out);
        break;
    case PictureFormat::Gif:
        ok = decodeGif(data, request, out);
        break;
    case PictureFormat::Bmp:
        ok = decodeBmp(data, request, out);
        break;
    case PictureFormat::Tiff:
        ok = decodeTiff(data, request, out);
        break;
    case PictureFormat::Unknown:
        break;
    }
    if (!ok)
        out = DecodedImage{};
    return ok;
}

} // namespace pictavo::platform
