// Input: injected on any thread, queued for the thread that owns the target, routed when taken.

#include "platform/win/WindowSystem.h"

#include "platform/kernel/Synch.h"
#include "platform/kernel/ThreadQueue.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace pictavo::platform {

namespace {

constexpr size_t kMaxPendingInput = 65536;

using Kind = InputEvent::Kind;

WPARAM mouseKeys(const BYTE* keys)
{
    WPARAM mk = 0;
    if (keys[VK_LBUTTON] & 0x80)
        mk |= MK_LBUTTON;
    if (keys[VK_RBUTTON] & 0x80)
        mk |= MK_RBUTTON;
    if (keys[VK_MBUTTON] & 0x80)
        mk |= MK_MBUTTON;
    if (keys[VK_SHIFT] & 0x80)
        mk |= MK_SHIFT;
    if (keys[VK_CONTROL] & 0x80)
        mk |= MK_CONTROL;
    return mk;
}

UINT buttonMessage(int button, int which) // which: 0 down, 1 up, 2 double
{
    UINT base = button == VK_RBUTTON   ? WM_RBUTTONDOWN
                : button == VK_MBUTTON ? WM_MBUTTONDOWN
                                       : WM_LBUTTONDOWN;
    return base + which;
}

// A press tells each ancestor, in its own client coordinates, up to the first window that
// opted out or the top level; a parent may act on the press before the child sees it.
void notifyParents(const InputEvent& e, HWND child)
{
    const WPARAM what = MAKEWPARAM(buttonMessage(e.button, 0), 0);
    for (HWND w = child; IsWindow(w) && (GetWindowLongW(w, GWL_STYLE) & WS_CHILD) &&
                         !(GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_NOPARENTNOTIFY);) {
        const HWND parent = GetAncestor(w, GA_PARENT);
        if (!parent)
            return;
        POINT p = e.pt;
        ScreenToClient(parent, &p);
        SendMessageW(parent, WM_PARENTNOTIFY, what, MAKELPARAM(p.x, p.y));
        w = parent;
    }
}

void setKey(BYTE* keys, UINT vk, bool down)
{
    if (down) {
        if (!(keys[vk] & 0x80))
            keys[vk] ^= 0x01; // toggle state flips on each press
        keys[vk] |= 0x80;
    } else {
        keys[vk] &= static_cast<BYTE>(~0x80);
    }
}

UINT keyMessage(const WindowState& s, bool up)
{
    const bool sys = (s.keys[VK_MENU] & 0x80) || !s.focus;
    return up ? (sys ? WM_SYSKEYUP : WM_KEYUP) : (sys ? WM_SYSKEYDOWN : WM_KEYDOWN);
}

bool isPointer(Kind kind)
{
    return kind == Kind::Move || kind == Kind::Down || kind == Kind::Up || kind == Kind::Wheel ||
           kind == Kind::Drop;
}

// Where pointer input goes now: the capture (not for drops), else the window under the point;
// the wheel goes to the focus.
HWND pointerTarget(const WindowState& s, const InputEvent& e)
{
    if (e.kind == Kind::Wheel && s.focus)
        return s.focus;
    return s.capture && e.kind != Kind::Drop ? s.capture : s.hitTest(e.pt);
}

// The thread whose queue takes the event, after the injector's view of the screen.
DWORD inputThread(WindowState& s, InputEvent& e)
{
    DWORD thread = 0;
    if (isPointer(e.kind)) {
        if (e.kind == Kind::Move || e.kind == Kind::Drop)
            s.cursorPos = e.pt;
        else
            e.pt = s.cursorPos;
        if (e.kind == Kind::Down || e.kind == Kind::Up)
            setKey(s.asyncKeys, static_cast<UINT>(e.button), e.kind == Kind::Down);
        if (auto w = s.find(pointerTarget(s, e)))
            thread = w->thread;
        else if (auto a = s.find(s.active))
            thread = a->thread; // may be captured by the time it is taken, or owe a leave
        else
            thread = s.lastMouseThread;
        if (thread)
            s.lastMouseThread = thread;
    } else if (e.kind == Kind::Activate) {
        if (auto w = s.find(e.window ? e.window : s.active))
            thread = w->thread;
    } else {
        if (e.kind == Kind::Key)
            setKey(s.asyncKeys, e.vk, !e.up);
        auto w = s.find(s.focus ? s.focus : s.active);
        // Without a window to take it, a key still reaches the key state of the last thread.
        thread = w ? w->thread : (e.kind == Kind::Key ? s.lastMouseThread : 0);
        if (w)
            s.lastMouseThread = thread;
    }
    return thread;
}

// The message the event would become if taken now, judged without side effects.
MSG predict(const WindowState& s, const InputEvent& e)
{
    MSG m{nullptr, 0, 0, 0, e.time, e.pt};
    switch (e.kind) {
    case Kind::Key:
        m.hwnd = s.focus ? s.focus : s.active;
        m.message = keyMessage(s, e.up);
        m.wParam = e.vk;
        return m;
    case Kind::Char:
        m.hwnd = s.focus ? s.focus : s.active;
        m.message = WM_CHAR;
        m.wParam = e.ch;
        return m;
    case Kind::Wheel:
        m.hwnd = s.focus ? s.focus : s.hitTest(s.cursorPos);
        m.message = WM_MOUSEWHEEL;
        return m;
    default:
        break;
    }
    m.hwnd = s.capture ? s.capture : s.hitTest(e.pt);
    m.message = e.kind == Kind::Move ? UINT(WM_MOUSEMOVE) : buttonMessage(e.button, e.kind == Kind::Up ? 1 : 0);
    m.wParam = mouseKeys(s.keys);
    if (auto w = s.find(m.hwnd)) {
        POINT o = s.screenOrigin(*w);
        m.lParam = MAKELPARAM(e.pt.x - o.x - w->client.left, e.pt.y - o.y - w->client.top);
    }
    return m;
}

// Hover: the pointer stayed inside the hover rectangle for the hover time.
bool takeHover(WindowState& s, MSG& out, DWORD thread, HWND filter)
{
    if (!(s.tracking.dwFlags & TME_HOVER) || !s.tracking.hwndTrack || (filter && filter != s.tracking.hwndTrack))
        return false;
    auto w = s.find(s.tracking.hwndTrack);
    if (!w || w->thread != thread || WindowSystem::Clock::now() < s.hoverDue)
        return false;
    s.tracking.dwFlags &= ~TME_HOVER;
    POINT origin = s.screenOrigin(*w);
    out = MSG{w->handle,
              WM_MOUSEHOVER,
              mouseKeys(s.keys),
              MAKELPARAM(s.cursorPos.x - origin.x - w->client.left, s.cursorPos.y - origin.y - w->client.top),
              messageTime(),
              s.cursorPos};
    return true;
}

bool routeKey(WindowState& s, const InputEvent& e, MSG& out, DWORD thread)
{
    // The key state follows the keyboard even when no window takes the key.
    if (e.kind == Kind::Key)
        setKey(s.keys, e.vk, !e.up);
    HWND target = s.focus ? s.focus : s.active;
    auto w = s.find(target);
    if (!w || w->thread != thread)
        return false;
    out.hwnd = target;
    if (e.kind == Kind::Char) {
        out.message = WM_CHAR;
        out.wParam = e.ch;
        out.lParam = 1;
        return true;
    }
    out.message = keyMessage(s, e.up);
    out.wParam = e.vk;
    out.lParam = e.up ? static_cast<LPARAM>(0xC0000001u) : 1;
    return true;
}

// The pointer left every window of this thread: a leave is still owed to the tracked window.
bool routeOutside(WindowState& s, const InputEvent& e, MSG& out, DWORD thread)
{
    if (e.kind != Kind::Move || !s.tracking.hwndTrack)
        return false;
    HWND left = std::exchange(s.tracking.hwndTrack, nullptr);
    s.tracking.dwFlags = 0;
    auto lw = s.find(left);
    if (!lw)
        return false;
    out = MSG{left, WM_MOUSELEAVE, 0, 0, e.time, e.pt};
    if (lw->thread == thread)
        return true;
    if (auto q = ThreadQueue::find(lw->thread))
        q->post(out);
    return false;
}

bool routeWheel(const WindowState& s, const InputEvent& e, HWND target, MSG& out)
{
    out.hwnd = target;
    out.message = WM_MOUSEWHEEL;
    out.wParam = MAKEWPARAM(mouseKeys(s.keys), e.delta);
    out.lParam = MAKELPARAM(e.pt.x, e.pt.y);
    return true;
}

// Asks the window where the point is; a transparent spot passes the pointer to the parent
// underneath. False when nothing below takes it. Called without the lock.
bool nonClientHit(const InputEvent& e, HWND& target, LRESULT& hit)
{
    hit = SendMessageW(target, WM_NCHITTEST, 0, MAKELPARAM(e.pt.x, e.pt.y));
    while (hit == HTTRANSPARENT) {
        HWND parent = GetAncestor(target, GA_PARENT);
        if (!parent)
            return false;
        target = parent;
        hit = SendMessageW(target, WM_NCHITTEST, 0, MAKELPARAM(e.pt.x, e.pt.y));
    }
    if (e.kind == Kind::Move)
        SendMessageW(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target), MAKELPARAM(hit, WM_MOUSEMOVE));
    return true;
}

