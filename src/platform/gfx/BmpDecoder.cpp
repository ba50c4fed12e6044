#include "platform/gfx/ImageDecoder.h"

#include <array>
#include <bit>
#include <cstring>

namespace pictavo::platform {
namespace {

uint32_t le32(const uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

enum : uint32_t
{
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitfields = 3,
    kAlphaBitfields = 6
};

// Extracts a channel through its mask and widens it to 8 bits.
struct Channel
{
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    explicit Channel(uint32_t m = 0) : mask(m)
    {
        if (m) {
            shift = std::countr_zero(m);
            bits = std::popcount(m >> shift);
            if (bits > 8) {
                shift += bits - 8;
                bits = 8;
            }
        }
    }
    uint8_t get(uint32_t v) const
    {
        if (!mask)
            return 0;
        uint32_t c = (v & mask) >> shift & ((1u << bits) - 1);
        return bits >= 8 ? static_cast<uint8_t>(c) : static_cast<uint8_t>(c * 255 / ((1u << bits) - 1));
    }
};

struct Header
{
    int width = 0;
    int height = 0;
    bool topDown = false;
    int bpp = 0;
    uint32_t compression = kRgb;
    Channel r, g, b, a;
    std::array<uint8_t, 1024> palette{};
    int colours = 0;
    size_t pixelOffset = 0;
};

bool readHeader(std::span<const uint8_t> d, Header& h)
{
    if (d.size() < 26 || d[0] != 'B' || d[1] != 'M')
        return false;
    uint32_t infoSize = le32(&d[14]);
    if (infoSize < 12 || infoSize > d.size() - 14)
        return false;
    const uint8_t* info = &d[14];
    int64_t w, hgt;
    if (infoSize == 12) {
        w = le16(info + 4);
        hgt = static_cast<int16_t>(le16(info + 6));
        h.bpp = le16(info + 10);
    } else {
        if (infoSize < 40)
            return false;
        w = static_cast<int32_t>(le32(info + 4));
        hgt = static_cast<int32_t>(le32(info + 8));
        h.bpp = le16(info + 14);
        h.compression = le32(info + 16);
        h.colours = static_cast<int>(std::min<uint32_t>(le32(info + 32), 256));
    }
    h.topDown = hgt < 0;
    if (hgt < 0)
        hgt = -hgt;
    if (w <= 0 || hgt <= 0 || w > kMaxDecodedSide || hgt > kMaxDecodedSide)
        return false;
    h.width = static_cast<int>(w);
    h.height = static_cast<int>(hgt);
    size_t after = 14 + infoSize;
    if (h.compression == kBitfields || h.compression == kAlphaBitfields) {
        if (h.bpp != 16 && h.bpp != 32)
            return false;
        const uint8_t* masks = info + 40;
        if (infoSize == 40) {
            size_t n = h.compression == kAlphaBitfields ? 16 : 12;
            if (d.size() < after + n)
                return false;
            masks = &d[after];
            after += n;
        }
        h.r = Channel(le32(masks));
        h.g = Channel(le32(masks + 4));
        h.b = Channel(le32(masks + 8));
        if (h.compression == kAlphaBitfields || infoSize >= 56)
            h.a = Channel(le32(masks + 12));
    } else if (h.compression == kRgb) {
        if (h.bpp == 16) {
            h.r = Channel(0x7C00), h.g = Channel(0x03E0), h.b = Channel(0x001F);
        } else if (h.bpp == 32 || h.bpp == 24) {
            h.r = Channel(0xFF0000), h.g = Channel(0xFF00), h.b = Channel(0xFF);
        } else if (h.bpp != 1 && h.bpp != 4 && h.bpp != 8) {
            return false;
        }
    } else if (!((h.compression == kRle8 && h.bpp == 8) || (h.compression == kRle4 && h.bpp == 4))) {
        return false;
    }
    if (h.bpp <= 8) {
        if (h.colours == 0)
            h.colours = 1 << h.bpp;
        size_t entry = infoSize == 12 ? 3 : 4;
        size_t n = std::min<size_t>(h.colours, (d.size() - after) / entry);
        for (size_t i = 0; i < n; ++i)
            std::memcpy(&h.palette[i * 4], &d[after + i * entry], 3);
        h.colours = static_cast<int>(n);
        after += n * entry;
    }
    uint32_t offset = le32(&d[10]);
    h.pixelOffset = offset >= after && offset < d.size() ? offset : after;
    return true;
}

void putIndex(const Header& h, uint8_t* p, int index)
{
    if (index < h.colours)
        std::memcpy(p, &h.palette[index * 4], 3);
    p[3] = 255;
}

bool decodeRle(std::span<const uint8_t> d, const Header& h, DecodedImage& out)
{
    // Skipped pixels keep the opaque black of the cleared picture.
    for (size_t i = 3; i < out.pixels.size(); i += 4)
        out.pixels[i] = 255;
    size_t pos = h.pixelOffset;
    int x = 0, y = 0;
    auto put = [&](int index) {
        if (x < h.width && y < h.height) {
            int row = h.topDown ? y : h.height - 1 - y;
            putIndex(h, &out.pixels[(static_cast<size_t>(row) * h.width + x) * 4], index);
        }
        ++x;
    };
    const bool four = h.compression == kRle4;
    while (pos + 1 < d.size() && y < h.height) {
        int count = d[pos], value = d[pos + 1];
        pos += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                put(four ? (i & 1 ? value & 15 : value >> 4) : value);
        } else if (value == 0) {
            x = 0, ++y;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (pos + 1 >= d.size())
                break;
            x += d[pos], y += d[pos + 1];
            pos += 2;
        } else {
            size_t bytes = four ? (value + 1) / 2 : value;
            if (pos + bytes > d.size())
                break;
            for (int i = 0; i < value; ++i)
                put(four ? (i & 1 ? d[pos + i / 2] & 15 : d[pos + i / 2] >> 4) : d[pos + i]);
            pos += (bytes + 1) & ~size_t{1};
        }
    }
    return true;
}

} // namespace

bool decodeBmp(std::span<const uint8_t> d, const DecodeRequest& request, DecodedImage& out)
{
    Header h;
    if (!readHeader(d, h))
        return false;
    if (request.headerOnly) {
        out.width = h.width;
        out.height = h.height;
        return true;
    }
    if (!allocatePixels(out, h.width, h.height))
        return false;
    if (h.compression == kRle8 || h.compression == kRle4)
        return decodeRle(d, h, out);
    const size_t stride = (static_cast<size_t>(h.width) * h.bpp + 31) / 32 * 4;
    if (d.size() - h.pixelOffset < stride * h.height)
        return false;
    for (int y = 0; y < h.height; ++y) {
        const uint8_t* src = &d[h.pixelOffset + stride * (h.topDown ? y : h.height - 1 - y)];
        uint8_t* dst = &out.pixels[static_cast<size_t>(y) * h.width * 4];
        for (int x = 0; x < h.width; ++x, dst += 4) {
            switch (h.bpp) {
            case 1:
                putIndex(h, dst, src[x >> 3] >> (7 - (x & 7)) & 1);
                break;
            case 4:
                putIndex(h, dst, x & 1 ? src[x >> 1] & 15 : src[x >> 1] >> 4);
                break;
            case 8:
                putIndex(h, dst, src[x]);
                break;
            default: {
                uint32_t v = h.bpp == 16   ? le16(src + x * 2)
                             : h.bpp == 24 ? uint32_t{src[x * 3]} | src[x * 3 + 1] << 8 | src[x * 3 + 2] << 16
                                           : le32(src + x * 4);
                dst[0] = h.b.get(v), dst[1] = h.g.get(v), dst[2] = h.r.get(v);
                dst[3] = h.a.mask ? h.a.get(v) : 255;
            }
            }
        }
    }
    return true;
}

} // namespace pictavo::platform
