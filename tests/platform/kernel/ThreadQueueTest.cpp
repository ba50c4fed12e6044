#include "platform/kernel/ThreadQueue.h"
#include "platform/kernel/Synch.h"
#include "platform/kernel/Tick.h"
#include "support/WaitFor.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

using namespace pictavo::platform;

namespace {

MSG message(UINT id, WPARAM w = 0, HWND hwnd = nullptr)
{
    MSG m{};
    m.hwnd = hwnd;
    m.message = id;
    m.wParam = w;
    return m;
}

// A thread with its own queue that pumps messages until WM_QUIT.
class Pump
{
public:
    Pump()
    {
        m_thread = std::thread([this] {
            m_queue = ThreadQueue::current();
            m_ready.test_and_set();
            m_ready.notify_all();
            MSG msg;
            while (m_queue->get(msg, nullptr, 0, 0)) {
            }
        });
        m_ready.wait(false);
    }
    ~Pump()
    {
        m_queue->postQuit(0);
        m_thread.join();
    }
    ThreadQueue& queue() { return *m_queue; }

private:
    std::atomic_flag m_ready;
    std::shared_ptr<ThreadQueue> m_queue;
    std::thread m_thread;
};

HWND window(intptr_t n)
{
    return reinterpret_cast<HWND>(n);
}

} // namespace

