#pragma once

// Internal to the window layer: the screen's state behind one lock, and the per-thread sources
// of input, paint and timer messages.

#include "platform/win/WindowState.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <type_traits>
#include <unordered_map>

namespace pictavo::platform {

struct InputEvent
{
    enum class Kind
    {
        Move,
        Down,
        Up,
        Wheel,
        Key,
        Char,
        Drop,
        Activate
    };
    Kind kind = Kind::Move;
    POINT pt{};
    int button = 0; // VK_LBUTTON, VK_RBUTTON, VK_MBUTTON
    int delta = 0;
    UINT vk = 0;
    bool up = false;
    WCHAR ch = 0;
    std::vector<std::u16string> files;
    HWND window = nullptr; // Activate: the top-level window to activate, null for none
    DWORD time = 0;
};

class WindowSystem
{
public:
    using Clock = std::chrono::steady_clock;
    using FileDropHandler = std::function<void(HWND, POINT, const std::vector<std::u16string>&)>;

    static WindowSystem& instance();

    // The state while the lock is held. Unlock around anything that may reach a window
    // procedure: procedures always run without the lock.
    class Locked
    {
    public:
        WindowState* operator->() const { return state_; }
        WindowState& operator*() const { return *state_; }
        void unlock() { lock_.unlock(); }
        void lock() { lock_.lock(); }

    private:
        friend class WindowSystem;
        Locked(std::mutex& mutex, WindowState& state) : lock_(mutex), state_(&state) {}
        std::unique_lock<std::mutex> lock_;
        WindowState* state_;
    };
    Locked lock() { return Locked(mutex_, state_); }
    // The window behind a handle, null when it is gone; for reading what only its thread changes.
    std::shared_ptr<Window> window(HWND hwnd);

    // Windows created, shown, renamed or destroyed, pictures composed.
    void notifyChanged() { changed_.notify_all(); }
    template <class Pred> bool waitChanged(Locked& locked, std::chrono::milliseconds timeout, Pred done)
    {
        return changed_.wait_for(locked.lock_, timeout, std::move(done));
    }

    void installThread(DWORD thread);
    void wakeThread(DWORD thread);
    void wakeAt(Clock::time_point when, DWORD thread);
    void inject(InputEvent event);
    void setFileDropHandler(DWORD thread, FileDropHandler handler);
    LRESULT call(const std::shared_ptr<Window>& w, UINT message, WPARAM wParam, LPARAM lParam);
    // Runs pending paints of the thread's windows and composes their top-level pictures.
    void flushThread(DWORD thread);
    std::shared_ptr<Bitmap> compose(HWND top);
    // Waits until the input injected for the thread so far, and what it posted while handling
    // it, has been dispatched; false on time-out.
    bool settle(DWORD thread, HWND anyWindow, DWORD timeoutMs);

    // A display backend shows composed pictures and follows top-level windows; called on the
    // windows' thread after every composition pass.
    struct Backend
    {
        virtual ~Backend() = default;
        virtual void present(HWND top, const std::shared_ptr<Bitmap>& picture) = 0;
        virtual void sync() = 0;
    };
    // The screen takes the display's size and every top-level picture is shown again.
    void attachBackend(std::shared_ptr<Backend> backend, SIZE screen);
    // Back to the headless screen; returns the backend so the caller ends it outside the lock.
    std::shared_ptr<Backend> detachBackend();
    // The display lost a window's picture: compose it again when its thread is next idle.
    void recompose(HWND top);

private:
    WindowSystem();
    bool idle(MSG& out, HWND filter, UINT min, UINT max, UINT flags);

    // Input, routed when taken so capture and activation set by the previous message hold.
    bool takeInput(MSG& out, DWORD thread, HWND filter, UINT min, UINT max, bool remove);
    bool routeInput(InputEvent& e, MSG& out);
    bool routeDrop(Locked& s, const InputEvent& e, HWND target, DWORD thread);
    bool routePointer(Locked& s, const InputEvent& e, HWND target, MSG& out, DWORD thread);
    bool activateOnPress(const InputEvent& e, HWND target, LRESULT hit, bool captured); // false: eaten
    void trackLeaveAndHover(Locked& s, const InputEvent& e, HWND target, LRESULT hit, DWORD thread);

    // Paint, timers and composition.
    bool takePaint(MSG& out, DWORD thread, HWND filter);
    bool takeTimer(MSG& out, DWORD thread, HWND filter, bool remove);
    void composeDirty(DWORD thread);

    static bool inRange(UINT message, UINT min, UINT max)
    {
        return (min == 0 && max == 0) || (message >= min && message <= max);
    }
    static constexpr WPARAM kBarrier = 0x5E771E;

    std::mutex mutex_;
    std::condition_variable changed_;
    WindowState state_;
    std::map<DWORD, std::deque<InputEvent>> input_;
    std::unordered_map<DWORD, FileDropHandler> dropHandlers_;
    unsigned long long barriersPosted_ = 0;
    unsigned long long barriersDone_ = 0;
    std::shared_ptr<Backend> backend_;
    std::unordered_map<DWORD, bool> installed_;

    std::mutex wakeMutex_;
    std::condition_variable wakeCv_;
    std::multimap<Clock::time_point, DWORD> wakeups_;
    bool wakerStarted_ = false;
};

WindowSystem& ws();
DWORD messageTime();

// The start of most USER calls: under the lock, f(state, window) for a live handle, else 'gone'.
template <class R, class F> R withWindow(HWND hwnd, std::type_identity_t<R> gone, F&& f)
{
    auto s = ws().lock();
    auto w = s->find(hwnd);
    return w ? f(*s, *w) : gone;
}

} // namespace pictavo::platform
