#pragma once

#include "platform/win/Automation.h"
#include "ui/ExtForm.h"
#include "ui/FormWindow.h"

#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace uitest {

// A module whose "PNG" resources are test pictures of every skin name at the table's size,
// alpha where the table has it (opaque centre, a transparent top-left pixel, a half-opaque
// pixel at (1, 0)), each in its own colour (colourOf). Sets the skin up from it once.
HMODULE skinModule();
COLORREF colourOf(int resourceId);
void useTestSkin();

// A form in a popup window on a UI thread of its own; the test thread is the user.
class FormThread
{
public:
    using Setup = std::function<void(FormBase& form, HWND window)>;
    using OwnMap = FormWindow::Handler;

    FormThread(FormBase& form, RECT rect, Setup setup, OwnMap ownMap = {});
    ~FormThread();

    HWND window() const { return window_; }
    // Runs fn on the UI thread and waits for it.
    void call(const std::function<void()>& fn);
    pictavo::platform::AutomationNode describe() { return pictavo::platform::Automation::describe(window_); }
    // Screen point of a client point.
    POINT screen(int x, int y);
    // Client-area pixel as COLORREF, after the window has painted.
    COLORREF pixel(int x, int y);

private:
    FormBase& form_;
    std::thread thread_;
    HWND window_ = nullptr;
};

// A plain ExtForm-less form for tests.
class TestForm : public FormBase
{
public:
    void OnPaint(Quendal::UI::CPaintEventArgs& e) override;
    COLORREF background = 0xFFFFFF;
};

} // namespace uitest
