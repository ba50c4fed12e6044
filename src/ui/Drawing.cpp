#include "ui/Drawing.h"

#include "platform/gfx/GdiPlus.h"
#include "platform/win/WinUser.h"

#include <algorithm>
#include <string>

namespace Quendal::UI {

void DrawText(HDC dc, const RECT& rect, std::u16string_view text, COLORREF colour, HFONT font, UINT format)
{
    HGDIOBJ oldFont = SelectObject(dc, font);
    COLORREF oldColour = SetTextColor(dc, colour);
    int oldMode = SetBkMode(dc, TRANSPARENT);
    RECT r = rect;
    std::u16string copy(text);
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
