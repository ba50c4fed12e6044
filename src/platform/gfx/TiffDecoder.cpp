#include "platform/gfx/ImageDecoder.h"

#include <algorithm>
#include <cstring>
#include <tiffio.h>

namespace pictavo::platform {
namespace {

struct Source
{
    std::span<const uint8_t> data;
    toff_t pos = 0;
};

tsize_t readProc(thandle_t h, tdata_t buf, tsize_t size)
{
    auto* s = static_cast<Source*>(h);
    if (size <= 0 || s->pos >= s->data.size())
        return 0;
    size_t n = std::min<size_t>(static_cast<size_t>(size), s->data.size() - s->pos);
    std::memcpy(buf, s->data.data() + s->pos, n);
    s->pos += n;
    return static_cast<tsize_t>(n);
}
tsize_t writeProc(thandle_t, tdata_t, tsize_t)
{
    return 0;
}
toff_t seekProc(thandle_t h, toff_t off, int whence)
{
    auto* s = static_cast<Source*>(h);
    toff_t base = whence == SEEK_CUR ? s->pos : whence == SEEK_END ? s->data.size() : 0;
    s->pos = base + off;
    return s->pos;
}
int closeProc(thandle_t)
{
    return 0;
}
toff_t sizeProc(thandle_t h)
{
    return static_cast<Source*>(h)->data.size();
}
int mapProc(thandle_t, tdata_t*, toff_t*)
{
    return 0;
}
void unmapProc(thandle_t, tdata_t, toff_t) {}
int quietHandler(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

} // namespace

bool decodeTiff(std::span<const uint8_t> data, const DecodeRequest& request, DecodedImage& out)
{
    Source src{data};
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, quietHandler, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, quietHandler, nullptr);
    // libtiff's own buffers (strips, tiles) are bounded like our pixels.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(kMaxDecodedPixels * 4));
    TIFF* tif = TIFFClientOpenExt("memory", "rm", &src, readProc, writeProc, seekProc, closeProc, sizeProc,
                                  mapProc, unmapProc, options);
    TIFFOpenOptionsFree(options);
    if (!tif)
        return false;
    uint32_t w = 0, h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    bool ok = w > 0 && h > 0 && withinDecodeBound(w, h);
    if (ok && request.headerOnly) {
        out.width = static_cast<int>(w);
        out.height = static_cast<int>(h);
    } else if (ok) {
        ok = allocatePixels(out, static_cast<int>(w), static_cast<int>(h));
        auto* raster = reinterpret_cast<uint32_t*>(out.pixels.data());
        ok = ok && TIFFReadRGBAImageOriented(tif, w, h, raster, ORIENTATION_TOPLEFT, 0) == 1;
        uint16_t extraCount = 0;
        uint16_t* extra = nullptr;
        // The RGBA reader premultiplies either kind of alpha and packs R in the low byte; we keep
        // B first and straight alpha.
        bool associated = TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) && extraCount > 0 &&
                          (extra[0] == EXTRASAMPLE_ASSOCALPHA || extra[0] == EXTRASAMPLE_UNASSALPHA);
        for (size_t i = 0; ok && i < size_t{w} * h; ++i) {
            uint32_t v = raster[i];
            uint8_t r = TIFFGetR(v), g = TIFFGetG(v), b = TIFFGetB(v), a = TIFFGetA(v);
            if (associated && a > 0 && a < 255) {
                r = static_cast<uint8_t>(std::min(255, r * 255 / a));
                g = static_cast<uint8_t>(std::min(255, g * 255 / a));
                b = static_cast<uint8_t>(std::min(255, b * 255 / a));
            }
            uint8_t* p = out.pixels.data() + i * 4;
            p[0] = b, p[1] = g, p[2] = r, p[3] = a;
        }
    }
    TIFFClose(tif);
    return ok;
}

} // namespace pictavo::platform
