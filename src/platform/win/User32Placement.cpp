// Showing, enabling and placing windows, and their coordinates.

#include "platform/kernel/Synch.h"
#include "platform/kernel/ThreadQueue.h"
#include "platform/win/NonClient.h"
#include "platform/win/WindowSystem.h"

#include <algorithm>

using namespace pictavo::platform;

namespace {

// Calls from other threads run on the window's own thread, as Win32 sends them there.
template <class F> bool marshalled(HWND hwnd, BOOL& result, F call)
{
    const DWORD owner = GetWindowThreadProcessId(hwnd, nullptr);
    if (!owner || owner == GetCurrentThreadId())
        return false;
    result = FALSE;
    if (auto queue = ThreadQueue::find(owner))
        queue->send([&] { result = call(); });
    return true;
}

// Screen coordinates of the client area's top-left corner.
bool clientOrigin(HWND hwnd, POINT& origin)
{
    return withWindow<bool>(hwnd, false, [&](WindowState& s, Window& w) {
        POINT o = s.screenOrigin(w);
        origin = POINT{o.x + w.client.left, o.y + w.client.top};
        return true;
    });
}

} // namespace

BOOL IsWindowVisible(HWND hwnd)
{
    auto s = ws().lock();
    return s->visible(hwnd);
}

BOOL IsWindowEnabled(HWND hwnd)
{
    return withWindow<BOOL>(hwnd, FALSE, [](WindowState&, Window& w) { return !(w.style & WS_DISABLED); });
}

