// Capture, focus, activation, mouse tracking, cursors and the screen's metrics.

#include "platform/kernel/Synch.h"
#include "platform/kernel/ThreadQueue.h"
#include "platform/win/WindowSystem.h"

#include <algorithm>
#include <utility>

using namespace pictavo::platform;

HWND SetCapture(HWND hwnd)
{
    HWND old;
    {
        auto s = ws().lock();
        if (!s->find(hwnd))
            return s->capture;
        old = std::exchange(s->capture, hwnd);
    }
    if (old && old != hwnd)
        SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return old;
}

BOOL ReleaseCapture()
{
    HWND old;
    {
        auto s = ws().lock();
        old = std::exchange(s->capture, nullptr);
    }
    if (old)
        SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture()
{
    auto s = ws().lock();
    return s->capture;
}

HWND SetFocus(HWND hwnd)
{
    HWND old, top = nullptr;
    {
        auto s = ws().lock();
        if (hwnd) {
            auto w = s->find(hwnd);
            if (!w || (w->style & WS_DISABLED))
                return nullptr;
            top = s->rootOf(hwnd);
        }
        old = s->focus;
        if (old == hwnd)
            return old;
    }
    if (top && top != GetActiveWindow())
        SetActiveWindow(top);
    {
        auto s = ws().lock();
        old = s->focus;
        if (old == hwnd)
            return old;
    }
    if (old)
        SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    {
        auto s = ws().lock();
        if (hwnd && !s->find(hwnd))
            return old;
        s->focus = hwnd;
    }
    if (hwnd)
        SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND GetFocus()
{
    auto s = ws().lock();
    return s->focus;
}

HWND SetActiveWindow(HWND hwnd)
{
    HWND old;
    {
        auto s = ws().lock();
        if (hwnd) {
            if (!s->find(hwnd))
                return nullptr;
            hwnd = s->rootOf(hwnd);
        }
        old = s->active;
        if (old == hwnd)
            return old;
    }
    if (old) {
        SendMessageW(old, WM_NCACTIVATE, FALSE, 0);
        SendMessageW(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hwnd));
    }
    HWND lostFocus = nullptr;
    {
        auto s = ws().lock();
        s->active = hwnd;
        if (s->focus && s->rootOf(s->focus) != hwnd)
            lostFocus = s->focus;
        if (hwnd)
            s->raiseTopLevel(hwnd);
    }
    // Focus never stays in a window that is no longer in the active window.
    if (lostFocus) {
        SendMessageW(lostFocus, WM_KILLFOCUS, 0, 0);
        auto s = ws().lock();
        if (s->focus == lostFocus)
            s->focus = nullptr;
    }
    if (hwnd) {
        SendMessageW(hwnd, WM_NCACTIVATE, TRUE, 0);
        SendMessageW(hwnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
    }
    ws().notifyChanged();
    return old;
}

HWND GetActiveWindow()
{
    auto s = ws().lock();
    return s->active;
}

BOOL SetForegroundWindow(HWND hwnd)
{
    SetActiveWindow(hwnd);
    return IsWindow(hwnd);
}

HWND GetForegroundWindow()
{
    return GetActiveWindow();
}

BOOL TrackMouseEvent(TRACKMOUSEEVENT* track)
{
    if (!track || track->cbSize != sizeof(TRACKMOUSEEVENT))
        return FALSE;
    auto s = ws().lock();
    if (track->dwFlags & TME_QUERY) {
        *track = s->tracking;
        track->cbSize = sizeof(TRACKMOUSEEVENT);
        return TRUE;
    }
    if (track->dwFlags & TME_CANCEL) {
        if (s->tracking.hwndTrack == track->hwndTrack) {
            s->tracking.dwFlags &= ~(track->dwFlags & (TME_HOVER | TME_LEAVE));
            if (!(s->tracking.dwFlags & (TME_HOVER | TME_LEAVE)))
                s->tracking = {};
        }
        return TRUE;
    }
    auto w = s->find(track->hwndTrack);
    if (!w)
        return FALSE;
    // Asking while the pointer is already elsewhere gets the leave at once.
    bool over = s->hitTest(s->cursorPos) == track->hwndTrack;
    if (over) {
        POINT o = s->screenOrigin(*w);
        const LONG x = s->cursorPos.x - o.x, y = s->cursorPos.y - o.y;
        const bool inClient =
            x >= w->client.left && x < w->client.right && y >= w->client.top && y < w->client.bottom;
        over = (track->dwFlags & TME_NONCLIENT) ? !inClient : inClient;
    }
    if (!over) {
        const DWORD thread = w->thread;
        s.unlock();
        if ((track->dwFlags & TME_LEAVE))
            if (auto q = ThreadQueue::find(thread))
                q->post(MSG{track->hwndTrack,
                            UINT((track->dwFlags & TME_NONCLIENT) ? WM_NCMOUSELEAVE : WM_MOUSELEAVE), 0, 0, 0,
                            POINT{}});
        return TRUE;
    }
    const bool sameWindow = s->tracking.hwndTrack == track->hwndTrack;
    const DWORD flags =
        (sameWindow ? s->tracking.dwFlags : 0) | (track->dwFlags & (TME_HOVER | TME_LEAVE | TME_NONCLIENT));
    s->tracking = *track;
    s->tracking.dwFlags = flags;
    if (track->dwFlags & TME_HOVER) {
        if (s->tracking.dwHoverTime == HOVER_DEFAULT || s->tracking.dwHoverTime == 0)
            s->tracking.dwHoverTime = 400;
        s->hoverPoint = s->cursorPos;
        s->hoverDue = WindowSystem::Clock::now() + std::chrono::milliseconds(s->tracking.dwHoverTime);
        const auto due = s->hoverDue;
        const DWORD thread = w->thread;
        s.unlock();
        ws().wakeAt(due, thread);
    }
    return TRUE;
}

BOOL _TrackMouseEvent(TRACKMOUSEEVENT* track)
{
    return TrackMouseEvent(track);
}

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name)
{
    // Standard shapes only: the handle is the shape's number.
    const auto id = reinterpret_cast<uintptr_t>(name);
    if (instance || id < 32512 || id > 32650)
        return nullptr;
    return reinterpret_cast<HCURSOR>(id);
}

HCURSOR SetCursor(HCURSOR cursor)
{
    auto s = ws().lock();
    return std::exchange(s->cursor, cursor);
}

HCURSOR GetCursor()
{
    auto s = ws().lock();
    return s->cursor;
}

int GetSystemMetrics(int index)
{
    // Fixed metrics first: callers may hold the window lock for these.
    switch (index) {
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
        return 17;
    case SM_CYCAPTION:
        return 22;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return 4;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    }
    auto s = ws().lock();
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
        return s->screen.cx;
    case SM_CYSCREEN:
        return s->screen.cy;
    case SM_CYFULLSCREEN:
        return s->screen.cy - s->taskbar - 22;
    }
    return 0;
}

