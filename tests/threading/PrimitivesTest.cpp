#include "threading/CriticalSection.h"
#include "threading/EventHandler.h"

#include "platform/kernel/ThreadQueue.h"
#include "platform/kernel/Tick.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

using Quendal::Threading::CriticalSection;
using Quendal::Threading::EventHandler;

TEST(CriticalSection, ReentrantAndExclusive)
{
    CriticalSection lock;
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                lock.Lock();
                lock.Lock(); // the owner may lock again
                ++counter;
                lock.Unlock();
                lock.Unlock();
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(counter, 8000);
}

TEST(EventHandler, StartsSignalledAndIsManualReset)
{
    EventHandler event;
    EXPECT_EQ(event.Wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(event.Wait(0), WAIT_OBJECT_0);
    event.Reset();
    EXPECT_EQ(event.Wait(20), WAIT_TIMEOUT);
    const pid_t waiter = gettid();
    std::thread setter([&] {
        pictavo::test::waitUntilAsleep(waiter);
        event.Set();
    });
    EXPECT_EQ(event.Wait(5000), WAIT_OBJECT_0);
    setter.join();
}

TEST(EventHandler, UiThreadWaitingForTheLoaderStillServesItsSends)
{
    // The list view's stop: the UI thread waits on the loader's event while the loader
    // sends to the UI thread before it can finish.
    auto ui = pictavo::platform::ThreadQueue::current();
    EventHandler running;
    running.Reset();
    bool served = false;
    std::thread loader([&] {
        ui->send([&] { served = true; });
        running.Set();
    });
    EXPECT_EQ(running.Wait(5000), WAIT_OBJECT_0);
    loader.join();
    EXPECT_TRUE(served);
}
