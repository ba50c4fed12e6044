#include "platform/controls/ImageList.h"

#include "platform/gfx/Canvas.h"
#include "platform/gfx/GdiObjects.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <unordered_map>
#include <utility>

namespace pictavo::platform {

namespace {
std::mutex& tableMutex()
{
    static std::mutex m;
    return m;
}
std::unordered_map<uintptr_t, std::shared_ptr<ImageList>>& table()
{
    static std::unordered_map<uintptr_t, std::shared_ptr<ImageList>> t;
    return t;
}
// Handles are never reused, so a stale one finds nothing.
uintptr_t nextHandle = 0x7A0000;

// The picture of a GDI bitmap as straight-alpha BGRA. A 32-bit DIB keeps its alpha unless
// every pixel's alpha is 0 (a plain RGB picture written into 32 bits), which means opaque.
std::shared_ptr<Bitmap> readBitmap(HBITMAP handle)
{
    auto* object = static_cast<BitmapObject*>(findObject(handle, OBJ_BITMAP));
    if (!object || !object->pixels)
        return nullptr;
    object->pull();
    const Bitmap& source = *object->pixels;
    auto copy = Bitmap::fromPixels(source.width(), source.height(),
                                   const_cast<Bitmap&>(source).pixels(), source.stride());
    if (!copy)
        return nullptr;
    if (object->dib && object->bpp == 32) {
        int w = copy->width(), h = copy->height();
        bool anyAlpha = false;
        for (int y = 0; y < h && !anyAlpha; ++y) {
            const uint8_t* row = object->raw.data() + static_cast<size_t>(object->bottomUp ? h - 1 - y : y) * object->rowBytes;
            for (int x = 0; x < w && !anyAlpha; ++x)
                anyAlpha = row[x * 4 + 3] != 0;
        }
        uint8_t* dst = copy->pixels();
        for (int y = 0; y < h; ++y) {
            const uint8_t* row = object->raw.data() + static_cast<size_t>(object->bottomUp ? h - 1 - y : y) * object->rowBytes;
            for (int x = 0; x < w; ++x)
                dst[(static_cast<size_t>(y) * w + x) * 4 + 3] = anyAlpha ? row[x * 4 + 3] : 255;
        }
        copy->changed();
    }
    return copy;
}

void clearWhere(Bitmap& image, const std::function<bool(int x, int y, const uint8_t* bgra)>& transparent)
{
    uint8_t* p = image.pixels();
    if (!p)
        return;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            uint8_t* px = p + (static_cast<size_t>(y) * image.width() + x) * 4;
            if (transparent(x, y, px))
                std::memset(px, 0, 4);
        }
    image.changed();
}

uint8_t mix(uint8_t a, uint8_t b, int bPercent)
{
    return static_cast<uint8_t>((a * (100 - bPercent) + b * bPercent + 50) / 100);
}
} // namespace

HIMAGELIST ImageList::registerList(std::shared_ptr<ImageList> list)
{
    std::lock_guard lock(tableMutex());
    uintptr_t handle = nextHandle;
    nextHandle += 4;
    table().emplace(handle, std::move(list));
    return reinterpret_cast<HIMAGELIST>(handle);
}

std::shared_ptr<ImageList> ImageList::find(HIMAGELIST handle)
{
    std::lock_guard lock(tableMutex());
    auto it = table().find(reinterpret_cast<uintptr_t>(handle));
    return it == table().end() ? nullptr : it->second;
}

bool ImageList::unregisterList(HIMAGELIST handle)
{
    std::lock_guard lock(tableMutex());
    return table().erase(reinterpret_cast<uintptr_t>(handle)) > 0;
}

int ImageList::count() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_images.size());
}

int ImageList::addStrip(const Bitmap& strip)
{
    Bitmap& source = const_cast<Bitmap&>(strip);
    const uint8_t* src = source.pixels();
    if (!src || source.width() <= 0 || source.height() <= 0)
        return -1;
    int n = std::max(1, source.width() / m_cx);
    std::vector<std::shared_ptr<Bitmap>> added;
    for (int i = 0; i < n; ++i) {
        auto image = Bitmap::create(m_cx, m_cy, 0);
        if (!image)
            return -1;
        int w = std::min(m_cx, source.width() - i * m_cx), h = std::min(m_cy, source.height());
        uint8_t* dst = image->pixels();
        for (int y = 0; y < h; ++y)
            std::memcpy(dst + static_cast<size_t>(y) * m_cx * 4,
                        src + static_cast<size_t>(y) * source.stride() + static_cast<size_t>(i) * m_cx * 4,
                        static_cast<size_t>(w) * 4);
        image->changed();
        added.push_back(std::move(image));
    }
    std::lock_guard lock(m_mutex);
    int first = static_cast<int>(m_images.size());
    m_images.insert(m_images.end(), added.begin(), added.end());
    return first;
}

bool ImageList::remove(int index)
{
    std::lock_guard lock(m_mutex);
    if (index == -1) {
        m_images.clear();
        return true;
    }
    if (index < 0 || index >= static_cast<int>(m_images.size()))
        return false;
    m_images.erase(m_images.begin() + index);
    return true;
}

std::shared_ptr<Bitmap> ImageList::image(int index) const
{
    std::lock_guard lock(m_mutex);
    if (index < 0 || index >= static_cast<int>(m_images.size()))
        return nullptr;
    return m_images[index];
}

