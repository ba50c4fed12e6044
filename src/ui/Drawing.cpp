#include "ui/Drawing.h"

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/GdiPlus.h"
#include "platform/win/WinUser.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace Quendal::UI {

namespace {

// Laying text out costs about forty times as much as drawing a ready picture of it, and a
// form draws the same few texts on every paint: each text is drawn once onto a transparent
// picture of its rectangle's size and composed from then on (the same pixels).
class TextCache
{
public:
    static TextCache& Instance()
    {
        static TextCache* cache = new TextCache;
        return *cache;
    }

    bool Draw(HDC dc, const RECT& rect, const std::u16string& text, COLORREF colour, HFONT font, UINT format)
    {
        const int w = rect.right - rect.left, h = rect.bottom - rect.top;
        if (w <= 0 || h <= 0 || w > 2048 || h > 512 || (format & (DT_NOCLIP | DT_CALCRECT)))
            return false;
        std::shared_ptr<GpBitmap> picture;
        {
            std::lock_guard lock(mutex_);
            Key key{text, font, colour, format, w, h};
            auto it = entries_.find(key);
            if (it == entries_.end()) {
                if (bytes_ > kBudget)
                    Clear();
                it = entries_.emplace(std::move(key), Render(text, colour, font, format, w, h)).first;
                bytes_ += static_cast<size_t>(w) * h * 4;
            }
            picture = it->second;
        }
        GpGraphics* graphics = nullptr;
        if (!picture || GdipCreateFromHDC(dc, &graphics) != Ok)
            return false;
        const GpStatus status = GdipDrawImageRectI(graphics, picture.get(), rect.left, rect.top, w, h);
        GdipDeleteGraphics(graphics);
        return status == Ok;
    }

private:
    struct Key
    {
        std::u16string text;
        HFONT font;
        COLORREF colour;
        UINT format;
        int w, h;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash
    {
        size_t operator()(const Key& k) const
        {
            size_t v = std::hash<std::u16string>()(k.text);
            for (size_t part : {reinterpret_cast<size_t>(k.font), size_t{k.colour}, size_t{k.format},
                                static_cast<size_t>(k.w) << 16 | static_cast<size_t>(k.h)})
                v = v * 1099511628211u ^ part;
            return v;
        }
    };
    static constexpr size_t kBudget = 16u << 20;

    static std::shared_ptr<GpBitmap> Render(const std::u16string& text, COLORREF colour, HFONT font, UINT format, int w, int h)
    {
        auto glyphs = pictavo::platform::Bitmap::create(w, h, 0);
        if (!glyphs)
            return {};
        HDC mem = CreateCompatibleDC(nullptr);
        HBITMAP handle = pictavo::platform::createBitmapHandle(glyphs);
        HGDIOBJ oldBitmap = SelectObject(mem, handle);
        HGDIOBJ oldFont = SelectObject(mem, font);
        SetTextColor(mem, colour);
        SetBkMode(mem, TRANSPARENT);
        RECT r{0, 0, w, h};
        DrawTextW(mem, text.c_str(), static_cast<int>(text.size()), &r, format);
        SelectObject(mem, oldFont);
        SelectObject(mem, oldBitmap);
        DeleteObject(handle);
        DeleteDC(mem);
        GpBitmap* picture = pictavo::platform::createGpBitmap(glyphs);
        if (!picture)
            return {};
        // Shared with a paint on another thread that may still be drawing it after a Clear.
        return std::shared_ptr<GpBitmap>(picture, [](GpBitmap* b) { GdipDisposeImage(b); });
    }

    void Clear()
    {
        entries_.clear();
        bytes_ = 0;
    }