BOOL SystemParametersInfoW(UINT action, UINT, void* out, UINT)
{
    if (action != SPI_GETWORKAREA || !out)
        return FALSE;
    auto s = ws().lock();
    *static_cast<RECT*>(out) = RECT{0, 0, s->screen.cx, s->screen.cy - s->taskbar};
    return TRUE;
}

namespace {
const HMONITOR kScreen = reinterpret_cast<HMONITOR>(static_cast<uintptr_t>(0x10001));
}

HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags)
{
    RECT r;
    if (!GetWindowRect(hwnd, &r))
        return flags == MONITOR_DEFAULTTONULL ? nullptr : kScreen;
    return MonitorFromPoint(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}, flags);
}

HMONITOR MonitorFromPoint(POINT point, DWORD flags)
{
    const bool on = point.x >= 0 && point.y >= 0 && point.x < GetSystemMetrics(SM_CXSCREEN) &&
                    point.y < GetSystemMetrics(SM_CYSCREEN);
    return on || flags != MONITOR_DEFAULTTONULL ? kScreen : nullptr;
}

BOOL GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info)
{
    if (monitor != kScreen || !info || info->cbSize < sizeof(MONITORINFO))
        return FALSE;
    info->rcMonitor = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &info->rcWork, 0);
    info->dwFlags = MONITORINFOF_PRIMARY;
    return TRUE;
}