// Two presses of one button on one window, close in time and place, make a double-click when
// the class asks for them; a third press starts over.
UINT pressMessage(WindowState& s, const InputEvent& e, const Window& w, bool client)
{
    const UINT dbl = static_cast<UINT>(GetSystemMetrics(SM_CXDOUBLECLK) / 2);
    const bool isDouble = s.lastClick.hwnd == w.handle && s.lastClick.button == e.button &&
                          e.time - s.lastClick.time <= GetDoubleClickTime() &&
                          static_cast<UINT>(std::abs(e.pt.x - s.lastClick.pt.x)) <= dbl &&
                          static_cast<UINT>(std::abs(e.pt.y - s.lastClick.pt.y)) <= dbl;
    if (isDouble && (w.cls->style & CS_DBLCLKS || !client)) {
        s.lastClick.hwnd = nullptr;
        return buttonMessage(e.button, 2);
    }
    s.lastClick = {w.handle, e.button, e.time, e.pt};
    return buttonMessage(e.button, 0);
}

} // namespace

void WindowSystem::inject(InputEvent e)
{
    e.time = messageTime();
    DWORD thread = 0;
    {
        std::lock_guard lk(mutex_);
        thread = inputThread(state_, e);
        // Input for a thread that has ended, or that stopped taking input, goes nowhere.
        if (!thread || !ThreadQueue::find(thread))
            return;
        auto& pending = input_[thread];
        if (pending.size() >= kMaxPendingInput)
            return;
        pending.push_back(std::move(e));
    }
    wakeThread(thread);
}

