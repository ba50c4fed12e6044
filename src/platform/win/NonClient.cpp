#include "platform/win/NonClient.h"

#include "platform/gfx/Canvas.h"
#include "platform/kernel/Synch.h"
#include "platform/win/WindowSystem.h"

#include <algorithm>
#include <array>
#include <map>
#include <mutex>

namespace pictavo::platform {

namespace {

constexpr UINT_PTR kRepeatTimer = 0xFFFF5C01;
constexpr int kMinThumb = 8;

struct BarState
{
    int min = 0;
    int max = 100;
    UINT page = 0;
    int pos = 0;
    int trackPos = 0;
    bool tracking = false;
    UINT disabled = ESB_ENABLE_BOTH;
    bool disabledForNoScroll = false;
};

std::mutex g_mutex;
std::map<HWND, std::array<BarState, 2>> g_bars;

BarState stateOf(HWND hwnd, int bar)
{
    std::lock_guard lk(g_mutex);
    auto it = g_bars.find(hwnd);
    return it == g_bars.end() ? BarState{} : it->second[bar];
}

struct Geometry
{
    bool vertical = true;
    RECT bar{}, arrow1{}, arrow2{}, track{}, thumb{};
    int trackLength = 0, thumbLength = 0, span = 0;
};

int along(const Geometry& g, const RECT& r, bool end)
{
    return g.vertical ? (end ? r.bottom : r.top) : (end ? r.right : r.left);
}

// In window coordinates; false when the window shows no such bar.
bool geometry(HWND hwnd, int bar, Geometry& g)
{
    RECT client;
    {
        auto& s = ws();
        std::lock_guard lk(s.mutex);
        auto w = s.find(hwnd);
        if (!w || !(w->style & (bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL)))
            return false;
        client = w->client;
    }
    const int size = GetSystemMetrics(SM_CXVSCROLL);
    g.vertical = bar == SB_VERT;
    g.bar = g.vertical ? RECT{client.right, client.top, client.right + size, client.bottom}
                       : RECT{client.left, client.bottom, client.right, client.bottom + size};
    const int length = g.vertical ? client.bottom - client.top : client.right - client.left;
    const int arrow = std::min(size, length / 2);
    const BarState st = stateOf(hwnd, bar);
    if (g.vertical) {
        g.arrow1 = RECT{g.bar.left, g.bar.top, g.bar.right, g.bar.top + arrow};
        g.arrow2 = RECT{g.bar.left, g.bar.bottom - arrow, g.bar.right, g.bar.bottom};
        g.track = RECT{g.bar.left, g.arrow1.bottom, g.bar.right, g.arrow2.top};
    } else {
        g.arrow1 = RECT{g.bar.left, g.bar.top, g.bar.left + arrow, g.bar.bottom};
        g.arrow2 = RECT{g.bar.right - arrow, g.bar.top, g.bar.right, g.bar.bottom};
        g.track = RECT{g.arrow1.right, g.bar.top, g.arrow2.left, g.bar.bottom};
    }
    g.trackLength = std::max(0, length - 2 * arrow);
    const long long range = static_cast<long long>(st.max) - st.min + 1;
    if (range <= 0 || st.disabled == ESB_DISABLE_BOTH || g.trackLength < kMinThumb)
        return true; // no thumb
    g.thumbLength = st.page ? static_cast<int>(std::max<long long>(
                                  kMinThumb, g.trackLength * static_cast<long long>(st.page) / range))
                            : std::min(size, g.trackLength);
    g.thumbLength = std::min(g.thumbLength, g.trackLength);
    g.span = static_cast<int>(std::max<long long>(0, range - std::max<UINT>(st.page, 1)));
    const int pos = (st.tracking ? st.trackPos : st.pos) - st.min;
    const int offset =
        g.span > 0 ? static_cast<int>(static_cast<long long>(g.trackLength - g.thumbLength) * pos / g.span)
                   : 0;
    const int start = along(g, g.track, false) + std::clamp(offset, 0, g.trackLength - g.thumbLength);
    g.thumb = g.vertical ? RECT{g.bar.left, start, g.bar.right, start + g.thumbLength}
                         : RECT{start, g.bar.top, start + g.thumbLength, g.bar.bottom};
    return true;
}

void redrawFrame(HWND hwnd)
{
    auto& s = ws();
    DWORD thread = 0;
    {
        std::lock_guard lk(s.mutex);
        auto w = s.find(hwnd);
        if (!w)
            return;
        w->ncDirty = true;
        thread = w->thread;
    }
    s.wakeThread(thread);
}

void setBarStyle(HWND hwnd, int bar, bool show)
{
    const DWORD bit = bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL;
    const DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    if (((style & bit) != 0) == show)
        return;
    SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(show ? style | bit : style & ~bit));
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

bool contains(const RECT& r, POINT p)
{
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

POINT windowPoint(HWND hwnd, POINT screen)
{
    RECT r;
    GetWindowRect(hwnd, &r);
    return POINT{screen.x - r.left, screen.y - r.top};
}

void paintBar(Canvas& c, HWND hwnd, int bar)
{
    Geometry g;
    if (!geometry(hwnd, bar, g))
        return;
    const BarState st = stateOf(hwnd, bar);
    c.fillRect(g.bar, BrushSpec{BS_SOLID, 0, 0xF0F0F0});
    const COLORREF arrowOn = 0x606060, arrowOff = 0xBFBFBF;
    auto drawArrow = [&](const RECT& r, bool towardsEnd, bool enabled) {
        c.fillRect(r, BrushSpec{BS_SOLID, 0, 0xE8E8E8});
        const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
        for (int i = 0; i < 4; ++i) {
            const int d = towardsEnd ? i - 2 : 1 - i;
            RECT line = g.vertical ? RECT{cx - i, cy + d, cx + i + 1, cy + d + 1}
                                   : RECT{cx + d, cy - i, cx + d + 1, cy + i + 1};
            c.fillRect(line, BrushSpec{BS_SOLID, 0, enabled ? arrowOn : arrowOff});
        }
    };
    drawArrow(g.arrow1, false, !(st.disabled & ESB_DISABLE_LTUP));
    drawArrow(g.arrow2, true, !(st.disabled & ESB_DISABLE_RTDN));
    if (g.thumbLength)
        c.fillRect(g.thumb, BrushSpec{BS_SOLID, 0, 0xC2C2C2});
}

} // namespace

void paintScrollBars(HWND hwnd, Canvas& frame)
{
    paintBar(frame, hwnd, SB_VERT);
    paintBar(frame, hwnd, SB_HORZ);
}

void forgetScrollBars(HWND hwnd)
{
    std::lock_guard lk(g_mutex);
    g_bars.erase(hwnd);
}

void nonClientButtonDown(HWND hwnd, WPARAM hit, LPARAM screenPoint)
{
    if (hit >= HTLEFT && hit <= HTBOTTOMRIGHT) {
        if (GetWindowLongW(hwnd, GWL_STYLE) & WS_THICKFRAME)
            SendMessageW(hwnd, WM_SYSCOMMAND, SC_SIZE + (hit - HTLEFT + 1), screenPoint);
        return;
    }
    if (hit == HTCAPTION) {
        SendMessageW(hwnd, WM_SYSCOMMAND, SC_MOVE + HTCAPTION, screenPoint);
        return;
    }
    if (hit == HTCLOSE) {
        SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, screenPoint);
        return;
    }
    if (hit != HTVSCROLL && hit != HTHSCROLL)
        return;

