#include "WinTestSupport.h"

#include "platform/kernel/Tick.h"
#include "platform/win/Automation.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace wintest;
using pictavo::platform::Automation;

namespace {

// Input is injected and taken on the test's own thread: the pump routes it like a loop would.
class Input : public ::testing::Test
{
protected:
    void SetUp() override
    {
        top = create(WS_POPUP | WS_VISIBLE, 100, 100, 200, 200);
        child = create(WS_CHILD | WS_VISIBLE, 50, 50, 40, 40, top);
        pump();
        clearLog();
    }
    void TearDown() override
    {
        ReleaseCapture();
        Automation::moveMouse(0, 0);
        pump();
        destroyAll();
    }
    std::vector<Logged> of(UINT message)
    {
        std::vector<Logged> out;
        for (const Logged& l : log())
            if (l.message == message)
                out.push_back(l);
        return out;
    }
    HWND top = nullptr;
    HWND child = nullptr;
};

TEST_F(Input, ClicksGoToTheDeepestWindowInItsClientCoordinates)
{
    Automation::click(160, 165);
    pump();
    auto downs = of(WM_LBUTTONDOWN);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].hwnd, child);
    EXPECT_EQ(GET_X_LPARAM(downs[0].lParam), 10);
    EXPECT_EQ(GET_Y_LPARAM(downs[0].lParam), 15);
    EXPECT_EQ(downs[0].wParam & MK_LBUTTON, static_cast<WPARAM>(MK_LBUTTON));
    EXPECT_EQ(of(WM_LBUTTONUP).size(), 1u);
    EXPECT_EQ(of(WM_NCHITTEST).front().hwnd, child);

    // Disabled children let the click through to their parent; outside every window, nothing.
    EnableWindow(child, FALSE);
    clearLog();
    Automation::click(160, 165);
    Automation::click(5, 5);
    pump();
    downs = of(WM_LBUTTONDOWN);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].hwnd, top);
}

TEST_F(Input, CaptureGetsEveryMouseMessageUntilItIsLost)
{
    setHandler(child, [](HWND hwnd, UINT m, WPARAM, LPARAM, LRESULT&) {
        if (m == WM_LBUTTONDOWN)
            SetCapture(hwnd);
        if (m == WM_LBUTTONUP)
            ReleaseCapture();
        return false;
    });
    Automation::moveMouse(160, 160);
    Automation::press();
    Automation::moveMouse(10, 10); // far outside both windows
    pump();
    auto moves = of(WM_MOUSEMOVE);
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(moves.back().hwnd, child);
    EXPECT_EQ(GET_X_LPARAM(moves.back().lParam), -140);
    EXPECT_EQ(GetKeyState(VK_LBUTTON) & 0x8000, 0x8000);
    Automation::release();
    pump();
    EXPECT_EQ(of(WM_LBUTTONUP).back().hwnd, child);
    EXPECT_EQ(GetCapture(), nullptr);
    ASSERT_EQ(of(WM_CAPTURECHANGED).size(), 1u);
    EXPECT_EQ(of(WM_CAPTURECHANGED)[0].hwnd, child);
    EXPECT_EQ(GetKeyState(VK_LBUTTON) & 0x8000, 0);

    // Another window taking the capture tells the one that loses it.
    SetCapture(child);
    clearLog();
    SetCapture(top);
    auto lost = of(WM_CAPTURECHANGED);
    ASSERT_EQ(lost.size(), 1u);
    EXPECT_EQ(lost[0].hwnd, child);
    EXPECT_EQ(reinterpret_cast<HWND>(lost[0].lParam), top);
    DestroyWindow(top);
    EXPECT_EQ(GetCapture(), nullptr) << "a destroyed window gives the capture up";
}

TEST_F(Input, TrackedWindowHearsOnceWhenThePointerLeaves)
{
    Automation::moveMouse(160, 160);
    pump();
    TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, child, 0};
    ASSERT_TRUE(TrackMouseEvent(&tme));
    Automation::moveMouse(165, 165);
    pump();
    EXPECT_TRUE(of(WM_MOUSELEAVE).empty());
    Automation::moveMouse(120, 120); // into the parent
    Automation::moveMouse(20, 20);   // out of everything
    pump();
    auto leaves = of(WM_MOUSELEAVE);
    ASSERT_EQ(leaves.size(), 1u);
    EXPECT_EQ(leaves[0].hwnd, child);

    // Asking while the pointer is elsewhere answers at once.
    clearLog();
    ASSERT_TRUE(TrackMouseEvent(&tme));
    pump();
    EXPECT_EQ(of(WM_MOUSELEAVE).size(), 1u);
}