TEST(ThreadQueue, PostedMessagesComeInOrderThroughFilters)
{
    auto q = ThreadQueue::current();
    ASSERT_EQ(q->threadId(), GetCurrentThreadId());
    ASSERT_EQ(ThreadQueue::find(GetCurrentThreadId()), q);

    q->post(message(WM_USER + 1, 1));
    q->post(message(WM_USER + 5, 2, window(0x10)));
    q->post(message(WM_APP, 3));
    q->post(message(WM_USER + 1, 4));

    MSG m;
    ASSERT_TRUE(q->peek(m, nullptr, WM_APP, WM_APP, PM_NOREMOVE));
    EXPECT_EQ(m.wParam, 3u);
    ASSERT_TRUE(q->peek(m, window(0x10), 0, 0, PM_REMOVE)); // window filter
    EXPECT_EQ(m.wParam, 2u);
    EXPECT_FALSE(q->peek(m, window(0x10), 0, 0, PM_REMOVE));
    ASSERT_TRUE(q->get(m, reinterpret_cast<HWND>(-1), WM_APP, 0xFFFF)); // thread messages in range
    EXPECT_EQ(m.wParam, 3u);
    ASSERT_TRUE(q->get(m, nullptr, 0, 0));
    EXPECT_EQ(m.wParam, 1u);
    EXPECT_NE(m.time, 0u);
    ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.wParam, 4u);
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST(ThreadQueue, QuitComesAfterPostedMessagesWhateverTheFilter)
{
    PostQuitMessage(7);
    PostThreadMessageW(GetCurrentThreadId(), WM_USER, 1, 0);
    MSG m;
    ASSERT_TRUE(PeekMessageW(&m, nullptr, WM_USER + 100, WM_USER + 200, PM_NOREMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(GetMessageW(&m, nullptr, 0, 0), TRUE);
    EXPECT_EQ(m.message, static_cast<UINT>(WM_USER));
    EXPECT_EQ(GetMessageW(&m, nullptr, WM_USER + 100, WM_USER + 200), FALSE);
    EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(m.wParam, 7u);
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST(ThreadQueue, IdleSourceIsAskedOnlyWhenNothingIsPosted)
{
    auto q = ThreadQueue::current();
    int asked = 0;
    q->setIdleSource([&](MSG& m, HWND, UINT, UINT, UINT flags) {
        ++asked;
        if (flags & PM_REMOVE) {
            m = message(0x000F); // a synthesised paint
            return true;
        }
        return false;
    });
    q->post(message(WM_USER));
    MSG m;
    ASSERT_TRUE(q->get(m, nullptr, 0, 0));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_USER));
    EXPECT_EQ(asked, 0);
    ASSERT_TRUE(q->get(m, nullptr, 0, 0));
    EXPECT_EQ(m.message, 0x000Fu);
    EXPECT_EQ(asked, 1);
    q->setIdleSource(nullptr);
}

TEST(ThreadQueue, WakeMakesABlockedGetAskTheIdleSourceAgain)
{
    auto q = ThreadQueue::current();
    std::atomic<bool> ready{false};
    q->setIdleSource([&](MSG& m, HWND, UINT, UINT, UINT) {
        if (!ready)
            return false;
        m = message(0x0113); // a synthesised timer
        return true;
    });
    const pid_t owner = gettid();
    std::thread waker([&] {
        pictavo::test::waitUntilAsleep(owner);
        ready = true;
        q->wake();
    });
    MSG m;
    ASSERT_TRUE(q->get(m, nullptr, 0, 0));
    EXPECT_EQ(m.message, 0x0113u);
    waker.join();
    q->setIdleSource(nullptr);
}

TEST(ThreadQueue, SendRunsOnTheOwnerAndWaits)
{
    Pump pump;
    DWORD ranOn = 0;
    EXPECT_TRUE(pump.queue().send([&] { ranOn = GetCurrentThreadId(); }));
    EXPECT_EQ(ranOn, pump.queue().threadId());

    // On the owner itself it is a direct call.
    bool direct = false;
    EXPECT_TRUE(ThreadQueue::current()->send([&] { direct = true; }, 0));
    EXPECT_TRUE(direct);
}

TEST(ThreadQueue, SentCallsRunBeforePostedMessagesInArrivalOrder)
{
    auto q = ThreadQueue::current();
    std::vector<int> order; // touched only on this thread
    q->post(message(WM_USER));
    // Two senders that queue their calls one after the other while we are busy.
    std::thread first([&] { q->send([&] { order.push_back(1); }); });
    EXPECT_TRUE(pictavo::test::waitFor([&] { return q->sentCallsWaiting() == 1; }));
    std::thread second([&] { q->send([&] { order.push_back(2); }); });
    EXPECT_TRUE(pictavo::test::waitFor([&] { return q->sentCallsWaiting() == 2; }));
    MSG m;
    ASSERT_TRUE(q->get(m, nullptr, 0, 0));
    order.push_back(static_cast<int>(m.message));
    first.join();
    second.join();
    EXPECT_EQ(order, (std::vector<int>{1, 2, WM_USER}));
}

TEST(ThreadQueue, MutualSendsDoNotDeadlock)
{
    Pump a, b;
    std::atomic<int> done{0};
    // A sends to B while B sends to A, over and over; each side runs the other's call
    // while blocked in its own send.
    std::thread ab([&] {
        for (int i = 0; i < 100; ++i)
            a.queue().send([&] { b.queue().send([&] { ++done; }); });
    });
    std::thread ba([&] {
        for (int i = 0; i < 100; ++i)
            b.queue().send([&] { a.queue().send([&] { ++done; }); });
    });
    // And a call that crosses three times.
    a.queue().send([&] { b.queue().send([&] { a.queue().send([&] { ++done; }); }); });
    ab.join();
    ba.join();
    EXPECT_EQ(done, 201);
}

TEST(ThreadQueue, SendReachesAThreadBlockedInAnEventWait)
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::shared_ptr<ThreadQueue> owner;
    std::atomic_flag ready;
    DWORD waitResult = 0;
    std::thread t([&] {
        owner = ThreadQueue::current();
        ready.test_and_set();
        ready.notify_all();
        // Like the UI thread waiting for a worker that first sends to it.
        waitResult = WaitForSingleObject(event, 5000);
    });
    ready.wait(false);
    bool ran = false;
    EXPECT_TRUE(owner->send([&] { ran = true; }));
    SetEvent(event);
    t.join();
    EXPECT_TRUE(ran);
    EXPECT_EQ(waitResult, WAIT_OBJECT_0);
    CloseHandle(event);
}

