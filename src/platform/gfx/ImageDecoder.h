#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace pictavo::platform {

enum class PictureFormat
{
    Unknown,
    Bmp,
    Jpeg,
    Png,
    Gif,
    Tiff
};

// Largest picture any decoder produces: 64 Mi pixels (256 MiB of ARGB) and 65535 per side.
// A hostile header cannot make us allocate more; larger pictures simply fail to decode.
// Fuzzing builds lower it so hostile headers cost milliseconds.
#ifdef PICTAVO_FUZZ_MAX_PIXELS
constexpr uint64_t kMaxDecodedPixels = PICTAVO_FUZZ_MAX_PIXELS;
#else
constexpr uint64_t kMaxDecodedPixels = uint64_t{1} << 26;
#endif
constexpr int kMaxDecodedSide = 65535;

bool withinDecodeBound(uint64_t width, uint64_t height);

// Straight-alpha pixels, bytes B, G, R, A, top-down rows of width * 4 bytes.
struct DecodedImage
{
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

// What to decode: the full picture, or (JPEG only) the smallest DCT scale whose result is
// still at least minWidth x minHeight. headerOnly fills width and height only.
struct DecodeRequest
{
    bool headerOnly = false;
    int minWidth = 0;
    int minHeight = 0;
};

PictureFormat sniffFormat(std::span<const uint8_t> data);
bool decodePicture(std::span<const uint8_t> data, const DecodeRequest& request, DecodedImage& out);

bool decodeJpeg(std::span<const uint8_t> data, const DecodeRequest& request, DecodedImage& out);
bool decodePng(std::span<const uint8_t> data, const DecodeRequest& request, DecodedImage& out);
bool decodeGif(std::span<const uint8_t> data, const DecodeRequest& request, DecodedImage& out);
bool decodeBmp(std::span<const uint8_t> data, const DecodeRequest& request, DecodedImage& out);
bool decodeTiff(std::span<const uint8_t> data, const DecodeRequest& request, DecodedImage& out);

// Allocates the pixel buffer after checking the bound; false when it is exceeded.
bool allocatePixels(DecodedImage& out, int width, int height);

} // namespace pictavo::platform
