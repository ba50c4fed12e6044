#include "platform/gfx/GdiPlus.h"

#include "platform/com/Resource.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/GdiObjects.h"
#include "platform/kernel/Strings.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace pictavo::platform;

struct GpGraphics
{
    std::unique_ptr<Canvas> owned;
    Canvas* canvas = nullptr;
    Interpolation interpolation = Interpolation::Smooth;
    bool clipped = false;
    RECT clip{};
    HDC dc = nullptr;
};
struct GpCachedBitmap
{
    std::shared_ptr<Bitmap> bitmap;
};
struct GpPen
{
    ARGB colour = 0;
    REAL width = 1;
};
struct GpFontFamily
{
    std::u16string name;
};
struct GpFont
{
    FontSpec desc;
};
struct GpStringFormat
{
    INT flags = 0;
    StringAlignment align = StringAlignmentNear;
    StringAlignment lineAlign = StringAlignmentNear;
    StringTrimming trimming = StringTrimmingCharacter;
};

namespace pictavo::platform {

GpBitmap* createGpBitmap(std::shared_ptr<Bitmap> bitmap)
{
    if (!bitmap)
        return nullptr;
    auto* b = new GpBitmap;
    b->bitmap = std::move(bitmap);
    return b;
}

std::shared_ptr<Bitmap> bitmapOf(GpImage* image)
{
    return image ? image->bitmap : nullptr;
}

} // namespace pictavo::platform

namespace {

GpStatus fromBitmap(std::shared_ptr<Bitmap> bitmap, GpBitmap** out, GpStatus failure)
{
    *out = createGpBitmap(std::move(bitmap));
    return *out ? Ok : failure;
}

// Rectangles from callers may sit anywhere; keep the arithmetic inside int.
RECT rectOf(int64_t x, int64_t y, int64_t w, int64_t h)
{
    auto c = [](int64_t v) {
        return static_cast<LONG>(std::clamp<int64_t>(v, -(int64_t{1} << 30), int64_t{1} << 30));
    };
    return RECT{c(x), c(y), c(x + w), c(y + h)};
}

// Runs one drawing call with the graphics object's own clip on top of the canvas's.
template <class Draw> GpStatus drawOn(GpGraphics* graphics, Draw draw)
{
    Canvas& c = *graphics->canvas;
    c.save();
    if (graphics->clipped)
        c.intersectClip(graphics->clip);
    draw(c);
    c.restore(-1);
    return Ok;
}

void makeOpaque(Bitmap& b)
{
    uint8_t* p = b.pixels();
    for (size_t i = 3; p && i < static_cast<size_t>(b.width()) * b.height() * 4; i += 4)
        p[i] = 255;
    b.changed();
}

} // namespace

GpStatus GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, void*)
{
    if (!token || !input)
        return InvalidParameter;
    *token = 1;
    return Ok;
}

void GdiplusShutdown(ULONG_PTR) {}

GpStatus GdipCreateBitmapFromFile(LPCWSTR path, GpBitmap** bitmap)
{
    if (!path || !bitmap)
        return InvalidParameter;
    *bitmap = nullptr;
    std::string file = toUtf8(path);
    FILE* probe = std::fopen(file.c_str(), "rb");
    if (!probe)
        return FileNotFound;
    std::fclose(probe);
    return fromBitmap(Bitmap::fromFile(file), bitmap, UnknownImageFormat);
}

GpStatus GdipLoadImageFromFile(LPCWSTR path, GpImage** image)
{
    GpBitmap* b = nullptr;
    GpStatus s = GdipCreateBitmapFromFile(path, &b);
    if (image)
        *image = b;
    return s;
}

GpStatus GdipCreateBitmapFromStream(IStream* stream, GpBitmap** bitmap)
{
    if (!stream || !bitmap)
        return InvalidParameter;
    *bitmap = nullptr;
    // An encoded picture larger than this could not decode within the pixel bound anyway.
    constexpr size_t kMaxEncoded = size_t{512} << 20;
    std::vector<uint8_t> bytes;
    uint8_t chunk[64 * 1024];
    for (;;) {
        ULONG read = 0;
        HRESULT hr = stream->Read(chunk, sizeof chunk, &read);
        if (hr < 0)
            return Win32Error;
        if (bytes.size() + read > kMaxEncoded)
            return OutOfMemory;
        bytes.insert(bytes.end(), chunk, chunk + read);
        if (read < sizeof chunk)
            break;
    }
    return fromBitmap(Bitmap::fromMemory(std::move(bytes)), bitmap, UnknownImageFormat);
}

