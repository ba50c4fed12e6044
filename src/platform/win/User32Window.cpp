// Classes, creation and destruction, geometry, the window tree and window data.

#include "platform/kernel/Synch.h"
#include "platform/kernel/ThreadQueue.h"
#include "platform/win/NonClient.h"
#include "platform/win/WindowHooks.h"
#include "platform/win/WindowSystem.h"

#include <algorithm>
#include <cstring>
#include <utility>

using namespace pictavo::platform;

namespace {

std::u16string foldName(LPCWSTR name)
{
    std::u16string out;
    if (!name)
        return out;
    if (reinterpret_cast<uintptr_t>(name) <= 0xFFFF) // an atom
        return u"#" + std::u16string(1, static_cast<char16_t>(reinterpret_cast<uintptr_t>(name)));
    for (; *name; ++name)
        out.push_back(*name >= u'A' && *name <= u'Z' ? static_cast<char16_t>(*name + 32) : *name);
    return out;
}

void allocateSurfaces(Window& w)
{
    const int cw = std::max(0, w.clientWidth()), ch = std::max(0, w.clientHeight());
    if (!w.surface || w.surface->width() != cw || w.surface->height() != ch)
        w.surface = cw && ch ? Bitmap::create(cw, ch, 0xFFFFFFFF) : nullptr;
    if (w.hasFrame() && w.width() > 0 && w.height() > 0) {
        if (!w.ncSurface || w.ncSurface->width() != w.width() || w.ncSurface->height() != w.height())
            w.ncSurface = Bitmap::create(w.width(), w.height(), 0xFFFFFFFF);
    } else {
        w.ncSurface = nullptr;
    }
    w.update.assign(1, RECT{0, 0, cw, ch});
    if (!cw || !ch)
        w.update.clear();
    w.erase = true;
    w.ncDirty = true;
}

RECT calcClient(const std::shared_ptr<Window>& w, const RECT& windowRect)
{
    NCCALCSIZE_PARAMS params{};
    params.rgrc[0] = windowRect;
    SendMessageW(w->handle, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&params));
    RECT c = params.rgrc[0];
    c.left -= windowRect.left;
    c.right -= windowRect.left;
    c.top -= windowRect.top;
    c.bottom -= windowRect.top;
    c.right = std::max(c.left, c.right);
    c.bottom = std::max(c.top, c.bottom);
    return c;
}

void unlink(WindowState& s, Window& w)
{
    auto& list = w.parent ? s.find(w.parent)->children : s.topLevels;
    list.erase(std::remove(list.begin(), list.end(), w.handle), list.end());
}

bool insideTree(const WindowState& s, HWND inner, HWND outer)
{
    for (auto w = s.find(inner); w; w = s.find(w->parent))
        if (w->handle == outer)
            return true;
    return false;
}

void destroyTree(const std::shared_ptr<Window>& w)
{
    ws().call(w, WM_DESTROY, 0, 0);
    std::vector<HWND> children;
    {
        auto s = ws().lock();
        children = w->children;
    }
    for (HWND c : children) {
        std::shared_ptr<Window> child;
        {
            auto s = ws().lock();
            child = s->find(c);
            if (child)
                child->destroying = true;
        }
        if (child)
            destroyTree(child);
    }
    ws().call(w, WM_NCDESTROY, 0, 0);
    forgetScrollBars(w->handle);
    std::function<void()> final;
    {
        auto s = ws().lock();
        s->markCompose(*w);
        unlink(*s, *w);
        s->windows.erase(reinterpret_cast<uintptr_t>(w->handle));
        w->destroyed = true;
        std::erase_if(s->timers, [&](const Timer& t) { return t.hwnd == w->handle; });
        if (s->tracking.hwndTrack == w->handle)
            s->tracking = {};
        if (s->lastClick.hwnd == w->handle)
            s->lastClick.hwnd = nullptr;
        if (s->focus == w->handle)
            s->focus = nullptr;
        if (s->active == w->handle)
            s->active = nullptr;
        if (s->capture == w->handle)
            s->capture = nullptr;
        if (w->depth == 0 && w->final)
            final = std::exchange(w->final, nullptr);
    }
    if (final)
        final();
}

// Calls from other threads run on the window's own thread, as Win32 sends them there.
template <class F> bool marshalled(HWND hwnd, BOOL& result, F call)
{
    const DWORD owner = GetWindowThreadProcessId(hwnd, nullptr);
    if (!owner || owner == GetCurrentThreadId())
        return false;
    result = FALSE;
    if (auto queue = ThreadQueue::find(owner))
        queue->send([&] { result = call(); });
    return true;
}

