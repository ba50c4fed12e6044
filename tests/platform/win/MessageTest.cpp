#include "WinTestSupport.h"

#include "platform/kernel/Synch.h"
#include "platform/kernel/ThreadQueue.h"
#include "platform/kernel/Tick.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <chrono>

#include <atomic>
#include <thread>

using namespace wintest;

namespace {

using Messages = WindowTest;

TEST_F(Messages, SendFromWorkersWaitsForTheOwnerAndKeepsEachSendersOrder)
{
    std::vector<std::pair<int, int>> got; // (worker, sequence) as the owner saw them
    HWND h = create(WS_POPUP, 0, 0, 10, 10, nullptr, [&](HWND, UINT m, WPARAM w, LPARAM l, LRESULT& r) {
        if (m != WM_USER)
            return false;
        got.emplace_back(static_cast<int>(w), static_cast<int>(l));
        r = static_cast<LRESULT>(w * 1000 + l);
        return true;
    });
    const DWORD owner = GetCurrentThreadId();
    std::atomic<int> wrong{0}, finished{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < 3; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i)
                if (SendMessageW(h, WM_USER, t, i) != t * 1000 + i)
                    ++wrong;
            EXPECT_NE(GetCurrentThreadId(), owner);
            ++finished;
        });
    // The owner is busy for a while, then takes messages: every send waits for it.
    Sleep(50);
    EXPECT_EQ(got.size(), 0u);
    while (finished < 3) {
        MSG msg;
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        else
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    for (auto& w : workers)
        w.join();
    EXPECT_EQ(wrong, 0);
    ASSERT_EQ(got.size(), 150u);
    int next[3] = {0, 0, 0};
    for (auto [t, i] : got)
        EXPECT_EQ(i, next[t]++) << "worker " << t;
}

TEST_F(Messages, OwnersSendingToEachOtherDoNotDeadlock)
{
    // Two threads, each with a window, each sending to the other's window while the other is
    // itself blocked in a send: each handles the incoming call while it waits.
    std::atomic<HWND> other{nullptr};
    std::atomic<int> handledOnWorker{0};
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        HWND w = create(WS_POPUP, 0, 0, 10, 10, nullptr, [&](HWND, UINT m, WPARAM, LPARAM l, LRESULT& r) {
            if (m != WM_USER)
                return false;
            ++handledOnWorker;
            r = l + 1;
            return true;
        });
        other = w;
        MSG msg;
        while (!stop && GetMessageW(&msg, nullptr, 0, 0))
            DispatchMessageW(&msg);
        DestroyWindow(w);
    });
    while (!other)
        std::this_thread::yield();
    std::atomic<int> nested{0};
    HWND mine = create(WS_POPUP, 0, 0, 10, 10, nullptr, [&](HWND, UINT m, WPARAM, LPARAM l, LRESULT& r) {
        if (m != WM_USER + 1)
            return false;
        // Called from the worker's window procedure while we wait on it.
        ++nested;
        r = l * 2;
        return true;
    });
    setHandler(other, [&](HWND, UINT m, WPARAM, LPARAM l, LRESULT& r) {
        if (m != WM_USER)
            return false;
        ++handledOnWorker;
        r = SendMessageW(mine, WM_USER + 1, 0, l) + 1;
        return true;
    });
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(SendMessageW(other, WM_USER, 0, i), i * 2 + 1);
    EXPECT_EQ(nested, 20);
    stop = true;
    PostMessageW(other, WM_NULL, 0, 0);
    worker.join();
    EXPECT_FALSE(IsWindow(other));
    EXPECT_EQ(SendMessageW(other, WM_USER, 0, 1), 0) << "the window and its thread are gone";
}

TEST_F(Messages, SendToAWindowDestroyedWhileTheSenderWaitsReturnsZero)
{
    HWND h = create(WS_POPUP, 0, 0, 10, 10, nullptr, [](HWND, UINT m, WPARAM, LPARAM, LRESULT& r) {
        r = 9;
        return m == WM_USER;
    });
    LRESULT result = -1;
    std::thread worker([&] { result = SendMessageW(h, WM_USER, 0, 0); });
    const auto owner = pictavo::platform::ThreadQueue::current();
    EXPECT_TRUE(pictavo::test::waitFor([&] { return owner->sentCallsWaiting() == 1; }));
    DestroyWindow(h); // before the owner took the call
    pump();
    worker.join();
    EXPECT_EQ(result, 0);
}

