#include "platform/com/ComPtr.h"
#include "platform/kernel/Synch.h"
#include "platform/ole/Ole2.h"
#include "platform/win/WindowHooks.h"

#include <map>
#include <mutex>

namespace pictavo::platform {

namespace {

std::mutex targetsMutex;
std::map<HWND, ComPtr<IDropTarget>>& targets()
{
    static std::map<HWND, ComPtr<IDropTarget>> t;
    return t;
}

DWORD keyStateNow()
{
    DWORD keys = 0;
    if (GetKeyState(VK_LBUTTON) < 0)
        keys |= MK_LBUTTON;
    if (GetKeyState(VK_RBUTTON) < 0)
        keys |= MK_RBUTTON;
    if (GetKeyState(VK_MBUTTON) < 0)
        keys |= MK_MBUTTON;
    if (GetKeyState(VK_SHIFT) < 0)
        keys |= MK_SHIFT;
    if (GetKeyState(VK_CONTROL) < 0)
        keys |= MK_CONTROL;
    if (GetKeyState(VK_MENU) < 0)
        keys |= 0x20; // MK_ALT
    return keys;
}

// Files dropped from outside (a file manager through the display, or the automation) run the
// same conversation a drag loop would: enter, one move, then drop or leave. A file manager
// offers copy, move and link.
void deliverFileDrop(HWND hwnd, POINT client, const std::vector<std::u16string>& files)
{
    HWND registered = nullptr;
    ComPtr<IDropTarget> target(findDropTarget(hwnd, &registered));
    if (!target)
        return;
    POINT screen = client;
    ClientToScreen(hwnd, &screen);
    POINT local = screen;
    ScreenToClient(registered, &local);
    ComPtr<IDataObject> data;
    data.Attach(createFileDropData(files, local));
    const DWORD allowed = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    const DWORD keys = keyStateNow();
    const POINTL at{screen.x, screen.y};
    DWORD effect = allowed;
    if (target->DragEnter(data.Get(), keys | MK_LBUTTON, at, &effect) != S_OK) {
        target->DragLeave();
        return;
    }
    effect = allowed;
    target->DragOver(keys | MK_LBUTTON, at, &effect);
    if ((effect & allowed) == DROPEFFECT_NONE) {
        target->DragLeave();
        return;
    }
    effect &= allowed;
    target->Drop(data.Get(), keys, at, &effect);
}

ATOM loopClass()
{
    static ATOM atom = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = u"PictavoDragLoop";
        return RegisterClassExW(&wc);
    }();
    return atom;
}

} // namespace

IDropTarget* findDropTarget(HWND hwnd, HWND* registeredWindow)
{
    std::lock_guard lock(targetsMutex);
    auto& t = targets();
    for (HWND w = hwnd; w; w = GetParent(w)) {
        auto it = t.find(w);
        if (it != t.end()) {
            if (registeredWindow)
                *registeredWindow = w;
            return it->second.Get();
        }
    }
    return nullptr;
}

HCURSOR dragCursor(DWORD effect)
{
    // Shapes of the drag loop beyond the standard ones: no-drop is the standard "no" cursor.
    if (effect & DROPEFFECT_COPY)
        return reinterpret_cast<HCURSOR>(uintptr_t{32601});
    if (effect & DROPEFFECT_MOVE)
        return reinterpret_cast<HCURSOR>(uintptr_t{32602});
    if (effect & DROPEFFECT_LINK)
        return reinterpret_cast<HCURSOR>(uintptr_t{32603});
    return LoadCursorW(nullptr, IDC_NO);
}

} // namespace pictavo::platform

using namespace pictavo::platform;

HRESULT OleInitialize(LPVOID)
{
    return S_OK;
}

void OleUninitialize() {}

HRESULT RegisterDragDrop(HWND hwnd, IDropTarget* target)
{
    if (!target)
        return E_INVALIDARG;
    if (!IsWindow(hwnd))
        return DRAGDROP_E_INVALIDHWND;
    {
        std::lock_guard lock(targetsMutex);
        auto& t = targets();
        // A window destroyed without revoking leaves an entry behind: drop those first, since
        // handles are never reused and nothing can reach them.
        for (auto it = t.begin(); it != t.end();)
            it = IsWindow(it->first) ? std::next(it) : t.erase(it);
        if (t.count(hwnd))
            return DRAGDROP_E_ALREADYREGISTERED;
        t.emplace(hwnd, ComPtr<IDropTarget>(target));
    }
    // Drops arrive on the thread that owns the window.
    static thread_local bool handlerInstalled = false;
    if (!handlerInstalled) {
        setFileDropHandler(deliverFileDrop);
        handlerInstalled = true;
    }
    return S_OK;
}

