#include "platform/win/Dialog.h"

#include "platform/kernel/Synch.h"

#include <algorithm>
#include <map>
#include <mutex>

using namespace pictavo::platform;

namespace {

struct DialogState
{
    bool ended = false;
    INT_PTR result = 0;
    HWND savedFocus = nullptr;
};

std::mutex g_mutex;
std::map<HWND, DialogState> g_dialogs;
thread_local DLGPROC t_creatingProc = nullptr;

constexpr LPCWSTR kDialogClass = u"#32770";

void registerDialogClass()
{
    static std::once_flag once;
    std::call_once(once, [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS | CS_SAVEBITS;
        wc.lpfnWndProc = DefDlgProcW;
        wc.cbWndExtra = DLGWINDOWEXTRA;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kDialogClass;
        RegisterClassExW(&wc);
    });
}

bool isDialogChild(HWND dialog, HWND hwnd)
{
    return hwnd == dialog || IsChild(dialog, hwnd);
}

HWND firstTabStop(HWND dialog)
{
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if ((GetWindowLongW(c, GWL_STYLE) & WS_TABSTOP) && IsWindowVisible(c) && IsWindowEnabled(c))
            return c;
    return nullptr;
}

std::vector<HWND> tabOrder(HWND dialog)
{
    std::vector<HWND> order;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        order.push_back(c);
    return order;
}

} // namespace

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous)
{
    auto order = tabOrder(dialog);
    std::vector<HWND> stops;
    for (HWND c : order)
        if ((GetWindowLongW(c, GWL_STYLE) & WS_TABSTOP) && IsWindowVisible(c) && IsWindowEnabled(c))
            stops.push_back(c);
    if (stops.empty())
        return nullptr;
    auto it = std::find(stops.begin(), stops.end(), control);
    if (it == stops.end())
        return previous ? stops.back() : stops.front();
    const size_t i = static_cast<size_t>(it - stops.begin());
    return stops[(i + (previous ? stops.size() - 1 : 1)) % stops.size()];
}

