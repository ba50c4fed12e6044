#pragma once

// A form on a UI thread of its own that holds native controls and records the notifications
// they send it, for tests that drive the controls through the automation as a person would.

#include "platform/controls/Controls.h"
#include "platform/kernel/Synch.h"
#include "platform/win/Automation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using pictavo::platform::Automation;
using pictavo::platform::AutomationNode;

constexpr UINT kRun = WM_APP + 7;

class ControlHost
{
public:
    static constexpr int kLeft = 100, kTop = 100;

    ControlHost()
    {
        std::atomic<HWND> made{nullptr};
        ui_ = std::thread([this, &made] {
            static std::once_flag once;
            std::call_once(once, [] {
                WNDCLASSEXW wc{};
                wc.cbSize = sizeof wc;
                wc.lpfnWndProc = &ControlHost::proc;
                wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
                wc.lpszClassName = u"ControlHost";
                RegisterClassExW(&wc);
            });
            HWND form = CreateWindowExW(0, u"ControlHost", u"控件", WS_POPUP | WS_VISIBLE, kLeft, kTop, 400, 260,
                                        nullptr, nullptr, nullptr, nullptr);
            SetWindowLongPtrW(form, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            made = form;
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        });
        while (!made)
            std::this_thread::yield();
        form_ = made;
    }

    ~ControlHost()
    {
        PostMessageW(form_, WM_CLOSE, 0, 0);
        ui_.join();
    }

    HWND form() const { return form_; }

    // Runs on the form's thread and waits for it.
    void run(std::function<void()> fn) { SendMessageW(form_, kRun, 0, reinterpret_cast<LPARAM>(&fn)); }

    HWND create(LPCWSTR cls, DWORD style, int x, int y, int w, int h, int id, LPCWSTR text = u"")
    {
        HWND made = nullptr;
        run([&] {
            made = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, form_,
                                   reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
        });
        return made;
    }

    // After the input so far has been handled, as a person would see it.
    LRESULT send(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        settle();
        return SendMessageW(hwnd, message, wParam, lParam);
    }

    // The notification codes a control sent so far, in order.
    std::vector<WORD> notes(HWND from)
    {
        settle();
        std::lock_guard lk(mutex_);
        std::vector<WORD> out;
        for (const auto& [hwnd, code] : notes_)
            if (hwnd == from)
                out.push_back(code);
        return out;
    }
    int count(HWND from, WORD code)
    {
        auto all = notes(from);
        return static_cast<int>(std::count(all.begin(), all.end(), code));
    }
    void clearNotes()
    {
        std::lock_guard lk(mutex_);
        notes_.clear();
        colourAsks_.clear();
    }
    std::vector<UINT> colourAsks() const
    {
        std::lock_guard lk(mutex_);
        return colourAsks_;
    }
    // The brush (and text colour) the form answers when a control asks for its colours.
    void answerColours(HBRUSH brush, COLORREF text)
    {
        std::lock_guard lk(mutex_);
        brush_ = brush;
        textColour_ = text;
    }

    static POINT centre(HWND hwnd)
    {
        RECT r{};
        GetWindowRect(hwnd, &r);
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    static void clickAt(POINT p) { Automation::click(p.x, p.y); }
    void settle() { Automation::waitIdle(form_); }
    AutomationNode describe(HWND hwnd)
    {
        settle();
        return Automation::describe(hwnd);
    }
    std::u16string text(HWND hwnd)
    {
        settle();
        return Automation::windowText(hwnd);
    }

    static void chord(UINT modifier, UINT key)
    {
        Automation::keyDown(modifier);
        Automation::pressKey(key);
        Automation::keyUp(modifier);
    }

private:
    static LRESULT proc(HWND hwnd, UINT m, WPARAM w, LPARAM l)
    {
        auto* self = reinterpret_cast<ControlHost*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        switch (m) {
        case kRun:
            (*reinterpret_cast<std::function<void()>*>(l))();
            return 0;
        case WM_COMMAND:
            if (self) {
                std::lock_guard lk(self->mutex_);
                self->notes_.emplace_back(reinterpret_cast<HWND>(l), HIWORD(w));
            }
            return 0;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
            if (self) {
                std::lock_guard lk(self->mutex_);
                self->colourAsks_.push_back(m);
                if (self->brush_) {
                    SetTextColor(reinterpret_cast<HDC>(w), self->textColour_);
                    return reinterpret_cast<LRESULT>(self->brush_);
                }
            }
            break;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcW(hwnd, m, w, l);
    }

    std::thread ui_;
    HWND form_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<std::pair<HWND, WORD>> notes_;
    std::vector<UINT> colourAsks_;
    HBRUSH brush_ = nullptr;
    COLORREF textColour_ = 0;
};

} // namespace
