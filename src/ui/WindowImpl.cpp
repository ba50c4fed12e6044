#include "ui/WindowImpl.h"

#include <map>
#include <mutex>

namespace {

struct Routes
{
    std::mutex mutex;
    std::map<HWND, WindowImpl*> byWindow;
    std::map<std::u16string, WNDPROC> superProcs;
};

Routes& routes()
{
    static Routes* r = new Routes;
    return *r;
}

thread_local WindowImpl* t_creating = nullptr;

WindowImpl* lookup(HWND hwnd)
{
    std::lock_guard lock(routes().mutex);
    auto it = routes().byWindow.find(hwnd);
    return it == routes().byWindow.end() ? nullptr : it->second;
}

void forget(HWND hwnd)
{
    std::lock_guard lock(routes().mutex);
    routes().byWindow.erase(hwnd);
}

} // namespace

WindowImpl::~WindowImpl()
{
    if (m_hWnd) {
        forget(m_hWnd);
        m_hWnd = nullptr;
    }
}

WNDPROC WindowImpl::GetWindowProc()
{
    return &WindowImpl::StartWindowProc;
}

void WindowImpl::RegisterClass(LPCWSTR className, LPCWSTR baseClass, UINT style)
{
    Routes& r = routes();
    {
        std::lock_guard lock(r.mutex);
        if (r.superProcs.count(className))
            return;
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    WNDPROC super = DefWindowProcW;
    if (baseClass && GetClassInfoExW(nullptr, baseClass, &wc))
        super = wc.lpfnWndProc;
    else
        wc.style = style;
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &WindowImpl::StartWindowProc;
    wc.lpszClassName = className;
    wc.hCursor = wc.hCursor ? wc.hCursor : LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassExW(&wc);
    std::lock_guard lock(r.mutex);
    r.superProcs[className] = super;
}

HWND WindowImpl::CreateImpl(LPCWSTR className, HWND parent, const RECT& rect, LPCWSTR text, DWORD style,
                            DWORD exStyle, UINT id)
{
    {
        std::lock_guard lock(routes().mutex);
        auto it = routes().superProcs.find(className);
        m_superProc = it == routes().superProcs.end() ? DefWindowProcW : it->second;
    }
    WindowImpl* outer = t_creating;
    t_creating = this;
    HWND created = CreateWindowExW(exStyle, className, text ? text : u"", style, rect.left, rect.top,
                                   rect.right - rect.left, rect.bottom - rect.top, parent,
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr, nullptr);
    t_creating = outer;
    if (!created)
        m_hWnd = nullptr;
    return m_hWnd;
}

LRESULT WindowImpl::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return CallWindowProcW(m_superProc ? m_superProc : DefWindowProcW, m_hWnd, message, wParam, lParam);
}

LRESULT WindowImpl::StartWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    WindowImpl* self = lookup(hwnd);
    if (!self && t_creating) {
        self = t_creating;
        t_creating = nullptr;
        self->m_hWnd = hwnd;
        std::lock_guard lock(routes().mutex);
        routes().byWindow[hwnd] = self;
    }
    if (!self)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    LRESULT result = 0;
    if (!self->ProcessWindowMessage(hwnd, message, wParam, lParam, result))
        result = self->DefWindowProc(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        forget(hwnd);
        self->m_hWnd = nullptr;
        self->OnFinalMessage(hwnd);
    }
    return result;
}
