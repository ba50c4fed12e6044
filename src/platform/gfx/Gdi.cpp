#include "platform/gfx/Gdi.h"

#include "platform/gfx/GdiObjects.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace pictavo::platform {
namespace {

std::mutex& tableMutex()
{
    static std::mutex m;
    return m;
}
// Handles are serial numbers, never reused, so a stale handle cannot reach a newer object that
// happens to live at the old one's address.
std::unordered_map<uintptr_t, GdiObject*>& table()
{
    static auto* t = new std::unordered_map<uintptr_t, GdiObject*>;
    return *t;
}
uintptr_t nextHandle = 0x10000;

} // namespace

HGDIOBJ registerObject(GdiObject* object)
{
    std::lock_guard lock(tableMutex());
    uintptr_t handle = nextHandle;
    nextHandle += 4;
    table().emplace(handle, object);
    return reinterpret_cast<HGDIOBJ>(handle);
}

GdiObject* findObject(HGDIOBJ handle, int type)
{
    std::lock_guard lock(tableMutex());
    auto it = table().find(reinterpret_cast<uintptr_t>(handle));
    if (it == table().end())
        return nullptr;
    GdiObject* o = it->second;
    if (type && o->type != type && !(type == OBJ_DC && o->type == OBJ_MEMDC))
        return nullptr;
    return o;
}

bool unregisterObject(HGDIOBJ handle)
{
    std::lock_guard lock(tableMutex());
    return table().erase(reinterpret_cast<uintptr_t>(handle)) > 0;
}

void dibPixel(const uint8_t* row, int bpp, int x, const RGBQUAD* palette, int colours, uint8_t* out)
{
    int index = -1;
    switch (bpp) {
    case 1:
        index = row[x >> 3] >> (7 - (x & 7)) & 1;
        break;
    case 4:
        index = x & 1 ? row[x >> 1] & 15 : row[x >> 1] >> 4;
        break;
    case 8:
        index = row[x];
        break;
    case 16: {
        unsigned v = row[x * 2] | row[x * 2 + 1] << 8;
        out[0] = static_cast<uint8_t>((v & 31) * 255 / 31);
        out[1] = static_cast<uint8_t>((v >> 5 & 31) * 255 / 31);
        out[2] = static_cast<uint8_t>((v >> 10 & 31) * 255 / 31);
        break;
    }
    case 24:
        std::memcpy(out, row + x * 3, 3);
        break;
    default:
        std::memcpy(out, row + x * 4, 3);
        break;
    }
    if (index >= 0) {
        if (index < colours)
            out[0] = palette[index].rgbBlue, out[1] = palette[index].rgbGreen, out[2] = palette[index].rgbRed;
        else
            out[0] = out[1] = out[2] = 0;
    }
    out[3] = 255;
}

void BitmapObject::pull()
{
    if (!dib)
        return;
    uint8_t* dst = pixels->pixels();
    int w = pixels->width(), h = pixels->height();
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = raw.data() + static_cast<size_t>(bottomUp ? h - 1 - y : y) * rowBytes;
        for (int x = 0; x < w; ++x)
            dibPixel(row, bpp, x, palette.data(), static_cast<int>(palette.size()),
                     dst + (static_cast<size_t>(y) * w + x) * 4);
    }
    pixels->changed();
}

void BitmapObject::push()
{
    // Drawing into a palette DIB would need colour matching; nothing draws into one.
    if (!dib || bpp < 24)
        return;
    const uint8_t* src = pixels->pixels();
    int w = pixels->width(), h = pixels->height();
    for (int y = 0; y < h; ++y) {
        uint8_t* row = raw.data() + static_cast<size_t>(bottomUp ? h - 1 - y : y) * rowBytes;
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = src + (static_cast<size_t>(y) * w + x) * 4;
            if (bpp == 24)
                std::memcpy(row + x * 3, p, 3);
            else
                std::memcpy(row + x * 4, p, 4);
        }
    }
}

HDC createCanvasDC(Canvas* canvas)
{
    auto* dc = new DcObject;
    dc->type = OBJ_DC;
    dc->canvas = canvas;
    return static_cast<HDC>(registerObject(dc));
}