TEST_F(Input, HoverComesAfterThePointerRests)
{
    Automation::moveMouse(160, 160);
    pump();
    TRACKMOUSEEVENT tme{sizeof tme, TME_HOVER | TME_LEAVE, child, 30};
    // Timed from before the request: the hover time starts inside it, however slow the call.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(TrackMouseEvent(&tme));
    MSG msg;
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_MOUSEHOVER));
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                  .count(),
              20);
    EXPECT_EQ(GET_X_LPARAM(msg.lParam), 10);
}

TEST_F(Input, DoubleClicksNeedTheClassStyleAndComeWithinTheTime)
{
    HWND dbl = create(WS_CHILD | WS_VISIBLE, 0, 0, 40, 40, top, {}, u"DoubleClicks");
    pump();
    clearLog();
    Automation::doubleClick(160, 160); // plain class: two presses
    Automation::doubleClick(110, 110); // double-click class
    Automation::click(110, 110);       // a third press starts over
    pump();
    EXPECT_EQ(sequence({WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}, child),
              (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDOWN}));
    EXPECT_EQ(sequence({WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}, dbl),
              (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN}));
    Automation::click(160, 160); // another window: the next press on dbl is a first one
    clearLog();
    Automation::click(110, 110);
    pump();
    Sleep(GetDoubleClickTime() + 50);
    Automation::click(110, 110);
    pump();
    EXPECT_EQ(sequence({WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}, dbl),
              (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDOWN}));
}

TEST_F(Input, FocusAndActivationMoveTogether)
{
    SetFocus(child);
    EXPECT_EQ(GetFocus(), child);
    clearLog();
    HWND popup = create(WS_POPUP | WS_VISIBLE, 400, 400, 50, 50);
    EXPECT_EQ(GetActiveWindow(), popup);
    EXPECT_EQ(GetFocus(), popup);
    auto kills = of(WM_KILLFOCUS);
    ASSERT_EQ(kills.size(), 1u);
    EXPECT_EQ(kills[0].hwnd, child);
    EXPECT_EQ(of(WM_ACTIVATE).front().hwnd, top);
    EXPECT_EQ(LOWORD(of(WM_ACTIVATE).front().wParam), WA_INACTIVE);

    // Clicking the first window activates it again; keys go to the focus.
    clearLog();
    Automation::click(110, 110);
    pump();
    EXPECT_EQ(GetActiveWindow(), top);
    EXPECT_EQ(of(WM_KILLFOCUS).front().hwnd, popup);
    SetFocus(child);
    clearLog();
    Automation::pressKey(VK_RETURN);
    Automation::typeText(u"a中");
    pump();
    EXPECT_EQ(sequence({WM_KEYDOWN, WM_CHAR, WM_KEYUP}, child),
              (std::vector<UINT>{WM_KEYDOWN, WM_CHAR, WM_KEYUP, WM_CHAR, WM_CHAR}));
    auto chars = of(WM_CHAR);
    ASSERT_EQ(chars.size(), 3u);
    EXPECT_EQ(chars[0].wParam, static_cast<WPARAM>(u'\r'));
    EXPECT_EQ(chars[2].wParam, static_cast<WPARAM>(u'中'));

    // The application losing the focus to another program.
    clearLog();
    Automation::deactivate();
    EXPECT_EQ(GetActiveWindow(), nullptr);
    EXPECT_EQ(of(WM_KILLFOCUS).front().hwnd, child);
}

TEST_F(Input, WheelGoesToTheFocusAndClimbsToTheParent)
{
    SetFocus(child);
    clearLog();
    Automation::moveMouse(300, 120);
    Automation::wheel(-WHEEL_DELTA);
    pump();
    auto wheels = of(WM_MOUSEWHEEL);
    ASSERT_EQ(wheels.size(), 2u);
    EXPECT_EQ(wheels[0].hwnd, child);
    EXPECT_EQ(wheels[1].hwnd, top);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheels[0].wParam), -WHEEL_DELTA);
}

TEST_F(Input, CursorFollowsTheHitTest)
{
    HWND sizable = create(WS_POPUP | WS_VISIBLE | WS_THICKFRAME, 500, 100, 100, 100);
    pump();
    Automation::moveMouse(501, 150);
    pump();
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_SIZEWE));
    Automation::moveMouse(599, 199);
    pump();
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_SIZENWSE));
    auto nc = of(WM_NCMOUSEMOVE);
    ASSERT_FALSE(nc.empty());
    EXPECT_EQ(nc.back().wParam, static_cast<WPARAM>(HTBOTTOMRIGHT));
    (void)sizable;
}

} // namespace

