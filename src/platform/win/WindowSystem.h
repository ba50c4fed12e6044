#pragma once

// Internal to the window layer: the handle table, classes, input state and the per-thread
// sources of input, paint and timer messages.

#include "platform/win/Window.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
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

struct Timer
{
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    UINT elapse = 0;
    TIMERPROC proc = nullptr;
    DWORD thread = 0;
    std::chrono::steady_clock::time_point due;
};

class WindowSystem
{
public:
    using Clock = std::chrono::steady_clock;
    using FileDropHandler = std::function<void(HWND, POINT, const std::vector<std::u16string>&)>;

    static WindowSystem& instance();

    std::mutex mutex;
    std::condition_variable changed; // windows created, shown, renamed, destroyed; composes

    std::unordered_map<uintptr_t, std::shared_ptr<Window>> windows;
    std::vector<HWND> topLevels; // top of the z-order first
    std::map<std::u16string, std::shared_ptr<const WindowClass>> classes;
    uintptr_t nextHandle = 0x10000;

    // Input state, one for the whole screen.
    HWND focus = nullptr;
    HWND active = nullptr;
    HWND capture = nullptr;
    POINT cursorPos{};
    BYTE keys[256] = {};      // as of the messages taken so far
    BYTE asyncKeys[256] = {}; // as of the input injected so far
    HCURSOR cursor = nullptr;
    TRACKMOUSEEVENT tracking{};
    Clock::time_point hoverDue{};
    POINT hoverPoint{};
    struct
    {
        HWND hwnd = nullptr;
        int button = 0;
        DWORD time = 0;
        POINT pt{};
    } lastClick;
    DWORD messagePos = 0;
    DWORD lastMouseThread = 0; // the thread that last had input, for input nobody takes
    unsigned long long barriersPosted = 0;
    unsigned long long barriersDone = 0;
    SIZE screen{1280, 800};
    LONG taskbar = 40; // the work area leaves this much at the bottom

    std::map<DWORD, std::deque<InputEvent>> input;
    std::vector<Timer> timers;
    UINT_PTR nextTimerId = 0x7000;
    std::unordered_map<DWORD, FileDropHandler> dropHandlers;

    // Under the lock.
    std::shared_ptr<Window> find(HWND hwnd) const;
    HWND rootOf(HWND hwnd) const;
    POINT screenOrigin(const Window& w) const; // of the window rectangle
    HWND hitTest(POINT screen) const;          // deepest visible, enabled window
    bool visible(HWND hwnd) const;             // it and all its ancestors
    void markCompose(const Window& w);
    // Top of the top-level z-order, below the topmost windows unless it is one itself.
    void raiseTopLevel(HWND hwnd);

    // Not under the lock.
    void installThread(DWORD thread);
    void wakeThread(DWORD thread);
    void wakeAt(Clock::time_point when, DWORD thread);
    void inject(InputEvent event);
    LRESULT call(const std::shared_ptr<Window>& w, UINT message, WPARAM wParam, LPARAM lParam);
    // Runs pending paints of the thread's windows and composes their top-level pictures.
    void flushThread(DWORD thread);
    std::shared_ptr<Bitmap> compose(HWND top);
    // Waits until the input injected for the thread so far, and what it posted while handling
    // it, has been dispatched; false on time-out.
    bool settle(DWORD thread, HWND anyWindow, DWORD timeoutMs);
    static constexpr WPARAM kBarrier = 0x5E771E;

    // A display backend shows composed pictures and follows top-level windows; called on the
    // windows' thread after every composition pass.
    struct Backend
    {
        virtual ~Backend() = default;
        virtual void present(HWND top, const std::shared_ptr<Bitmap>& picture) = 0;
        virtual void sync() = 0;
    };
    std::shared_ptr<Backend> backend; // lock

private:
    WindowSystem();
    bool idle(MSG& out, HWND filter, UINT min, UINT max, UINT flags);
    bool takeInput(MSG& out, DWORD thread, HWND filter, UINT min, UINT max, bool remove);
    MSG predict(const InputEvent& e) const; // under the lock
    bool routeInput(InputEvent& e, MSG& out);
    bool takePaint(MSG& out, DWORD thread, HWND filter);
    bool takeTimer(MSG& out, DWORD thread, HWND filter, bool remove);
    void composeDirty(DWORD thread);

    std::mutex wakeMutex_;
    std::condition_variable wakeCv_;
    std::multimap<Clock::time_point, DWORD> wakeups_;
    bool wakerStarted_ = false;
    std::unordered_map<DWORD, bool> installed_;
};

WindowSystem& ws();
DWORD messageTime();
bool rectEmpty(const RECT& r);
RECT intersect(const RECT& a, const RECT& b);

} // namespace pictavo::platform
