// Classes, creation and destruction.

#include "platform/kernel/Synch.h"
#include "platform/kernel/ThreadQueue.h"
#include "platform/win/NonClient.h"
#include "platform/win/WindowHooks.h"
#include "platform/win/WindowSystem.h"

#include <algorithm>
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

void unlink(WindowState& s, Window& w)
{
    auto& list = w.parent ? s.find(w.parent)->children : s.topLevels;
    list.erase(std::remove(list.begin(), list.end(), w.handle), list.end());
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
    RECT client = clientAreaOf(w->handle, w->rect);
    {
        auto s = ws().lock();
        w->client = client;
        w->allocateSurfaces();
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
        capture = s->isInside(s->capture, hwnd) ? s->capture : nullptr;
        focus = s->isInside(s->focus, hwnd) ? s->focus : nullptr;
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