namespace {

TEST_F(Input, MouseActivationCanBeRefusedOrTheClickEaten)
{
    HWND other = create(WS_POPUP | WS_VISIBLE, 400, 100, 100, 100);
    ASSERT_EQ(GetActiveWindow(), other);
    LRESULT answer = MA_NOACTIVATE;
    setHandler(top, [&](HWND, UINT m, WPARAM, LPARAM, LRESULT& r) {
        if (m != WM_MOUSEACTIVATE)
            return false;
        r = answer;
        return true;
    });
    clearLog();
    Automation::click(160, 160); // on the child: its parent answers for it
    pump();
    EXPECT_EQ(GetActiveWindow(), other);
    EXPECT_EQ(of(WM_LBUTTONDOWN).size(), 1u);

    answer = MA_ACTIVATEANDEAT;
    clearLog();
    Automation::click(160, 160);
    pump();
    EXPECT_EQ(GetActiveWindow(), top);
    EXPECT_TRUE(of(WM_LBUTTONDOWN).empty()) << "the activating click is eaten";
    EXPECT_EQ(GetDC(nullptr), nullptr);
}

} // namespace

namespace {

TEST_F(Input, FilteredGetsLeaveInputQueuedAndALookTakesNothing)
{
    SetTimer(top, 1, 10, nullptr);
    Automation::click(160, 160);
    MSG msg;
    ASSERT_TRUE(GetMessageW(&msg, nullptr, WM_TIMER, WM_TIMER));
    KillTimer(top, 1);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(msg.hwnd, child);
    EXPECT_EQ(GET_X_LPARAM(msg.lParam), 10);
    EXPECT_FALSE(PeekMessageW(&msg, top, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) << "it is the child's";
    pump();
    EXPECT_EQ(sequence({WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}, child),
              (std::vector<UINT>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}));
}

} // namespace

namespace {

TEST_F(Input, TransparentSpotsPassThePointerToTheParentAndClassCursorsShow)
{
    setHandler(child, [](HWND, UINT m, WPARAM, LPARAM, LRESULT& r) {
        if (m != WM_NCHITTEST)
            return false;
        r = HTTRANSPARENT;
        return true;
    });
    Automation::click(160, 160);
    pump();
    auto downs = of(WM_LBUTTONDOWN);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].hwnd, top);
    EXPECT_EQ(GET_X_LPARAM(downs[0].lParam), 60);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hCursor = LoadCursorW(nullptr, IDC_HAND);
    wc.lpszClassName = u"HandCursor";
    RegisterClassExW(&wc);
    HWND hand = CreateWindowExW(0, u"HandCursor", u"", WS_CHILD | WS_VISIBLE, 0, 0, 20, 20, top, nullptr,
                                nullptr, nullptr);
    Automation::moveMouse(105, 105);
    pump();
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
    DestroyWindow(hand);
}

} // namespace

namespace {

TEST_F(Input, APressInADescendantNotifiesEachAncestorFirstUnlessItOptsOut)
{
    HWND grandchild = create(WS_CHILD | WS_VISIBLE, 10, 10, 20, 20, child);
    pump();
    clearLog();
    Automation::click(165, 172, VK_RBUTTON);
    pump();
    auto notes = of(WM_PARENTNOTIFY);
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].hwnd, child);
    EXPECT_EQ(notes[1].hwnd, top);
    for (const Logged& n : notes)
        EXPECT_EQ(n.wParam, static_cast<WPARAM>(WM_RBUTTONDOWN));
    EXPECT_EQ(GET_X_LPARAM(notes[0].lParam), 15);
    EXPECT_EQ(GET_Y_LPARAM(notes[0].lParam), 22);
    EXPECT_EQ(GET_X_LPARAM(notes[1].lParam), 65);
    EXPECT_EQ(GET_Y_LPARAM(notes[1].lParam), 72);
    EXPECT_EQ(sequence({WM_PARENTNOTIFY, WM_RBUTTONDOWN}),
              (std::vector<UINT>{WM_PARENTNOTIFY, WM_PARENTNOTIFY, WM_RBUTTONDOWN}));
    EXPECT_EQ(of(WM_RBUTTONDOWN).front().hwnd, grandchild);

    // A window with the style stops the walk where it stands.
    SetWindowLongW(child, GWL_EXSTYLE, WS_EX_NOPARENTNOTIFY);
    clearLog();
    Automation::click(165, 172);
    pump();
    notes = of(WM_PARENTNOTIFY);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].hwnd, child);
    EXPECT_EQ(notes[0].wParam, static_cast<WPARAM>(WM_LBUTTONDOWN));

    SetWindowLongW(grandchild, GWL_EXSTYLE, WS_EX_NOPARENTNOTIFY);
    clearLog();
    Automation::click(165, 172);
    pump();
    EXPECT_TRUE(of(WM_PARENTNOTIFY).empty());
    EXPECT_EQ(of(WM_LBUTTONDOWN).size(), 1u);
}

} // namespace