BOOL EnableWindow(HWND hwnd, BOOL enable)
{
    BOOL viaOwner;
    if (marshalled(hwnd, viaOwner, [&] { return EnableWindow(hwnd, enable); }))
        return viaOwner;
    bool wasDisabled;
    HWND loseFocus = nullptr;
    {
        auto s = ws().lock();
        auto w = s->find(hwnd);
        if (!w)
            return FALSE;
        wasDisabled = w->style & WS_DISABLED;
        if (wasDisabled == !enable)
            return wasDisabled;
        if (enable)
            w->style &= ~WS_DISABLED;
        else
            w->style |= WS_DISABLED;
        if (!enable && s->isInside(s->focus, hwnd))
            loseFocus = s->focus;
    }
    if (loseFocus)
        SetFocus(nullptr);
    SendMessageW(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled;
}

BOOL ShowWindow(HWND hwnd, int command)
{
    BOOL viaOwner;
    if (marshalled(hwnd, viaOwner, [&] { return ShowWindow(hwnd, command); }))
        return viaOwner;
    std::shared_ptr<Window> w;
    bool wasVisible;
    {
        auto s = ws().lock();
        w = s->find(hwnd);
        if (!w)
            return FALSE;
        wasVisible = w->style & WS_VISIBLE;
    }
    if (command == SW_HIDE) {
        if (!wasVisible)
            return FALSE;
        SendMessageW(hwnd, WM_SHOWWINDOW, FALSE, 0);
        HWND focus, capture;
        bool wasActive;
        {
            auto s = ws().lock();
            w->style &= ~WS_VISIBLE;
            s->markCompose(*w);
            focus = s->isInside(s->focus, hwnd) ? s->focus : nullptr;
            capture = s->isInside(s->capture, hwnd) ? s->capture : nullptr;
            wasActive = s->active == hwnd;
        }
        if (capture)
            ReleaseCapture();
        if (wasActive)
            SetActiveWindow(w->owner && IsWindowVisible(w->owner) ? w->owner : nullptr);
        else if (focus)
            SetFocus(w->parent);
        ws().wakeThread(w->thread);
        ws().notifyChanged();
        return TRUE;
    }
    const bool maximize = command == SW_SHOWMAXIMIZED;
    const bool restore = command == SW_RESTORE || command == SW_SHOWNORMAL;
    if (maximize && !w->maximized) {
        RECT area{};
        if (w->parent) {
            GetClientRect(w->parent, &area);
        } else {
            SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
        }
        MINMAXINFO mmi{};
        mmi.ptMaxSize = {area.right - area.left, area.bottom - area.top};
        mmi.ptMaxPosition = {area.left, area.top};
        mmi.ptMaxTrackSize = mmi.ptMaxSize;
        SendMessageW(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
        {
            auto s = ws().lock();
            w->restored = w->rect;
            w->maximized = true;
            w->style |= WS_MAXIMIZE;
        }
        SetWindowPos(hwnd, nullptr, mmi.ptMaxPosition.x, mmi.ptMaxPosition.y, mmi.ptMaxSize.x,
                     mmi.ptMaxSize.y, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    } else if (restore && w->maximized) {
        RECT r;
        {
            auto s = ws().lock();
            w->maximized = false;
            w->style &= ~WS_MAXIMIZE;
            r = w->restored;
        }
        SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    if (!wasVisible) {
        SendMessageW(hwnd, WM_SHOWWINDOW, TRUE, 0);
        auto s = ws().lock();
        w->style |= WS_VISIBLE;
        w->allocateSurfaces();
        s->markCompose(*w);
    }
    const bool activates =
        command != SW_SHOWNA && command != SW_SHOWNOACTIVATE && command != SW_SHOWMINNOACTIVE;
    if (!w->parent && activates && !(w->exStyle & WS_EX_NOACTIVATE))
        SetActiveWindow(hwnd);
    ws().wakeThread(w->thread);
    ws().notifyChanged();
    return wasVisible;
}

BOOL IsZoomed(HWND hwnd)
{
    return withWindow<BOOL>(hwnd, FALSE, [](WindowState&, Window& w) { return w.maximized; });
}

BOOL IsIconic(HWND)
{
    return FALSE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint)
{
    return SetWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    BOOL viaOwner;
    if (marshalled(hwnd, viaOwner, [&] { return SetWindowPos(hwnd, insertAfter, x, y, cx, cy, flags); }))
        return viaOwner;
    auto w = ws().window(hwnd);
    if (!w)
        return FALSE;
    WINDOWPOS pos{hwnd, insertAfter, x, y, std::clamp(cx, 0, 32767), std::clamp(cy, 0, 32767), flags};
    if (flags & SWP_NOMOVE) {
        pos.x = w->rect.left;
        pos.y = w->rect.top;
    }
    if (flags & SWP_NOSIZE) {
        pos.cx = w->width();
        pos.cy = w->height();
    }
    SendMessageW(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
    RECT rect{pos.x, pos.y, pos.x + pos.cx, pos.y + pos.cy};
    const bool sized = pos.cx != w->width() || pos.cy != w->height();
    const bool moved = pos.x != w->rect.left || pos.y != w->rect.top;
    RECT client = w->client;
    if (sized || (flags & SWP_FRAMECHANGED))
        client = clientAreaOf(w->handle, rect);
    const bool clientSized =
        client.right - client.left != w->clientWidth() || client.bottom - client.top != w->clientHeight();
    {
        auto s = ws().lock();
        if (!s->find(hwnd))
            return FALSE;
        s->markCompose(*w);
        w->rect = rect;
        w->client = client;
        if (sized || (flags & SWP_FRAMECHANGED))
            w->allocateSurfaces();
        if (!(flags & SWP_NOZORDER) && !w->parent &&
            (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST)) {
            if (insertAfter == HWND_TOPMOST)
                w->exStyle |= WS_EX_TOPMOST;
            else
                w->exStyle &= ~WS_EX_TOPMOST;
            s->raiseTopLevel(hwnd);
        } else if (!(flags & SWP_NOZORDER) && !w->parent && insertAfter == HWND_TOP) {
            s->raiseTopLevel(hwnd);
        } else if (!(flags & SWP_NOZORDER)) {
            auto& list = w->parent ? s->find(w->parent)->children : s->topLevels;
            list.erase(std::remove(list.begin(), list.end(), hwnd), list.end());
            auto at = list.begin();
            if (insertAfter == HWND_BOTTOM) {
                at = list.end();
            } else if (insertAfter && insertAfter != HWND_TOPMOST && insertAfter != HWND_NOTOPMOST) {
                auto found = std::find(list.begin(), list.end(), insertAfter);
                at = found == list.end() ? list.begin() : found + 1;
            }
            list.insert(at, hwnd);
        }
        s->markCompose(*w);
    }
    if (flags & SWP_SHOWWINDOW)
        ShowWindow(hwnd, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    if (flags & SWP_HIDEWINDOW)
        ShowWindow(hwnd, SW_HIDE);
    pos.flags = (flags & ~(SWP_NOMOVE | SWP_NOSIZE)) | (moved ? 0 : SWP_NOMOVE) |
                (sized || clientSized ? 0 : SWP_NOSIZE);
    SendMessageW(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    ws().wakeThread(w->thread);
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect)
{
    return rect && withWindow<BOOL>(hwnd, FALSE, [&](WindowState& s, Window& w) {
               POINT o = s.screenOrigin(w);
               *rect = RECT{o.x, o.y, o.x + w.width(), o.y + w.height()};
               return TRUE;
           });
}

BOOL GetClientRect(HWND hwnd, RECT* rect)
{
    return rect && withWindow<BOOL>(hwnd, FALSE, [&](WindowState&, Window& w) {
               *rect = RECT{0, 0, w.clientWidth(), w.clientHeight()};
               return TRUE;
           });
}

BOOL ClientToScreen(HWND hwnd, POINT* point)
{
    POINT o;
    if (!point || !clientOrigin(hwnd, o))
        return FALSE;
    point->x += o.x;
    point->y += o.y;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point)
{
    POINT o;
    if (!point || !clientOrigin(hwnd, o))
        return FALSE;
    point->x -= o.x;
    point->y -= o.y;
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count)
{
    POINT origin{0, 0};
    if (from)
        ClientToScreen(from, &origin);
    POINT target{0, 0};
    if (to)
        ClientToScreen(to, &target);
    const LONG dx = origin.x - target.x, dy = origin.y - target.y;
    for (UINT i = 0; points && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    return static_cast<int>(MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy)));
}