    const int bar = hit == HTVSCROLL ? SB_VERT : SB_HORZ;
    const UINT message = bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL;
    Geometry g;
    if (!geometry(hwnd, bar, g) || stateOf(hwnd, bar).disabled == ESB_DISABLE_BOTH)
        return;
    const POINT p = windowPoint(hwnd, POINT{GET_X_LPARAM(screenPoint), GET_Y_LPARAM(screenPoint)});
    int code;
    int grab = 0;
    const BarState st0 = stateOf(hwnd, bar);
    if (contains(g.arrow1, p)) {
        if (st0.disabled & ESB_DISABLE_LTUP)
            return;
        code = SB_LINEUP;
    } else if (contains(g.arrow2, p)) {
        if (st0.disabled & ESB_DISABLE_RTDN)
            return;
        code = SB_LINEDOWN;
    } else if (g.thumbLength && contains(g.thumb, p)) {
        code = SB_THUMBTRACK;
        grab = (g.vertical ? p.y : p.x) - along(g, g.thumb, false);
    } else if (g.thumbLength) {
        code = (g.vertical ? p.y : p.x) < along(g, g.thumb, false) ? SB_PAGEUP : SB_PAGEDOWN;
    } else {
        return;
    }
    const bool thumb = code == SB_THUMBTRACK;
    if (thumb) {
        std::lock_guard lk(g_mutex);
        auto& st = g_bars[hwnd][bar];
        st.tracking = true;
        st.trackPos = st.pos;
    } else {
        SendMessageW(hwnd, message, MAKEWPARAM(code, 0), 0);
        SetTimer(hwnd, kRepeatTimer, 400, nullptr);
    }
    SetCapture(hwnd);
    POINT last = p;
    MSG msg;
    while (GetCapture() == hwnd) {
        if (!GetMessageW(&msg, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (msg.hwnd == hwnd && msg.message == WM_TIMER && msg.wParam == kRepeatTimer) {
            // Repeats while the pointer stays on the part it pressed (a page stops at the thumb).
            Geometry now;
            bool still = geometry(hwnd, bar, now);
            if (still && (code == SB_PAGEUP || code == SB_PAGEDOWN))
                still = now.thumbLength && contains(now.track, last) && !contains(now.thumb, last) &&
                        ((code == SB_PAGEUP) ==
                         ((now.vertical ? last.y : last.x) < along(now, now.thumb, false)));
            else if (still)
                still = contains(code == SB_LINEUP ? now.arrow1 : now.arrow2, last);
            if (still)
                SendMessageW(hwnd, message, MAKEWPARAM(code, 0), 0);
            SetTimer(hwnd, kRepeatTimer, 50, nullptr);
            continue;
        }
        if (msg.hwnd == hwnd && msg.message == WM_MOUSEMOVE) {
            last = windowPoint(hwnd, msg.pt);
            if (thumb) {
                Geometry now;
                if (!geometry(hwnd, bar, now))
                    break;
                const int room = now.trackLength - now.thumbLength;
                const int offset = (now.vertical ? last.y : last.x) - grab - along(now, now.track, false);
                BarState st = stateOf(hwnd, bar);
                const int pos =
                    st.min + (room > 0
                                  ? static_cast<int>(static_cast<long long>(std::clamp(offset, 0, room)) *
                                                     now.span / room)
                                  : 0);
                if (pos != st.trackPos) {
                    {
                        std::lock_guard lk(g_mutex);
                        g_bars[hwnd][bar].trackPos = pos;
                    }
                    redrawFrame(hwnd);
                    SendMessageW(hwnd, message, MAKEWPARAM(SB_THUMBTRACK, pos), 0);
                }
            }
            continue;
        }
        if (msg.hwnd == hwnd && msg.message == WM_LBUTTONUP) {
            if (thumb)
                SendMessageW(hwnd, message, MAKEWPARAM(SB_THUMBPOSITION, stateOf(hwnd, bar).trackPos), 0);
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    KillTimer(hwnd, kRepeatTimer);
    {
        std::lock_guard lk(g_mutex);
        if (auto it = g_bars.find(hwnd); it != g_bars.end())
            it->second[bar].tracking = false;
    }
    if (GetCapture() == hwnd)
        ReleaseCapture();
    SendMessageW(hwnd, message, MAKEWPARAM(SB_ENDSCROLL, 0), 0);
    redrawFrame(hwnd);
}

void sizeMoveLoop(HWND hwnd, WPARAM command, LPARAM screenPoint)
{
    const bool move = (command & 0xFFF0) == SC_MOVE;
    const int edge = move ? 0 : static_cast<int>(command & 0xF);
    if (!move && (edge < WMSZ_LEFT || edge > WMSZ_BOTTOMRIGHT))
        return;
    RECT start;
    if (!GetWindowRect(hwnd, &start))
        return;
    // Where the press was, not where the pointer is by now.
    const DWORD at = screenPoint ? static_cast<DWORD>(screenPoint) : GetMessagePos();
    const POINT origin{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    MINMAXINFO mmi{};
    mmi.ptMinTrackSize = {GetSystemMetrics(SM_CXFRAME) * 2 + 1, GetSystemMetrics(SM_CYFRAME) * 2 + 1};
    mmi.ptMaxTrackSize = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    mmi.ptMaxSize = mmi.ptMaxTrackSize;
    SendMessageW(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    HWND parent = GetAncestor(hwnd, GA_PARENT);
    const bool left = edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT;
    const bool right = edge == WMSZ_RIGHT || edge == WMSZ_TOPRIGHT || edge == WMSZ_BOTTOMRIGHT;
    const bool top = edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT;
    const bool bottom = edge == WMSZ_BOTTOM || edge == WMSZ_BOTTOMLEFT || edge == WMSZ_BOTTOMRIGHT;

    auto place = [&](RECT r) {
        POINT corner{r.left, r.top};
        if (parent)
            ScreenToClient(parent, &corner);
        SetWindowPos(hwnd, nullptr, corner.x, corner.y, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    };
    SendMessageW(hwnd, WM_ENTERSIZEMOVE, 0, 0);
    SetCapture(hwnd);
    MSG msg;
    while (GetCapture() == hwnd) {
        if (!GetMessageW(&msg, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (msg.hwnd == hwnd && msg.message == WM_MOUSEMOVE) {
            const LONG dx = msg.pt.x - origin.x, dy = msg.pt.y - origin.y;
            RECT r = start;
            if (move) {
                r = RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
                SendMessageW(hwnd, WM_MOVING, 0, reinterpret_cast<LPARAM>(&r));
            } else {
                // The moving edges stop where the size reaches its limits.
                auto limit = [](LONG size, LONG lo, LONG hi) {
                    return std::clamp(size, lo, std::max(lo, hi));
                };
                if (left)
                    r.left = r.right - limit(start.right - (start.left + dx), mmi.ptMinTrackSize.x,
                                             mmi.ptMaxTrackSize.x);
                if (right)
                    r.right = r.left + limit(start.right + dx - start.left, mmi.ptMinTrackSize.x,
                                             mmi.ptMaxTrackSize.x);
                if (top)
                    r.top = r.bottom - limit(start.bottom - (start.top + dy), mmi.ptMinTrackSize.y,
                                             mmi.ptMaxTrackSize.y);
                if (bottom)
                    r.bottom = r.top + limit(start.bottom + dy - start.top, mmi.ptMinTrackSize.y,
                                             mmi.ptMaxTrackSize.y);
                SendMessageW(hwnd, WM_SIZING, static_cast<WPARAM>(edge), reinterpret_cast<LPARAM>(&r));
            }
            place(r);
            continue;
        }
        if (msg.hwnd == hwnd && msg.message == WM_LBUTTONUP)
            break;
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
            place(start);
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (GetCapture() == hwnd)
        ReleaseCapture();
    SendMessageW(hwnd, WM_EXITSIZEMOVE, 0, 0);
}

} // namespace pictavo::platform

using namespace pictavo::platform;

int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* info, BOOL redraw)
{
    if (!info || (bar != SB_VERT && bar != SB_HORZ) || !IsWindow(hwnd))
        return 0;
    BarState st;
    bool needed;
    {
        std::lock_guard lk(g_mutex);
        auto& s = g_bars[hwnd][bar];
        if (info->fMask & SIF_RANGE) {
            s.min = info->nMin;
            s.max = std::max(info->nMin, info->nMax);
        }
        const long long range = static_cast<long long>(s.max) - s.min + 1;
        if (info->fMask & SIF_PAGE)
            s.page = static_cast<UINT>(std::min<long long>(info->nPage, range));
        if (info->fMask & SIF_POS)
            s.pos = info->nPos;
        const long long last = s.max - std::max<long long>(static_cast<long long>(s.page) - 1, 0);
        s.pos = static_cast<int>(std::clamp<long long>(s.pos, s.min, std::max<long long>(s.min, last)));
        needed = s.max > s.min && static_cast<long long>(s.page) < range;
        if (!needed && (info->fMask & SIF_DISABLENOSCROLL)) {
            s.disabled = ESB_DISABLE_BOTH;
            s.disabledForNoScroll = true;
        } else if (needed && s.disabledForNoScroll) {
            s.disabled = ESB_ENABLE_BOTH;
            s.disabledForNoScroll = false;
        }
        st = s;
    }
    if (info->fMask & (SIF_RANGE | SIF_PAGE))
        setBarStyle(hwnd, bar, needed || (info->fMask & SIF_DISABLENOSCROLL));
    if (redraw)
        redrawFrame(hwnd);
    return st.pos;
}

BOOL GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* info)
{
    if (!info || (bar != SB_VERT && bar != SB_HORZ) || !IsWindow(hwnd))
        return FALSE;
    const BarState st = stateOf(hwnd, bar);
    if (info->fMask & SIF_RANGE) {
        info->nMin = st.min;
        info->nMax = st.max;
    }
    if (info->fMask & SIF_PAGE)
        info->nPage = st.page;
    if (info->fMask & SIF_POS)
        info->nPos = st.pos;
    if (info->fMask & SIF_TRACKPOS)
        info->nTrackPos = st.tracking ? st.trackPos : st.pos;
    return TRUE;
}

int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw)
{
    const int old = GetScrollPos(hwnd, bar);
    SCROLLINFO si{sizeof si, SIF_POS, 0, 0, 0, pos, 0};
    SetScrollInfo(hwnd, bar, &si, redraw);
    return old;
}

int GetScrollPos(HWND hwnd, int bar)
{
    SCROLLINFO si{sizeof si, SIF_POS, 0, 0, 0, 0, 0};
    return GetScrollInfo(hwnd, bar, &si) ? si.nPos : 0;
}

BOOL SetScrollRange(HWND hwnd, int bar, int min, int max, BOOL redraw)
{
    SCROLLINFO si{sizeof si, SIF_RANGE, min, max, 0, 0, 0};
    return SetScrollInfo(hwnd, bar, &si, redraw) >= 0 || TRUE;
}

BOOL GetScrollRange(HWND hwnd, int bar, int* min, int* max)
{
    SCROLLINFO si{sizeof si, SIF_RANGE, 0, 0, 0, 0, 0};
    if (!GetScrollInfo(hwnd, bar, &si))
        return FALSE;
    if (min)
        *min = si.nMin;
    if (max)
        *max = si.nMax;
    return TRUE;
}

BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show)
{
    if (!IsWindow(hwnd))
        return FALSE;
    if (bar == SB_VERT || bar == SB_BOTH)
        setBarStyle(hwnd, SB_VERT, show);
    if (bar == SB_HORZ || bar == SB_BOTH)
        setBarStyle(hwnd, SB_HORZ, show);
    return TRUE;
}

BOOL EnableScrollBar(HWND hwnd, UINT bar, UINT arrows)
{
    if (!IsWindow(hwnd) || bar > SB_BOTH || bar == SB_CTL)
        return FALSE;
    {
        std::lock_guard lk(g_mutex);
        auto& bars = g_bars[hwnd];
        for (int b : {SB_HORZ, SB_VERT})
            if (bar == SB_BOTH || static_cast<int>(bar) == b) {
                bars[b].disabled = arrows & ESB_DISABLE_BOTH;
                bars[b].disabledForNoScroll = false;
            }
    }
    redrawFrame(hwnd);
    return TRUE;
}
