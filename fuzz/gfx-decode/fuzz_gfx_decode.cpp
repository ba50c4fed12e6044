// Probes, decodes and thumbnails arbitrary bytes as one format.
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/ImageDecoder.h"

#include <cstddef>
#include <cstdint>
#include <vector>
#include <zlib.h>

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

#if defined(FUZZ_FORMAT_png)
// Mutations would otherwise die at libpng's chunk checksums; make them right again.
static std::vector<uint8_t> fixChecksums(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> b(data, data + size);
    for (size_t at = 8; at + 12 <= b.size();) {
        size_t length = size_t{b[at]} << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
        if (length > b.size() - at - 12)
            break;
        uLong crc = crc32(0, b.data() + at + 4, static_cast<uInt>(length + 4));
        uint8_t* out = b.data() + at + 8 + length;
        out[0] = crc >> 24 & 255, out[1] = crc >> 16 & 255, out[2] = crc >> 8 & 255, out[3] = crc & 255;
        at += length + 12;
    }
    return b;
}
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size)
{
    if (size > 2 * 1024 * 1024)
        return 0;
#if defined(FUZZ_FORMAT_png)
    std::vector<uint8_t> fixed = fixChecksums(input, size);
    const uint8_t* data = fixed.data();
#else
    const uint8_t* data = input;
#endif
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
