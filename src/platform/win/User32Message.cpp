// Sending, posting, the default window procedure, timers and the key state.

#include "platform/gfx/Canvas.h"
#include "platform/kernel/Synch.h"
#include "platform/kernel/ThreadQueue.h"
#include "platform/win/NonClient.h"
#include "platform/win/Imm.h"
#include "platform/win/WindowSystem.h"

#include <algorithm>

using namespace pictavo::platform;

namespace {

thread_local int t_inSend = 0;

LRESULT hitTestDefault(HWND hwnd, POINT screen)
{
    auto& s = ws();
    std::lock_guard lk(s.mutex);
    auto w = s.find(hwnd);
    if (!w)
        return HTNOWHERE;
    POINT o = s.screenOrigin(*w);
    const LONG x = screen.x - o.x, y = screen.y - o.y;
    if (x < 0 || y < 0 || x >= w->width() || y >= w->height())
        return HTNOWHERE;
    if (x >= w->client.left && x < w->client.right && y >= w->client.top && y < w->client.bottom)
        return HTCLIENT;
    if ((w->style & WS_VSCROLL) && x >= w->client.right && y >= w->client.top && y < w->client.bottom)
        return HTVSCROLL;
    if ((w->style & WS_HSCROLL) && y >= w->client.bottom && x >= w->client.left && x < w->client.right)
        return HTHSCROLL;
    if (w->style & WS_THICKFRAME) {
        const int f = GetSystemMetrics(SM_CXFRAME);
        const bool l = x < f, r = x >= w->width() - f, t = y < f, b = y >= w->height() - f;
        if (t && l)
            return HTTOPLEFT;
        if (t && r)
            return HTTOPRIGHT;
        if (b && l)
            return HTBOTTOMLEFT;
        if (b && r)
            return HTBOTTOMRIGHT;
        if (l)
            return HTLEFT;
        if (r)
            return HTRIGHT;
        if (t)
            return HTTOP;
        if (b)
            return HTBOTTOM;
    }
    if ((w->style & WS_CAPTION) == WS_CAPTION && y < w->client.top)
        return HTCAPTION;
    return HTBORDER;
}

HCURSOR cursorForHit(LRESULT hit)
{
    switch (hit) {
    case HTLEFT:
    case HTRIGHT:
        return LoadCursorW(nullptr, IDC_SIZEWE);
    case HTTOP:
    case HTBOTTOM:
        return LoadCursorW(nullptr, IDC_SIZENS);
    case HTTOPLEFT:
    case HTBOTTOMRIGHT:
        return LoadCursorW(nullptr, IDC_SIZENWSE);
    case HTTOPRIGHT:
    case HTBOTTOMLEFT:
        return LoadCursorW(nullptr, IDC_SIZENESW);
    }
    return LoadCursorW(nullptr, IDC_ARROW);
}

void paintFrame(HWND hwnd)
{
    auto& s = ws();
    std::shared_ptr<Bitmap> nc;
    RECT client{};
    DWORD style = 0, exStyle = 0;
    bool active = false;
    std::u16string caption;
    {
        std::lock_guard lk(s.mutex);
        auto w = s.find(hwnd);
        if (!w)
            return;
        w->ncDirty = false;
        nc = w->ncSurface;
        client = w->client;
        style = w->style;
        exStyle = w->exStyle;
        active = s.active == hwnd;
        caption = w->text;
        s.markCompose(*w);
    }
    if (!nc)
        return;
    Canvas canvas(nc);
    const RECT all{0, 0, nc->width(), nc->height()};
    canvas.fillRect(all, BrushSpec{BS_SOLID, 0, GetSysColor(COLOR_BTNFACE)});
    if (style & (WS_BORDER | WS_DLGFRAME | WS_THICKFRAME) || exStyle & WS_EX_CLIENTEDGE)
        canvas.frameRect(all, BrushSpec{BS_SOLID, 0, 0x646464});
    if ((style & WS_CAPTION) == WS_CAPTION && client.top > 1) {
        RECT bar{1, 1, nc->width() - 1, client.top};
        canvas.fillRect(bar, BrushSpec{BS_SOLID, 0, active ? 0xD77800u : 0xBFBFBFu});
        RECT text{bar.left + 6, bar.top, bar.right - 6, bar.bottom};
        canvas.setBkMode(TRANSPARENT);
        canvas.setTextColour(0xFFFFFF);
        canvas.intersectClip(bar);
        canvas.drawText(caption, text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    }
    paintScrollBars(hwnd, canvas);
}

void setText(HWND hwnd, LPCWSTR text)
{
    auto& s = ws();
    {
        std::lock_guard lk(s.mutex);
        auto w = s.find(hwnd);
        if (!w)
            return;
        w->text = text ? std::u16string(text) : std::u16string();
        w->ncDirty = true;
    }
    s.changed.notify_all();
}

} // namespace

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto& s = ws();
    if (LRESULT ime; imeDefaultProc(hwnd, message, wParam, lParam, ime))
        return ime;
    switch (message) {
    case WM_NCCREATE:
        return TRUE;
    case WM_NCCALCSIZE: {
        if (!lParam)
            return 0;
        auto* p = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
        DWORD style, exStyle;
        {
            std::lock_guard lk(s.mutex);
            auto w = s.find(hwnd);
            if (!w)
                return 0;
            style = w->style;
            exStyle = w->exStyle;
        }
        RECT& r = p->rgrc[0];
        int border = 0;
        if (style & WS_THICKFRAME)
            border = GetSystemMetrics(SM_CXFRAME);
        else if (style & (WS_BORDER | WS_DLGFRAME) || exStyle & WS_EX_CLIENTEDGE)
            border = 1;
        r.left += border;
        r.top += border;
        r.right -= border;
        r.bottom -= border;
        if ((style & WS_CAPTION) == WS_CAPTION)
            r.top += GetSystemMetrics(SM_CYCAPTION);
        if (style & WS_VSCROLL)
            r.right -= GetSystemMetrics(SM_CXVSCROLL);
        if (style & WS_HSCROLL)
            r.bottom -= GetSystemMetrics(SM_CYHSCROLL);
        r.right = std::max(r.left, r.right);
        r.bottom = std::max(r.top, r.bottom);
        return 0;
    }
    case WM_NCHITTEST:
        return hitTestDefault(hwnd, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    case WM_NCPAINT:
        paintFrame(hwnd);
        return 0;
    case WM_NCACTIVATE: {
        std::lock_guard lk(s.mutex);
        if (auto w = s.find(hwnd))
            w->ncDirty = true;
    }
        s.wakeThread(GetWindowThreadProcessId(hwnd, nullptr));
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        if (BeginPaint(hwnd, &ps))
            EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND: {
        HBRUSH brush;
        {
            std::lock_guard lk(s.mutex);
            auto w = s.find(hwnd);
            if (!w)
                return 0;
            brush = w->cls->background;
        }
        if (!brush)
            return 0;
        // A class brush may be a system colour index plus one, as in Win32.
        if (reinterpret_cast<uintptr_t>(brush) <= 31)
            brush = GetSysColorBrush(static_cast<int>(reinterpret_cast<uintptr_t>(brush)) - 1);
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, brush);
        return 1;
    }
    case WM_SETCURSOR: {
        HWND parent = GetAncestor(hwnd, GA_PARENT);
        if (parent && SendMessageW(parent, WM_SETCURSOR, wParam, lParam))
            return TRUE;
        const LRESULT hit = static_cast<SHORT>(LOWORD(lParam));
        if (hit == HTCLIENT) {
            // The class cursor, when the class has one; otherwise the shape stays as it is.
            HCURSOR cursor = nullptr;
            {
                std::lock_guard lk(s.mutex);
                if (auto w = s.find(hwnd))
                    cursor = w->cls->cursor;
            }
            if (cursor)
                SetCursor(cursor);
            return FALSE;
        }
        SetCursor(cursorForHit(hit));
        return FALSE;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE)
            SetFocus(hwnd);
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == VK_F4 && (GetKeyState(VK_MENU) & 0x8000))
            SendMessageW(GetAncestor(hwnd, GA_ROOT), WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    case WM_MOUSEACTIVATE:
        // A child asks its parent first, as the chain up to the top-level window decides.
        if (HWND parent = GetAncestor(hwnd, GA_PARENT))
            if (LRESULT how = SendMessageW(parent, message, wParam, lParam))
                return how;
        return MA_ACTIVATE;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_SETTEXT:
        setText(hwnd, reinterpret_cast<LPCWSTR>(lParam));
        return TRUE;
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: {
        std::lock_guard lk(s.mutex);
        auto w = s.find(hwnd);
        if (!w)
            return 0;
        if (message == WM_GETTEXTLENGTH)
            return static_cast<LRESULT>(w->text.size());
        auto* out = reinterpret_cast<WCHAR*>(lParam);
        if (!out || wParam == 0)
            return 0;
        const size_t n = std::min<size_t>(wParam - 1, w->text.size());
        std::copy_n(w->text.begin(), n, out);
        out[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_MOUSEWHEEL:
        if (HWND parent = GetAncestor(hwnd, GA_PARENT))
            return SendMessageW(parent, message, wParam, lParam);
        return 0;
    case WM_WINDOWPOSCHANGED: {
        auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (!pos)
            return 0;
        RECT r{};
        POINT origin{};
        bool maximized;
        {
            std::lock_guard lk(s.mutex);
            auto w = s.find(hwnd);
            if (!w)
                return 0;
            r = RECT{0, 0, w->clientWidth(), w->clientHeight()};
            origin = POINT{w->rect.left + w->client.left, w->rect.top + w->client.top};
            maximized = w->maximized;
        }
        if (!(pos->flags & SWP_NOMOVE))
            SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
        if (!(pos->flags & SWP_NOSIZE))
            SendMessageW(hwnd, WM_SIZE, maximized ? SIZE_MAXIMIZED : SIZE_RESTORED,
                         MAKELPARAM(r.right, r.bottom));
        return 0;
    }
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE:
            SendMessageW(hwnd, WM_CLOSE, 0, 0);
            break;
        case SC_SIZE:
        case SC_MOVE:
            sizeMoveLoop(hwnd, wParam, lParam);
            break;
        case SC_MAXIMIZE:
            ShowWindow(hwnd, SW_MAXIMIZE);
            break;
        case SC_RESTORE:
            ShowWindow(hwnd, SW_RESTORE);
            break;
        }
        return 0;
    case WM_NCLBUTTONDOWN:
        nonClientButtonDown(hwnd, wParam, lParam);
        return 0;
    }
    return 0;
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return proc ? proc(hwnd, message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto& s = ws();
    std::shared_ptr<Window> w;
    {
        std::lock_guard lk(s.mutex);
        w = s.find(hwnd);
    }
    if (!w)
        return 0;
    if (w->thread == GetCurrentThreadId())
        return s.call(w, message, wParam, lParam);
    auto queue = ThreadQueue::find(w->thread);
    if (!queue)
        return 0;
    LRESULT result = 0;
    queue->send([&] {
        std::shared_ptr<Window> target;
        {
            std::lock_guard lk(s.mutex);
            target = s.find(hwnd);
        }
        if (!target)
            return;
        ++t_inSend;
        result = s.call(target, message, wParam, lParam);
        --t_inSend;
    });
    return result;
}

BOOL InSendMessage()
{
    return t_inSend > 0;
}

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!hwnd)
        return PostThreadMessageW(GetCurrentThreadId(), message, wParam, lParam);
    auto& s = ws();
    DWORD thread;
    POINT pt;
    {
        std::lock_guard lk(s.mutex);
        auto w = s.find(hwnd);
        if (!w)
            return FALSE;
        thread = w->thread;
        pt = s.cursorPos;
    }
    auto queue = ThreadQueue::find(thread);
    return queue && queue->post(MSG{hwnd, message, wParam, lParam, 0, pt});
}