Canvas* canvasOf(HDC handle)
{
    auto* dc = static_cast<DcObject*>(findObject(handle, OBJ_DC));
    return dc ? dc->canvas : nullptr;
}

std::shared_ptr<Bitmap> bitmapOf(HBITMAP handle)
{
    auto* bm = static_cast<BitmapObject*>(findObject(handle, OBJ_BITMAP));
    if (!bm)
        return nullptr;
    bm->pull();
    return bm->pixels;
}

HBITMAP createBitmapHandle(std::shared_ptr<Bitmap> bitmap)
{
    if (!bitmap)
        return nullptr;
    auto* bm = new BitmapObject;
    bm->pixels = std::move(bitmap);
    return static_cast<HBITMAP>(registerObject(bm));
}

} // namespace pictavo::platform

using namespace pictavo::platform;

namespace {

DcObject* dcOf(HDC handle)
{
    return static_cast<DcObject*>(findObject(handle, OBJ_DC));
}

// Keeps a DIB section's own bits and its 32-bit copy in step around one drawing call.
struct DrawScope
{
    DcObject* dc;
    explicit DrawScope(DcObject* d) : dc(d)
    {
        if (dc && dc->bitmap)
            dc->bitmap->pull();
    }
    ~DrawScope()
    {
        if (dc && dc->bitmap)
            dc->bitmap->push();
    }
    explicit operator bool() const { return dc && dc->canvas && dc->canvas->target(); }
    Canvas* operator->() const { return dc->canvas; }
};

HGDIOBJ stock(int index)
{
    static GdiObject* objects[18] = {};
    static HGDIOBJ handles[18] = {};
    static std::once_flag once;
    std::call_once(once, [] {
        auto brush = [](int style, COLORREF c) {
            auto* b = new BrushObject;
            b->desc = BrushSpec{style, 0, c};
            return b;
        };
        auto pen = [](int style, COLORREF c) {
            auto* p = new PenObject;
            p->desc = PenSpec{style, 1, c};
            return p;
        };
        objects[WHITE_BRUSH] = brush(BS_SOLID, 0xFFFFFF);
        objects[LTGRAY_BRUSH] = brush(BS_SOLID, 0xC0C0C0);
        objects[GRAY_BRUSH] = brush(BS_SOLID, 0x808080);
        objects[DKGRAY_BRUSH] = brush(BS_SOLID, 0x404040);
        objects[BLACK_BRUSH] = brush(BS_SOLID, 0);
        objects[NULL_BRUSH] = brush(BS_NULL, 0);
        objects[WHITE_PEN] = pen(PS_SOLID, 0xFFFFFF);
        objects[BLACK_PEN] = pen(PS_SOLID, 0);
        objects[NULL_PEN] = pen(PS_NULL, 0);
        objects[SYSTEM_FONT] = new FontObject;
        objects[DEFAULT_GUI_FONT] = new FontObject;
        auto* one = new BitmapObject;
        one->pixels = Bitmap::create(1, 1, 0xFF000000);
        objects[16] = one;
        for (int i = 0; i < 18; ++i)
            if (objects[i]) {
                objects[i]->stock = true;
                handles[i] = registerObject(objects[i]);
            }
    });
    return index >= 0 && index < 18 ? handles[index] : nullptr;
}

constexpr int kDefaultBitmap = 16;

void applySelection(DcObject* dc)
{
    if (auto* p = static_cast<PenObject*>(findObject(dc->pen, OBJ_PEN)))
        dc->canvas->setPen(p->desc);
    if (auto* b = static_cast<BrushObject*>(findObject(dc->brush, OBJ_BRUSH)))
        dc->canvas->setBrush(b->desc);
    if (auto* f = static_cast<FontObject*>(findObject(dc->font, OBJ_FONT)))
        dc->canvas->setFont(f->desc);
}

std::u16string_view textOf(LPCWSTR text, int length)
{
    if (!text)
        return {};
    return length < 0 ? std::u16string_view(text) : std::u16string_view(text, static_cast<size_t>(length));
}

} // namespace

