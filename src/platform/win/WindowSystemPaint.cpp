// Paint and timer messages of the idle source, and composition of top-level pictures.

#include "platform/win/WindowSystem.h"

#include "platform/gfx/Canvas.h"

#include <functional>

namespace pictavo::platform {

bool WindowSystem::takePaint(MSG& out, DWORD thread, HWND filter)
{
    auto s = lock();
    // Parents before children, so a child paints over what its parent just drew.
    std::function<HWND(HWND)> search = [&](HWND h) -> HWND {
        auto w = s->find(h);
        if (!w || !(w->style & WS_VISIBLE))
            return nullptr;
        if (w->thread == thread && (!filter || filter == h) &&
            (!w->update.empty() || (w->ncDirty && w->hasFrame())))
            return h;
        for (HWND c : w->children)
            if (HWND found = search(c))
                return found;
        return nullptr;
    };
    for (HWND top : s->topLevels) {
        if (HWND h = search(top)) {
            out = MSG{h, WM_PAINT, 0, 0, messageTime(), s->cursorPos};
            return true;
        }
    }
    return false;
}

bool WindowSystem::takeTimer(MSG& out, DWORD thread, HWND filter, bool remove)
{
    auto s = lock();
    const auto now = Clock::now();
    Clock::time_point earliest = Clock::time_point::max();
    const bool threadOnly = filter == reinterpret_cast<HWND>(-1);
    for (auto& t : s->timers) {
        if (t.thread != thread || (threadOnly ? t.hwnd != nullptr : (filter && filter != t.hwnd)))
            continue;
        if (t.due <= now) {
            out = MSG{t.hwnd, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc), messageTime(), s->cursorPos};
            if (remove)
                t.due = now + std::chrono::milliseconds(t.elapse);
            return true;
        }
        earliest = std::min(earliest, t.due);
    }
    // The hover time runs out like a timer.
    const auto& tracking = s->tracking;
    if ((tracking.dwFlags & TME_HOVER) && tracking.hwndTrack && s->hoverDue < earliest) {
        auto w = s->find(tracking.hwndTrack);
        if (w && w->thread == thread)
            earliest = s->hoverDue;
    }
    s.unlock();
    if (earliest != Clock::time_point::max())
        wakeAt(earliest, thread);
    return false;
}

void WindowSystem::composeDirty(DWORD thread)
{
    std::vector<HWND> dirty;
    {
        auto s = lock();
        for (HWND top : s->topLevels) {
            auto w = s->find(top);
            if (w && w->thread == thread && w->composeDirty)
                dirty.push_back(top);
        }
    }
    for (HWND top : dirty)
        compose(top);
    std::shared_ptr<Backend> display;
    {
        std::lock_guard lk(mutex_);
        display = backend_;
    }
    if (display)
        display->sync();
}

void WindowSystem::flushThread(DWORD thread)
{
    for (int guard = 0; guard < 10000; ++guard) {
        MSG msg;
        if (!takePaint(msg, thread, nullptr))
            break;
        SendMessageW(msg.hwnd, WM_PAINT, 0, 0);
    }
    composeDirty(thread);
}

std::shared_ptr<Bitmap> WindowSystem::compose(HWND topHandle)
{
    auto s = lock();
    auto top = s->find(topHandle);
    if (!top || top->width() <= 0 || top->height() <= 0)
        return nullptr;
    top->composeDirty = false;
    auto picture = Bitmap::create(top->width(), top->height(), 0xFF000000);
    if (!picture)
        return nullptr;
    Canvas canvas(picture);
    // Each window clipped to its parent's client area, children bottom of the z-order first.
    std::function<void(const Window&, POINT, RECT)> draw = [&](const Window& w, POINT at, RECT clip) {
        RECT area = intersect(clip, RECT{at.x, at.y, at.x + w.width(), at.y + w.height()});
        if (rectEmpty(area))
            return;
        if (w.ncSurface && w.hasFrame()) {
            canvas.resetClip();
            canvas.intersectClip(area);
            canvas.copyFrom(at.x, at.y, w.ncSurface->width(), w.ncSurface->height(), *w.ncSurface, 0, 0);
        }
        POINT c{at.x + w.client.left, at.y + w.client.top};
        RECT clientArea = intersect(area, RECT{c.x, c.y, c.x + w.clientWidth(), c.y + w.clientHeight()});
        if (rectEmpty(clientArea))
            return;
        if (w.surface) {
            canvas.resetClip();
            canvas.intersectClip(clientArea);
            canvas.copyFrom(c.x, c.y, w.surface->width(), w.surface->height(), *w.surface, 0, 0);
        }
        for (auto it = w.children.rbegin(); it != w.children.rend(); ++it) {
            auto child = s->find(*it);
            if (child && (child->style & WS_VISIBLE))
                draw(*child, POINT{c.x + child->rect.left, c.y + child->rect.top}, clientArea);
        }
    };
    draw(*top, POINT{0, 0}, RECT{0, 0, top->width(), top->height()});
    top->presented = picture;
    auto display = backend_;
    s.unlock();
    notifyChanged();
    if (display)
        display->present(topHandle, picture);
    return picture;
}

} // namespace pictavo::platform