BOOL TranslateMessage(const MSG* msg)
{
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN))
        return FALSE;
    // Typed text arrives as characters already; only the keys that type control characters
    // are translated here.
    WCHAR ch = 0;
    switch (msg->wParam) {
    case VK_RETURN:
        ch = u'\r';
        break;
    case VK_ESCAPE:
        ch = 0x1B;
        break;
    case VK_BACK:
        ch = 0x08;
        break;
    case VK_TAB:
        ch = u'\t';
        break;
    default:
        return FALSE;
    }
    return PostMessageW(msg->hwnd, msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR, ch, msg->lParam);
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc)
{
    auto& s = ws();
    const DWORD thread = GetCurrentThreadId();
    elapse = std::clamp<UINT>(elapse, 10, 0x7FFFFFFF);
    {
        std::lock_guard lk(s.mutex);
        if (hwnd) {
            auto w = s.find(hwnd);
            if (!w || w->thread != thread)
                return 0;
        } else {
            id = ++s.nextTimerId;
        }
        std::erase_if(s.timers,
                      [&](const Timer& t) { return t.hwnd == hwnd && t.id == id && t.thread == thread; });
        s.timers.push_back(Timer{hwnd, id, elapse, proc, thread,
                                 WindowSystem::Clock::now() + std::chrono::milliseconds(elapse)});
    }
    s.installThread(thread);
    s.wakeThread(thread);
    return hwnd ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id)
{
    auto& s = ws();
    std::lock_guard lk(s.mutex);
    const auto before = s.timers.size();
    std::erase_if(s.timers, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    return s.timers.size() != before;
}

namespace {
// Input carries the generic Shift, Ctrl and Alt keys or their sides; either answers for the
// other, and a generic press counts as the left key.
BYTE sidedKey(const BYTE* keys, int vk)
{
    static constexpr int generic[3] = {VK_SHIFT, VK_CONTROL, VK_MENU};
    for (int i = 0; i < 3; ++i) {
        const int left = VK_LSHIFT + 2 * i, right = left + 1;
        if (vk == generic[i])
            return static_cast<BYTE>(keys[vk] | ((keys[left] | keys[right]) & 0x80));
        if (vk == left && !(keys[right] & 0x80))
            return static_cast<BYTE>(keys[left] | (keys[generic[i]] & 0x80));
    }
    return keys[vk];
}
} // namespace

SHORT GetKeyState(int key)
{
    auto& s = ws();
    std::lock_guard lk(s.mutex);
    const BYTE k = sidedKey(s.keys, key & 0xFF);
    return static_cast<SHORT>(((k & 0x80) ? 0x8000 : 0) | (k & 0x01));
}

SHORT GetAsyncKeyState(int key)
{
    auto& s = ws();
    std::lock_guard lk(s.mutex);
    return static_cast<SHORT>((sidedKey(s.asyncKeys, key & 0xFF) & 0x80) ? 0x8000 : 0);
}

BOOL GetCursorPos(POINT* point)
{
    if (!point)
        return FALSE;
    auto& s = ws();
    std::lock_guard lk(s.mutex);
    *point = s.cursorPos;
    return TRUE;
}

BOOL SetCursorPos(int x, int y)
{
    InputEvent e;
    e.kind = InputEvent::Kind::Move;
    e.pt = POINT{x, y};
    ws().inject(std::move(e));
    return TRUE;
}

DWORD GetMessagePos()
{
    auto& s = ws();
    std::lock_guard lk(s.mutex);
    return s.messagePos;
}

UINT GetDoubleClickTime()
{
    return 500;
}