// Pictures among the module's resources are stored as type "PNG"; a bitmap resource also works.
GpStatus GdipCreateBitmapFromResource(HINSTANCE module, LPCWSTR name, GpBitmap** bitmap)
{
    if (!bitmap)
        return InvalidParameter;
    *bitmap = nullptr;
    HRSRC res = FindResourceW(module, name, u"PNG");
    if (!res)
        res = FindResourceW(module, name, RT_BITMAP);
    if (!res)
        return Win32Error;
    HGLOBAL data = LoadResource(module, res);
    auto* bytes = static_cast<const uint8_t*>(LockResource(data));
    DWORD size = SizeofResource(module, res);
    if (!bytes || !size)
        return Win32Error;
    return fromBitmap(Bitmap::fromMemory(std::vector<uint8_t>(bytes, bytes + size)), bitmap,
                      UnknownImageFormat);
}

GpStatus GdipCreateBitmapFromScan0(INT width, INT height, INT stride, PixelFormat format, BYTE* scan0,
                                   GpBitmap** bitmap)
{
    if (!bitmap || width <= 0 || height <= 0)
        return InvalidParameter;
    *bitmap = nullptr;
    if (format != PixelFormat32bppARGB && format != PixelFormat32bppRGB && format != PixelFormat24bppRGB)
        return NotImplemented;
    auto b = Bitmap::create(width, height, format == PixelFormat32bppARGB ? 0 : 0xFF000000);
    if (!b)
        return OutOfMemory;
    if (scan0) {
        uint8_t* dst = b->pixels();
        for (int y = 0; y < height; ++y) {
            const BYTE* row = scan0 + static_cast<ptrdiff_t>(y) * stride;
            for (int x = 0; x < width; ++x) {
                uint8_t* p = dst + (static_cast<size_t>(y) * width + x) * 4;
                if (format == PixelFormat24bppRGB) {
                    std::memcpy(p, row + x * 3, 3);
                    p[3] = 255;
                } else {
                    std::memcpy(p, row + x * 4, 4);
                    if (format == PixelFormat32bppRGB)
                        p[3] = 255;
                }
            }
        }
    }
    GpStatus s = fromBitmap(std::move(b), bitmap, OutOfMemory);
    if (s == Ok)
        (*bitmap)->format = format;
    return s;
}

GpStatus GdipCreateBitmapFromHBITMAP(HBITMAP hbm, HPALETTE, GpBitmap** bitmap)
{
    if (!bitmap)
        return InvalidParameter;
    *bitmap = nullptr;
    auto source = pictavo::platform::bitmapOf(hbm);
    if (!source)
        return InvalidParameter;
    auto copy = source->copyArea(0, 0, source->width(), source->height());
    if (!copy)
        return OutOfMemory;
    // GDI bitmaps carry no alpha: the copy is opaque.
    makeOpaque(*copy);
    GpStatus s = fromBitmap(std::move(copy), bitmap, OutOfMemory);
    if (s == Ok)
        (*bitmap)->format = PixelFormat24bppRGB;
    return s;
}

GpStatus GdipCreateHBITMAPFromBitmap(GpBitmap* bitmap, HBITMAP* hbm, ARGB background)
{
    if (!bitmap || !hbm)
        return InvalidParameter;
    auto b = Bitmap::create(bitmap->bitmap->width(), bitmap->bitmap->height(), background | 0xFF000000);
    if (!b)
        return OutOfMemory;
    Canvas canvas(b);
    canvas.drawImage(*bitmap->bitmap, 0, 0, b->width(), b->height(), 0, 0, b->width(), b->height(),
                     Interpolation::Nearest);
    *hbm = createBitmapHandle(std::move(b));
    return *hbm ? Ok : OutOfMemory;
}

GpStatus GdipDisposeImage(GpImage* image)
{
    if (!image)
        return InvalidParameter;
    delete static_cast<GpBitmap*>(image);
    return Ok;
}

GpStatus GdipCloneImage(GpImage* image, GpImage** clone)
{
    if (!image || !clone)
        return InvalidParameter;
    auto* copy = new GpBitmap;
    copy->bitmap = image->bitmap;
    copy->format = image->format;
    *clone = copy;
    return Ok;
}

GpStatus GdipGetImageWidth(GpImage* image, UINT* width)
{
    if (!image || !width)
        return InvalidParameter;
    *width = static_cast<UINT>(image->bitmap->width());
    return Ok;
}