// Screen coordinates of the client area's top-left corner.
bool clientOrigin(HWND hwnd, POINT& origin)
{
    return withWindow<bool>(hwnd, false, [&](WindowState& s, Window& w) {
        POINT o = s.screenOrigin(w);
        origin = POINT{o.x + w.client.left, o.y + w.client.top};
        return true;
    });
}

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

ATOM RegisterClassExW(const WNDCLASSEXW* wc)
{
    if (!wc || reinterpret_cast<uintptr_t>(wc->lpszClassName) <= 0xFFFF || wc->cbWndExtra < 0 ||
        wc->cbWndExtra > 4096)
        return 0;
    auto cls = std::make_shared<WindowClass>();
    cls->name = foldName(wc->lpszClassName);
    cls->label = wc->lpszClassName;
    cls->style = wc->style;
    cls->proc = wc->lpfnWndProc;
    cls->wndExtra = wc->cbWndExtra;
    cls->instance = wc->hInstance;
    cls->icon = wc->hIcon;
    cls->cursor = wc->hCursor;
    cls->background = wc->hbrBackground;
    auto s = ws().lock();
    if (s->classes.count(cls->name))
        return 0;
    s->classes[cls->name] = cls;
    return static_cast<ATOM>(0xC000 + s->classes.size());
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE)
{
    auto s = ws().lock();
    auto it = s->classes.find(foldName(className));
    if (it == s->classes.end())
        return FALSE;
    for (auto& [handle, w] : s->windows)
        if (w->cls == it->second)
            return FALSE;
    s->classes.erase(it);
    return TRUE;
}

