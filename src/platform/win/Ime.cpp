#include "platform/win/Imm.h"

#include "platform/kernel/Synch.h"
#include "platform/kernel/ThreadQueue.h"
#include "platform/win/Automation.h"
#include "platform/win/WindowSystem.h"

#include <cstring>
#include <mutex>

namespace pictavo::platform {

namespace {

// One keyboard, so one composition at a time.
struct Composition
{
    std::mutex mutex;
    bool active = false;
    std::u16string text;
    std::u16string result;
};

Composition& composition()
{
    static Composition c;
    return c;
}

HIMC theContext()
{
    return reinterpret_cast<HIMC>(static_cast<uintptr_t>(0x1)); // one input context for all
}

// Runs on the focused window's thread once the input injected before has been handled.
void onFocusThread(const std::function<void(HWND)>& act)
{
    auto& s = ws();
    HWND focus;
    DWORD thread;
    {
        std::lock_guard lk(s.mutex);
        auto w = s.find(s.focus);
        if (!w)
            return;
        focus = w->handle;
        thread = w->thread;
    }
    Automation::waitIdle(focus);
    if (thread == GetCurrentThreadId()) {
        act(GetFocus());
        return;
    }
    if (auto q = ThreadQueue::find(thread))
        q->send([&] {
            if (HWND now = GetFocus())
                act(now);
        });
}

} // namespace

bool imeDefaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    if (message == WM_IME_COMPOSITION) {
        if (lParam & GCS_RESULTSTR) {
            std::u16string text;
            {
                auto& c = composition();
                std::lock_guard lk(c.mutex);
                text = c.result;
            }
            for (char16_t unit : text)
                SendMessageW(hwnd, WM_IME_CHAR, unit, 1);
        }
        return true;
    }
    if (message == WM_IME_CHAR) {
        SendMessageW(hwnd, WM_CHAR, wParam, lParam);
        return true;
    }
    return message == WM_IME_STARTCOMPOSITION || message == WM_IME_ENDCOMPOSITION;
}

void Automation::compose(std::u16string_view text)
{
    std::u16string copy(text);
    onFocusThread([copy](HWND focus) {
        auto& c = composition();
        bool starting;
        {
            std::lock_guard lk(c.mutex);
            starting = !c.active;
            c.active = true;
            c.text = copy;
        }
        if (starting)
            SendMessageW(focus, WM_IME_STARTCOMPOSITION, 0, 0);
        SendMessageW(focus, WM_IME_COMPOSITION, copy.empty() ? 0 : copy.back(), GCS_COMPSTR | GCS_CURSORPOS);
    });
}

void Automation::commitComposition(std::u16string_view text)
{
    std::u16string copy(text);
    onFocusThread([copy](HWND focus) {
        auto& c = composition();
        bool wasActive;
        {
            std::lock_guard lk(c.mutex);
            wasActive = c.active;
            if (!wasActive && copy.empty())
                return;
        }
        if (!wasActive)
            SendMessageW(focus, WM_IME_STARTCOMPOSITION, 0, 0);
        {
            std::lock_guard lk(c.mutex);
            c.result = copy.empty() ? c.text : copy;
            c.text.clear();
            c.active = false;
        }
        SendMessageW(focus, WM_IME_COMPOSITION, 0, GCS_RESULTSTR);
        SendMessageW(focus, WM_IME_ENDCOMPOSITION, 0, 0);
        std::lock_guard lk(c.mutex);
        c.result.clear();
    });
}

void Automation::cancelComposition()
{
    onFocusThread([](HWND focus) {
        auto& c = composition();
        {
            std::lock_guard lk(c.mutex);
            if (!c.active)
                return;
            c.active = false;
            c.text.clear();
        }
        SendMessageW(focus, WM_IME_COMPOSITION, 0, 0);
        SendMessageW(focus, WM_IME_ENDCOMPOSITION, 0, 0);
    });
}

} // namespace pictavo::platform

using namespace pictavo::platform;

HIMC ImmGetContext(HWND hwnd)
{
    return IsWindow(hwnd) ? theContext() : nullptr;
}

BOOL ImmReleaseContext(HWND, HIMC context)
{
    return context == theContext();
}

LONG ImmGetCompositionStringW(HIMC context, DWORD index, LPVOID buffer, DWORD bytes)
{
    if (context != theContext())
        return -1;
    auto& c = composition();
    std::lock_guard lk(c.mutex);
    if (index == GCS_CURSORPOS)
        return static_cast<LONG>(c.text.size());
    const std::u16string* s = index == GCS_COMPSTR ? &c.text : index == GCS_RESULTSTR ? &c.result : nullptr;
    if (!s)
        return -1;
    const DWORD need = static_cast<DWORD>(s->size() * sizeof(char16_t));
    if (!buffer)
        return static_cast<LONG>(need);
    const DWORD n = std::min(need, bytes) / sizeof(char16_t) * sizeof(char16_t);
    std::memcpy(buffer, s->data(), n);
    return static_cast<LONG>(n);
}