HDC CreateCompatibleDC(HDC)
{
    auto* dc = new DcObject;
    auto* initial = static_cast<BitmapObject*>(findObject(stock(kDefaultBitmap), OBJ_BITMAP));
    dc->owned = std::make_unique<Canvas>(initial->pixels);
    dc->canvas = dc->owned.get();
    dc->bitmapHandle = stock(kDefaultBitmap);
    dc->pen = stock(BLACK_PEN);
    dc->brush = stock(WHITE_BRUSH);
    dc->font = stock(SYSTEM_FONT);
    applySelection(dc);
    return static_cast<HDC>(registerObject(dc));
}

BOOL DeleteDC(HDC handle)
{
    DcObject* dc = dcOf(handle);
    if (!dc || !unregisterObject(handle))
        return FALSE;
    if (auto* bm = static_cast<BitmapObject*>(findObject(dc->bitmapHandle, OBJ_BITMAP)))
        if (bm->selectedInto == dc)
            bm->selectedInto = nullptr;
    delete dc;
    return TRUE;
}

int SaveDC(HDC handle)
{
    DcObject* dc = dcOf(handle);
    if (!dc)
        return 0;
    dc->saved.push_back({dc->bitmapHandle, dc->pen, dc->brush, dc->font});
    return dc->canvas->save();
}

BOOL RestoreDC(HDC handle, int saved)
{
    DcObject* dc = dcOf(handle);
    if (!dc)
        return FALSE;
    int depth = static_cast<int>(dc->saved.size());
    int to = saved < 0 ? depth + saved + 1 : saved;
    if (saved == 0 || to < 1 || to > depth)
        return FALSE;
    DcObject::Selection s = dc->saved[to - 1];
    dc->saved.resize(to - 1);
    if (dc->owned && s.bitmap != dc->bitmapHandle && findObject(s.bitmap, OBJ_BITMAP))
        SelectObject(handle, s.bitmap);
    dc->canvas->restore(to);
    dc->pen = s.pen, dc->brush = s.brush, dc->font = s.font;
    return TRUE;
}

HGDIOBJ SelectObject(HDC handle, HGDIOBJ object)
{
    DcObject* dc = dcOf(handle);
    GdiObject* o = findObject(object);
    if (!dc || !o)
        return nullptr;
    HGDIOBJ previous = nullptr;
    switch (o->type) {
    case OBJ_PEN:
        previous = dc->pen, dc->pen = object;
        dc->canvas->setPen(static_cast<PenObject*>(o)->desc);
        break;
    case OBJ_BRUSH:
        previous = dc->brush, dc->brush = object;
        dc->canvas->setBrush(static_cast<BrushObject*>(o)->desc);
        break;
    case OBJ_FONT:
        previous = dc->font, dc->font = object;
        dc->canvas->setFont(static_cast<FontObject*>(o)->desc);
        break;
    case OBJ_BITMAP: {
        if (!dc->owned)
            return nullptr;
        auto* bm = static_cast<BitmapObject*>(o);
        // One context at a time, as in GDI.
        if (bm->selectedInto && bm->selectedInto != dc && !bm->stock)
            return nullptr;
        bm->pull();
        if (auto* old = static_cast<BitmapObject*>(findObject(dc->bitmapHandle, OBJ_BITMAP)))
            old->selectedInto = nullptr;
        previous = dc->bitmapHandle;
        dc->bitmapHandle = object;
        dc->bitmap = bm->dib ? bm : nullptr;
        if (!bm->stock)
            bm->selectedInto = dc;
        dc->canvas->setTarget(bm->pixels);
        break;
    }
    default:
        return nullptr;
    }
    return previous;
}

HGDIOBJ GetCurrentObject(HDC handle, UINT type)
{
    DcObject* dc = dcOf(handle);
    if (!dc)
        return nullptr;
    switch (type) {
    case OBJ_PEN:
        return dc->pen;
    case OBJ_BRUSH:
        return dc->brush;
    case OBJ_FONT:
        return dc->font;
    case OBJ_BITMAP:
        return dc->bitmapHandle;
    default:
        return nullptr;
    }
}

