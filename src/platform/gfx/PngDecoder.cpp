#include "platform/gfx/ImageDecoder.h"

#include <png.h>

namespace pictavo::platform {

bool decodePng(std::span<const uint8_t> data, const DecodeRequest& request, DecodedImage& out)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data.data(), data.size()))
        return false;
    if (request.headerOnly) {
        out.width = static_cast<int>(image.width);
        out.height = static_cast<int>(image.height);
        png_image_free(&image);
        return out.width > 0 && out.height > 0;
    }
    image.format = PNG_FORMAT_BGRA;
    if (image.width > INT32_MAX || image.height > INT32_MAX ||
        !allocatePixels(out, static_cast<int>(image.width), static_cast<int>(image.height))) {
        png_image_free(&image);
        return false;
    }
    if (!png_image_finish_read(&image, nullptr, out.pixels.data(), out.width * 4, nullptr)) {
        png_image_free(&image);
        return false;
    }
    return true;
}

} // namespace pictavo::platform
