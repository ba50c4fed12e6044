#include "platform/gfx/GdiObjects.h"

#include <map>
#include <mutex>

namespace pictavo::platform {

namespace {
struct Pattern
{
    std::shared_ptr<Bitmap> picture;
    bool monochrome = false;
};
std::mutex g_patternMutex;
std::map<int, Pattern> g_patterns;
int g_nextPattern = 0;

struct PatternBrushObject : BrushObject
{
    ~PatternBrushObject() override
    {
        std::lock_guard lk(g_patternMutex);
        g_patterns.erase(desc.hatch);
    }
};
} // namespace

std::shared_ptr<Bitmap> brushPattern(int number, bool& monochrome)
{
    std::lock_guard lk(g_patternMutex);
    auto it = g_patterns.find(number);
    if (it == g_patterns.end())
        return nullptr;
    monochrome = it->second.monochrome;
    return it->second.picture;
}

void Canvas::patternFill(const RECT& rect, int rop2)
{
    fillPattern(rect, state_.brush, rop2);
}

void unpackMonochrome(BitmapObject& bitmap, const void* bits)
{
    bitmap.bpp = 1;
    if (!bits || !bitmap.pixels)
        return;
    Bitmap& p = *bitmap.pixels;
    // Rows of a device-dependent bitmap are padded to 16 bits.
    const int stride = (p.width() + 15) / 16 * 2;
    const auto* in = static_cast<const uint8_t*>(bits);
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x) {
            const bool set = in[y * stride + x / 8] & (0x80 >> (x % 8));
            uint8_t* px = p.pixels() + (static_cast<size_t>(y) * p.width() + x) * 4;
            px[0] = px[1] = px[2] = set ? 255 : 0;
            px[3] = 255;
        }
    p.changed();
}

} // namespace pictavo::platform

using namespace pictavo::platform;

namespace {
DcObject* dcOf(HDC handle)
{
    return static_cast<DcObject*>(findObject(handle, OBJ_DC));
}

int mixOf(DWORD rop)
{
    switch (rop) {
    case PATCOPY:
        return R2_COPYPEN;
    case PATINVERT:
        return R2_XORPEN;
    case DSTINVERT:
        return R2_NOT;
    case BLACKNESS:
        return R2_BLACK;
    case WHITENESS:
        return R2_WHITE;
    }
    return 0;
}
} // namespace

int GetDeviceCaps(HDC, int index)
{
    switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY:
        return 96;
    case BITSPIXEL:
        return 32;
    case PLANES:
        return 1;
    }
    return 0;
}

HBRUSH CreatePatternBrush(HBITMAP bitmap)
{
    auto* source = static_cast<BitmapObject*>(findObject(bitmap, OBJ_BITMAP));
    if (!source || !source->pixels)
        return nullptr;
    source->pull();
    // The brush keeps its own copy, so the bitmap may be deleted afterwards, as on Windows.
    Pattern pattern{source->pixels->copyArea(0, 0, source->pixels->width(), source->pixels->height()),
                    source->bpp == 1};
    if (!pattern.picture)
        return nullptr;
    auto* b = new PatternBrushObject;
    b->desc.style = BS_PATTERN;
    {
        std::lock_guard lk(g_patternMutex);
        b->desc.hatch = ++g_nextPattern;
        g_patterns[b->desc.hatch] = std::move(pattern);
    }
    return static_cast<HBRUSH>(registerObject(b));
}

BOOL PatBlt(HDC handle, int x, int y, int width, int height, DWORD rop)
{
    DcObject* dc = dcOf(handle);
    const int mix = mixOf(rop);
    if (!dc || !dc->canvas || !dc->canvas->target() || !mix)
        return FALSE;
    // A negative extent reaches back from the point, as in GDI.
    RECT r{std::min(x, x + width), std::min(y, y + height), std::max(x, x + width), std::max(y, y + height)};
    if (dc->bitmap)
        dc->bitmap->pull();
    dc->canvas->patternFill(r, mix);
    if (dc->bitmap)
        dc->bitmap->push();
    return TRUE;
}

int SetMapMode(HDC handle, int mode)
{
    // Only the pixel mapping exists; asking for another is refused.
    return dcOf(handle) && mode == MM_TEXT ? MM_TEXT : 0;
}

int GetMapMode(HDC handle)
{
    return dcOf(handle) ? MM_TEXT : 0;
}
