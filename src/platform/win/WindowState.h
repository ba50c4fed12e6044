#pragma once

// Internal to the window layer: what the whole screen shares (the handle table, classes, the
// z-order and the input state), reached only under the window system's lock.

#include "platform/win/Window.h"

#include <chrono>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace pictavo::platform {

struct Timer
{
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    UINT elapse = 0;
    TIMERPROC proc = nullptr;
    DWORD thread = 0;
    std::chrono::steady_clock::time_point due;
};

struct WindowState
{
    std::unordered_map<uintptr_t, std::shared_ptr<Window>> windows;
    std::vector<HWND> topLevels; // top of the z-order first
    std::map<std::u16string, std::shared_ptr<const WindowClass>> classes;
    uintptr_t nextHandle = 0x10000;

    HWND focus = nullptr;
    HWND active = nullptr;
    HWND capture = nullptr;
    POINT cursorPos{};
    BYTE keys[256] = {};      // as of the messages taken so far
    BYTE asyncKeys[256] = {}; // as of the input injected so far
    HCURSOR cursor = nullptr;
    TRACKMOUSEEVENT tracking{};
    std::chrono::steady_clock::time_point hoverDue{};
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
    SIZE screen{1280, 800};
    LONG taskbar = 40; // the work area leaves this much at the bottom

    std::vector<Timer> timers;
    UINT_PTR nextTimerId = 0x7000;

    std::shared_ptr<Window> find(HWND hwnd) const;
    HWND rootOf(HWND hwnd) const;
    POINT screenOrigin(const Window& w) const; // of the window rectangle
    HWND hitTest(POINT at) const;              // deepest visible, enabled window
    bool visible(HWND hwnd) const;             // it and all its ancestors
    bool isInside(HWND inner, HWND outer) const; // inner is outer or one of its descendants
    void markCompose(const Window& w);
    // Top of the top-level z-order, below the topmost windows unless it is one itself.
    void raiseTopLevel(HWND hwnd);
};

bool rectEmpty(const RECT& r);
RECT intersect(const RECT& a, const RECT& b);

} // namespace pictavo::platform
