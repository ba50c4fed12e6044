#include "platform/win/WindowSystem.h"

#include "platform/gfx/Canvas.h"
#include "platform/kernel/Synch.h"
#include "platform/kernel/ThreadQueue.h"
#include "platform/kernel/Tick.h"
#include "platform/win/MessageBoxWindow.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace pictavo::platform {

namespace {

constexpr size_t kMaxPendingInput = 65536;

bool inRange(UINT message, UINT min, UINT max)
{
    return (min == 0 && max == 0) || (message >= min && message <= max);
}

bool contains(const RECT& r, POINT p)
{
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

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
} // namespace

bool rectEmpty(const RECT& r)
{
    return r.right <= r.left || r.bottom <= r.top;
}

RECT intersect(const RECT& a, const RECT& b)
{
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    return rectEmpty(r) ? RECT{} : r;
}

DWORD messageTime()
{
    return GetTickCount();
}

WindowSystem& ws()
{
    return WindowSystem::instance();
}

WindowSystem& WindowSystem::instance()
{
    // Never destroyed: windows of threads still running at exit may reach it.
    static WindowSystem* system = new WindowSystem;
    return *system;
}

WindowSystem::WindowSystem()
{
    setDispatchHook([this](const MSG& msg) -> LRESULT {
        if (msg.message == WM_NULL && msg.wParam == kBarrier) {
            {
                std::lock_guard lk(mutex);
                barriersDone = std::max(barriersDone, static_cast<unsigned long long>(msg.lParam));
            }
            changed.notify_all();
            return 0;
        }
        if (msg.message == WM_TIMER && msg.lParam) {
            reinterpret_cast<TIMERPROC>(msg.lParam)(msg.hwnd, WM_TIMER, msg.wParam, msg.time);
            return 0;
        }
        std::shared_ptr<Window> w;
        {
            std::lock_guard lk(mutex);
            w = find(msg.hwnd);
            messagePos = static_cast<DWORD>(MAKELONG(msg.pt.x, msg.pt.y));
        }
        if (!w || w->thread != GetCurrentThreadId())
            return 0;
        return call(w, msg.message, msg.wParam, msg.lParam);
    });
}

std::shared_ptr<Window> WindowSystem::find(HWND hwnd) const
{
    auto it = windows.find(reinterpret_cast<uintptr_t>(hwnd));
    return it == windows.end() ? nullptr : it->second;
}

HWND WindowSystem::rootOf(HWND hwnd) const
{
    auto w = find(hwnd);
    while (w && w->parent) {
        auto p = find(w->parent);
        if (!p)
            break;
        w = p;
    }
    return w ? w->handle : nullptr;
}

POINT WindowSystem::screenOrigin(const Window& w) const
{
    POINT p{w.rect.left, w.rect.top};
    auto parent = find(w.parent);
    while (parent) {
        p.x += parent->rect.left + parent->client.left;
        p.y += parent->rect.top + parent->client.top;
        parent = find(parent->parent);
    }
    return p;
}

bool WindowSystem::visible(HWND hwnd) const
{
    for (auto w = find(hwnd); w; w = find(w->parent)) {
        if (!(w->style & WS_VISIBLE))
            return false;
        if (!w->parent)
            return true;
    }
    return false;
}

HWND WindowSystem::hitTest(POINT screen) const
{
    for (HWND top : topLevels) {
        auto w = find(top);
        if (!w || !(w->style & WS_VISIBLE) || !contains(w->rect, screen))
            continue;
        // Descend while a visible, enabled child contains the point.
        POINT local{screen.x - w->rect.left - w->client.left, screen.y - w->rect.top - w->client.top};
        for (;;) {
            std::shared_ptr<Window> next;
            RECT clientArea{0, 0, w->clientWidth(), w->clientHeight()};
            if (contains(clientArea, local)) {
                for (HWND c : w->children) {
                    auto child = find(c);
                    if (child && (child->style & WS_VISIBLE) && !(child->style & WS_DISABLED) &&
                        contains(child->rect, local)) {
                        next = child;
                        break;
                    }
                }
            }
            if (!next)
                return w->handle;
            local.x -= next->rect.left + next->client.left;
            local.y -= next->rect.top + next->client.top;
            w = next;
        }
    }
    return nullptr;
}

void WindowSystem::markCompose(const Window& w)
{
    if (auto top = find(rootOf(w.handle)))
        top->composeDirty = true;
}

void WindowSystem::raiseTopLevel(HWND hwnd)
{
    auto w = find(hwnd);
    if (!w || w->parent)
        return;
    std::erase(topLevels, hwnd);
    auto at = topLevels.begin();
    if (!(w->exStyle & WS_EX_TOPMOST))
        while (at != topLevels.end()) {
            auto other = find(*at);
            if (!other || !(other->exStyle & WS_EX_TOPMOST))
                break;
            ++at;
        }
    topLevels.insert(at, hwnd);
    markCompose(*w);
}

void WindowSystem::installThread(DWORD thread)
{
    {
        std::lock_guard lk(mutex);
        if (installed_[thread])
            return;
        installed_[thread] = true;
    }
    MessageBoxWindow::install(thread);
    ThreadQueue::current()->setIdleSource([this](MSG& out, HWND filter, UINT min, UINT max, UINT flags) {
        return idle(out, filter, min, max, flags);
    });
}

void WindowSystem::wakeThread(DWORD thread)
{
    if (auto q = ThreadQueue::find(thread))
        q->wake();
}

void WindowSystem::wakeAt(Clock::time_point when, DWORD thread)
{
    std::lock_guard lk(wakeMutex_);
    wakeups_.emplace(when, thread);
    if (!wakerStarted_) {
        wakerStarted_ = true;
        std::thread([this] {
            std::unique_lock lk(wakeMutex_);
            for (;;) {
                if (wakeups_.empty()) {
                    wakeCv_.wait(lk);
                    continue;
                }
                auto first = wakeups_.begin();
                if (first->first > Clock::now()) {
                    wakeCv_.wait_until(lk, first->first);
                    continue;
                }
                DWORD thread = first->second;
                wakeups_.erase(first);
                lk.unlock();
                wakeThread(thread);
                lk.lock();
            }
        }).detach();
    }
    wakeCv_.notify_one();
}

void WindowSystem::inject(InputEvent e)
{
    e.time = messageTime();
    DWORD thread = 0;
    {
        std::lock_guard lk(mutex);
        switch (e.kind) {
        case InputEvent::Kind::Move:
        case InputEvent::Kind::Down:
        case InputEvent::Kind::Up:
        case InputEvent::Kind::Wheel:
        case InputEvent::Kind::Drop: {
            if (e.kind == InputEvent::Kind::Move || e.kind == InputEvent::Kind::Drop)
                cursorPos = e.pt;
            else
                e.pt = cursorPos;
            if (e.kind == InputEvent::Kind::Down || e.kind == InputEvent::Kind::Up)
                setKey(asyncKeys, static_cast<UINT>(e.button), e.kind == InputEvent::Kind::Down);
            HWND target = capture && e.kind != InputEvent::Kind::Drop ? capture : hitTest(e.pt);
            if (e.kind == InputEvent::Kind::Wheel && focus)
                target = focus;
            if (auto w = find(target))
                thread = w->thread;
            else if (auto a = find(active))
                thread = a->thread; // may be captured by the time it is taken, or owe a leave
            else
                thread = lastMouseThread;
            if (thread)
                lastMouseThread = thread;
            break;
        }
        case InputEvent::Kind::Activate: {
            auto w = find(e.window ? e.window : active);
            if (w)
                thread = w->thread;
            break;
        }
        case InputEvent::Kind::Key:
        case InputEvent::Kind::Char: {
            if (e.kind == InputEvent::Kind::Key)
                setKey(asyncKeys, e.vk, !e.up);
            auto w = find(focus ? focus : active);
            // Without a window to take it, a key still reaches the key state of the last thread.
            thread = w ? w->thread : (e.kind == InputEvent::Kind::Key ? lastMouseThread : 0);
            if (w)
                lastMouseThread = thread;
            break;
        }
        }
        // Input for a thread that has ended, or that stopped taking input, goes nowhere.
        if (!thread || !ThreadQueue::find(thread))
            return;
        auto& pending = input[thread];
        if (pending.size() >= kMaxPendingInput)
            return;
        pending.push_back(std::move(e));
    }
    wakeThread(thread);
}

LRESULT WindowSystem::call(const std::shared_ptr<Window>& w, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC proc;
    {
        std::lock_guard lk(mutex);
        proc = w->proc;
        ++w->depth;
    }
    LRESULT result =
        proc ? proc(w->handle, message, wParam, lParam) : DefWindowProcW(w->handle, message, wParam, lParam);
    std::function<void()> final;
    {
        std::lock_guard lk(mutex);
        if (--w->depth == 0 && w->destroyed && w->final)
            final = std::exchange(w->final, nullptr);
    }
    if (final)
        final();
    return result;
}

bool WindowSystem::idle(MSG& out, HWND filter, UINT min, UINT max, UINT flags)
{
    const DWORD thread = GetCurrentThreadId();
    const bool remove = flags & PM_REMOVE;
    if (filter != reinterpret_cast<HWND>(-1)) {
        if (takeInput(out, thread, filter, min, max, remove))
            return true;
        if (inRange(WM_PAINT, min, max) && takePaint(out, thread, filter))
            return true;
    }
    composeDirty(thread);
    return inRange(WM_TIMER, min, max) && takeTimer(out, thread, filter, remove);
}

MSG WindowSystem::predict(const InputEvent& e) const
{
    MSG m{nullptr, 0, 0, 0, e.time, e.pt};
    switch (e.kind) {
    case InputEvent::Kind::Key: {
        m.hwnd = focus ? focus : active;
        const bool sys = (keys[VK_MENU] & 0x80) || !focus;
        m.message = e.up ? (sys ? WM_SYSKEYUP : WM_KEYUP) : (sys ? WM_SYSKEYDOWN : WM_KEYDOWN);
        m.wParam = e.vk;
        return m;
    }
    case InputEvent::Kind::Char:
        m.hwnd = focus ? focus : active;
        m.message = WM_CHAR;
        m.wParam = e.ch;
        return m;
    case InputEvent::Kind::Wheel:
        m.hwnd = focus ? focus : hitTest(cursorPos);
        m.message = WM_MOUSEWHEEL;
        return m;
    default:
        break;
    }
    m.hwnd = capture ? capture : hitTest(e.pt);
    m.message = e.kind == InputEvent::Kind::Move
                    ? UINT(WM_MOUSEMOVE)
                    : buttonMessage(e.button, e.kind == InputEvent::Kind::Up ? 1 : 0);
    m.wParam = mouseKeys(keys);
    if (auto w = find(m.hwnd)) {
        POINT o = screenOrigin(*w);
        m.lParam = MAKELPARAM(e.pt.x - o.x - w->client.left, e.pt.y - o.y - w->client.top);
    }
    return m;
}

bool WindowSystem::takeInput(MSG& out, DWORD thread, HWND filter, UINT min, UINT max, bool remove)
{
    for (;;) {
        InputEvent e;
        {
            std::lock_guard lk(mutex);
            auto it = input.find(thread);
            if (it == input.end() || it->second.empty())
                break;
            const InputEvent& head = it->second.front();
            if (head.kind != InputEvent::Kind::Drop && head.kind != InputEvent::Kind::Activate) {
                // Input that the filter does not want stays queued, in order, for a later look.
                MSG guess = predict(head);
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
    // Hover: the pointer stayed inside the hover rectangle for the hover time.
    std::lock_guard lk(mutex);
    if ((tracking.dwFlags & TME_HOVER) && tracking.hwndTrack != nullptr && inRange(WM_MOUSEHOVER, min, max) &&
        (!filter || filter == tracking.hwndTrack)) {
        auto w = find(tracking.hwndTrack);
        if (w && w->thread == thread && Clock::now() >= hoverDue) {
            tracking.dwFlags &= ~TME_HOVER;
            POINT origin = screenOrigin(*w);
            out = MSG{
                w->handle,
                WM_MOUSEHOVER,
                mouseKeys(keys),
                MAKELPARAM(cursorPos.x - origin.x - w->client.left, cursorPos.y - origin.y - w->client.top),
                messageTime(),
                cursorPos};
            return true;
        }
    }
    return false;
}

bool WindowSystem::routeInput(InputEvent& e, MSG& out)
{
    const DWORD thread = GetCurrentThreadId();
    std::unique_lock lk(mutex);
    out = MSG{nullptr, 0, 0, 0, e.time, e.pt};
    messagePos = static_cast<DWORD>(MAKELONG(e.pt.x, e.pt.y));

    if (e.kind == InputEvent::Kind::Activate) {
        lk.unlock();
        if (!e.window || IsWindowEnabled(e.window))
            SetActiveWindow(e.window);
        return false;
    }
    if (e.kind == InputEvent::Kind::Key || e.kind == InputEvent::Kind::Char) {
        // The key state follows the keyboard even when no window takes the key.
        if (e.kind == InputEvent::Kind::Key)
            setKey(keys, e.vk, !e.up);
        HWND target = focus ? focus : active;
        auto w = find(target);
        if (!w || w->thread != thread)
            return false;
        out.hwnd = target;
        if (e.kind == InputEvent::Kind::Char) {
            out.message = WM_CHAR;
            out.wParam = e.ch;
            out.lParam = 1;
            return true;
        }
        const bool sys = (keys[VK_MENU] & 0x80) || !focus;
        out.message = e.up ? (sys ? WM_SYSKEYUP : WM_KEYUP) : (sys ? WM_SYSKEYDOWN : WM_KEYDOWN);
        out.wParam = e.vk;
        out.lParam = e.up ? static_cast<LPARAM>(0xC0000001u) : 1;
        return true;
    }

    if (e.kind == InputEvent::Kind::Down || e.kind == InputEvent::Kind::Up)
        setKey(keys, static_cast<UINT>(e.button), e.kind == InputEvent::Kind::Down);

    HWND target = capture && e.kind != InputEvent::Kind::Drop ? capture : hitTest(e.pt);
    if (e.kind == InputEvent::Kind::Wheel && focus)
        target = focus;
    auto w = find(target);
    if (!w || w->thread != thread) {
        // The pointer left every window of ours: a leave is still owed.
        if (e.kind == InputEvent::Kind::Move && tracking.hwndTrack) {
            HWND left = std::exchange(tracking.hwndTrack, nullptr);
            tracking.dwFlags = 0;
            if (auto lw = find(left)) {
                out = MSG{left, WM_MOUSELEAVE, 0, 0, e.time, e.pt};
                if (lw->thread == thread)
                    return true;
                if (auto q = ThreadQueue::find(lw->thread))
                    q->post(out);
            }
        }
        return false;
    }
    const bool captured = target == capture;

    if (e.kind == InputEvent::Kind::Drop) {
        auto handler = dropHandlers[thread];
        lk.unlock();
        if (handler) {
            POINT local = e.pt;
            ScreenToClient(target, &local);
            handler(target, local, e.files);
        }
        return false;
    }
    if (e.kind == InputEvent::Kind::Wheel) {
        out.hwnd = target;
        out.message = WM_MOUSEWHEEL;
        out.wParam = MAKEWPARAM(mouseKeys(keys), e.delta);
        out.lParam = MAKELPARAM(e.pt.x, e.pt.y);
        return true;
    }

    lk.unlock();
    LRESULT hit = HTCLIENT;
    if (!captured) {
        hit = SendMessageW(target, WM_NCHITTEST, 0, MAKELPARAM(e.pt.x, e.pt.y));
        // A transparent spot passes the pointer to the parent underneath.
        while (hit == HTTRANSPARENT) {
            HWND parent = GetAncestor(target, GA_PARENT);
            if (!parent)
                return false;
            target = parent;
            hit = SendMessageW(target, WM_NCHITTEST, 0, MAKELPARAM(e.pt.x, e.pt.y));
        }
        if (e.kind == InputEvent::Kind::Move)
            SendMessageW(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target),
                         MAKELPARAM(hit, WM_MOUSEMOVE));
    }
    if (e.kind == InputEvent::Kind::Down) {
        HWND top;
        bool activate;
        {
            std::lock_guard relock(mutex);
            top = rootOf(target);
            auto tw = find(top);
            activate = tw && top != active && !(tw->exStyle & WS_EX_NOACTIVATE) && !(tw->style & WS_DISABLED);
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
        if (eat)
            return false;
    }
    lk.lock();
    w = find(target);
    if (!w)
        return false;

    // Leave and hover tracking follow the pointer, whoever gets the message.
    if (e.kind == InputEvent::Kind::Move && tracking.hwndTrack) {
        const bool nc = tracking.dwFlags & TME_NONCLIENT;
        if (tracking.hwndTrack != target || (nc ? hit == HTCLIENT : hit != HTCLIENT)) {
            HWND left = std::exchange(tracking.hwndTrack, nullptr);
            tracking.dwFlags = 0;
            if (auto lw = find(left)) {
                if (auto q = ThreadQueue::find(lw->thread))
                    q->post(MSG{left, UINT(nc ? WM_NCMOUSELEAVE : WM_MOUSELEAVE), 0, 0, e.time, e.pt});
            }
        } else if ((tracking.dwFlags & TME_HOVER) &&
                   (std::abs(e.pt.x - hoverPoint.x) > 2 || std::abs(e.pt.y - hoverPoint.y) > 2)) {
            hoverPoint = e.pt;
            hoverDue = Clock::now() + std::chrono::milliseconds(tracking.dwHoverTime);
            lk.unlock();
            wakeAt(hoverDue, thread);
            lk.lock();
        }
    }

    POINT origin = screenOrigin(*w);
    const LPARAM clientPos =
        MAKELPARAM(e.pt.x - origin.x - w->client.left, e.pt.y - origin.y - w->client.top);
    const bool client = hit == HTCLIENT;
    out.hwnd = target;
    out.wParam = client ? mouseKeys(keys) : static_cast<WPARAM>(hit);
    out.lParam = client ? clientPos : MAKELPARAM(e.pt.x, e.pt.y);
    const UINT ncShift = client ? 0 : (WM_MOUSEMOVE - WM_NCMOUSEMOVE);
    if (e.kind == InputEvent::Kind::Move) {
        out.message = WM_MOUSEMOVE - ncShift;
        return true;
    }
    if (e.kind == InputEvent::Kind::Up) {
        out.message = buttonMessage(e.button, 1) - ncShift;
        return true;
    }
    // Two presses of one button on one window, close in time and place, make a double-click
    // when the class asks for them; a third press starts over.
    const UINT dbl = static_cast<UINT>(GetSystemMetrics(SM_CXDOUBLECLK) / 2);
    const bool isDouble = lastClick.hwnd == target && lastClick.button == e.button &&
                          e.time - lastClick.time <= GetDoubleClickTime() &&
                          static_cast<UINT>(std::abs(e.pt.x - lastClick.pt.x)) <= dbl &&
                          static_cast<UINT>(std::abs(e.pt.y - lastClick.pt.y)) <= dbl;
    if (isDouble && (w->cls->style & CS_DBLCLKS || !client)) {
        lastClick.hwnd = nullptr;
        out.message = buttonMessage(e.button, 2) - ncShift;
        return true;
    }
    lastClick = {target, e.button, e.time, e.pt};
    out.message = buttonMessage(e.button, 0) - ncShift;
    return true;
}

bool WindowSystem::takePaint(MSG& out, DWORD thread, HWND filter)
{
    std::lock_guard lk(mutex);
    // Parents before children, so a child paints over what its parent just drew.
    std::function<HWND(HWND)> search = [&](HWND h) -> HWND {
        auto w = find(h);
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
    for (HWND top : topLevels) {
        if (HWND h = search(top)) {
            out = MSG{h, WM_PAINT, 0, 0, messageTime(), cursorPos};
            return true;
        }
    }
    return false;
}

bool WindowSystem::takeTimer(MSG& out, DWORD thread, HWND filter, bool remove)
{
    std::unique_lock lk(mutex);
    const auto now = Clock::now();
    Timer* next = nullptr;
    Clock::time_point earliest = Clock::time_point::max();
    for (auto& t : timers) {
        const bool threadOnly = filter == reinterpret_cast<HWND>(-1);
        if (t.thread != thread || (threadOnly ? t.hwnd != nullptr : (filter && filter != t.hwnd)))
            continue;
        if (t.due <= now) {
            out = MSG{t.hwnd, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc), messageTime(), cursorPos};
            if (remove)
                t.due = now + std::chrono::milliseconds(t.elapse);
            return true;
        }
        if (t.due < earliest) {
            earliest = t.due;
            next = &t;
        }
    }
    if ((tracking.dwFlags & TME_HOVER) && tracking.hwndTrack && hoverDue < earliest) {
        auto w = find(tracking.hwndTrack);
        if (w && w->thread == thread) {
            earliest = hoverDue;
            next = nullptr;
        }
    }
    lk.unlock();
    if (earliest != Clock::time_point::max())
        wakeAt(earliest, thread);
    (void)next;
    return false;
}

void WindowSystem::composeDirty(DWORD thread)
{
    std::vector<HWND> dirty;
    {
        std::lock_guard lk(mutex);
        for (HWND top : topLevels) {
            auto w = find(top);
            if (w && w->thread == thread && w->composeDirty)
                dirty.push_back(top);
        }
    }
    for (HWND top : dirty)
        compose(top);
    std::shared_ptr<Backend> display;
    {
        std::lock_guard lk(mutex);
        display = backend;
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

bool WindowSystem::settle(DWORD thread, HWND anyWindow, DWORD timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    unsigned long long ticket;
    {
        std::unique_lock lk(mutex);
        while (!input[thread].empty()) {
            if (Clock::now() >= deadline)
                return false;
            lk.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            lk.lock();
        }
        ticket = ++barriersPosted;
    }
    // Posted after the input was taken: it is dispatched after whatever handling it posted.
    auto queue = ThreadQueue::find(thread);
    if (!queue || !queue->post(MSG{anyWindow, WM_NULL, kBarrier, static_cast<LPARAM>(ticket), 0, POINT{}}))
        return false;
    std::unique_lock lk(mutex);
    return changed.wait_until(lk, deadline, [&] { return barriersDone >= ticket; });
}

std::shared_ptr<Bitmap> WindowSystem::compose(HWND topHandle)
{
    std::unique_lock lk(mutex);
    auto top = find(topHandle);
    if (!top || top->width() <= 0 || top->height() <= 0)
        return nullptr;
    top->composeDirty = false;
    auto picture = Bitmap::create(top->width(), top->height(), 0xFF000000);
    if (!picture)
        return nullptr;
    Canvas canvas(picture);
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
            auto child = find(*it);
            if (child && (child->style & WS_VISIBLE))
                draw(*child, POINT{c.x + child->rect.left, c.y + child->rect.top}, clientArea);
        }
    };
    draw(*top, POINT{0, 0}, RECT{0, 0, top->width(), top->height()});
    top->presented = picture;
    auto display = backend;
    lk.unlock();
    changed.notify_all();
    if (display)
        display->present(topHandle, picture);
    return picture;
}

} // namespace pictavo::platform