TEST_F(Messages, PostedMessagesComeBeforeInputPaintAndTimers)
{
    HWND h = create(WS_POPUP | WS_VISIBLE, 0, 0, 20, 20);
    pump();
    clearLog();
    SetTimer(h, 3, 10, nullptr);
    Sleep(30);
    InvalidateRect(h, nullptr, FALSE);
    PostMessageW(h, WM_USER, 0, 0);
    MSG msg;
    std::vector<UINT> order;
    for (int i = 0; i < 3 && GetMessageW(&msg, nullptr, 0, 0); ++i) {
        order.push_back(msg.message);
        DispatchMessageW(&msg);
    }
    EXPECT_EQ(order, (std::vector<UINT>{WM_USER, WM_PAINT, WM_TIMER}));
    EXPECT_EQ(msg.wParam, 3u);

    // The timer repeats until killed; a killed timer stays quiet.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(GetMessageW(&msg, h, WM_TIMER, WM_TIMER));
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                  .count(),
              5);
    EXPECT_TRUE(KillTimer(h, 3));
    EXPECT_FALSE(KillTimer(h, 3));
    Sleep(30);
    EXPECT_FALSE(PeekMessageW(&msg, h, WM_TIMER, WM_TIMER, PM_REMOVE));
}

std::atomic<int> g_timerCalls{0};
void CALLBACK_timer(HWND, UINT, UINT_PTR, DWORD)
{
    ++g_timerCalls;
}

TEST_F(Messages, TimerProcedureRunsOnDispatchAndATimerDiesWithItsWindow)
{
    HWND h = create(WS_POPUP, 0, 0, 20, 20);
    SetTimer(h, 1, 10, CALLBACK_timer);
    MSG msg;
    ASSERT_TRUE(GetMessageW(&msg, nullptr, WM_TIMER, WM_TIMER));
    DispatchMessageW(&msg);
    EXPECT_EQ(g_timerCalls, 1);
    EXPECT_EQ(sequence({WM_TIMER}), std::vector<UINT>{}) << "the procedure, not the window, gets it";
    DestroyWindow(h);
    Sleep(20);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));

    // A thread timer has no window but still calls its procedure.
    const UINT_PTR id = SetTimer(nullptr, 0, 10, CALLBACK_timer);
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(GetMessageW(&msg, nullptr, WM_TIMER, WM_TIMER));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.wParam, id);
    DispatchMessageW(&msg);
    EXPECT_EQ(g_timerCalls, 2);
    EXPECT_TRUE(KillTimer(nullptr, id));
}

} // namespace

namespace {

TEST_F(Messages, ChangesFromOtherThreadsRunOnTheWindowsThreadAndDestroyIsRefused)
{
    HWND h = create(WS_POPUP, 0, 0, 20, 20);
    std::vector<DWORD> seenOn;
    const DWORD owner = GetCurrentThreadId();
    setHandler(h, [&](HWND, UINT m, WPARAM, LPARAM, LRESULT&) {
        if (m == WM_SHOWWINDOW || m == WM_WINDOWPOSCHANGED || m == WM_ENABLE)
            seenOn.push_back(GetCurrentThreadId());
        return false;
    });
    std::atomic<bool> done{false};
    BOOL destroyed = TRUE;
    std::thread other([&] {
        ShowWindow(h, SW_SHOWNA);
        MoveWindow(h, 5, 5, 30, 30, TRUE);
        EnableWindow(h, FALSE);
        destroyed = DestroyWindow(h);
        done = true;
    });
    while (!done) {
        MSG msg;
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        else
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    other.join();
    EXPECT_FALSE(destroyed);
    EXPECT_TRUE(IsWindowVisible(h));
    EXPECT_FALSE(IsWindowEnabled(h));
    RECT r;
    GetWindowRect(h, &r);
    EXPECT_EQ(r.right, 35);
    ASSERT_GE(seenOn.size(), 3u);
    for (DWORD t : seenOn)
        EXPECT_EQ(t, owner);
}

} // namespace
