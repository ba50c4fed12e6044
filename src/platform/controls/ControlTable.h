#pragma once

// The objects behind native control windows, one per window. An object is made on the first
// message that reaches its window, so a superclass that keeps WM_NCCREATE to itself still gets
// a working control, and deleted once its window is gone and no call into it is running, so a
// parent may destroy the control inside a notification.

#include "platform/win/WinUser.h"

#include <map>
#include <mutex>

namespace pictavo::platform {

template <class Control> class ControlTable
{
public:
    // The window's object, made now if need be; null for a window that is gone or going.
    static Control* find(HWND hwnd, UINT message)
    {
        std::lock_guard lk(mutex());
        auto& map = table();
        auto it = map.find(hwnd);
        if (it == map.end()) {
            if (message == WM_NCDESTROY || !IsWindow(hwnd))
                return nullptr;
            it = map.emplace(hwnd, new Control(hwnd)).first;
        }
        return it->second;
    }

    // Runs a call into the object of owner's window; the object goes once the outermost call
    // has returned after it was marked dead.
    template <class Call> static LRESULT run(HWND owner, Control* control, Call call)
    {
        ++control->m_depth;
        const LRESULT result = call();
        if (--control->m_depth == 0 && control->m_dead) {
            {
                std::lock_guard lk(mutex());
                table().erase(owner);
            }
            delete control;
        }
        return result;
    }

private:
    static std::mutex& mutex()
    {
        static std::mutex m;
        return m;
    }
    static std::map<HWND, Control*>& table()
    {
        static std::map<HWND, Control*> map;
        return map;
    }
};

} // namespace pictavo::platform
