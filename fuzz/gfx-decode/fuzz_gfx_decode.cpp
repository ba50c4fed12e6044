// Probes, decodes and thumbnails arbitrary bytes as one format.
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/ImageDecoder.h"

#include <cstddef>
#include <cstdint>

using namespace pictavo::platform;

#if defined(FUZZ_FORMAT_jpeg)
#define DECODE decodeJpeg
#elif defined(FUZZ_FORMAT_png)
#define DECODE decodePng
#elif defined(FUZZ_FORMAT_gif)
#define DECODE decodeGif
#elif defined(FUZZ_FORMAT_bmp)
#define DECODE decodeBmp
#else
#define DECODE decodeTiff
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 2 * 1024 * 1024)
        return 0;
    std::span<const uint8_t> bytes(data, size);
    DecodedImage header;
    if (!DECODE(bytes, DecodeRequest{.headerOnly = true}, header))
        return 0;
    DecodedImage full;
    if (DECODE(bytes, DecodeRequest{}, full) && full.pixels.size() != size_t(full.width) * full.height * 4)
        __builtin_trap();
    DecodedImage scaled;
    DECODE(bytes, DecodeRequest{.minWidth = 16, .minHeight = 16}, scaled);
    if (auto bitmap = Bitmap::fromMemory(std::vector<uint8_t>(data, data + size)))
        bitmap->thumbnail(24, 18);
    return 0;
}
