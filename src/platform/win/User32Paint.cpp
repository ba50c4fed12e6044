// Invalidation, WM_PAINT and device contexts over each window's retained surface.

#include "platform/gfx/Canvas.h"
#include "platform/kernel/Synch.h"
#include "platform/win/WindowSystem.h"

#include <algorithm>
#include <map>
#include <utility>

using namespace pictavo::platform;

namespace {

std::mutex g_dcMutex;
std::map<HDC, std::pair<HWND, std::unique_ptr<Canvas>>> g_dcs;

constexpr size_t kMaxUpdateRects = 16;

RECT bounds(const std::vector<RECT>& rects)
{
    if (rects.empty())
        return RECT{};
    RECT b = rects.front();
    for (const RECT& r : rects) {
        b.left = std::min(b.left, r.left);
        b.top = std::min(b.top, r.top);
        b.right = std::max(b.right, r.right);
        b.bottom = std::max(b.bottom, r.bottom);
    }
    return b;
}

bool inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

void addRect(std::vector<RECT>& rects, const RECT& r)
{
    if (rectEmpty(r))
        return;
    for (const RECT& have : rects)
        if (inside(r, have))
            return;
    std::erase_if(rects, [&](const RECT& have) { return inside(have, r); });
    rects.push_back(r);
    if (rects.size() > kMaxUpdateRects)
        rects.assign(1, bounds(rects));
}

// r minus cut: up to four pieces.
void subtract(const RECT& r, const RECT& cut, std::vector<RECT>& out)
{
    const RECT i = intersect(r, cut);
    if (rectEmpty(i)) {
        out.push_back(r);
        return;
    }
    if (r.top < i.top)
        out.push_back(RECT{r.left, r.top, r.right, i.top});
    if (i.bottom < r.bottom)
        out.push_back(RECT{r.left, i.bottom, r.right, r.bottom});
    if (r.left < i.left)
        out.push_back(RECT{r.left, i.top, i.left, i.bottom});
    if (i.right < r.right)
        out.push_back(RECT{i.right, i.top, r.right, i.bottom});
}

void invalidateLocked(WindowState& s, Window& w, const RECT* rect, bool erase, bool children)
{
    const RECT all{0, 0, w.clientWidth(), w.clientHeight()};
    addRect(w.update, rect ? intersect(*rect, all) : all);
    w.erase = w.erase || erase;
    if (!children)
        return;
    for (HWND c : w.children)
        if (auto child = s.find(c)) {
            RECT local{};
            if (rect)
                local = RECT{rect->left - child->rect.left - child->client.left,
                             rect->top - child->rect.top - child->client.top,
                             rect->right - child->rect.left - child->client.left,
                             rect->bottom - child->rect.top - child->client.top};
            child->ncDirty = true;
            invalidateLocked(s, *child, rect ? &local : nullptr, erase, true);
        }
}

bool invalidate(HWND hwnd, const RECT* rect, bool erase, bool children)
{
    DWORD thread;
    {
        auto s = ws().lock();
        auto w = s->find(hwnd);
        if (!w)
            return false;
        invalidateLocked(*s, *w, rect, erase, children);
        thread = w->thread;
    }
    ws().wakeThread(thread);
    return true;
}

HDC canvasDc(HWND hwnd, const std::shared_ptr<Bitmap>& surface, const RECT& clip)
{
    auto canvas = std::make_unique<Canvas>(surface ? surface : Bitmap::create(1, 1));
    canvas->intersectClip(surface ? clip : RECT{});
    HDC dc = createCanvasDC(canvas.get());
    std::lock_guard lk(g_dcMutex);
    g_dcs[dc] = {hwnd, std::move(canvas)};
    return dc;
}

bool releaseCanvasDc(HDC dc)
{
    std::unique_ptr<Canvas> canvas;
    HWND hwnd;
    {
        std::lock_guard lk(g_dcMutex);
        auto it = g_dcs.find(dc);
        if (it == g_dcs.end())
            return false;
        hwnd = it->second.first;
        canvas = std::move(it->second.second);
        g_dcs.erase(it);
    }
    DeleteDC(dc);
    auto s = ws().lock();
    if (auto w = s->find(hwnd))
        s->markCompose(*w);
    return true;
}

} // namespace

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase)
{
    return invalidate(hwnd, rect, erase, false);
}