BOOL DeleteObject(HGDIOBJ object)
{
    GdiObject* o = findObject(object);
    if (!o || o->type == OBJ_DC || o->type == OBJ_MEMDC)
        return FALSE;
    if (o->stock)
        return TRUE;
    if (o->type == OBJ_BITMAP && static_cast<BitmapObject*>(o)->selectedInto)
        return FALSE;
    unregisterObject(object);
    delete o;
    return TRUE;
}

HGDIOBJ GetStockObject(int index)
{
    return stock(index == kDefaultBitmap ? -1 : index);
}

int GetObjectW(HGDIOBJ object, int size, LPVOID out)
{
    GdiObject* o = findObject(object);
    if (!o)
        return 0;
    if (o->type == OBJ_BITMAP) {
        auto* bm = static_cast<BitmapObject*>(o);
        if (!out)
            return sizeof(BITMAP);
        if (size < static_cast<int>(sizeof(BITMAP)))
            return 0;
        BITMAP b{0,
                 bm->pixels->width(),
                 bm->pixels->height(),
                 bm->dib ? bm->rowBytes : bm->pixels->width() * 4,
                 1,
                 static_cast<WORD>(bm->dib ? bm->bpp : 32),
                 bm->dib ? bm->raw.data() : nullptr};
        std::memcpy(out, &b, sizeof b);
        return sizeof(BITMAP);
    }
    if (o->type == OBJ_FONT) {
        if (!out)
            return sizeof(LOGFONTW);
        if (size < static_cast<int>(sizeof(LOGFONTW)))
            return 0;
        std::memcpy(out, &static_cast<FontObject*>(o)->logFont, sizeof(LOGFONTW));
        return sizeof(LOGFONTW);
    }
    return 0;
}

int IntersectClipRect(HDC handle, int left, int top, int right, int bottom)
{
    DcObject* dc = dcOf(handle);
    if (!dc)
        return ERROR;
    dc->canvas->intersectClip(RECT{left, top, right, bottom});
    RECT r = dc->canvas->clipBox();
    return r.left < r.right && r.top < r.bottom ? SIMPLEREGION : NULLREGION;
}

int GetClipBox(HDC handle, RECT* rect)
{
    DcObject* dc = dcOf(handle);
    if (!dc || !rect)
        return ERROR;
    *rect = dc->canvas->clipBox();
    return rect->left < rect->right && rect->top < rect->bottom ? SIMPLEREGION : NULLREGION;
}

int SelectClipRgn(HDC handle, void* region)
{
    DcObject* dc = dcOf(handle);
    if (!dc || region)
        return ERROR;
    dc->canvas->resetClip();
    return SIMPLEREGION;
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height)
{
    auto pixels = Bitmap::create(width, height, 0xFF000000);
    return pixels ? createBitmapHandle(std::move(pixels)) : nullptr;
}