HWND CreateDialogIndirectParamW(HINSTANCE instance, const DialogTemplate* tmpl, HWND owner, DLGPROC proc,
                                LPARAM param)
{
    if (!tmpl)
        return nullptr;
    registerDialogClass();
    t_creatingProc = proc;
    HWND dialog =
        CreateWindowExW(tmpl->exStyle, kDialogClass, tmpl->caption.c_str(), tmpl->style & ~WS_VISIBLE,
                        tmpl->x, tmpl->y, tmpl->width, tmpl->height, owner, nullptr, instance, nullptr);
    t_creatingProc = nullptr;
    if (!dialog)
        return nullptr;
    {
        std::lock_guard lk(g_mutex);
        g_dialogs[dialog] = DialogState{};
    }
    // The template gives the client size; grow the window by its frame.
    RECT window, client;
    GetWindowRect(dialog, &window);
    GetClientRect(dialog, &client);
    int width = tmpl->width + (window.right - window.left) - client.right;
    int height = tmpl->height + (window.bottom - window.top) - client.bottom;
    int x = tmpl->x, y = tmpl->y;
    if (tmpl->style & DS_CENTER) {
        RECT area;
        if (!owner || !GetWindowRect(owner, &area))
            SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
        x = area.left + ((area.right - area.left) - width) / 2;
        y = area.top + ((area.bottom - area.top) - height) / 2;
    }
    SetWindowPos(dialog, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    for (const DialogItem& item : tmpl->items) {
        const RECT& r = item.rect;
        if (!CreateWindowExW(item.exStyle, item.className.c_str(), item.text.c_str(), item.style | WS_CHILD,
                             r.left, r.top, r.right - r.left, r.bottom - r.top, dialog,
                             reinterpret_cast<HMENU>(static_cast<intptr_t>(item.id)), instance, nullptr)) {
            DestroyWindow(dialog);
            return nullptr;
        }
    }
    HWND focus = firstTabStop(dialog);
    if (SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), param) && focus) {
        std::lock_guard lk(g_mutex);
        g_dialogs[dialog].savedFocus = focus;
    }
    if (!IsWindow(dialog))
        return nullptr;
    if (tmpl->style & WS_VISIBLE)
        ShowWindow(dialog, SW_SHOW);
    return dialog;
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, const DialogTemplate* tmpl, HWND owner, DLGPROC proc,
                                LPARAM param)
{
    if (!tmpl)
        return -1;
    if (owner)
        owner = GetAncestor(owner, GA_ROOT);
    DialogTemplate hidden = *tmpl;
    hidden.style &= ~WS_VISIBLE;
    HWND dialog = CreateDialogIndirectParamW(instance, &hidden, owner, proc, param);
    if (!dialog)
        return -1;
    const bool disabledOwner = owner && IsWindowEnabled(owner);
    if (disabledOwner)
        EnableWindow(owner, FALSE);
    auto ended = [&] {
        std::lock_guard lk(g_mutex);
        auto it = g_dialogs.find(dialog);
        return it == g_dialogs.end() || it->second.ended;
    };
    if (!ended())
        ShowWindow(dialog, SW_SHOW);
    MSG msg;
    while (!ended() && IsWindow(dialog)) {
        if (!GetMessageW(&msg, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!IsDialogMessageW(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    INT_PTR result = 0;
    {
        std::lock_guard lk(g_mutex);
        auto it = g_dialogs.find(dialog);
        if (it != g_dialogs.end())
            result = it->second.result;
    }
    // The owner comes back before the dialog goes, so activation returns to it.
    if (disabledOwner)
        EnableWindow(owner, TRUE);
    DestroyWindow(dialog);
    return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result)
{
    {
        std::lock_guard lk(g_mutex);
        auto it = g_dialogs.find(dialog);
        if (it == g_dialogs.end())
            return FALSE;
        it->second.ended = true;
        it->second.result = result;
    }
    PostMessageW(dialog, WM_NULL, 0, 0); // a loop blocked in GetMessage looks again
    return TRUE;
}

BOOL IsDialogMessageW(HWND dialog, MSG* msg)
{
    if (!msg || !dialog || !isDialogChild(dialog, msg->hwnd))
        return FALSE;
    if (msg->message == WM_KEYDOWN) {
        const LRESULT wants = msg->hwnd != dialog ? SendMessageW(msg->hwnd, WM_GETDLGCODE, msg->wParam,
                                                                 reinterpret_cast<LPARAM>(msg))
                                                  : 0;
        if (!(wants & DLGC_WANTALLKEYS)) {
            switch (msg->wParam) {
            case VK_RETURN: {
                // A push button with the focus answers for itself; otherwise the default id.
                const LRESULT def = SendMessageW(dialog, DM_GETDEFID, 0, 0);
                int id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
                if (wants & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))
                    id = GetDlgCtrlID(msg->hwnd);
                SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
                return TRUE;
            }
            case VK_ESCAPE:
                SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
                return TRUE;
            case VK_TAB:
                if (!(wants & DLGC_WANTTAB)) {
                    if (HWND next = GetNextDlgTabItem(dialog, GetFocus(), GetKeyState(VK_SHIFT) < 0))
                        SetFocus(next);
                    return TRUE;
                }
                break;
            }
        }
    }
    TranslateMessage(msg);
    DispatchMessageW(msg);
    return TRUE;
}

LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(t_creatingProc));
    auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(dialog, DWLP_DLGPROC));
    if (proc) {
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 0);
        const INT_PTR handled = proc(dialog, message, wParam, lParam);
        if (handled)
            return message == WM_INITDIALOG ? handled : GetWindowLongPtrW(dialog, DWLP_MSGRESULT);
    }
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_CLOSE:
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
        return 0;
    case WM_ACTIVATE: {
        std::unique_lock lk(g_mutex);
        auto it = g_dialogs.find(dialog);
        if (it == g_dialogs.end())
            break;
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (IsChild(dialog, focus))
                it->second.savedFocus = focus;
            return 0;
        }
        HWND focus = IsWindow(it->second.savedFocus) ? it->second.savedFocus : nullptr;
        lk.unlock();
        if (!focus)
            focus = firstTabStop(dialog);
        SetFocus(focus ? focus : dialog);
        return 0;
    }
    case DM_GETDEFID:
        return MAKELONG(IDOK, DC_HASDEFID);
    case WM_NCDESTROY: {
        std::lock_guard lk(g_mutex);
        g_dialogs.erase(dialog);
        break;
    }
    }
    return DefWindowProcW(dialog, message, wParam, lParam);
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int size)
{
    return static_cast<UINT>(GetWindowTextW(GetDlgItem(dialog, id), buffer, size));
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text)
{
    return SetWindowTextW(GetDlgItem(dialog, id), text);
}