TEST(ThreadQueue, SendToAnEndedThreadFailsAtOnce)
{
    std::shared_ptr<ThreadQueue> q;
    std::thread([&] { q = ThreadQueue::current(); }).join();
    const DWORD id = q->threadId();
    EXPECT_FALSE(q->alive());
    EXPECT_EQ(ThreadQueue::find(id), nullptr);
    EXPECT_FALSE(PostThreadMessageW(id, WM_USER, 0, 0));
    const auto start = GetTickCount64();
    bool ran = false;
    EXPECT_FALSE(q->send([&] { ran = true; }));
    EXPECT_FALSE(q->post(message(WM_USER)));
    EXPECT_LT(GetTickCount64() - start, 1000u);
    EXPECT_FALSE(ran);
}

TEST(ThreadQueue, PendingSendFailsWhenTheOwnerEnds)
{
    std::shared_ptr<ThreadQueue> q;
    std::atomic_flag ready;
    std::atomic<bool> go{false};
    std::thread owner([&] {
        q = ThreadQueue::current();
        ready.test_and_set();
        ready.notify_all();
        while (!go) // busy, never waits: the send stays queued until the thread ends
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    ready.wait(false);
    std::thread ender([&] {
        pictavo::test::waitFor([&] { return q->sentCallsWaiting() == 1; });
        go = true;
    });
    bool ran = false;
    EXPECT_FALSE(q->send([&] { ran = true; }));
    EXPECT_FALSE(ran);
    owner.join();
    ender.join();
}

TEST(ThreadQueue, TimedOutSendNeverRunsLater)
{
    std::shared_ptr<ThreadQueue> q;
    std::atomic_flag ready;
    std::atomic<bool> release{false}, ran{false};
    std::thread owner([&] {
        q = ThreadQueue::current();
        ready.test_and_set();
        ready.notify_all();
        while (!release) // busy until the sender has given up
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        q->runSentCalls();
    });
    ready.wait(false);
    EXPECT_FALSE(q->send([&] { ran = true; }, 30));
    release = true;
    owner.join();
    EXPECT_FALSE(ran);
}

TEST(ThreadQueue, ManySendersAtOnce)
{
    Pump pump;
    constexpr int kThreads = 8, kCalls = 200;
    int counter = 0; // touched only on the owner thread
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t)
        senders.emplace_back([&] {
            for (int i = 0; i < kCalls; ++i)
                ASSERT_TRUE(pump.queue().send([&] { ++counter; }));
        });
    for (auto& t : senders)
        t.join();
    int seen = 0;
    pump.queue().send([&] { seen = counter; });
    EXPECT_EQ(seen, kThreads * kCalls);
}

TEST(ThreadQueue, WaitHookReplacesTheBlockingWait)
{
    auto q = ThreadQueue::current();
    std::mutex m;
    std::condition_variable cv;
    bool woken = false;
    std::atomic<int> blocks{0};
    q->setWaitHook(
        [&](DWORD ms) {
            ++blocks;
            std::unique_lock lk(m);
            cv.wait_for(lk, std::chrono::milliseconds(ms == INFINITE ? 10000 : ms), [&] { return woken; });
            woken = false;
        },
        [&] {
            std::lock_guard lk(m);
            woken = true;
            cv.notify_all();
        });
    const pid_t owner = gettid();
    std::thread poster([&] {
        pictavo::test::waitUntilAsleep(owner);
        PostThreadMessageW(q->threadId(), WM_USER + 9, 0, 0);
    });
    MSG msg;
    ASSERT_TRUE(q->get(msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 9));
    EXPECT_GE(blocks, 1);
    poster.join();
    q->setWaitHook(nullptr, nullptr);
}