HRESULT RevokeDragDrop(HWND hwnd)
{
    ComPtr<IDropTarget> released;
    std::lock_guard lock(targetsMutex);
    auto it = targets().find(hwnd);
    if (it == targets().end())
        return DRAGDROP_E_NOTREGISTERED;
    released = std::move(it->second);
    targets().erase(it);
    return S_OK;
}

void ReleaseStgMedium(STGMEDIUM* medium)
{
    if (!medium)
        return;
    if (medium->pUnkForRelease) {
        medium->pUnkForRelease->Release();
    } else if (medium->tymed == TYMED_HGLOBAL) {
        GlobalFree(medium->hGlobal);
    } else if (medium->tymed == TYMED_GDI) {
        DeleteObject(medium->hBitmap);
    }
    medium->tymed = TYMED_NULL;
    medium->hGlobal = nullptr;
    medium->pUnkForRelease = nullptr;
}

HRESULT DoDragDrop(IDataObject* data, IDropSource* source, DWORD allowed, DWORD* effectOut)
{
    if (!data || !source || !effectOut)
        return E_INVALIDARG;
    loopClass();
    // The loop's own hidden window holds the pointer, so every move and release comes here.
    HWND loop = CreateWindowExW(0, u"PictavoDragLoop", u"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    if (!loop)
        return E_OUTOFMEMORY;
    SetCapture(loop);

    ComPtr<IDropTarget> target;
    DWORD effect = DROPEFFECT_NONE;
    DWORD keys = keyStateNow();
    POINT pt{};
    GetCursorPos(&pt);

    auto track = [&] {
        HWND under = WindowFromPoint(pt);
        ComPtr<IDropTarget> now(under ? findDropTarget(under) : nullptr);
        const POINTL at{pt.x, pt.y};
        if (now.Get() != target.Get()) {
            if (target)
                target->DragLeave();
            target = now;
            effect = allowed;
            if (target && target->DragEnter(data, keys, at, &effect) != S_OK)
                effect = DROPEFFECT_NONE;
        } else if (target) {
            effect = allowed;
            target->DragOver(keys, at, &effect);
        }
        if (!target)
            effect = DROPEFFECT_NONE;
        effect &= allowed;
        if (source->GiveFeedback(effect) == DRAGDROP_S_USEDEFAULTCURSORS)
            SetCursor(dragCursor(effect));
    };
    track();

    HRESULT result = DRAGDROP_S_CANCEL;
    MSG msg;
    for (;;) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            // A quit ends the drag and is passed on to the loop outside.
            if (target)
                target->DragLeave();
            PostQuitMessage(static_cast<int>(msg.wParam));
            effect = DROPEFFECT_NONE;
            break;
        }
        bool escape = false;
        bool relevant = true;
        if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) {
            keys = static_cast<DWORD>(LOWORD(msg.wParam)) | (GetKeyState(VK_MENU) < 0 ? 0x20 : 0);
            GetCursorPos(&pt);
        } else if (msg.message == WM_KEYDOWN || msg.message == WM_KEYUP || msg.message == WM_SYSKEYDOWN ||
                   msg.message == WM_SYSKEYUP) {
            escape = msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE;
            keys = keyStateNow();
        } else {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            // Someone took the pointer (a window that popped up): the drag cannot go on.
            relevant = escape = GetCapture() != loop;
        }
        if (!relevant)
            continue;
        HRESULT q = source->QueryContinueDrag(escape, keys);
        if (q == DRAGDROP_S_DROP) {
            if (target && effect != DROPEFFECT_NONE) {
                const POINTL at{pt.x, pt.y};
                if (FAILED(target->Drop(data, keys, at, &effect)))
                    effect = DROPEFFECT_NONE;
                result = DRAGDROP_S_DROP;
            } else {
                if (target)
                    target->DragLeave();
                effect = DROPEFFECT_NONE;
                result = DRAGDROP_S_CANCEL;
            }
            break;
        }
        if (q == DRAGDROP_S_CANCEL || FAILED(q)) {
            if (target)
                target->DragLeave();
            effect = DROPEFFECT_NONE;
            result = FAILED(q) ? q : DRAGDROP_S_CANCEL;
            break;
        }
        track();
    }
    if (GetCapture() == loop)
        ReleaseCapture();
    DestroyWindow(loop);
    *effectOut = effect;
    return result;
}
