#include "platform/win/MessageBoxWindow.h"

#include "platform/gfx/Canvas.h"
#include "platform/kernel/MessageBox.h"
#include "platform/kernel/Synch.h"
#include "platform/kernel/ThreadQueue.h"
#include "platform/win/Dialog.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace pictavo::platform {

namespace {

constexpr LPCWSTR kTextClass = u"#MessageBoxText";
constexpr LPCWSTR kButtonClass = u"#MessageBoxButton";
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kMargin = 12;
std::atomic<DWORD> g_uiThread{0};

std::u16string textOf(HWND hwnd)
{
    std::u16string text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, u'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

LRESULT textProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PAINT)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    SetBkMode(dc, TRANSPARENT);
    auto text = textOf(hwnd);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    EndPaint(hwnd, &ps);
    return 0;
}

LRESULT buttonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto click = [&] {
        SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), BN_CLICKED),
                     reinterpret_cast<LPARAM>(hwnd));
    };
    switch (message) {
    case WM_LBUTTONDOWN:
        SetCapture(hwnd);
        SetFocus(hwnd);
        return 0;
    case WM_LBUTTONUP: {
        const bool captured = GetCapture() == hwnd;
        ReleaseCapture();
        RECT r;
        GetClientRect(hwnd, &r);
        const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (captured && p.x >= 0 && p.y >= 0 && p.x < r.right && p.y < r.bottom)
            click();
        return 0;
    }
    case WM_KEYUP:
        if (wParam == VK_SPACE)
            click();
        return 0;
    case WM_GETDLGCODE:
        return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        HBRUSH face = CreateSolidBrush(0xE1E1E1);
        HBRUSH edge = CreateSolidBrush(GetFocus() == hwnd ? 0xD77800 : 0xADADAD);
        FillRect(dc, &r, face);
        FrameRect(dc, &r, edge);
        DeleteObject(face);
        DeleteObject(edge);
        SetBkMode(dc, TRANSPARENT);
        auto text = textOf(hwnd);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        EndPaint(hwnd, &ps);
        return 0;
    }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void registerClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = textProc;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kTextClass;
        RegisterClassExW(&wc);
        wc.lpfnWndProc = buttonProc;
        wc.hbrBackground = nullptr;
        wc.lpszClassName = kButtonClass;
        RegisterClassExW(&wc);
    });
}

struct BoxData
{
    UINT type;
    int defaultId;
};

INT_PTR boxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        return TRUE;
    case DM_GETDEFID: {
        auto* data = reinterpret_cast<BoxData*>(GetWindowLongPtrW(dialog, DWLP_USER));
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, MAKELONG(data ? data->defaultId : IDOK, DC_HASDEFID));
        return TRUE;
    }
    case WM_COMMAND: {
        auto* data = reinterpret_cast<BoxData*>(GetWindowLongPtrW(dialog, DWLP_USER));
        const int id = LOWORD(wParam);
        const UINT buttons = data ? data->type & 0xF : MB_OK;
        if (id == IDCANCEL) {
            // Escape and the close box answer only where a cancel exists (OK alone counts).
            if (buttons == MB_OK)
                EndDialog(dialog, IDOK);
            else if (buttons == MB_OKCANCEL || buttons == MB_YESNOCANCEL)
                EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        if (GetDlgItem(dialog, id))
            EndDialog(dialog, id);
        return TRUE;
    }
    }
    return FALSE;
}

int showHere(HWND owner, std::u16string_view text, std::u16string_view caption, UINT type)
{
    registerClasses();
    std::vector<std::pair<int, std::u16string>> buttons;
    switch (type & 0xF) {
    case MB_OKCANCEL:
        buttons = {{IDOK, u"确定"}, {IDCANCEL, u"取消"}};
        break;
    case MB_YESNO:
        buttons = {{IDYES, u"是(&Y)"}, {IDNO, u"否(&N)"}};
        break;
    case MB_YESNOCANCEL:
        buttons = {{IDYES, u"是(&Y)"}, {IDNO, u"否(&N)"}, {IDCANCEL, u"取消"}};
        break;
    default:
        buttons = {{IDOK, u"确定"}};
    }
    const std::u16string body(text);
    SIZE extent = Canvas::textExtent(body, FontSpec{});
    const int buttonsWidth = static_cast<int>(buttons.size()) * (kButtonWidth + 8) - 8;
    const int textWidth = std::clamp<int>(extent.cx + 4, 120, 480);
    const int lines = std::clamp<int>((extent.cx + textWidth - 1) / std::max(1, textWidth), 1, 20) +
                      static_cast<int>(std::count(body.begin(), body.end(), u'\n'));
    const int textHeight = std::max<int>(extent.cy, 12) * lines + 4;
    DialogTemplate tmpl;
    tmpl.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
    tmpl.caption = std::u16string(caption);
    tmpl.width = std::max(textWidth, buttonsWidth) + 2 * kMargin;
    tmpl.height = kMargin + textHeight + kMargin + kButtonHeight + kMargin;
    tmpl.items.push_back(DialogItem{kTextClass, body, 0xFFFF, WS_CHILD | WS_VISIBLE, 0,
                                    RECT{kMargin, kMargin, kMargin + textWidth, kMargin + textHeight}});
    int x = tmpl.width - kMargin - buttonsWidth;
    const int y = tmpl.height - kMargin - kButtonHeight;
    for (auto& [id, label] : buttons) {
        tmpl.items.push_back(DialogItem{kButtonClass, label, id, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0,
                                        RECT{x, y, x + kButtonWidth, y + kButtonHeight}});
        x += kButtonWidth + 8;
    }
    BoxData data{type, buttons.front().first};
    const INT_PTR result =
        DialogBoxIndirectParamW(nullptr, &tmpl, owner, boxProc, reinterpret_cast<LPARAM>(&data));
    return result > 0 ? static_cast<int>(result) : IDCANCEL;
}

} // namespace

int MessageBoxWindow::show(HWND owner, std::u16string_view text, std::u16string_view caption, UINT type)
{
    // The owner's thread, else the one with the active window, else the first UI thread.
    DWORD thread = owner ? GetWindowThreadProcessId(owner, nullptr) : 0;
    if (!thread)
        thread = GetWindowThreadProcessId(GetActiveWindow(), nullptr);
    if (!thread && ThreadQueue::find(g_uiThread))
        thread = g_uiThread;
    if (!thread || thread == GetCurrentThreadId())
        return showHere(owner, text, caption, type);
    auto queue = ThreadQueue::find(thread);
    int result = IDCANCEL;
    // The box's own text outlives the call: send waits until the UI thread has finished it.
    if (!queue || !queue->send([&] { result = showHere(owner, text, caption, type); }))
        return showHere(nullptr, text, caption, type);
    return result;
}

void MessageBoxWindow::install(DWORD uiThread)
{
    DWORD previous = g_uiThread;
    if (previous && ThreadQueue::find(previous))
        return;
    if (!g_uiThread.compare_exchange_strong(previous, uiThread) || previous)
        return; // the handler is in place already
    MessageBoxService::setHandler(
        [](HWND owner, std::u16string_view text, std::u16string_view caption, UINT type) {
            return MessageBoxWindow::show(owner, text, caption, type);
        });
}

} // namespace pictavo::platform