HBITMAP CreateBitmap(int width, int height, UINT, UINT bitsPerPixel, const void* bits)
{
    auto pixels = Bitmap::create(width, height, 0xFF000000);
    if (!pixels)
        return nullptr;
    if (bits && bitsPerPixel == 32)
        std::memcpy(pixels->pixels(), bits, static_cast<size_t>(width) * height * 4);
    HBITMAP handle = createBitmapHandle(std::move(pixels));
    if (bitsPerPixel == 1)
        if (auto* b = static_cast<BitmapObject*>(findObject(handle, OBJ_BITMAP)))
            unpackMonochrome(*b, bits);
    return handle;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bits, HANDLE, DWORD)
{
    if (bits)
        *bits = nullptr;
    if (!info)
        return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    int bpp = h.biBitCount;
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN || h.biCompression != BI_RGB ||
        (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32))
        return nullptr;
    int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    auto pixels = Bitmap::create(h.biWidth, height, 0xFF000000);
    if (!pixels)
        return nullptr;
    auto* bm = new BitmapObject;
    bm->pixels = std::move(pixels);
    bm->dib = true;
    bm->bpp = bpp;
    bm->bottomUp = h.biHeight > 0;
    bm->rowBytes = static_cast<int>((static_cast<int64_t>(h.biWidth) * bpp + 31) / 32 * 4);
    bm->raw.assign(static_cast<size_t>(bm->rowBytes) * height, 0);
    if (bpp <= 8) {
        size_t n = h.biClrUsed ? std::min<size_t>(h.biClrUsed, size_t{1} << bpp) : size_t{1} << bpp;
        bm->palette.assign(info->bmiColors, info->bmiColors + n);
    }
    if (bits)
        *bits = bm->raw.data();
    return static_cast<HBITMAP>(registerObject(bm));
}

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD rop)
{
    DrawScope to(dcOf(dst));
    DcObject* from = dcOf(src);
    if (!to || !from || !from->canvas->target() || rop != SRCCOPY)
        return FALSE;
    if (from->bitmap)
        from->bitmap->pull();
    to->copyFrom(x, y, width, height, *from->canvas->target(), sx, sy);
    return TRUE;
}

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int sw, int sh,
                DWORD rop)
{
    DrawScope to(dcOf(dst));
    DcObject* from = dcOf(src);
    if (!to || !from || !from->canvas->target() || rop != SRCCOPY || width <= 0 || height <= 0 || sw <= 0 ||
        sh <= 0)
        return FALSE;
    if (from->bitmap)
        from->bitmap->pull();
    to->drawImage(*from->canvas->target(), x, y, width, height, sx, sy, sw, sh,
                  to.dc->stretchMode == HALFTONE ? Interpolation::Smooth : Interpolation::Nearest, false);
    return TRUE;
}

int SetStretchBltMode(HDC handle, int mode)
{
    DcObject* dc = dcOf(handle);
    if (!dc)
        return 0;
    int previous = dc->stretchMode;
    dc->stretchMode = mode;
    return previous;
}

int GetStretchBltMode(HDC handle)
{
    DcObject* dc = dcOf(handle);
    return dc ? dc->stretchMode : 0;
}

int SetDIBitsToDevice(HDC handle, int x, int y, DWORD width, DWORD height, int sx, int sy, UINT startScan,
                      UINT scanLines, const void* bits, const BITMAPINFO* info, UINT)
{
    DrawScope dc(dcOf(handle));
    if (!dc || !bits || !info || info->bmiHeader.biCompression != BI_RGB)
        return 0;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    int bpp = h.biBitCount;
    if (h.biWidth <= 0 || h.biHeight == 0 ||
        (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32))
        return 0;
    const bool bottomUp = h.biHeight > 0;
    const int64_t dibHeight = bottomUp ? h.biHeight : -static_cast<int64_t>(h.biHeight);
    const size_t rowBytes = (static_cast<size_t>(h.biWidth) * bpp + 31) / 32 * 4;
    int colours =
        bpp <= 8 ? static_cast<int>(h.biClrUsed ? std::min<DWORD>(h.biClrUsed, 1u << bpp) : 1u << bpp) : 0;
    // Only the part that is both in the source and visible is converted.
    int64_t w = std::min<int64_t>(width, static_cast<int64_t>(h.biWidth) - sx);
    int64_t hh = std::min<int64_t>(height, dibHeight - sy);
    if (sx < 0 || sy < 0 || w <= 0 || hh <= 0)
        return 0;
    RECT clip = dc->clipBox();
    RECT area{std::max<LONG>(x, clip.left), std::max<LONG>(y, clip.top),
              static_cast<LONG>(std::min<int64_t>(x + w, clip.right)),
              static_cast<LONG>(std::min<int64_t>(y + hh, clip.bottom))};
    if (area.left >= area.right || area.top >= area.bottom)
        return static_cast<int>(scanLines);
    const int aw = area.right - area.left;
    std::vector<uint8_t> row(static_cast<size_t>(aw) * 4);
    for (int dy = area.top; dy < area.bottom; ++dy) {
        // Destination row dy shows source row (sy + offset) counted from the DIB's top.
        int64_t fromTop = sy + (dy - y);
        int64_t scan = bottomUp ? dibHeight - 1 - fromTop : fromTop;
        if (scan < startScan || scan >= static_cast<int64_t>(startScan) + scanLines)
            continue;
        const uint8_t* src =
            static_cast<const uint8_t*>(bits) + static_cast<size_t>(scan - startScan) * rowBytes;
        for (int dx = area.left; dx < area.right; ++dx)
            dibPixel(src, bpp, sx + (dx - x), info->bmiColors, colours,
                     &row[static_cast<size_t>(dx - area.left) * 4]);
        dc->setPixels(area.left, dy, aw, 1, row.data(), aw * 4);
    }
    return static_cast<int>(scanLines);
}