GpStatus GdipGetImageHeight(GpImage* image, UINT* height)
{
    if (!image || !height)
        return InvalidParameter;
    *height = static_cast<UINT>(image->bitmap->height());
    return Ok;
}

GpStatus GdipGetImagePixelFormat(GpImage* image, PixelFormat* format)
{
    if (!image || !format)
        return InvalidParameter;
    *format = image->format;
    return Ok;
}

GpStatus GdipImageGetFrameDimensionsCount(GpImage* image, UINT* count)
{
    if (!image || !count)
        return InvalidParameter;
    *count = 1;
    return Ok;
}

GpStatus GdipGetImageThumbnail(GpImage* image, UINT width, UINT height, GpImage** thumbnail,
                               GetThumbnailImageAbort, void*)
{
    if (!image || !thumbnail)
        return InvalidParameter;
    *thumbnail = nullptr;
    // The documented default size when none is asked for.
    if (width == 0 && height == 0)
        width = height = 120;
    width = std::max(1u, width);
    height = std::max(1u, height);
    if (width > static_cast<UINT>(kMaxDecodedSide) || height > static_cast<UINT>(kMaxDecodedSide))
        return OutOfMemory;
    auto thumb = image->bitmap->thumbnail(static_cast<int>(width), static_cast<int>(height));
    if (!thumb)
        return withinDecodeBound(width, height) ? GenericError : OutOfMemory;
    *thumbnail = createGpBitmap(std::move(thumb));
    return Ok;
}

GpStatus GdipCloneBitmapAreaI(INT x, INT y, INT width, INT height, PixelFormat format, GpBitmap* source,
                              GpBitmap** clone)
{
    if (!source || !clone)
        return InvalidParameter;
    *clone = nullptr;
    auto copy = source->bitmap->copyArea(x, y, width, height);
    if (!copy)
        return source->bitmap->pixels() ? InvalidParameter : OutOfMemory;
    if (format != PixelFormat32bppARGB && format != PixelFormat32bppPARGB)
        makeOpaque(*copy);
    GpStatus s = fromBitmap(std::move(copy), clone, OutOfMemory);
    if (s == Ok)
        (*clone)->format = format;
    return s;
}

GpStatus GdipBitmapLockBits(GpBitmap* bitmap, const GpRect* rect, UINT flags, PixelFormat format,
                            BitmapData* data)
{
    if (!bitmap || !data)
        return InvalidParameter;
    if (bitmap->locked)
        return WrongState;
    const int bw = bitmap->bitmap->width(), bh = bitmap->bitmap->height();
    GpRect r = rect ? *rect : GpRect{0, 0, bw, bh};
    if (r.X < 0 || r.Y < 0 || r.Width <= 0 || r.Height <= 0 || r.X > bw - r.Width || r.Y > bh - r.Height)
        return InvalidParameter;
    if (format != PixelFormat32bppARGB && format != PixelFormat32bppRGB && format != PixelFormat24bppRGB)
        return NotImplemented;
    uint8_t* pixels = bitmap->bitmap->pixels();
    if (!pixels)
        return OutOfMemory;
    data->Width = static_cast<UINT>(r.Width);
    data->Height = static_cast<UINT>(r.Height);
    data->PixelFormat = format;
    data->Reserved = 0;
    if (flags & ImageLockModeUserInputBuf) {
        if (!data->Scan0)
            return InvalidParameter;
    } else if (format == PixelFormat32bppARGB) {
        data->Stride = bw * 4;
        data->Scan0 = pixels + (static_cast<size_t>(r.Y) * bw + r.X) * 4;
    } else {
        data->Stride = static_cast<INT>(
            (static_cast<size_t>(r.Width) * (format == PixelFormat24bppRGB ? 3 : 4) + 3) & ~size_t{3});
        bitmap->lockBuffer.assign(static_cast<size_t>(data->Stride) * r.Height, 0);
        data->Scan0 = bitmap->lockBuffer.data();
    }
    // Copy out unless the caller reads our own pixels in place.
    if (data->Scan0 < pixels || data->Scan0 >= pixels + static_cast<size_t>(bw) * bh * 4) {
        if (flags & ImageLockModeRead) {
            for (int y = 0; y < r.Height; ++y) {
                const uint8_t* src = pixels + (static_cast<size_t>(r.Y + y) * bw + r.X) * 4;
                auto* dst = static_cast<uint8_t*>(data->Scan0) + static_cast<ptrdiff_t>(y) * data->Stride;
                for (int x = 0; x < r.Width; ++x) {
                    if (format == PixelFormat24bppRGB) {
                        std::memcpy(dst + x * 3, src + x * 4, 3);
                    } else {
                        std::memcpy(dst + x * 4, src + x * 4, 4);
                        if (format == PixelFormat32bppRGB)
                            dst[x * 4 + 3] = 255;
                    }
                }
            }
        }
    }
    bitmap->locked = true;
    bitmap->lockFlags = flags;
    bitmap->lockRect = r;
    return Ok;
}

