// The window tree, lookups and each window's data.

#include "platform/kernel/Synch.h"
#include "platform/win/WindowSystem.h"

#include <algorithm>
#include <cstring>
#include <utility>

using namespace pictavo::platform;

namespace {

LONG_PTR getLong(const Window& w, int index)
{
    switch (index) {
    case GWL_STYLE:
        return static_cast<LONG>(w.style);
    case GWL_EXSTYLE:
        return static_cast<LONG>(w.exStyle);
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w.proc);
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w.instance);
    case GWLP_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>(w.parent ? w.parent : w.owner);
    case GWLP_ID:
        return w.id;
    case GWLP_USERDATA:
        return w.userData;
    }
    if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w.extra.size())
        return 0;
    LONG_PTR v;
    std::memcpy(&v, w.extra.data() + index, sizeof v);
    return v;
}

LONG_PTR setLong(Window& w, int index, LONG_PTR value)
{
    LONG_PTR old = 0;
    switch (index) {
    case GWL_STYLE:
        old = static_cast<LONG>(w.style);
        // Visibility changes only through ShowWindow, so the picture and activation follow.
        w.style = (static_cast<DWORD>(value) & ~WS_VISIBLE) | (w.style & WS_VISIBLE);
        return old;
    case GWL_EXSTYLE:
        old = static_cast<LONG>(w.exStyle);
        w.exStyle = static_cast<DWORD>(value);
        return old;
    case GWLP_WNDPROC:
        old = reinterpret_cast<LONG_PTR>(w.proc);
        w.proc = reinterpret_cast<WNDPROC>(value);
        return old;
    case GWLP_ID:
        return std::exchange(w.id, value);
    case GWLP_USERDATA:
        return std::exchange(w.userData, value);
    case GWLP_HWNDPARENT:
        if (w.parent)
            return 0;
        return reinterpret_cast<LONG_PTR>(std::exchange(w.owner, reinterpret_cast<HWND>(value)));
    }
    if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w.extra.size())
        return 0;
    std::memcpy(&old, w.extra.data() + index, sizeof old);
    std::memcpy(w.extra.data() + index, &value, sizeof value);
    return old;
}

} // namespace

HWND GetParent(HWND hwnd)
{
    return withWindow<HWND>(hwnd, nullptr, [](WindowState&, Window& w) { return w.parent ? w.parent : w.owner; });
}

HWND GetWindow(HWND hwnd, UINT relation)
{
    return withWindow<HWND>(hwnd, nullptr, [&](WindowState& s, Window& w) -> HWND {
        if (relation == GW_OWNER)
            return w.owner;
        if (relation == GW_CHILD)
            return w.children.empty() ? nullptr : w.children.front();
        const auto& list = w.parent ? s.find(w.parent)->children : s.topLevels;
        auto it = std::find(list.begin(), list.end(), hwnd);
        switch (relation) {
        case GW_HWNDFIRST:
            return list.front();
        case GW_HWNDLAST:
            return list.back();
        case GW_HWNDNEXT:
            return it + 1 < list.end() ? *(it + 1) : nullptr;
        case GW_HWNDPREV:
            return it != list.begin() ? *(it - 1) : nullptr;
        }
        return nullptr;
    });
}

HWND GetAncestor(HWND hwnd, UINT flags)
{
    return withWindow<HWND>(hwnd, nullptr, [&](WindowState& s, Window& w) {
        if (flags == GA_PARENT)
            return w.parent;
        HWND root = s.rootOf(hwnd);
        if (flags == GA_ROOTOWNER)
            while (auto r = s.find(root)) {
                if (!r->owner)
                    break;
                root = r->owner;
            }
        return root;
    });
}

BOOL IsChild(HWND parent, HWND hwnd)
{
    auto s = ws().lock();
    return hwnd != parent && parent && s->isInside(hwnd, parent);
}

HWND GetDesktopWindow()
{
    return nullptr;
}

HWND WindowFromPoint(POINT point)
{
    auto s = ws().lock();
    return s->hitTest(point);
}

HWND GetDlgItem(HWND dialog, int id)
{
    return withWindow<HWND>(dialog, nullptr, [&](WindowState& s, Window& w) -> HWND {
        for (HWND c : w.children)
            if (auto child = s.find(c); child && child->id == id)
                return c;
        return nullptr;
    });
}

int GetDlgCtrlID(HWND hwnd)
{
    return withWindow<int>(hwnd, 0, [](WindowState&, Window& w) { return static_cast<int>(w.id); });
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId)
{
    auto s = ws().lock();
    auto w = s->find(hwnd);
    if (processId)
        *processId = w ? 1 : 0;
    return w ? w->thread : 0;
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index)
{
    return withWindow<LONG_PTR>(hwnd, 0, [&](WindowState&, Window& window) { return getLong(window, index); });
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value)
{
    return withWindow<LONG_PTR>(hwnd, 0,
                                [&](WindowState&, Window& window) { return setLong(window, index, value); });
}

LONG GetWindowLongW(HWND hwnd, int index)
{
    return static_cast<LONG>(GetWindowLongPtrW(hwnd, index));
}

LONG SetWindowLongW(HWND hwnd, int index, LONG value)
{
    return static_cast<LONG>(SetWindowLongPtrW(hwnd, index, value));
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text)
{
    return static_cast<BOOL>(SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : u"")));
}

int GetWindowTextW(HWND hwnd, LPWSTR buffer, int size)
{
    return static_cast<int>(SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(std::max(size, 0)),
                                         reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthW(HWND hwnd)
{
    return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
}