COLORREF ImageList::bkColour() const
{
    std::lock_guard lock(m_mutex);
    return m_bk;
}

COLORREF ImageList::setBkColour(COLORREF colour)
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_bk, colour);
}

int imageListAddBitmap(HIMAGELIST handle, const std::shared_ptr<Bitmap>& image)
{
    auto list = ImageList::find(handle);
    return list && image ? list->addStrip(*image) : -1;
}

} // namespace pictavo::platform

using pictavo::platform::ImageList;

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int, int)
{
    if (cx <= 0 || cy <= 0 || cx > 4096 || cy > 4096)
        return nullptr;
    return ImageList::registerList(std::make_shared<ImageList>(cx, cy, flags));
}

BOOL ImageList_Destroy(HIMAGELIST list)
{
    return ImageList::unregisterList(list);
}

int ImageList_Add(HIMAGELIST handle, HBITMAP image, HBITMAP mask)
{
    auto list = ImageList::find(handle);
    auto picture = pictavo::platform::readBitmap(image);
    if (!list || !picture)
        return -1;
    if (mask && (list->flags() & ILC_MASK)) {
        auto maskPicture = pictavo::platform::readBitmap(mask);
        if (!maskPicture)
            return -1;
        // White (set) mask pixels are transparent.
        const uint8_t* m = maskPicture->pixels();
        int mw = maskPicture->width(), mh = maskPicture->height();
        pictavo::platform::clearWhere(*picture, [&](int x, int y, const uint8_t*) {
            if (x >= mw || y >= mh)
                return false;
            const uint8_t* p = m + (static_cast<size_t>(y) * mw + x) * 4;
            return p[0] + p[1] + p[2] > 3 * 127;
        });
    }
    return list->addStrip(*picture);
}

int ImageList_AddMasked(HIMAGELIST handle, HBITMAP image, COLORREF mask)
{
    auto list = ImageList::find(handle);
    auto picture = pictavo::platform::readBitmap(image);
    if (!list || !picture)
        return -1;
    if (list->flags() & ILC_MASK)
        pictavo::platform::clearWhere(*picture, [&](int, int, const uint8_t* p) {
            return p[2] == GetRValue(mask) && p[1] == GetGValue(mask) && p[0] == GetBValue(mask);
        });
    return list->addStrip(*picture);
}

int ImageList_GetImageCount(HIMAGELIST handle)
{
    auto list = ImageList::find(handle);
    return list ? list->count() : 0;
}

BOOL ImageList_GetIconSize(HIMAGELIST handle, int* cx, int* cy)
{
    auto list = ImageList::find(handle);
    if (!list || !cx || !cy)
        return FALSE;
    *cx = list->cx();
    *cy = list->cy();
    return TRUE;
}

COLORREF ImageList_SetBkColor(HIMAGELIST handle, COLORREF colour)
{
    auto list = ImageList::find(handle);
    return list ? list->setBkColour(colour) : CLR_NONE;
}

COLORREF ImageList_GetBkColor(HIMAGELIST handle)
{
    auto list = ImageList::find(handle);
    return list ? list->bkColour() : CLR_NONE;
}

BOOL ImageList_Remove(HIMAGELIST handle, int index)
{
    auto list = ImageList::find(handle);
    return list && list->remove(index);
}

BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style)
{
    return ImageList_DrawEx(list, index, dc, x, y, 0, 0, CLR_DEFAULT, CLR_DEFAULT, style);
}

BOOL ImageList_DrawEx(HIMAGELIST handle, int index, HDC dc, int x, int y, int dx, int dy, COLORREF background,
                      COLORREF foreground, UINT style)
{
    using namespace pictavo::platform;
    auto list = ImageList::find(handle);
    Canvas* canvas = canvasOf(dc);
    if (!list || !canvas)
        return FALSE;
    auto image = list->image(index);
    if (!image)
        return FALSE;
    int w = dx > 0 ? std::min(dx, list->cx()) : list->cx();
    int h = dy > 0 ? std::min(dy, list->cy()) : list->cy();
    if (background == CLR_DEFAULT)
        background = list->bkColour();
    // A background colour fills under the image unless the caller asks for transparency.
    if (!(style & ILD_TRANSPARENT) && background != CLR_NONE)
        canvas->fillArgb(RECT{x, y, x + w, y + h}, 0xFF000000u | GetRValue(background) << 16 |
                                                          GetGValue(background) << 8 | GetBValue(background));
    std::shared_ptr<Bitmap> drawn = image;
    int percent = style & ILD_BLEND50 ? 50 : style & ILD_BLEND25 ? 25 : 0;
    if (percent && foreground != CLR_NONE) {
        // Selected and focused looks tint the image towards the highlight colour.
        COLORREF tint = foreground == CLR_DEFAULT ? RGB(0, 120, 215) : foreground;
        drawn = image->copyArea(0, 0, image->width(), image->height());
        if (!drawn)
            return FALSE;
        uint8_t* p = drawn->pixels();
        for (int i = 0; i < drawn->width() * drawn->height(); ++i, p += 4) {
            p[0] = mix(p[0], GetBValue(tint), percent);
            p[1] = mix(p[1], GetGValue(tint), percent);
            p[2] = mix(p[2], GetRValue(tint), percent);
        }
        drawn->changed();
    }
    canvas->drawImage(*drawn, x, y, w, h, 0, 0, w, h, Interpolation::Nearest);
    return TRUE;
}
