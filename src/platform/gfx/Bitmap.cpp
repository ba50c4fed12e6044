#include "platform/gfx/Bitmap.h"

#include "platform/gfx/BitmapSurface.h"

#include <cairo.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <new>

namespace pictavo::platform {

// Premultiplied, as Cairo draws from it.
struct Bitmap::DrawingCopy
{
    explicit DrawingCopy(cairo_surface_t* s) : surface(s) {}
    ~DrawingCopy() { cairo_surface_destroy(surface); }
    DrawingCopy(const DrawingCopy&) = delete;
    DrawingCopy& operator=(const DrawingCopy&) = delete;
    cairo_surface_t* surface;
};

Bitmap::Bitmap(int width, int height) : width_(width), height_(height) {}

Bitmap::~Bitmap() = default;

std::shared_ptr<Bitmap> Bitmap::create(int width, int height, uint32_t argb)
{
    if (width <= 0 || height <= 0 || !withinDecodeBound(width, height))
        return nullptr;
    std::shared_ptr<Bitmap> b(new Bitmap(width, height));
    try {
        b->pixels_.resize(static_cast<size_t>(width) * height * 4);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (argb == 0) {
        std::fill(b->pixels_.begin(), b->pixels_.end(), 0);
    } else {
        auto* p = reinterpret_cast<uint32_t*>(b->pixels_.data());
        std::fill(p, p + static_cast<size_t>(width) * height, argb);
    }
    b->decoded_ = true;
    return b;
}

std::shared_ptr<Bitmap> Bitmap::fromPixels(int width, int height, const uint8_t* bgra, int stride)
{
    auto b = create(width, height);
    if (!b || !bgra)
        return nullptr;
    for (int y = 0; y < height; ++y)
        std::memcpy(&b->pixels_[static_cast<size_t>(y) * width * 4],
                    bgra + static_cast<ptrdiff_t>(y) * stride, static_cast<size_t>(width) * 4);
    return b;
}

std::shared_ptr<Bitmap> Bitmap::fromMemory(std::vector<uint8_t> encoded)
{
    DecodedImage header;
    if (!decodePicture(encoded, DecodeRequest{.headerOnly = true}, header) ||
        !withinDecodeBound(header.width, header.height))
        return nullptr;
    std::shared_ptr<Bitmap> b(new Bitmap(header.width, header.height));
    b->format_ = sniffFormat(encoded);
    b->encoded_ = std::move(encoded);
    return b;
}

std::shared_ptr<Bitmap> Bitmap::fromFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return nullptr;
    // The header of every format we read sits in its first bytes, except TIFF's directory.
    std::vector<uint8_t> head(64 * 1024);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    PictureFormat format = sniffFormat(head);
    if (format == PictureFormat::Unknown)
        return nullptr;
    DecodedImage header;
    bool complete = in.eof();
    if (format == PictureFormat::Tiff || !decodePicture(head, DecodeRequest{.headerOnly = true}, header)) {
        if (complete)
            return nullptr;
        in.clear();
        in.seekg(0, std::ios::end);
        std::vector<uint8_t> all(static_cast<size_t>(in.tellg()));
        in.seekg(0);
        in.read(reinterpret_cast<char*>(all.data()), static_cast<std::streamsize>(all.size()));
        if (!decodePicture(all, DecodeRequest{.headerOnly = true}, header))
            return nullptr;
    }
    if (!withinDecodeBound(header.width, header.height))
        return nullptr;
    std::shared_ptr<Bitmap> b(new Bitmap(header.width, header.height));
    b->format_ = format;
    b->path_ = path;
    return b;
}

bool Bitmap::decoded() const
{
    std::lock_guard lock(mutex_);
    return decoded_;
}

bool Bitmap::readSource(std::vector<uint8_t>& bytes) const
{
    if (path_.empty()) {
        bytes = encoded_;
        return !bytes.empty();
    }
    std::ifstream in(path_, std::ios::binary | std::ios::ate);
    if (!in)
        return false;
    auto size = static_cast<size_t>(in.tellg());
    in.seekg(0);
    try {
        bytes.resize(size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return static_cast<bool>(
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)));
}

bool Bitmap::decodeLocked()
{
    if (decoded_)
        return true;
    if (failed_)
        return false;
    std::vector<uint8_t> bytes;
    DecodedImage image;
    // The file may have changed since we read its header; its size must not.
    if (!readSource(bytes) || !decodePicture(bytes, DecodeRequest{}, image) || image.width != width_ ||
        image.height != height_) {
        failed_ = true;
        return false;
    }
    pixels_ = std::move(image.pixels);
    decoded_ = true;
    encoded_ = {};
    return true;
}

uint8_t* Bitmap::pixels()
{
    std::lock_guard lock(mutex_);
    return decodeLocked() ? pixels_.data() : nullptr;
}

void Bitmap::changed()
{
    std::lock_guard lock(mutex_);
    drawingCopy_.reset();
}

std::shared_ptr<Bitmap> Bitmap::thumbnail(int width, int height)
{
    if (width <= 0 || height <= 0 || !withinDecodeBound(width, height))
        return nullptr;
    auto out = create(width, height);
    if (!out)
        return nullptr;
    std::lock_guard lock(mutex_);
    if (decoded_) {
        resampleArea(pixels_.data(), width_, height_, width_ * 4, out->pixels_.data(), width, height);
        return out;
    }
    // Not kept: a thumbnail must not leave the full picture in memory.
    std::vector<uint8_t> bytes;
    DecodedImage small;
    if (!readSource(bytes) ||
        !decodePicture(bytes, DecodeRequest{.minWidth = width, .minHeight = height}, small))
        return nullptr;
    resampleArea(small.pixels.data(), small.width, small.height, small.width * 4, out->pixels_.data(), width,
                 height);
    return out;
}

std::shared_ptr<Bitmap> Bitmap::copyArea(int x, int y, int width, int height)
{
    if (x < 0 || y < 0 || width <= 0 || height <= 0 || x > width_ - width || y > height_ - height)
        return nullptr;
    uint8_t* src = pixels();
    if (!src)
        return nullptr;
    return fromPixels(width, height, src + (static_cast<size_t>(y) * width_ + x) * 4, width_ * 4);
}

bool Bitmap::savePng(const std::string& path)
{
    cairo_surface_t* s = BitmapSurface::reference(*this);
    if (!s)
        return false;
    const bool written = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return written;
}

cairo_surface_t* BitmapSurface::reference(Bitmap& bitmap)
{
    std::lock_guard lock(bitmap.mutex_);
    if (bitmap.drawingCopy_)
        return cairo_surface_reference(bitmap.drawingCopy_->surface);
    if (!bitmap.decodeLocked())
        return nullptr;
    const int width = bitmap.width_, height = bitmap.height_;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    cairo_surface_flush(s);
    uint8_t* data = cairo_image_surface_get_data(s);
    int dstStride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = &bitmap.pixels_[static_cast<size_t>(y) * width * 4];
        uint8_t* dst = data + static_cast<ptrdiff_t>(y) * dstStride;
        for (int x = 0; x < width * 4; x += 4) {
            unsigned a = src[x + 3];
            if (a == 255) {
                std::memcpy(dst + x, src + x, 4);
            } else {
                dst[x] = static_cast<uint8_t>((src[x] * a + 127) / 255);
                dst[x + 1] = static_cast<uint8_t>((src[x + 1] * a + 127) / 255);
                dst[x + 2] = static_cast<uint8_t>((src[x + 2] * a + 127) / 255);
                dst[x + 3] = static_cast<uint8_t>(a);
            }
        }
    }
    cairo_surface_mark_dirty(s);
    bitmap.drawingCopy_ = std::make_unique<Bitmap::DrawingCopy>(s);
    return cairo_surface_reference(s);
}