COLORREF GetPixel(HDC handle, int x, int y)
{
    DrawScope dc(dcOf(handle));
    if (!dc)
        return CLR_INVALID;
    RECT c = dc->clipBox();
    if (x < c.left || x >= c.right || y < c.top || y >= c.bottom)
        return CLR_INVALID;
    return dc->pixel(x, y);
}

COLORREF SetPixel(HDC handle, int x, int y, COLORREF colour)
{
    DrawScope dc(dcOf(handle));
    if (!dc)
        return CLR_INVALID;
    dc->setPixel(x, y, colour);
    return colour & 0xFFFFFF;
}

HPEN CreatePen(int style, int width, COLORREF colour)
{
    auto* p = new PenObject;
    // Wide pens are stamped pixel by pixel; nothing here draws wider than this.
    p->desc = PenSpec{style, std::clamp(width, 1, 64), colour & 0xFFFFFF};
    return static_cast<HPEN>(registerObject(p));
}

HBRUSH CreateSolidBrush(COLORREF colour)
{
    auto* b = new BrushObject;
    b->desc = BrushSpec{BS_SOLID, 0, colour & 0xFFFFFF};
    return static_cast<HBRUSH>(registerObject(b));
}

HBRUSH CreateHatchBrush(int hatch, COLORREF colour)
{
    auto* b = new BrushObject;
    b->desc = BrushSpec{BS_HATCHED, hatch, colour & 0xFFFFFF};
    return static_cast<HBRUSH>(registerObject(b));
}

int FillRect(HDC handle, const RECT* rect, HBRUSH brush)
{
    DrawScope dc(dcOf(handle));
    auto* b = static_cast<BrushObject*>(findObject(brush, OBJ_BRUSH));
    if (!dc || !rect || !b)
        return 0;
    dc->fillRect(*rect, b->desc);
    return 1;
}

int FrameRect(HDC handle, const RECT* rect, HBRUSH brush)
{
    DrawScope dc(dcOf(handle));
    auto* b = static_cast<BrushObject*>(findObject(brush, OBJ_BRUSH));
    if (!dc || !rect || !b)
        return 0;
    dc->frameRect(*rect, b->desc);
    return 1;
}

BOOL Rectangle(HDC handle, int left, int top, int right, int bottom)
{
    DrawScope dc(dcOf(handle));
    if (!dc)
        return FALSE;
    dc->rectangle(RECT{left, top, right, bottom});
    return TRUE;
}

BOOL MoveToEx(HDC handle, int x, int y, POINT* previous)
{
    DcObject* dc = dcOf(handle);
    if (!dc)
        return FALSE;
    if (previous)
        *previous = dc->canvas->position();
    dc->canvas->moveTo(x, y);
    return TRUE;
}

BOOL LineTo(HDC handle, int x, int y)
{
    DrawScope dc(dcOf(handle));
    if (!dc)
        return FALSE;
    dc->lineTo(x, y);
    return TRUE;
}

int SetROP2(HDC handle, int mode)
{
    DcObject* dc = dcOf(handle);
    if (!dc || mode < R2_BLACK || mode > R2_WHITE)
        return 0;
    int previous = dc->canvas->rop2();
    dc->canvas->setRop2(mode);
    return previous;
}

int GetROP2(HDC handle)
{
    DcObject* dc = dcOf(handle);
    return dc ? dc->canvas->rop2() : 0;
}