GpStatus GdipBitmapUnlockBits(GpBitmap* bitmap, BitmapData* data)
{
    if (!bitmap || !data)
        return InvalidParameter;
    if (!bitmap->locked)
        return WrongState;
    bitmap->locked = false;
    uint8_t* pixels = bitmap->bitmap->pixels();
    const int bw = bitmap->bitmap->width();
    const GpRect& r = bitmap->lockRect;
    bool inPlace = data->Scan0 >= pixels &&
                   data->Scan0 < pixels + static_cast<size_t>(bw) * bitmap->bitmap->height() * 4;
    if ((bitmap->lockFlags & ImageLockModeWrite) && !inPlace) {
        for (int y = 0; y < r.Height; ++y) {
            uint8_t* dst = pixels + (static_cast<size_t>(r.Y + y) * bw + r.X) * 4;
            const auto* src =
                static_cast<const uint8_t*>(data->Scan0) + static_cast<ptrdiff_t>(y) * data->Stride;
            for (int x = 0; x < r.Width; ++x) {
                if (data->PixelFormat == PixelFormat24bppRGB) {
                    std::memcpy(dst + x * 4, src + x * 3, 3);
                    dst[x * 4 + 3] = 255;
                } else {
                    std::memcpy(dst + x * 4, src + x * 4, 4);
                    if (data->PixelFormat == PixelFormat32bppRGB)
                        dst[x * 4 + 3] = 255;
                }
            }
        }
    }
    if (bitmap->lockFlags & ImageLockModeWrite)
        bitmap->bitmap->changed();
    bitmap->lockBuffer = {};
    return Ok;
}

GpStatus GdipCreateFromHDC(HDC dc, GpGraphics** graphics)
{
    if (!graphics)
        return InvalidParameter;
    Canvas* canvas = canvasOf(dc);
    if (!canvas)
        return InvalidParameter;
    *graphics = new GpGraphics;
    (*graphics)->canvas = canvas;
    return Ok;
}

GpStatus GdipGetImageGraphicsContext(GpImage* image, GpGraphics** graphics)
{
    if (!image || !graphics)
        return InvalidParameter;
    if (!image->bitmap->pixels())
        return OutOfMemory;
    auto* g = new GpGraphics;
    g->owned = std::make_unique<Canvas>(image->bitmap);
    g->canvas = g->owned.get();
    *graphics = g;
    return Ok;
}

GpStatus GdipDeleteGraphics(GpGraphics* graphics)
{
    if (!graphics)
        return InvalidParameter;
    if (graphics->dc)
        DeleteDC(graphics->dc);
    delete graphics;
    return Ok;
}

GpStatus GdipSetInterpolationMode(GpGraphics* graphics, InterpolationMode mode)
{
    if (!graphics)
        return InvalidParameter;
    graphics->interpolation =
        mode == InterpolationModeNearestNeighbor ? Interpolation::Nearest : Interpolation::Smooth;
    return Ok;
}

GpStatus GdipGraphicsClear(GpGraphics* graphics, ARGB colour)
{
    if (!graphics)
        return InvalidParameter;
    Canvas& c = *graphics->canvas;
    auto b = Bitmap::create(1, 1, colour);
    if (!b)
        return OutOfMemory;
    return drawOn(graphics, [&](Canvas& canvas) {
        canvas.drawImage(*b, 0, 0, c.width(), c.height(), 0, 0, 1, 1, Interpolation::Nearest, false);
    });
}

GpStatus GdipDrawImageRectRectI(GpGraphics* graphics, GpImage* image, INT x, INT y, INT width, INT height,
                                INT sx, INT sy, INT sw, INT sh, GpUnit unit, const GpImageAttributes*,
                                DrawImageAbort, void*)
{
    if (!graphics || !image || (unit != UnitPixel && unit != UnitWorld))
        return InvalidParameter;
    if (!image->bitmap->pixels())
        return OutOfMemory;
    return drawOn(graphics, [&](Canvas& c) {
        c.drawImage(*image->bitmap, x, y, width, height, sx, sy, sw, sh, graphics->interpolation);
    });
}