    std::mutex mutex_;
    std::unordered_map<Key, std::shared_ptr<GpBitmap>, KeyHash> entries_;
    size_t bytes_ = 0;
};

} // namespace

void DrawText(HDC dc, const RECT& rect, std::u16string_view text, COLORREF colour, HFONT font, UINT format)
{
    std::u16string copy(text);
    if (copy.empty() || TextCache::Instance().Draw(dc, rect, copy, colour, font, format))
        return;
    HGDIOBJ oldFont = SelectObject(dc, font);
    COLORREF oldColour = SetTextColor(dc, colour);
    int oldMode = SetBkMode(dc, TRANSPARENT);
    RECT r = rect;
    DrawTextW(dc, copy.c_str(), static_cast<int>(copy.size()), &r, format);
    SetBkMode(dc, oldMode);
    SetTextColor(dc, oldColour);
    SelectObject(dc, oldFont);
}

void FillSolid(HDC dc, const RECT& rect, COLORREF colour)
{
    // An opaque GDI+ fill sets the same pixels as a GDI brush, and whole-window fills (the
    // form's body) cost a row loop instead of a per-pixel one.
    GpGraphics* graphics = nullptr;
    if (GdipCreateFromHDC(dc, &graphics) == Ok) {
        GpSolidFill* fill = nullptr;
        const ARGB argb = 0xFF000000u | GetRValue(colour) << 16 | GetGValue(colour) << 8 | GetBValue(colour);
        GpStatus status = GdipCreateSolidFill(argb, &fill);
        if (status == Ok) {
            status = GdipFillRectangleI(graphics, fill, rect.left, rect.top, rect.right - rect.left,
                                        rect.bottom - rect.top);
            GdipDeleteBrush(fill);
        }
        GdipDeleteGraphics(graphics);
        if (status == Ok)
            return;
    }
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

void FrameDouble(HDC dc, const RECT& rect, int width, COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    FrameRect(dc, &rect, brush);
    RECT inner{rect.left + width - 1, rect.top + width - 1, rect.right - width + 1, rect.bottom - width + 1};
    FrameRect(dc, &inner, brush);
    DeleteObject(brush);
}

void DrawBox(HDC dc, const RECT& rect, COLORREF pen, COLORREF fill)
{
    HPEN p = CreatePen(PS_SOLID, 1, pen);
    HBRUSH b = CreateSolidBrush(fill);
    HGDIOBJ oldPen = SelectObject(dc, p);
    HGDIOBJ oldBrush = SelectObject(dc, b);
    Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(b);
    DeleteObject(p);
}

SIZE MeasureText(HDC dc, std::u16string_view text, HFONT font)
{
    SIZE size{};
    if (!dc)
        return size;
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    std::u16string copy(text);
    GetTextExtentPoint32W(dc, copy.c_str(), static_cast<int>(copy.size()), &size);
    if (font)
        SelectObject(dc, old);
    return size;
}

SIZE MeasureText(HWND hwnd, std::u16string_view text, HFONT font)
{
    // A window of another thread (or none) has no device context here; a memory context
    // measures the same with the same font.
    HDC dc = hwnd ? GetDC(hwnd) : nullptr;
    if (dc) {
        SIZE size = MeasureText(dc, text, font);
        ReleaseDC(hwnd, dc);
        return size;
    }
    HDC mem = CreateCompatibleDC(nullptr);
    SIZE size = MeasureText(mem, text, font);
    DeleteDC(mem);
    return size;
}

} // namespace Quendal::UI

namespace Quendal::UI {

void InsetClientByOne(WPARAM wParam, LPARAM lParam)
{
    RECT* r = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0] : reinterpret_cast<RECT*>(lParam);
    if (!r)
        return;
    r->left += 1;
    r->top += 1;
    r->right = std::max(r->left, r->right - 1);
    r->bottom = std::max(r->top, r->bottom - 1);
}

void PaintNonClientBand(HWND hwnd, COLORREF colour)
{
    RECT window{}, client{};
    GetWindowRect(hwnd, &window);
    GetClientRect(hwnd, &client);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    const LONG w = window.right - window.left, h = window.bottom - window.top;
    const LONG cl = origin.x - window.left, ct = origin.y - window.top;
    const LONG cr = cl + client.right, cb = ct + client.bottom;
    HDC dc = GetWindowDC(hwnd);
    if (!dc)
        return;
    FillSolid(dc, RECT{0, 0, w, ct}, colour);
    FillSolid(dc, RECT{0, cb, w, h}, colour);
    FillSolid(dc, RECT{0, ct, cl, cb}, colour);
    FillSolid(dc, RECT{cr, ct, w, cb}, colour);
    ReleaseDC(hwnd, dc);
}

} // namespace Quendal::UI