COLORREF SetBkColor(HDC handle, COLORREF colour)
{
    DcObject* dc = dcOf(handle);
    if (!dc)
        return CLR_INVALID;
    COLORREF previous = dc->canvas->bkColour();
    dc->canvas->setBkColour(colour & 0xFFFFFF);
    return previous;
}

COLORREF GetBkColor(HDC handle)
{
    DcObject* dc = dcOf(handle);
    return dc ? dc->canvas->bkColour() : CLR_INVALID;
}

int SetBkMode(HDC handle, int mode)
{
    DcObject* dc = dcOf(handle);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE))
        return 0;
    int previous = dc->canvas->bkMode();
    dc->canvas->setBkMode(mode);
    return previous;
}

int GetBkMode(HDC handle)
{
    DcObject* dc = dcOf(handle);
    return dc ? dc->canvas->bkMode() : 0;
}

HFONT CreateFontIndirectW(const LOGFONTW* font)
{
    if (!font)
        return nullptr;
    auto* f = new FontObject;
    f->logFont = *font;
    size_t n = 0;
    while (n < 32 && font->lfFaceName[n])
        ++n;
    f->desc.face = n ? std::u16string(font->lfFaceName, n) : std::u16string(u"新宋体");
    f->desc.height = font->lfHeight ? font->lfHeight : 12;
    f->desc.weight = font->lfWeight ? font->lfWeight : FW_NORMAL;
    f->desc.italic = font->lfItalic != 0;
    f->desc.underline = font->lfUnderline != 0;
    return static_cast<HFONT>(registerObject(f));
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCWSTR face)
{
    LOGFONTW lf{height,
                width,
                escapement,
                orientation,
                weight,
                static_cast<BYTE>(italic),
                static_cast<BYTE>(underline),
                static_cast<BYTE>(strikeOut),
                static_cast<BYTE>(charSet),
                static_cast<BYTE>(outPrecision),
                static_cast<BYTE>(clipPrecision),
                static_cast<BYTE>(quality),
                static_cast<BYTE>(pitchAndFamily),
                {}};
    for (size_t i = 0; face && i < 31 && face[i]; ++i)
        lf.lfFaceName[i] = face[i];
    return CreateFontIndirectW(&lf);
}

COLORREF SetTextColor(HDC handle, COLORREF colour)
{
    DcObject* dc = dcOf(handle);
    if (!dc)
        return CLR_INVALID;
    COLORREF previous = dc->canvas->textColour();
    dc->canvas->setTextColour(colour & 0xFFFFFF);
    return previous;
}

COLORREF GetTextColor(HDC handle)
{
    DcObject* dc = dcOf(handle);
    return dc ? dc->canvas->textColour() : CLR_INVALID;
}

int DrawTextW(HDC handle, LPCWSTR text, int length, RECT* rect, UINT format)
{
    DrawScope dc(dcOf(handle));
    if (!dc || !rect)
        return 0;
    return dc->drawText(textOf(text, length), *rect, format);
}

BOOL GetTextExtentPoint32W(HDC handle, LPCWSTR text, int length, SIZE* size)
{
    DcObject* dc = dcOf(handle);
    if (!dc || !size || (length > 0 && !text))
        return FALSE;
    *size = dc->canvas->textExtent(textOf(text, length));
    return TRUE;
}

BOOL ExtTextOutW(HDC handle, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT length,
                 const INT*)
{
    DrawScope dc(dcOf(handle));
    if (!dc)
        return FALSE;
    if ((options & ETO_OPAQUE) && rect)
        dc->fillRect(*rect, BrushSpec{BS_SOLID, 0, dc->bkColour()});
    if (!text || length == 0)
        return TRUE;
    std::u16string_view s(text, length);
    SIZE size = dc->textExtent(s);
    RECT box{x, y, x + size.cx, y + size.cy};
    dc->save();
    if ((options & ETO_CLIPPED) && rect)
        dc->intersectClip(*rect);
    // The opaque fill above already painted the background.
    if (options & ETO_OPAQUE)
        dc->setBkMode(TRANSPARENT);
    dc->drawText(s, box, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    dc->restore(-1);
    return TRUE;
}