GpStatus GdipDrawImageRectI(GpGraphics* graphics, GpImage* image, INT x, INT y, INT width, INT height)
{
    if (!image)
        return InvalidParameter;
    return GdipDrawImageRectRectI(graphics, image, x, y, width, height, 0, 0, image->bitmap->width(),
                                  image->bitmap->height(), UnitPixel, nullptr, nullptr, nullptr);
}

GpStatus GdipDrawImageI(GpGraphics* graphics, GpImage* image, INT x, INT y)
{
    if (!image)
        return InvalidParameter;
    return GdipDrawImageRectI(graphics, image, x, y, image->bitmap->width(), image->bitmap->height());
}

GpStatus GdipCreateSolidFill(ARGB colour, GpSolidFill** brush)
{
    if (!brush)
        return InvalidParameter;
    *brush = new GpSolidFill;
    (*brush)->colour = colour;
    return Ok;
}

GpStatus GdipDeleteBrush(GpBrush* brush)
{
    if (!brush)
        return InvalidParameter;
    delete static_cast<GpSolidFill*>(brush);
    return Ok;
}

GpStatus GdipFillRectangleI(GpGraphics* graphics, GpBrush* brush, INT x, INT y, INT width, INT height)
{
    if (!graphics || !brush)
        return InvalidParameter;
    return drawOn(graphics, [&](Canvas& c) { c.fillArgb(rectOf(x, y, width, height), brush->colour); });
}

GpStatus GdipCreatePen1(ARGB colour, REAL width, GpUnit, GpPen** pen)
{
    if (!pen)
        return InvalidParameter;
    *pen = new GpPen{colour, width};
    return Ok;
}

GpStatus GdipDeletePen(GpPen* pen)
{
    if (!pen)
        return InvalidParameter;
    delete pen;
    return Ok;
}

// The outline runs along the rectangle's edges, so it covers width + 1 by height + 1 pixels.
GpStatus GdipDrawRectangleI(GpGraphics* graphics, GpPen* pen, INT x, INT y, INT width, INT height)
{
    if (!graphics || !pen || width < 0 || height < 0)
        return InvalidParameter;
    const int w = pen->width >= 1 ? static_cast<int>(std::lround(std::min(pen->width, 64.0f))) : 1;
    // The pen is centred on the edges: w / 2 of it outside, the rest inside.
    const int64_t out = w / 2, in = (w - 1) / 2;
    const RECT frame = rectOf(int64_t{x} - out, int64_t{y} - out, int64_t{width} + 1 + out + in,
                              int64_t{height} + 1 + out + in);
    return drawOn(graphics, [&](Canvas& c) { c.frameArgb(frame, pen->colour, w); });
}

GpStatus GdipCreateFontFamilyFromName(LPCWSTR name, GpFontCollection*, GpFontFamily** family)
{
    if (!name || !family)
        return InvalidParameter;
    *family = new GpFontFamily{name};
    return Ok;
}

GpStatus GdipDeleteFontFamily(GpFontFamily* family)
{
    if (!family)
        return InvalidParameter;
    delete family;
    return Ok;
}

GpStatus GdipCreateFont(const GpFontFamily* family, REAL size, INT style, GpUnit unit, GpFont** font)
{
    if (!family || !font || !(size > 0))
        return InvalidParameter;
    // Sizes are em heights; points are 96/72 pixels.
    double px = std::min(unit == UnitPoint ? size * 96.0 / 72.0 : static_cast<double>(size), 4096.0);
    auto* f = new GpFont;
    f->desc.face = family->name;
    f->desc.height = -std::max(1, static_cast<int>(std::lround(px)));
    f->desc.weight = style & FontStyleBold ? FW_BOLD : FW_NORMAL;
    f->desc.italic = (style & FontStyleItalic) != 0;
    f->desc.underline = (style & FontStyleUnderline) != 0;
    *font = f;
    return Ok;
}

GpStatus GdipDeleteFont(GpFont* font)
{
    if (!font)
        return InvalidParameter;
    delete font;
    return Ok;
}

GpStatus GdipCreateStringFormat(INT flags, WORD, GpStringFormat** format)
{
    if (!format)
        return InvalidParameter;
    *format = new GpStringFormat;
    (*format)->flags = flags;
    return Ok;
}