bool WindowSystem::settle(DWORD thread, HWND anyWindow, DWORD timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    unsigned long long ticket;
    {
        std::unique_lock lk(mutex_);
        while (!input_[thread].empty()) {
            if (Clock::now() >= deadline)
                return false;
            lk.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            lk.lock();
        }
        ticket = ++barriersPosted_;
    }
    // Posted after the input was taken: it is dispatched after whatever handling it posted.
    auto queue = ThreadQueue::find(thread);
    if (!queue || !queue->post(MSG{anyWindow, WM_NULL, kBarrier, static_cast<LPARAM>(ticket), 0, POINT{}}))
        return false;
    std::unique_lock lk(mutex_);
    return changed_.wait_until(lk, deadline, [&] { return barriersDone_ >= ticket; });
}

bool WindowSystem::takeInput(MSG& out, DWORD thread, HWND filter, UINT min, UINT max, bool remove)
{
    for (;;) {
        InputEvent e;
        {
            std::lock_guard lk(mutex_);
            auto it = input_.find(thread);
            if (it == input_.end() || it->second.empty())
                break;
            const InputEvent& head = it->second.front();
            if (head.kind != Kind::Drop && head.kind != Kind::Activate) {
                // Input that the filter does not want stays queued, in order, for a later look.
                MSG guess = predict(state_, head);
                if (!inRange(guess.message, min, max) || (filter && guess.hwnd != filter))
                    break;
                if (!remove) {
                    out = guess; // a look: as it would be routed now, without side effects
                    return true;
                }
            }
            e = std::move(it->second.front());
            it->second.pop_front();
        }
        if (routeInput(e, out))
            return true;
    }
    auto s = lock();
    return inRange(WM_MOUSEHOVER, min, max) && takeHover(*s, out, thread, filter);
}

bool WindowSystem::routeInput(InputEvent& e, MSG& out)
{
    const DWORD thread = GetCurrentThreadId();
    auto s = lock();
    out = MSG{nullptr, 0, 0, 0, e.time, e.pt};
    s->messagePos = static_cast<DWORD>(MAKELONG(e.pt.x, e.pt.y));
    if (e.kind == Kind::Activate) {
        s.unlock();
        if (!e.window || IsWindowEnabled(e.window))
            SetActiveWindow(e.window);
        return false;
    }
    if (e.kind == Kind::Key || e.kind == Kind::Char)
        return routeKey(*s, e, out, thread);

    if (e.kind == Kind::Down || e.kind == Kind::Up)
        setKey(s->keys, static_cast<UINT>(e.button), e.kind == Kind::Down);
    const HWND target = pointerTarget(*s, e);
    auto w = s->find(target);
    if (!w || w->thread != thread)
        return routeOutside(*s, e, out, thread);
    if (e.kind == Kind::Drop)
        return routeDrop(s, e, target, thread);
    if (e.kind == Kind::Wheel)
        return routeWheel(*s, e, target, out);
    return routePointer(s, e, target, out, thread);
}