BOOL ValidateRect(HWND hwnd, const RECT* rect)
{
    auto s = ws().lock();
    auto w = s->find(hwnd);
    if (!w)
        return FALSE;
    if (!rect) {
        w->update.clear();
        w->erase = false;
        return TRUE;
    }
    std::vector<RECT> left;
    for (const RECT& r : w->update)
        subtract(r, *rect, left);
    w->update.clear();
    for (const RECT& r : left)
        addRect(w->update, r);
    if (w->update.empty())
        w->erase = false;
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL)
{
    auto s = ws().lock();
    auto w = s->find(hwnd);
    if (!w)
        return FALSE;
    if (rect)
        *rect = bounds(w->update);
    return !w->update.empty();
}

BOOL UpdateWindow(HWND hwnd)
{
    bool pending;
    {
        auto s = ws().lock();
        auto w = s->find(hwnd);
        if (!w)
            return FALSE;
        pending = (w->style & WS_VISIBLE) && (!w->update.empty() || (w->ncDirty && w->hasFrame()));
    }
    if (pending)
        SendMessageW(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, void*, UINT flags)
{
    if ((flags & RDW_INVALIDATE) && !invalidate(hwnd, rect, flags & RDW_ERASE, flags & RDW_ALLCHILDREN))
        return FALSE;
    if (flags & RDW_UPDATENOW) {
        std::vector<HWND> order{hwnd};
        for (size_t i = 0; i < order.size() && (flags & RDW_ALLCHILDREN); ++i)
            for (HWND c = GetWindow(order[i], GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
                order.push_back(c);
        for (HWND h : order)
            UpdateWindow(h);
    }
    return TRUE;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint)
{
    if (!paint)
        return nullptr;
    *paint = PAINTSTRUCT{};
    std::shared_ptr<Bitmap> surface;
    bool erase, nc;
    RECT area;
    {
        auto s = ws().lock();
        auto w = s->find(hwnd);
        if (!w || w->thread != GetCurrentThreadId())
            return nullptr;
        area = bounds(w->update);
        w->update.clear();
        erase = std::exchange(w->erase, false);
        nc = w->ncDirty && w->hasFrame();
        w->ncDirty = false;
        surface = w->surface;
        s->markCompose(*w);
    }
    if (nc)
        SendMessageW(hwnd, WM_NCPAINT, 1, 0);
    paint->hdc = canvasDc(hwnd, surface, area);
    paint->rcPaint = area;
    paint->fErase = erase && !SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(paint->hdc), 0);
    return paint->hdc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint)
{
    return paint && releaseCanvasDc(paint->hdc);
}

HDC GetDC(HWND hwnd)
{
    std::shared_ptr<Bitmap> surface;
    RECT all;
    {
        auto s = ws().lock();
        auto w = s->find(hwnd);
        // The surface is the owner thread's to draw on; others ask it with a message.
        if (!w || w->thread != GetCurrentThreadId())
            return nullptr;
        surface = w->surface;
        all = RECT{0, 0, w->clientWidth(), w->clientHeight()};
    }
    return canvasDc(hwnd, surface, all);
}

HDC GetWindowDC(HWND hwnd)
{
    std::shared_ptr<Bitmap> surface;
    RECT all;
    {
        auto s = ws().lock();
        auto w = s->find(hwnd);
        if (!w || w->thread != GetCurrentThreadId())
            return nullptr;
        // Without a frame the window is all client area.
        surface = w->ncSurface ? w->ncSurface : w->surface;
        all = surface ? RECT{0, 0, surface->width(), surface->height()} : RECT{};
        s->markCompose(*w);
    }
    return canvasDc(hwnd, surface, all);
}

int ReleaseDC(HWND hwnd, HDC dc)
{
    if (!releaseCanvasDc(dc))
        return 0;
    ws().wakeThread(GetWindowThreadProcessId(hwnd, nullptr));
    return 1;
}

DWORD GetSysColor(int index)
{
    switch (index) {
    case COLOR_WINDOW:
        return 0xFFFFFF;
    case COLOR_WINDOWTEXT:
        return 0x000000;
    case COLOR_BTNFACE:
        return 0xF0F0F0;
    }
    return 0xC0C0C0;
}

HBRUSH GetSysColorBrush(int index)
{
    static std::mutex mutex;
    static std::map<int, HBRUSH> brushes;
    std::lock_guard lk(mutex);
    auto& b = brushes[index];
    if (!b)
        b = CreateSolidBrush(GetSysColor(index));
    return b;
}