GpStatus GdipDeleteStringFormat(GpStringFormat* format)
{
    if (!format)
        return InvalidParameter;
    delete format;
    return Ok;
}

GpStatus GdipSetStringFormatAlign(GpStringFormat* format, StringAlignment align)
{
    if (!format)
        return InvalidParameter;
    format->align = align;
    return Ok;
}

GpStatus GdipSetStringFormatLineAlign(GpStringFormat* format, StringAlignment align)
{
    if (!format)
        return InvalidParameter;
    format->lineAlign = align;
    return Ok;
}

GpStatus GdipSetStringFormatTrimming(GpStringFormat* format, StringTrimming trimming)
{
    if (!format)
        return InvalidParameter;
    format->trimming = trimming;
    return Ok;
}

GpStatus GdipSetStringFormatFlags(GpStringFormat* format, INT flags)
{
    if (!format)
        return InvalidParameter;
    format->flags = flags;
    return Ok;
}

GpStatus GdipDrawString(GpGraphics* graphics, LPCWSTR text, INT length, const GpFont* font,
                        const GpRectF* rect, const GpStringFormat* format, const GpBrush* brush)
{
    if (!graphics || !text || !font || !rect || !brush)
        return InvalidParameter;
    std::u16string_view s =
        length < 0 ? std::u16string_view(text) : std::u16string_view(text, static_cast<size_t>(length));
    StringLayout layout;
    if (format) {
        layout.align = format->align;
        layout.lineAlign = format->lineAlign;
        layout.ellipsis = format->trimming >= StringTrimmingEllipsisCharacter;
        layout.noWrap = (format->flags & StringFormatFlagsNoWrap) != 0;
    }
    return drawOn(graphics, [&](Canvas& c) {
        c.drawString(s, rect->X, rect->Y, rect->Width, rect->Height, font->desc, brush->colour, layout);
    });
}

GpStatus GdipSetClipRectI(GpGraphics* graphics, INT x, INT y, INT width, INT height, CombineMode mode)
{
    if (!graphics || (mode != CombineModeReplace && mode != CombineModeIntersect))
        return InvalidParameter;
    RECT r = rectOf(x, y, width, height);
    if (mode == CombineModeIntersect && graphics->clipped)
        r = RECT{std::max(r.left, graphics->clip.left), std::max(r.top, graphics->clip.top),
                 std::min(r.right, graphics->clip.right), std::min(r.bottom, graphics->clip.bottom)};
    graphics->clip = r;
    graphics->clipped = true;
    return Ok;
}

GpStatus GdipResetClip(GpGraphics* graphics)
{
    if (!graphics)
        return InvalidParameter;
    graphics->clipped = false;
    return Ok;
}

GpStatus GdipGetDC(GpGraphics* graphics, HDC* dc)
{
    if (!graphics || !dc)
        return InvalidParameter;
    if (graphics->dc)
        return ObjectBusy;
    graphics->dc = createCanvasDC(graphics->canvas);
    *dc = graphics->dc;
    return Ok;
}

GpStatus GdipReleaseDC(GpGraphics* graphics, HDC dc)
{
    if (!graphics || !dc || dc != graphics->dc)
        return InvalidParameter;
    DeleteDC(dc);
    graphics->dc = nullptr;
    return Ok;
}

GpStatus GdipCreateCachedBitmap(GpBitmap* bitmap, GpGraphics* graphics, GpCachedBitmap** cached)
{
    if (!bitmap || !graphics || !cached)
        return InvalidParameter;
    *cached = nullptr;
    auto copy = bitmap->bitmap->copyArea(0, 0, bitmap->bitmap->width(), bitmap->bitmap->height());
    if (!copy)
        return OutOfMemory;
    *cached = new GpCachedBitmap{std::move(copy)};
    return Ok;
}

GpStatus GdipDeleteCachedBitmap(GpCachedBitmap* cached)
{
    if (!cached)
        return InvalidParameter;
    delete cached;
    return Ok;
}

GpStatus GdipDrawCachedBitmap(GpGraphics* graphics, GpCachedBitmap* cached, INT x, INT y)
{
    if (!graphics || !cached)
        return InvalidParameter;
    Bitmap& b = *cached->bitmap;
    return drawOn(graphics, [&](Canvas& c) {
        c.drawImage(b, x, y, b.width(), b.height(), 0, 0, b.width(), b.height(), Interpolation::Nearest);
    });
}
