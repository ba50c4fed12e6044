#include "platform/win/WindowSystem.h"

#include "platform/kernel/Synch.h"
#include "platform/kernel/ThreadQueue.h"
#include "platform/kernel/Tick.h"
#include "platform/win/MessageBoxWindow.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace pictavo::platform {

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
                std::lock_guard lk(mutex_);
                barriersDone_ = std::max(barriersDone_, static_cast<unsigned long long>(msg.lParam));
            }
            notifyChanged();
            return 0;
        }
        if (msg.message == WM_TIMER && msg.lParam) {
            reinterpret_cast<TIMERPROC>(msg.lParam)(msg.hwnd, WM_TIMER, msg.wParam, msg.time);
            return 0;
        }
        std::shared_ptr<Window> w;
        {
            auto s = lock();
            w = s->find(msg.hwnd);
            s->messagePos = static_cast<DWORD>(MAKELONG(msg.pt.x, msg.pt.y));
        }
        if (!w || w->thread != GetCurrentThreadId())
            return 0;
        return call(w, msg.message, msg.wParam, msg.lParam);
    });
}

std::shared_ptr<Window> WindowSystem::window(HWND hwnd)
{
    std::lock_guard lk(mutex_);
    return state_.find(hwnd);
}

void WindowSystem::installThread(DWORD thread)
{
    {
        std::lock_guard lk(mutex_);
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
            std::unique_lock waker(wakeMutex_);
            for (;;) {
                if (wakeups_.empty()) {
                    wakeCv_.wait(waker);
                    continue;
                }
                auto first = wakeups_.begin();
                if (first->first > Clock::now()) {
                    wakeCv_.wait_until(waker, first->first);
                    continue;
                }
                const DWORD due = first->second;
                wakeups_.erase(first);
                waker.unlock();
                wakeThread(due);
                waker.lock();
            }
        }).detach();
    }
    wakeCv_.notify_one();
}

void WindowSystem::setFileDropHandler(DWORD thread, FileDropHandler handler)
{
    std::lock_guard lk(mutex_);
    dropHandlers_[thread] = std::move(handler);
}

LRESULT WindowSystem::call(const std::shared_ptr<Window>& w, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC proc;
    {
        std::lock_guard lk(mutex_);
        proc = w->proc;
        ++w->depth;
    }
    LRESULT result =
        proc ? proc(w->handle, message, wParam, lParam) : DefWindowProcW(w->handle, message, wParam, lParam);
    std::function<void()> final;
    {
        std::lock_guard lk(mutex_);
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

void WindowSystem::attachBackend(std::shared_ptr<Backend> backend, SIZE screen)
{
    std::lock_guard lk(mutex_);
    backend_ = std::move(backend);
    state_.screen = screen;
    for (auto& [handle, w] : state_.windows)
        if (!w->parent)
            w->composeDirty = true;
}

std::shared_ptr<WindowSystem::Backend> WindowSystem::detachBackend()
{
    std::lock_guard lk(mutex_);
    state_.screen = SIZE{1280, 800};
    return std::move(backend_);
}

void WindowSystem::recompose(HWND top)
{
    std::lock_guard lk(mutex_);
    if (auto w = state_.find(top))
        w->composeDirty = true;
}

} // namespace pictavo::platform