BOOL GetClassInfoExW(HINSTANCE, LPCWSTR className, WNDCLASSEXW* out)
{
    auto s = ws().lock();
    auto it = s->classes.find(foldName(className));
    if (it == s->classes.end() || !out)
        return FALSE;
    const auto& c = *it->second;
    *out =
        WNDCLASSEXW{sizeof(WNDCLASSEXW), c.style, c.proc,    0,      c.wndExtra, c.instance, c.icon, c.cursor,
                    c.background,        nullptr, className, nullptr};
    return TRUE;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    auto w = std::make_shared<Window>();
    const DWORD thread = GetCurrentThreadId();
    {
        auto s = ws().lock();
        auto it = s->classes.find(foldName(className));
        if (it == s->classes.end())
            return nullptr;
        const bool child = style & WS_CHILD;
        auto p = s->find(parent);
        if (child && (!p || p->destroying))
            return nullptr;
        if (!child && parent && !p)
            return nullptr;
        if (x == CW_USEDEFAULT) {
            x = y = child ? 0 : 64;
        }
        if (width == CW_USEDEFAULT) {
            width = 640;
            height = 480;
        }
        width = std::clamp(width, 0, 32767);
        height = std::clamp(height, 0, 32767);
        w->handle = reinterpret_cast<HWND>(s->nextHandle);
        s->nextHandle += 4;
        w->thread = thread;
        w->cls = it->second;
        w->proc = w->cls->proc;
        w->style = style & ~WS_VISIBLE;
        w->exStyle = exStyle;
        w->parent = child ? parent : nullptr;
        w->owner = child ? nullptr : s->rootOf(parent);
        w->rect = RECT{x, y, x + width, y + height};
        w->client = RECT{0, 0, width, height};
        w->text = windowName ? std::u16string(windowName) : std::u16string();
        w->id = child ? reinterpret_cast<LONG_PTR>(menu) : 0;
        w->instance = instance;
        w->extra.assign(static_cast<size_t>(w->cls->wndExtra), 0);
        s->windows[reinterpret_cast<uintptr_t>(w->handle)] = w;
        // Children go to the bottom: z-order is creation order, which dialogs use as tab order.
        if (child)
            p->children.push_back(w->handle);
        else
            s->raiseTopLevel(w->handle);
    }
    ws().installThread(thread);

    CREATESTRUCTW cs{param,      instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
                     windowName, className, exStyle};
    if (!(style & WS_CHILD) && (style & WS_THICKFRAME)) {
        MINMAXINFO mmi{};
        mmi.ptMaxSize = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        mmi.ptMaxTrackSize = mmi.ptMaxSize;
        ws().call(w, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
        width = std::clamp<int>(width, mmi.ptMinTrackSize.x,
                                std::max(mmi.ptMinTrackSize.x, mmi.ptMaxTrackSize.x));
        height = std::clamp<int>(height, mmi.ptMinTrackSize.y,
                                 std::max(mmi.ptMinTrackSize.y, mmi.ptMaxTrackSize.y));
        auto s = ws().lock();
        w->rect.right = w->rect.left + width;
        w->rect.bottom = w->rect.top + height;
    }
    if (!ws().call(w, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        {
            auto s = ws().lock();
            w->destroying = true;
        }
        ws().call(w, WM_NCDESTROY, 0, 0);
        auto s = ws().lock();
        unlink(*s, *w);
        s->windows.erase(reinterpret_cast<uintptr_t>(w->handle));
        w->destroyed = true;
        return nullptr;
    }
    RECT client = calcClient(w, w->rect);
    {
        auto s = ws().lock();
        w->client = client;
        allocateSurfaces(*w);
    }
    if (ws().call(w, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(w->handle);
        return nullptr;
    }
    if (!IsWindow(w->handle))
        return nullptr;
    ws().call(w, WM_SIZE, SIZE_RESTORED, MAKELPARAM(w->clientWidth(), w->clientHeight()));
    ws().call(w, WM_MOVE, 0, MAKELPARAM(w->rect.left + w->client.left, w->rect.top + w->client.top));
    if (style & WS_VISIBLE)
        ShowWindow(w->handle, (style & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED : SW_SHOW);
    ws().notifyChanged();
    return IsWindow(w->handle) ? w->handle : nullptr;
}

BOOL DestroyWindow(HWND hwnd)
{
    std::shared_ptr<Window> w;
    std::vector<HWND> owned;
    {
        auto s = ws().lock();
        w = s->find(hwnd);
        if (!w || w->destroying || w->thread != GetCurrentThreadId())
            return FALSE;
        w->destroying = true;
        for (HWND top : s->topLevels)
            if (auto o = s->find(top); o && o->owner == hwnd)
                owned.push_back(top);
    }
    for (HWND o : owned)
        DestroyWindow(o);

    HWND capture, focus, active;
    {
        auto s = ws().lock();
        if (w->style & WS_VISIBLE) {
            w->style &= ~WS_VISIBLE;
            if (w->parent)
                s->markCompose(*w);
        }
        capture = insideTree(*s, s->capture, hwnd) ? s->capture : nullptr;
        focus = insideTree(*s, s->focus, hwnd) ? s->focus : nullptr;
        active = s->active == hwnd ? hwnd : nullptr;
    }
    if (capture)
        ReleaseCapture();
    if (focus)
        SetFocus(w->parent);
    if (active) {
        HWND next = w->owner;
        if (!IsWindowVisible(next) || !IsWindowEnabled(next))
            next = nullptr;
        if (!next) {
            auto s = ws().lock();
            for (HWND top : s->topLevels)
                if (auto t = s->find(top); t && top != hwnd && !t->destroying && t->thread == w->thread &&
                                          (t->style & WS_VISIBLE) && !(t->style & WS_DISABLED)) {
                    next = top;
                    break;
                }
        }
        SetActiveWindow(next);
    }
    destroyTree(w);
    ws().notifyChanged();
    return TRUE;
}

BOOL IsWindow(HWND hwnd)
{
    auto s = ws().lock();
    return s->find(hwnd) != nullptr;
}

BOOL IsWindowVisible(HWND hwnd)
{
    auto s = ws().lock();
    return s->visible(hwnd);
}

BOOL IsWindowEnabled(HWND hwnd)
{
    return withWindow<BOOL>(hwnd, FALSE, [](WindowState&, Window& w) { return !(w.style & WS_DISABLED); });
}

BOOL EnableWindow(HWND hwnd, BOOL enable)
{
    BOOL viaOwner;
    if (marshalled(hwnd, viaOwner, [&] { return EnableWindow(hwnd, enable); }))
        return viaOwner;
    bool wasDisabled;
    HWND loseFocus = nullptr;
    {
        auto s = ws().lock();
        auto w = s->find(hwnd);
        if (!w)
            return FALSE;
        wasDisabled = w->style & WS_DISABLED;
        if (wasDisabled == !enable)
            return wasDisabled;
        if (enable)
            w->style &= ~WS_DISABLED;
        else
            w->style |= WS_DISABLED;
        if (!enable && insideTree(*s, s->focus, hwnd))
            loseFocus = s->focus;
    }
    if (loseFocus)
        SetFocus(nullptr);
    SendMessageW(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled;
}

BOOL ShowWindow(HWND hwnd, int command)
{
    BOOL viaOwner;
    if (marshalled(hwnd, viaOwner, [&] { return ShowWindow(hwnd, command); }))
        return viaOwner;
    std::shared_ptr<Window> w;
    bool wasVisible;
    {
        auto s = ws().lock();
        w = s->find(hwnd);
        if (!w)
            return FALSE;
        wasVisible = w->style & WS_VISIBLE;
    }
    if (command == SW_HIDE) {
        if (!wasVisible)
            return FALSE;
        SendMessageW(hwnd, WM_SHOWWINDOW, FALSE, 0);
        HWND focus, capture;
        bool wasActive;
        {
            auto s = ws().lock();
            w->style &= ~WS_VISIBLE;
            s->markCompose(*w);
            focus = insideTree(*s, s->focus, hwnd) ? s->focus : nullptr;
            capture = insideTree(*s, s->capture, hwnd) ? s->capture : nullptr;
            wasActive = s->active == hwnd;
        }
        if (capture)
            ReleaseCapture();
        if (wasActive)
            SetActiveWindow(w->owner && IsWindowVisible(w->owner) ? w->owner : nullptr);
        else if (focus)
            SetFocus(w->parent);
        ws().wakeThread(w->thread);
        ws().notifyChanged();
        return TRUE;
    }
    const bool maximize = command == SW_SHOWMAXIMIZED;
    const bool restore = command == SW_RESTORE || command == SW_SHOWNORMAL;
    if (maximize && !w->maximized) {
        RECT area{};
        if (w->parent) {
            GetClientRect(w->parent, &area);
        } else {
            SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
        }
        MINMAXINFO mmi{};
        mmi.ptMaxSize = {area.right - area.left, area.bottom - area.top};
        mmi.ptMaxPosition = {area.left, area.top};
        mmi.ptMaxTrackSize = mmi.ptMaxSize;
        SendMessageW(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
        {
            auto s = ws().lock();
            w->restored = w->rect;
            w->maximized = true;
            w->style |= WS_MAXIMIZE;
        }
        SetWindowPos(hwnd, nullptr, mmi.ptMaxPosition.x, mmi.ptMaxPosition.y, mmi.ptMaxSize.x,
                     mmi.ptMaxSize.y, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    } else if (restore && w->maximized) {
        RECT r;
        {
            auto s = ws().lock();
            w->maximized = false;
            w->style &= ~WS_MAXIMIZE;
            r = w->restored;
        }
        SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    if (!wasVisible) {
        SendMessageW(hwnd, WM_SHOWWINDOW, TRUE, 0);
        auto s = ws().lock();
        w->style |= WS_VISIBLE;
        allocateSurfaces(*w);
        s->markCompose(*w);
    }
    const bool activates =
        command != SW_SHOWNA && command != SW_SHOWNOACTIVATE && command != SW_SHOWMINNOACTIVE;
    if (!w->parent && activates && !(w->exStyle & WS_EX_NOACTIVATE))
        SetActiveWindow(hwnd);
    ws().wakeThread(w->thread);
    ws().notifyChanged();
    return wasVisible;
}

BOOL IsZoomed(HWND hwnd)
{
    return withWindow<BOOL>(hwnd, FALSE, [](WindowState&, Window& w) { return w.maximized; });
}

BOOL IsIconic(HWND)
{
    return FALSE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint)
{
    return SetWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    BOOL viaOwner;
    if (marshalled(hwnd, viaOwner, [&] { return SetWindowPos(hwnd, insertAfter, x, y, cx, cy, flags); }))
        return viaOwner;
    auto w = ws().window(hwnd);
    if (!w)
        return FALSE;
    WINDOWPOS pos{hwnd, insertAfter, x, y, std::clamp(cx, 0, 32767), std::clamp(cy, 0, 32767), flags};
    if (flags & SWP_NOMOVE) {
        pos.x = w->rect.left;
        pos.y = w->rect.top;
    }
    if (flags & SWP_NOSIZE) {
        pos.cx = w->width();
        pos.cy = w->height();
    }
    SendMessageW(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
    RECT rect{pos.x, pos.y, pos.x + pos.cx, pos.y + pos.cy};
    const bool sized = pos.cx != w->width() || pos.cy != w->height();
    const bool moved = pos.x != w->rect.left || pos.y != w->rect.top;
    RECT client = w->client;
    if (sized || (flags & SWP_FRAMECHANGED))
        client = calcClient(w, rect);
    const bool clientSized =
        client.right - client.left != w->clientWidth() || client.bottom - client.top != w->clientHeight();
    {
        auto s = ws().lock();
        if (!s->find(hwnd))
            return FALSE;
        s->markCompose(*w);
        w->rect = rect;
        w->client = client;
        if (sized || (flags & SWP_FRAMECHANGED))
            allocateSurfaces(*w);
        if (!(flags & SWP_NOZORDER) && !w->parent &&
            (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST)) {
            if (insertAfter == HWND_TOPMOST)
                w->exStyle |= WS_EX_TOPMOST;
            else
                w->exStyle &= ~WS_EX_TOPMOST;
            s->raiseTopLevel(hwnd);
        } else if (!(flags & SWP_NOZORDER) && !w->parent && insertAfter == HWND_TOP) {
            s->raiseTopLevel(hwnd);
        } else if (!(flags & SWP_NOZORDER)) {
            auto& list = w->parent ? s->find(w->parent)->children : s->topLevels;
            list.erase(std::remove(list.begin(), list.end(), hwnd), list.end());
            auto at = list.begin();
            if (insertAfter == HWND_BOTTOM) {
                at = list.end();
            } else if (insertAfter && insertAfter != HWND_TOPMOST && insertAfter != HWND_NOTOPMOST) {
                auto found = std::find(list.begin(), list.end(), insertAfter);
                at = found == list.end() ? list.begin() : found + 1;
            }
            list.insert(at, hwnd);
        }
        s->markCompose(*w);
    }
    if (flags & SWP_SHOWWINDOW)
        ShowWindow(hwnd, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    if (flags & SWP_HIDEWINDOW)
        ShowWindow(hwnd, SW_HIDE);
    pos.flags = (flags & ~(SWP_NOMOVE | SWP_NOSIZE)) | (moved ? 0 : SWP_NOMOVE) |
                (sized || clientSized ? 0 : SWP_NOSIZE);
    SendMessageW(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    ws().wakeThread(w->thread);
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect)
{
    return rect && withWindow<BOOL>(hwnd, FALSE, [&](WindowState& s, Window& w) {
               POINT o = s.screenOrigin(w);
               *rect = RECT{o.x, o.y, o.x + w.width(), o.y + w.height()};
               return TRUE;
           });
}

BOOL GetClientRect(HWND hwnd, RECT* rect)
{
    return rect && withWindow<BOOL>(hwnd, FALSE, [&](WindowState&, Window& w) {
               *rect = RECT{0, 0, w.clientWidth(), w.clientHeight()};
               return TRUE;
           });
}


BOOL ClientToScreen(HWND hwnd, POINT* point)
{
    POINT o;
    if (!point || !clientOrigin(hwnd, o))
        return FALSE;
    point->x += o.x;
    point->y += o.y;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point)
{
    POINT o;
    if (!point || !clientOrigin(hwnd, o))
        return FALSE;
    point->x -= o.x;
    point->y -= o.y;
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count)
{
    POINT origin{0, 0};
    if (from)
        ClientToScreen(from, &origin);
    POINT target{0, 0};
    if (to)
        ClientToScreen(to, &target);
    const LONG dx = origin.x - target.x, dy = origin.y - target.y;
    for (UINT i = 0; points && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    return static_cast<int>(MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy)));
}

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
    return hwnd != parent && parent && insideTree(*s, hwnd, parent);
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

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName)
{
    auto s = ws().lock();
    const auto cls = foldName(className);
    for (HWND top : s->topLevels) {
        auto w = s->find(top);
        if (w && (!className || w->cls->name == cls) && (!windowName || w->text == windowName))
            return top;
    }
    return nullptr;
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

int GetClassNameW(HWND hwnd, LPWSTR buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    return withWindow<int>(hwnd, 0, [&](WindowState&, Window& w) {
        const auto& name = w.cls->label;
        const int n = std::min<int>(size - 1, static_cast<int>(name.size()));
        std::copy_n(name.begin(), n, buffer);
        buffer[n] = 0;
        return n;
    });
}

namespace pictavo::platform {

bool setFinalCallback(HWND hwnd, std::function<void()> callback)
{
    return withWindow<bool>(hwnd, false, [&](WindowState&, Window& w) {
        w.final = std::move(callback);
        return true;
    });
}

void setFileDropHandler(FileDropHandler handler)
{
    ws().setFileDropHandler(GetCurrentThreadId(), std::move(handler));
}

} // namespace pictavo::platform
