#include "platform/kernel/Synch.h"
#include "platform/kernel/MessageBox.h"
#include "platform/kernel/ThreadQueue.h"
#include "platform/kernel/Tick.h"
#include "support/WaitFor.h"

#include <atomic>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

using namespace pictavo::platform;

TEST(Events, ManualAndAutoReset)
{
    HANDLE manual = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    HANDLE automatic = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0); // stays signalled
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 10), WAIT_TIMEOUT); // consumed by the first wait
    ResetEvent(manual);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(manual, 50), WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                  .count(),
              50);
    CloseHandle(manual);
    CloseHandle(automatic);
}

TEST(Events, InvalidAndClosedHandlesFail)
{
    HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_FALSE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForMultipleObjects(0, nullptr, FALSE, 0), WAIT_FAILED);
    std::vector<HANDLE> tooMany(MAXIMUM_WAIT_OBJECTS + 1, event);
    EXPECT_EQ(WaitForMultipleObjects(static_cast<DWORD>(tooMany.size()), tooMany.data(), FALSE, 0),
              WAIT_FAILED);
}

TEST(Events, WaitForAnyAndAll)
{
    HANDLE e[3];
    for (auto& h : e)
        h = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    SetEvent(e[2]);
    SetEvent(e[1]);
    EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), WAIT_OBJECT_0 + 1); // lowest index first
    EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), WAIT_OBJECT_0 + 2);
    SetEvent(e[0]);
    SetEvent(e[1]);
    EXPECT_EQ(WaitForMultipleObjects(3, e, TRUE, 10), WAIT_TIMEOUT);
    // Wait-all takes nothing until all are set, then takes all at once.
    EXPECT_EQ(WaitForSingleObject(e[0], 0), WAIT_OBJECT_0);
    SetEvent(e[0]);
    const pid_t waiter = gettid();
    std::thread setter([&] {
        pictavo::test::waitUntilAsleep(waiter);
        SetEvent(e[2]);
    });
    EXPECT_EQ(WaitForMultipleObjects(3, e, TRUE, 5000), WAIT_OBJECT_0);
    setter.join();
    EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), WAIT_TIMEOUT);
    for (auto& h : e)
        CloseHandle(h);
}

namespace {
unsigned threadMain(void* arg)
{
    auto* seen = static_cast<std::atomic<DWORD>*>(arg);
    *seen = GetCurrentThreadId();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) {
    }
    return static_cast<unsigned>(msg.wParam) + 100;
}
} // namespace

TEST(Threads, BeginThreadGivesAQueueAndAWaitableHandle)
{
    std::atomic<DWORD> seen{0};
    unsigned id = 0;
    HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, threadMain, &seen, 0, &id));
    ASSERT_NE(thread, nullptr);
    // The queue exists from the start: a message posted at once is not lost.
    EXPECT_TRUE(PostThreadMessageW(id, WM_USER, 0, 0));
    EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_TRUE(PostThreadMessageW(id, WM_QUIT, 5, 0));
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(seen.load(), id);
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 105u);
    EXPECT_EQ(ThreadQueue::find(id), nullptr); // torn down before the handle is signalled
    EXPECT_FALSE(PostThreadMessageW(id, WM_USER, 0, 0));
    EXPECT_TRUE(CloseHandle(thread));
}

namespace {

std::atomic<bool> exitHandlerDone{false};

struct SlowExitHandler
{
    ~SlowExitHandler()
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        exitHandlerDone = true;
    }
};

unsigned useThreadLocal(void*)
{
    thread_local SlowExitHandler handler;
    (void)&handler;
    return 0;
}

} // namespace

// A process may end as soon as the wait returns, so the thread's exit handlers must be done.
TEST(Threads, HandleIsSignalledOnlyAfterThreadExitHandlers)
{
    HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, useThreadLocal, nullptr, 0, nullptr));
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(exitHandlerDone.load());
    CloseHandle(thread);
}

TEST(Threads, MsgWaitReturnsForMessagesAndObjects)
{
    auto q = ThreadQueue::current();
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 10, QS_ALLINPUT), WAIT_TIMEOUT);
    const pid_t waiter = gettid();
    std::thread poster([&] {
        pictavo::test::waitUntilAsleep(waiter);
        PostThreadMessageW(q->threadId(), WM_USER, 0, 0);
    });
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 5000, QS_ALLINPUT), WAIT_OBJECT_0 + 1);
    poster.join();
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    SetEvent(event);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0);
    CloseHandle(event);
}

// Window input is not in the posted queue: it only wakes the thread. A wake that lands between
// the pump's last look and its next wait must end that wait, or the input sits unseen.
TEST(Threads, MsgWaitReturnsForAWakeSinceTheLastLook)
{
    auto q = ThreadQueue::current();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    std::thread([&] { q->wake(); }).join();
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 5000, QS_ALLINPUT), WAIT_OBJECT_0);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT), WAIT_TIMEOUT);
}

// A pump waiting for input must look again once a call sent to it has run: the call may have
// asked the pump to stop.
TEST(Threads, MsgWaitReturnsAfterRunningASentCall)
{
    auto q = ThreadQueue::current();
    std::atomic<bool> ran{false};
    std::thread sender([&] { EXPECT_TRUE(q->send([&] { ran = true; })); });
    // Earlier input may end a wait first; what matters is that no wait sleeps past the call.
    while (!ran)
        ASSERT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 5000, QS_ALLINPUT), WAIT_OBJECT_0);
    sender.join();
}

TEST(MessageBoxService, HandlerSeesTheBoxAndAnswers)
{
    struct Shown
    {
        HWND owner;
        std::u16string text, caption;
        UINT type;
    };
    std::vector<Shown> shown;
    auto previous =
        MessageBoxService::setHandler([&](HWND o, std::u16string_view t, std::u16string_view c, UINT ty) {
            shown.push_back({o, std::u16string(t), std::u16string(c), ty});
            return IDNO;
        });
    EXPECT_EQ(MessageBoxW(nullptr, u"删除？", u"000", MB_YESNO | MB_ICONWARNING), IDNO);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, u"删除？");
    EXPECT_EQ(shown[0].caption, u"000");
    EXPECT_EQ(shown[0].type, MB_YESNO | MB_ICONWARNING);
    MessageBoxService::setHandler(previous);
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxW(nullptr, u"文本", u"标题", MB_OK), IDOK); // the default writes to stderr
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "标题: 文本\n");
    EXPECT_EQ(shown.size(), 1u);
}
