#include "WinTestSupport.h"

#include "platform/win/WindowHooks.h"

#include <gtest/gtest.h>

using namespace wintest;
using pictavo::platform::setFinalCallback;

namespace {

using WindowLifecycle = WindowTest;

TEST_F(WindowLifecycle, CreateSendsTheCreationSequenceAndShowingActivates)
{
    HWND top = create(WS_POPUP | WS_VISIBLE, 10, 20, 300, 200);
    ASSERT_TRUE(top);
    EXPECT_EQ(sequence({WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW, WM_ACTIVATE,
                        WM_SETFOCUS}),
              (std::vector<UINT>{WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW,
                                 WM_ACTIVATE, WM_SETFOCUS}));
    for (const Logged& l : log()) {
        if (l.message == WM_SIZE) {
            EXPECT_EQ(l.lParam, MAKELPARAM(300, 200));
        }
    }
    EXPECT_EQ(GetActiveWindow(), top);
    EXPECT_EQ(GetFocus(), top);

    HWND child = create(WS_CHILD | WS_VISIBLE, 5, 6, 50, 40, top);
    EXPECT_EQ(GetParent(child), top);
    EXPECT_EQ(GetAncestor(child, GA_ROOT), top);
    EXPECT_TRUE(IsChild(top, child));
    EXPECT_EQ(GetActiveWindow(), top) << "showing a child activates nothing";
}

TEST_F(WindowLifecycle, FailedCreationLeavesNoWindow)
{
    HWND seen = nullptr;
    HWND h = create(WS_POPUP, 0, 0, 10, 10, nullptr, [&](HWND hwnd, UINT m, WPARAM, LPARAM, LRESULT& r) {
        if (m != WM_CREATE)
            return false;
        seen = hwnd;
        r = -1;
        return true;
    });
    EXPECT_EQ(h, nullptr);
    ASSERT_NE(seen, nullptr);
    EXPECT_FALSE(IsWindow(seen));
    EXPECT_EQ(sequence({WM_CREATE, WM_DESTROY, WM_NCDESTROY}),
              (std::vector<UINT>{WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_EQ(create(WS_CHILD, 0, 0, 1, 1, nullptr), nullptr) << "a child needs a parent";
}

TEST_F(WindowLifecycle, DestroyVisitsParentBeforeChildrenAndEndsWithTheFinalMessage)
{
    HWND top = create(WS_POPUP | WS_VISIBLE, 0, 0, 100, 100);
    HWND a = create(WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, top);
    HWND b = create(WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, a);
    HWND owned = create(WS_POPUP, 0, 0, 10, 10, top);
    EXPECT_EQ(GetWindow(owned, GW_OWNER), top);
    clearLog();

    ASSERT_TRUE(DestroyWindow(top));
    std::vector<std::pair<HWND, UINT>> order;
    for (const Logged& l : log())
        if (l.message == WM_DESTROY || l.message == WM_NCDESTROY)
            order.emplace_back(l.hwnd, l.message);
    const std::vector<std::pair<HWND, UINT>> expected{
        {owned, WM_DESTROY}, {owned, WM_NCDESTROY}, {top, WM_DESTROY}, {a, WM_DESTROY},
        {b, WM_DESTROY},     {b, WM_NCDESTROY},     {a, WM_NCDESTROY}, {top, WM_NCDESTROY}};
    EXPECT_EQ(order, expected);
    for (HWND h : {top, a, b, owned})
        EXPECT_FALSE(IsWindow(h));

    // A gone window answers nothing, quietly.
    EXPECT_FALSE(DestroyWindow(top));
    EXPECT_EQ(SendMessageW(a, WM_USER, 1, 2), 0);
    EXPECT_FALSE(PostMessageW(a, WM_USER, 1, 2));
    EXPECT_FALSE(InvalidateRect(b, nullptr, TRUE));
    RECT r{};
    EXPECT_FALSE(GetWindowRect(a, &r));
    EXPECT_EQ(GetActiveWindow(), nullptr);
    EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(WindowLifecycle, FinalCallbackRunsOnceAfterTheOutermostCallReturns)
{
    int finals = 0;
    bool returnedFromOuter = false;
    bool finalAfterOuter = false;
    HWND h = create(WS_POPUP, 0, 0, 10, 10, nullptr, [&](HWND hwnd, UINT m, WPARAM, LPARAM, LRESULT& r) {
        if (m == WM_USER) {
            // Nested: the window destroys itself from inside a message of its own.
            SendMessageW(hwnd, WM_USER + 1, 0, 0);
            EXPECT_FALSE(IsWindow(hwnd));
            EXPECT_EQ(finals, 0) << "still inside the window's own procedure";
            returnedFromOuter = true;
            r = 7;
            return true;
        }
        if (m == WM_USER + 1) {
            DestroyWindow(hwnd);
            DestroyWindow(hwnd);
            return true;
        }
        return false;
    });
    ASSERT_TRUE(setFinalCallback(h, [&] {
        ++finals;
        finalAfterOuter = returnedFromOuter;
    }));
    EXPECT_EQ(SendMessageW(h, WM_USER, 0, 0), 7);
    EXPECT_EQ(finals, 1);
    EXPECT_TRUE(finalAfterOuter);

    HWND plain = create(WS_POPUP, 0, 0, 10, 10);
    setFinalCallback(plain, [&] { ++finals; });
    DestroyWindow(plain);
    EXPECT_EQ(finals, 2) << "with nothing on the stack it runs at once";
}

WNDPROC g_previous = nullptr;
LRESULT CALLBACK_subclass(HWND hwnd, UINT m, WPARAM w, LPARAM l)
{
    if (m == WM_USER)
        return 100 + CallWindowProcW(g_previous, hwnd, m, w, l);
    return CallWindowProcW(g_previous, hwnd, m, w, l);
}

TEST_F(WindowLifecycle, SubclassingChainsToThePreviousProcedure)
{
    HWND h = create(WS_POPUP, 0, 0, 10, 10, nullptr, [](HWND, UINT m, WPARAM, LPARAM, LRESULT& r) {
        if (m != WM_USER)
            return false;
        r = 5;
        return true;
    });
    g_previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CALLBACK_subclass)));
    ASSERT_NE(g_previous, nullptr);
    EXPECT_EQ(SendMessageW(h, WM_USER, 0, 0), 105);
    SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_previous));
    EXPECT_EQ(SendMessageW(h, WM_USER, 0, 0), 5);

