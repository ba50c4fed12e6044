#include "ui/RectTracker.h"

#include "platform/kernel/GlobalMemory.h"

#include <algorithm>
#include <cstdlib>

namespace {

RECT normalised(const RECT& r)
{
    return RECT{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                std::max(r.top, r.bottom)};
}

bool contains(const RECT& r, POINT p)
{
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

bool sameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// 8 x 8 diagonal lines; monochrome rows are padded to 16 bits.
HBRUSH hatchBrush()
{
    static HBRUSH brush = [] {
        const BYTE rows[16] = {0x11, 0, 0x22, 0, 0x44, 0, 0x88, 0, 0x11, 0, 0x22, 0, 0x44, 0, 0x88, 0};
        HBITMAP pattern = CreateBitmap(8, 8, 1, 1, rows);
        HBRUSH b = CreatePatternBrush(pattern);
        DeleteObject(pattern);
        return b;
    }();
    return brush;
}

// Cursor of each handle as it appears on the screen, corners then edges then the interior.
LPCWSTR cursorName(int visualHandle)
{
    static const LPCWSTR names[9] = {IDC_SIZENWSE, IDC_SIZENESW, IDC_SIZENWSE, IDC_SIZENESW, IDC_SIZENS,
                                     IDC_SIZEWE,   IDC_SIZENS,   IDC_SIZEWE,   IDC_SIZEALL};
    return names[visualHandle];
}

} // namespace

int RectTracker::ProfileHandleSize()
{
    static const int size = [] {
        const int v = static_cast<int>(GetProfileIntW(u"windows", u"oleinplaceborderwidth", 4));
        // A profile value that makes no sense gets the default rather than a useless tracker.
        return v >= 1 && v <= 64 ? v : 4;
    }();
    return size;
}

RectTracker::RectTracker() : handleSize(ProfileHandleSize()), minWidth(2 * handleSize), minHeight(2 * handleSize) {}

RectTracker::RectTracker(const RECT& r, UINT trackerStyle) : RectTracker()
{
    rect = r;
    style = trackerStyle;
}

int RectTracker::HandleSize(const RECT* r) const
{
    if (style & resizeOutside)
        return handleSize;
    const RECT& of = r ? *r : rect;
    const int smaller = std::min(std::abs(of.right - of.left), std::abs(of.bottom - of.top));
    return smaller < 2 * handleSize ? smaller / 2 : handleSize;
}

void RectTracker::DrawTrackerRect(const RECT& r)
{
    rect = r;
}

void RectTracker::AdjustRect(int handle, RECT& r)
{
    if (handle == hitMiddle)
        return;
    const bool movesLeft = handle == 0 || handle == 3 || handle == 7;
    const bool movesRight = handle == 1 || handle == 2 || handle == 5;
    const bool movesTop = handle == 0 || handle == 1 || handle == 4;
    const bool movesBottom = handle == 2 || handle == 3 || handle == 6;
    // The moving edge gives way, outwards from the fixed one, whichever side it is on.
    if (std::abs(r.right - r.left) < minWidth) {
        if (movesLeft)
            r.left = r.left <= r.right ? r.right - minWidth : r.right + minWidth;
        else if (movesRight)
            r.right = r.right >= r.left ? r.left + minWidth : r.left - minWidth;
    }
    if (std::abs(r.bottom - r.top) < minHeight) {
        if (movesTop)
            r.top = r.top <= r.bottom ? r.bottom - minHeight : r.bottom + minHeight;
        else if (movesBottom)
            r.bottom = r.bottom >= r.top ? r.top + minHeight : r.top - minHeight;
    }
}

void RectTracker::OnChangedRect(const RECT& r)
{
    changed(CRect(r));
}

UINT RectTracker::HandleMask() const
{
    const int size = HandleSize();
    UINT mask = 0x0F;
    if (std::abs(rect.right - rect.left) - 3 * size >= 5)
        mask |= 0x50;
    if (std::abs(rect.bottom - rect.top) - 3 * size >= 5)
        mask |= 0xA0;
    return mask;
}

RECT RectTracker::TrueRect() const
{
    RECT r = normalised(rect);
    int grow = 0;
    if (style & (resizeOutside | hatchedBorder))
        grow += HandleSize() - 1;
    if (style & (solidLine | dottedLine))
        grow += 1;
    return RECT{r.left - grow, r.top - grow, r.right + grow, r.bottom + grow};
}

RECT RectTracker::HandleRect(int handle) const
{
    const int size = HandleSize();
    const RECT n = normalised(rect);
    const RECT outer = (style & resizeOutside) ? TrueRect() : n;
    const LONG left = outer.left, right = outer.right - size;
    const LONG top = outer.top, bottom = outer.bottom - size;
    const LONG midX = n.left + (n.right - n.left - size) / 2;
    const LONG midY = n.top + (n.bottom - n.top - size) / 2;
    POINT at{};
    switch (handle) {
    case 0: at = {left, top}; break;
    case 1: at = {right, top}; break;
    case 2: at = {right, bottom}; break;
    case 3: at = {left, bottom}; break;
    case 4: at = {midX, top}; break;
    case 5: at = {right, midY}; break;
    case 6: at = {midX, bottom}; break;
    default: at = {left, midY}; break;
    }
    return RECT{at.x, at.y, at.x + size, at.y + size};
}

// Hit tests run on the normalised rectangle; dragging moves the edges of the real one.
int RectTracker::MirroredHandle(int h) const
{
    if (h < 0 || h == hitMiddle)
        return h;
    if (rect.left > rect.right) {
        static const int swapX[8] = {1, 0, 3, 2, 4, 7, 6, 5};
        h = swapX[h];
    }
    if (rect.top > rect.bottom) {
        static const int swapY[8] = {3, 2, 1, 0, 6, 5, 4, 7};
        h = swapY[h];
    }
    return h;
}

int RectTracker::HitTest(POINT p) const
{
    const RECT outer = TrueRect();
    if (!contains(outer, p))
        return hitNothing;
    if (!(style & (resizeInside | resizeOutside)))
        return hitMiddle;
    const UINT mask = HandleMask();
    for (int h = 0; h < 8; ++h) {
        if (!(mask & (1u << h)))
            continue;
        const RECT square = HandleRect(h);
        if (contains(square, p))
            return MirroredHandle(h);
    }
    const RECT n = normalised(rect);
    const RECT inner{n.left - 1, n.top - 1, n.right + 1, n.bottom + 1};
    if ((style & hatchedBorder) || contains(inner, p))
        return hitMiddle;
    return hitNothing;
}

void RectTracker::MoveHandle(int handle, RECT& r, const RECT& start, LONG dx, LONG dy) const
{
    r = start;
    if (handle == hitMiddle) {
        r = RECT{start.left + dx, start.top + dy, start.right + dx, start.bottom + dy};
        const RECT n = normalised(r);
        LONG shiftX = 0, shiftY = 0;
        if (bounds.right > bounds.left) {
            if (n.right > bounds.right)
                shiftX = bounds.right - n.right;
            if (n.left + shiftX < bounds.left)
                shiftX = bounds.left - n.left;
        }
        if (bounds.bottom > bounds.top) {
            if (n.bottom > bounds.bottom)
                shiftY = bounds.bottom - n.bottom;
            if (n.top + shiftY < bounds.top)
                shiftY = bounds.top - n.top;
        }
        r = RECT{r.left + shiftX, r.top + shiftY, r.right + shiftX, r.bottom + shiftY};
        return;
    }
    if (handle == 0 || handle == 3 || handle == 7)
        r.left += dx;
    if (handle == 1 || handle == 2 || handle == 5)
        r.right += dx;
    if (handle == 0 || handle == 1 || handle == 4)
        r.top += dy;
    if (handle == 2 || handle == 3 || handle == 6)
        r.bottom += dy;
}

bool RectTracker::Track(HWND window, POINT point, bool allowInvert)
{
    if (GetCapture() || !IsWindow(window))
        return false;
    const int handle = HitTest(point);
    if (handle < 0)
        return false;
    const RECT start = rect;
    SetCapture(window);
    bool restore = false;
    MSG msg{};
    while (GetCapture() == window) {
        if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        const bool ours = msg.hwnd == window;
        if (ours && (msg.message == WM_MOUSEMOVE || msg.message == WM_LBUTTONUP)) {
            const LONG dx = GET_X_LPARAM(msg.lParam) - point.x, dy = GET_Y_LPARAM(msg.lParam) - point.y;
            RECT r{};
            MoveHandle(handle, r, start, dx, dy);
            if (!allowInvert) {
                // Edges stop at the opposite edge instead of crossing it.
                if (start.left <= start.right) {
                    r.left = std::min(r.left, r.right);
                    r.right = std::max(r.right, r.left);
                }
                if (start.top <= start.bottom) {
                    r.top = std::min(r.top, r.bottom);
                    r.bottom = std::max(r.bottom, r.top);
                }
            }
            AdjustRect(handle, r);
            if (!sameRect(r, rect)) {
                DrawTrackerRect(r);
                OnChangedRect(r);
            }
            if (msg.message == WM_LBUTTONUP)
                break;
            continue;
        }
        if ((msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) || msg.message == WM_RBUTTONDOWN) {
            restore = true;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (GetCapture() == window)
        ReleaseCapture();
    if (restore && !sameRect(rect, start)) {
        DrawTrackerRect(start);
        OnChangedRect(start);
    }
    return !sameRect(rect, start);
}

void RectTracker::Draw(HDC dc) const
{
    const int saved = SaveDC(dc);
    SetMapMode(dc, MM_TEXT);
    const RECT n = normalised(rect);
    if (style & (solidLine | dottedLine)) {
        HPEN pen = CreatePen((style & dottedLine) ? PS_DOT : PS_SOLID, 1, colour);
        HGDIOBJ oldPen = SelectObject(dc, pen);
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
        SetROP2(dc, R2_COPYPEN);
        Rectangle(dc, n.left - 1, n.top - 1, n.right + 1, n.bottom + 1);
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
        DeleteObject(pen);
    }
    if (style & hatchInside) {
        HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
        HGDIOBJ oldBrush = SelectObject(dc, hatchBrush());
        SetROP2(dc, R2_MASKPEN);
        Rectangle(dc, n.left + 1, n.top + 1, n.right, n.bottom);
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
    }
    if (style & hatchedBorder) {
        const RECT t = TrueRect();
        HGDIOBJ oldBrush = SelectObject(dc, hatchBrush());
        PatBlt(dc, t.left, t.top, t.right - t.left, n.top - t.top, PATCOPY);
        PatBlt(dc, t.left, n.bottom, t.right - t.left, t.bottom - n.bottom, PATCOPY);
        PatBlt(dc, t.left, n.top, n.left - t.left, n.bottom - n.top, PATCOPY);
        PatBlt(dc, n.right, n.top, t.right - n.right, n.bottom - n.top, PATCOPY);
        SelectObject(dc, oldBrush);
    }
    if (style & (resizeInside | resizeOutside)) {
        HBRUSH fill = CreateSolidBrush(colour);
        const UINT mask = HandleMask();
        for (int h = 0; h < 8; ++h)
            if (mask & (1u << h)) {
                const RECT square = HandleRect(h);
                FillRect(dc, &square, fill);
            }
        DeleteObject(fill);
    }
    RestoreDC(dc, saved);
}

bool RectTracker::SetCursor(HWND window, UINT hitCode) const
{
    if (hitCode != HTCLIENT)
        return false;
    POINT p{};
    GetCursorPos(&p);
    ScreenToClient(window, &p);
    int h = HitTest(p);
    if (h < 0)
        return false;
    // Mirrored back: the cursor follows where the handle is drawn.
    h = MirroredHandle(h);
    ::SetCursor(LoadCursorW(nullptr, cursorName(h)));
    return true;
}
