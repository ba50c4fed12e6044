#include "ui/TrackBar.h"

#include "ui/Drawing.h"

#include <algorithm>
#include <cmath>
#include <string>

using Quendal::UI::DrawBox;

namespace {
constexpr const char16_t* kClass = u"QuendalTrackBar";
}

TrackBar::TrackBar() = default;

TrackBar::~TrackBar()
{
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

HWND TrackBar::Create(HWND parentWindow)
{
    RegisterClass(kClass);
    HWND created = CreateImpl(kClass, parentWindow, RECT{0, 0, 0, 0}, u"", WS_CHILD);
    element.hwnd = created;
    return created;
}

HWND TrackBar::Create(HWND parentWindow, const RECT& rect)
{
    RegisterClass(kClass);
    RECT r = rect;
    r.bottom = r.top + 15;
    HWND created = CreateImpl(kClass, parentWindow, r, u"", WS_CHILD | WS_VISIBLE);
    element.hwnd = created;
    element.bounds = RECT{0, 0, r.right - r.left, 15};
    if (element.width == 0 && element.height == 0) {
        element.SetMargins(r.left, r.top, 0, 0);
        element.SetSize(r.right - r.left, 15);
    }
    thumbPos = PositionOf(m_value);
    return created;
}

int TrackBar::Span() const
{
    return element.bounds.right - element.bounds.left - thumbWidth;
}

// The range is maximum - minimum (the same as |maximum| + |minimum| whenever the range
// holds 0, and still right when it does not).
int TrackBar::ValueAt(int pos) const
{
    const int span = Span();
    if (span <= 0 || maximum <= minimum)
        return minimum;
    const double range = static_cast<double>(maximum) - minimum;
    const float product = static_cast<float>(range * (static_cast<double>(pos) / span));
    const int v = static_cast<int>(static_cast<double>(product) + minimum);
    return std::clamp(v, minimum, maximum);
}

int TrackBar::PositionOf(int v) const
{
    const int span = Span();
    if (span <= 0 || maximum <= minimum)
        return 0;
    const double range = static_cast<double>(maximum) - minimum;
    const long pos = std::lround((std::clamp(v, minimum, maximum) - static_cast<double>(minimum)) / range * span);
    return std::clamp(static_cast<int>(pos), 0, span);
}

void TrackBar::SetRange(int minimumValue, int maximumValue)
{
    minimum = minimumValue;
    maximum = std::max(minimumValue, maximumValue);
    SetValue(m_value);
}

void TrackBar::SetValue(int v)
{
    m_value = std::clamp(v, minimum, maximum);
    thumbPos = PositionOf(m_value);
    if (m_hWnd)
        InvalidateRect(m_hWnd, nullptr, FALSE);
}

void TrackBar::Place(const RECT& rect)
{
    const int remembered = m_value;
    MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
    element.bounds = RECT{0, 0, rect.right - rect.left, rect.bottom - rect.top};
    SetValue(remembered);
}

void TrackBar::PaintTrack(HDC dc)
{
    RECT client{};
    GetClientRect(m_hWnd, &client);
    SetBkColor(dc, 0xE4D4C6);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &client, u"", 0, nullptr);
    const RECT& b = element.bounds;
    DrawBox(dc, RECT{b.left, b.top + 2, b.right, b.bottom - 2}, trackBorder, trackFill);
}

void TrackBar::PaintThumb(HDC dc)
{
    const RECT& b = element.bounds;
    DrawBox(dc, RECT{thumbPos, b.top, thumbPos + thumbWidth, b.bottom}, thumbBorder, thumbFill);
}

void TrackBar::Paint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    RECT client{};
    GetClientRect(m_hWnd, &client);
    if (client.right > 0 && client.bottom > 0) {
        HDC mem = CreateCompatibleDC(dc);
        HBITMAP buffer = CreateCompatibleBitmap(dc, client.right, client.bottom);
        HGDIOBJ old = SelectObject(mem, buffer);
        PaintTrack(mem);
        PaintThumb(mem);
        BitBlt(dc, 0, 0, client.right, client.bottom, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old);
        DeleteObject(buffer);
        DeleteDC(mem);
    }
    EndPaint(m_hWnd, &ps);
}

BOOL TrackBar::ProcessWindowMessage(HWND, UINT message, WPARAM, LPARAM lParam, LRESULT& result, DWORD)
{
    switch (message) {
    case WM_PAINT:
        Paint();
        result = 0;
        return TRUE;
    case WM_LBUTTONDOWN:
        dragStartPos = thumbPos;
        dragStartX = GET_X_LPARAM(lParam);
        dragStartY = GET_Y_LPARAM(lParam);
        SetCapture(m_hWnd);
        dragging = TRUE;
        result = 0;
        return TRUE;
    case WM_MOUSEMOVE: {
        if (!dragging)
            return FALSE;
        int pos = GET_X_LPARAM(lParam) + dragStartPos - dragStartX;
        if (pos < element.bounds.left)
            pos = 0;
        else
            pos = std::min(pos, static_cast<int>(element.bounds.right) - thumbWidth);
        thumbPos = std::max(pos, 0);
        m_value = ValueAt(thumbPos);
        InvalidateRect(m_hWnd, nullptr, FALSE);
        valueChanged(m_value);
        result = 0;
        return TRUE;
    }
    case WM_LBUTTONUP:
        dragStartPos = thumbPos;
        dragging = FALSE;
        ReleaseCapture();
        result = 0;
        return TRUE;
    case WM_CAPTURECHANGED:
        dragging = FALSE;
        return FALSE;
    case WM_SIZE:
        element.bounds = RECT{0, 0, LOWORD(lParam), HIWORD(lParam)};
        thumbPos = PositionOf(m_value);
        result = 0;
        return TRUE;
    case WM_SETCURSOR:
    case WM_ERASEBKGND:
        result = 1;
        return TRUE;
    case WM_PICTAVO_DESCRIBE: {
        auto* node = reinterpret_cast<pictavo::platform::AutomationNode*>(lParam);
        node->className = ClassName();
        const std::string v = std::to_string(m_value);
        node->state["value"] = std::u16string(v.begin(), v.end());
        node->state["thumb"] = [&] {
            const std::string t = std::to_string(thumbPos);
            return std::u16string(t.begin(), t.end());
        }();
        if (dragging)
            node->state["pressed"] = u"1";
        result = TRUE;
        return TRUE;
    }
    default:
        return FALSE;
    }
}

ExtTrackBar::ExtTrackBar()
{
    thumbWidth = 14;
    thumbHeight = 15;
}

void ExtTrackBar::PaintTrack(HDC dc)
{
    RECT client{};
    GetClientRect(m_hWnd, &client);
    SetBkColor(dc, 0xE4D4C6);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &client, u"", 0, nullptr);
    const RECT& b = element.bounds;
    const RECT outer{b.left, b.top + 4, b.right, b.bottom - 4};
    DrawBox(dc, outer, 0x989BA2, 0xD2D6D9);
    DrawBox(dc, RECT{outer.left + 1, outer.top + 1, outer.right - 1, outer.bottom - 1}, 0xCCC7BE, 0xD2D6D9);
}

void ExtTrackBar::PaintThumb(HDC dc)
{
    const RECT& b = element.bounds;
    DrawBox(dc, RECT{thumbPos, b.top, thumbPos + thumbWidth, b.bottom}, 0xE6B08D, 0xFFFBEC);
}