    // Window data: user data, extra bytes (only within the class's size), text.
    SetWindowLongPtrW(h, GWLP_USERDATA, 42);
    EXPECT_EQ(GetWindowLongPtrW(h, GWLP_USERDATA), 42);
    SetWindowLongPtrW(h, 0, 77);
    EXPECT_EQ(GetWindowLongPtrW(h, 0), 77);
    EXPECT_EQ(SetWindowLongPtrW(h, 8, 1), 0);
    EXPECT_EQ(GetWindowLongPtrW(h, 8), 0);
    SetWindowTextW(h, u"标题 caption");
    WCHAR buf[5];
    EXPECT_EQ(GetWindowTextW(h, buf, 5), 4);
    EXPECT_EQ(std::u16string(buf), u"标题 c");
    EXPECT_EQ(GetWindowTextLengthW(h), 10);
}

TEST_F(WindowLifecycle, GeometryFollowsMovesSizesAndTheFrame)
{
    HWND top = create(WS_POPUP | WS_BORDER | WS_VISIBLE, 100, 50, 200, 150);
    RECT r;
    GetClientRect(top, &r);
    EXPECT_EQ(r.right, 198);
    EXPECT_EQ(r.bottom, 148);
    HWND child = create(WS_CHILD | WS_VISIBLE, 10, 20, 30, 40, top);
    GetWindowRect(child, &r);
    EXPECT_EQ(r.left, 111);
    EXPECT_EQ(r.top, 71);
    POINT p{0, 0};
    ClientToScreen(child, &p);
    EXPECT_EQ(p.x, 111);
    ScreenToClient(top, &p);
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, 20);
    POINT q{1, 1};
    MapWindowPoints(child, top, &q, 1);
    EXPECT_EQ(q.x, 11);
    EXPECT_EQ(q.y, 21);

    clearLog();
    SetWindowPos(child, nullptr, 5, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ(sequence({WM_SIZE, WM_MOVE}, child), (std::vector<UINT>{WM_MOVE}));
    clearLog();
    MoveWindow(child, 5, 5, 60, 70, TRUE);
    EXPECT_EQ(sequence({WM_SIZE, WM_MOVE}, child), (std::vector<UINT>{WM_SIZE}));
    EXPECT_EQ(sequence({WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_SIZE}, child),
              (std::vector<UINT>{WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_SIZE}));

    ShowWindow(top, SW_MAXIMIZE);
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(top, &r);
    EXPECT_EQ(r.right - r.left, work.right - work.left);
    EXPECT_TRUE(IsZoomed(top));
    ShowWindow(top, SW_RESTORE);
    GetWindowRect(top, &r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.right, 300);
    EXPECT_FALSE(IsZoomed(top));
}

} // namespace

namespace {

TEST_F(WindowLifecycle, TopmostWindowsStayAboveActivatedOnesAndTheMonitorIsTheScreen)
{
    HWND tip = create(WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, {}, u"Recorder",
                      WS_EX_TOPMOST | WS_EX_NOACTIVATE);
    HWND a = create(WS_POPUP | WS_VISIBLE, 10, 10, 50, 50);
    EXPECT_EQ(GetActiveWindow(), a);
    EXPECT_EQ(WindowFromPoint(POINT{20, 20}), tip);
    SetWindowPos(tip, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetActiveWindow(tip);
    SetActiveWindow(a);
    EXPECT_EQ(WindowFromPoint(POINT{20, 20}), a);

    MONITORINFO mi{sizeof mi, {}, {}, 0};
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(a, MONITOR_DEFAULTTONEAREST), &mi));
    EXPECT_EQ(mi.rcMonitor.right, GetSystemMetrics(SM_CXSCREEN));
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(mi.rcWork.bottom, work.bottom);
    EXPECT_LT(work.bottom, mi.rcMonitor.bottom);
    EXPECT_EQ(MonitorFromPoint(POINT{-5, -5}, MONITOR_DEFAULTTONULL), nullptr);
}

} // namespace