namespace {

struct Tap
{
    int index;
    float weight;
};

// For each target pixel, the source pixels its footprint covers and how much of each.
std::vector<std::vector<Tap>> footprints(int srcSize, int dstSize)
{
    std::vector<std::vector<Tap>> taps(static_cast<size_t>(dstSize));
    const double scale = static_cast<double>(srcSize) / dstSize;
    for (int i = 0; i < dstSize; ++i) {
        double begin = i * scale, end = (i + 1) * scale;
        int first = static_cast<int>(begin), last = std::min(srcSize - 1, static_cast<int>(end - 1e-9));
        double total = end - begin;
        for (int s = first; s <= last; ++s) {
            double covered = std::min<double>(end, s + 1) - std::max<double>(begin, s);
            if (covered > 0)
                taps[i].push_back({s, static_cast<float>(covered / total)});
        }
    }
    return taps;
}

} // namespace

void resampleArea(const uint8_t* src, int sw, int sh, int srcStride, uint8_t* dst, int dw, int dh)
{
    auto xt = footprints(sw, dw);
    auto yt = footprints(sh, dh);
    // Horizontal pass into premultiplied floats, one row of the source at a time.
    std::vector<float> rows(static_cast<size_t>(dw) * sh * 4);
    for (int y = 0; y < sh; ++y) {
        const uint8_t* s = src + static_cast<ptrdiff_t>(y) * srcStride;
        float* r = &rows[static_cast<size_t>(y) * dw * 4];
        for (int x = 0; x < dw; ++x) {
            float b = 0, g = 0, red = 0, a = 0;
            for (const Tap& t : xt[x]) {
                const uint8_t* p = s + t.index * 4;
                float wa = t.weight * p[3];
                b += p[0] * wa, g += p[1] * wa, red += p[2] * wa, a += wa;
            }
            r[x * 4] = b, r[x * 4 + 1] = g, r[x * 4 + 2] = red, r[x * 4 + 3] = a;
        }
    }
    for (int y = 0; y < dh; ++y) {
        uint8_t* d = dst + static_cast<size_t>(y) * dw * 4;
        for (int x = 0; x < dw; ++x) {
            float b = 0, g = 0, red = 0, a = 0;
            for (const Tap& t : yt[y]) {
                const float* p = &rows[(static_cast<size_t>(t.index) * dw + x) * 4];
                b += p[0] * t.weight, g += p[1] * t.weight, red += p[2] * t.weight, a += p[3] * t.weight;
            }
            uint8_t* o = d + x * 4;
            if (a <= 0.0f) {
                std::memset(o, 0, 4);
                continue;
            }
            o[0] = static_cast<uint8_t>(std::min(255.0f, b / a + 0.5f));
            o[1] = static_cast<uint8_t>(std::min(255.0f, g / a + 0.5f));
            o[2] = static_cast<uint8_t>(std::min(255.0f, red / a + 0.5f));
            o[3] = static_cast<uint8_t>(std::min(255.0f, a + 0.5f));
        }
    }
}

} // namespace pictavo::platform
