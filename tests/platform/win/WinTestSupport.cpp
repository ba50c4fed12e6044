#include "WinTestSupport.h"

#include <algorithm>
#include <map>

namespace wintest {

namespace {
std::mutex g_mutex;
std::vector<Logged> g_log;
std::map<HWND, Handler> g_handlers;
thread_local Handler t_pending;
std::vector<HWND> g_created;

LRESULT CALLBACK_recorder(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Handler handler;
    {
        std::lock_guard lk(g_mutex);
        g_log.push_back({hwnd, message, wParam, lParam});
        auto it = g_handlers.find(hwnd);
        if (it == g_handlers.end() && t_pending)
            it = g_handlers.emplace(hwnd, t_pending).first;
        if (it != g_handlers.end())
            handler = it->second;
    }
    LRESULT result = 0;
    if (handler && handler(hwnd, message, wParam, lParam, result))
        return result;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}
} // namespace

void registerClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = CALLBACK_recorder;
        wc.lpszClassName = u"Recorder";
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.cbWndExtra = sizeof(LONG_PTR);
        RegisterClassExW(&wc);
        wc.lpszClassName = u"DoubleClicks";
        wc.style = CS_DBLCLKS;
        RegisterClassExW(&wc);
    });
}

HWND create(DWORD style, int x, int y, int w, int h, HWND parent, Handler handler, LPCWSTR className,
            DWORD exStyle)
{
    registerClasses();
    t_pending = std::move(handler);
    HWND hwnd =
        CreateWindowExW(exStyle, className, u"", style, x, y, w, h, parent, nullptr, nullptr, nullptr);
    t_pending = nullptr;
    std::lock_guard lk(g_mutex);
    if (hwnd)
        g_created.push_back(hwnd);
    return hwnd;
}

void setHandler(HWND hwnd, Handler handler)
{
    std::lock_guard lk(g_mutex);
    g_handlers[hwnd] = std::move(handler);
}

std::vector<Logged> log()
{
    std::lock_guard lk(g_mutex);
    return g_log;
}

std::vector<UINT> sequence(std::initializer_list<UINT> wanted, HWND only)
{
    std::vector<UINT> out;
    for (const Logged& l : log())
        if ((!only || l.hwnd == only) && std::find(wanted.begin(), wanted.end(), l.message) != wanted.end())
            out.push_back(l.message);
    return out;
}

void clearLog()
{
    std::lock_guard lk(g_mutex);
    g_log.clear();
}

void pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void destroyAll()
{
    std::vector<HWND> created;
    {
        std::lock_guard lk(g_mutex);
        created.swap(g_created);
    }
    for (HWND h : created)
        if (IsWindow(h))
            DestroyWindow(h);
    pump();
    std::lock_guard lk(g_mutex);
    g_handlers.clear();
    g_log.clear();
}

Handler typingBox(int pixelsPerChar)
{
    return [pixelsPerChar](HWND hwnd, UINT m, WPARAM w, LPARAM, LRESULT&) {
        if (m == WM_LBUTTONDOWN)
            SetFocus(hwnd);
        if (m == WM_CHAR && w >= 0x20) {
            std::u16string text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, 0);
            GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
            text.pop_back();
            text.push_back(static_cast<char16_t>(w));
            SetWindowTextW(hwnd, text.c_str());
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        if (m != WM_PAINT)
            return false;
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        HBRUSH green = CreateSolidBrush(RGB(0, 160, 0));
        FillRect(dc, &r, green);
        r.right = GetWindowTextLengthW(hwnd) * pixelsPerChar;
        HBRUSH red = CreateSolidBrush(RGB(220, 0, 0));
        FillRect(dc, &r, red);
        DeleteObject(green);
        DeleteObject(red);
        EndPaint(hwnd, &ps);
        return true;
    };
}

} // namespace wintest