bool WindowSystem::routeDrop(Locked& s, const InputEvent& e, HWND target, DWORD thread)
{
    auto handler = dropHandlers_[thread];
    s.unlock();
    if (handler) {
        POINT local = e.pt;
        ScreenToClient(target, &local);
        handler(target, local, e.files);
    }
    return false;
}

bool WindowSystem::routePointer(Locked& s, const InputEvent& e, HWND target, MSG& out, DWORD thread)
{
    const bool captured = target == s->capture;
    s.unlock();
    LRESULT hit = HTCLIENT;
    if (!captured && !nonClientHit(e, target, hit))
        return false;
    if (e.kind == Kind::Down) {
        if (!activateOnPress(e, target, hit, captured))
            return false;
        notifyParents(e, target);
    }
    s.lock();
    auto w = s->find(target);
    if (!w)
        return false;
    // Leave and hover tracking follow the pointer, whoever gets the message.
    if (e.kind == Kind::Move)
        trackLeaveAndHover(s, e, target, hit, thread);

    const bool client = hit == HTCLIENT;
    POINT origin = s->screenOrigin(*w);
    out.hwnd = target;
    out.wParam = client ? mouseKeys(s->keys) : static_cast<WPARAM>(hit);
    out.lParam = client ? MAKELPARAM(e.pt.x - origin.x - w->client.left, e.pt.y - origin.y - w->client.top)
                        : MAKELPARAM(e.pt.x, e.pt.y);
    const UINT message = e.kind == Kind::Move ? UINT(WM_MOUSEMOVE)
                         : e.kind == Kind::Up ? buttonMessage(e.button, 1)
                                              : pressMessage(*s, e, *w, client);
    out.message = client ? message : message - (WM_MOUSEMOVE - WM_NCMOUSEMOVE);
    return true;
}

bool WindowSystem::activateOnPress(const InputEvent& e, HWND target, LRESULT hit, bool captured)
{
    HWND top;
    bool activate;
    {
        auto s = lock();
        top = s->rootOf(target);
        auto tw = s->find(top);
        activate = tw && top != s->active && !(tw->exStyle & WS_EX_NOACTIVATE) && !(tw->style & WS_DISABLED);
    }
    bool eat = false;
    if (activate) {
        const LRESULT how = SendMessageW(target, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top),
                                         MAKELPARAM(hit, buttonMessage(e.button, 0)));
        activate = how != MA_NOACTIVATE && how != MA_NOACTIVATEANDEAT;
        eat = how == MA_ACTIVATEANDEAT || how == MA_NOACTIVATEANDEAT;
    }
    if (!captured)
        SendMessageW(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target),
                     MAKELPARAM(hit, buttonMessage(e.button, 0)));
    if (activate)
        SetActiveWindow(top);
    return !eat;
}

void WindowSystem::trackLeaveAndHover(Locked& s, const InputEvent& e, HWND target, LRESULT hit, DWORD thread)
{
    auto& tracking = s->tracking;
    if (!tracking.hwndTrack)
        return;
    const bool nc = tracking.dwFlags & TME_NONCLIENT;
    if (tracking.hwndTrack != target || (nc ? hit == HTCLIENT : hit != HTCLIENT)) {
        HWND left = std::exchange(tracking.hwndTrack, nullptr);
        tracking.dwFlags = 0;
        if (auto lw = s->find(left))
            if (auto q = ThreadQueue::find(lw->thread))
                q->post(MSG{left, UINT(nc ? WM_NCMOUSELEAVE : WM_MOUSELEAVE), 0, 0, e.time, e.pt});
    } else if ((tracking.dwFlags & TME_HOVER) &&
               (std::abs(e.pt.x - s->hoverPoint.x) > 2 || std::abs(e.pt.y - s->hoverPoint.y) > 2)) {
        s->hoverPoint = e.pt;
        s->hoverDue = Clock::now() + std::chrono::milliseconds(tracking.dwHoverTime);
        const auto due = s->hoverDue;
        s.unlock();
        wakeAt(due, thread);
        s.lock();
    }
}

} // namespace pictavo::platform
