#pragma once

#include "platform/gfx/Bitmap.h"
#include "platform/win/WinUser.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pictavo::platform {

struct WindowClass
{
    std::u16string name; // folded: class names ignore case
    std::u16string label;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int wndExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
};

// One window's state. Fields marked "lock" are read by other threads and change only under the
// window system's lock; the rest belong to the owner thread.
struct Window
{
    HWND handle = nullptr;
    DWORD thread = 0;
    std::shared_ptr<const WindowClass> cls;
    WNDPROC proc = nullptr;
    DWORD style = 0;   // lock
    DWORD exStyle = 0; // lock
    HWND parent = nullptr;
    HWND owner = nullptr;
    std::vector<HWND> children; // top of the z-order first
    RECT rect{};                // parent's client coordinates (screen for top-level windows)
    RECT client{};              // window coordinates
    std::u16string text;        // lock
    LONG_PTR id = 0;
    LONG_PTR userData = 0;
    HINSTANCE instance = nullptr;
    std::vector<uint8_t> extra;
    bool maximized = false;
    RECT restored{};

    bool destroying = false;
    bool destroyed = false;
    int depth = 0; // procedures of this window on the stack
    std::function<void()> final;

    // Painting (lock): the update area as a list of rectangles merged on insertion.
    std::vector<RECT> update;
    bool erase = false;
    bool ncDirty = true;
    bool composeDirty = true;
    std::shared_ptr<Bitmap> surface;   // client area
    std::shared_ptr<Bitmap> ncSurface; // whole window, when there is a frame
    std::shared_ptr<Bitmap> presented; // top-level windows: the last composed picture

    int clientWidth() const { return client.right - client.left; }
    int clientHeight() const { return client.bottom - client.top; }
    int width() const { return rect.right - rect.left; }
    int height() const { return rect.bottom - rect.top; }
    bool hasFrame() const
    {
        return client.left || client.top || client.right != width() || client.bottom != height();
    }
    // Under the lock, after the size changed: surfaces of the new size, all to be painted again.
    void allocateSurfaces();
};

} // namespace pictavo::platform
