#include "ui/signal0.h"
#include "ui/signal1.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

std::vector<int>* g_order = nullptr;

class Recorder : public has_slots
{
public:
    explicit Recorder(int tag) : tag(tag) {}
    void onFire() { g_order->push_back(tag); }
    void onValue(int v) { g_order->push_back(tag * 100 + v); }
    void leave()
    {
        g_order->push_back(tag);
        source->disconnect(this);
    }
    void dropOther()
    {
        g_order->push_back(tag);
        source->disconnect(other);
    }
    int tag;
    signal0* source = nullptr;
    has_slots* other = nullptr;
};

TEST(Signal, EmitsInConnectionOrderWithTheArgument)
{
    std::vector<int> order;
    g_order = &order;
    Recorder a(1), b(2), c(3);
    signal1<int> s;
    s.connect(&b, &Recorder::onValue);
    s.connect(&a, &Recorder::onValue);
    s.connect(&c, &Recorder::onValue);
    s(7);
    s.emit(8);
    EXPECT_EQ(order, (std::vector<int>{207, 107, 307, 208, 108, 308}));
}

TEST(Signal, SlotsMayDisconnectThemselvesOrOthersWhileTheSignalRuns)
{
    std::vector<int> order;
    g_order = &order;
    signal0 s;
    Recorder self(1), dropper(2), dropped(3), last(4);
    self.source = &s;
    dropper.source = &s;
    dropper.other = &dropped;
    s.connect(&self, &Recorder::leave);
    s.connect(&dropper, &Recorder::dropOther);
    s.connect(&dropped, &Recorder::onFire);
    s.connect(&last, &Recorder::onFire);
    s();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 4})) << "a receiver dropped mid-emission is not called";
    order.clear();
    s();
    EXPECT_EQ(order, (std::vector<int>{2, 4}));
    EXPECT_EQ(s.connection_count(), 2u);
}

TEST(Signal, EitherSideMayDieFirst)
{
    std::vector<int> order;
    g_order = &order;
    signal0 s;
    {
        Recorder gone(1);
        s.connect(&gone, &Recorder::onFire);
    }
    s();
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(s.connection_count(), 0u);

    Recorder survivor(2);
    {
        signal0 shortLived;
        shortLived.connect(&survivor, &Recorder::onFire);
        survivor.source = &s;
        s.connect(&survivor, &Recorder::onFire);
    }
    s();
    EXPECT_EQ(order, (std::vector<int>{2}));
}

// A slot parked on the emitting thread while another thread destroys the receiver: the
// destruction waits for the slot to return, and nothing is called afterwards.
TEST(Signal, ReceiverDestroyedOnAnotherThreadDuringEmission)
{
    struct Parked : has_slots
    {
        ~Parked() override
        {
            disconnect_all();
            destroyed = true;
        }
        void onFire()
        {
            {
                std::unique_lock lock(m);
                entered = true;
                cv.notify_all();
                cv.wait(lock, [&] { return release; });
            }
            calls.fetch_add(1);
            // Touch our own members once more: a freed object shows up under ASan/TSan.
            value = destroyed ? -1 : 42;
        }
        std::mutex m;
        std::condition_variable cv;
        bool entered = false;
        bool release = false;
        std::atomic<int> calls{0};
        std::atomic<bool> destroyed{false};
        int value = 0;
    };
    signal0 s;
    auto* receiver = new Parked;
    s.connect(receiver, &Parked::onFire);
    std::atomic<int>* calls = &receiver->calls;
    std::atomic<bool> deleted{false};

    std::thread emitter([&] { s(); });
    {
        std::unique_lock lock(receiver->m);
        receiver->cv.wait(lock, [&] { return receiver->entered; });
    }
    std::thread killer([&] {
        delete receiver;
        deleted = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(deleted.load()) << "destruction must wait for the running slot";
    EXPECT_EQ(calls->load(), 0);
    {
        std::lock_guard lock(receiver->m);
        receiver->release = true;
        receiver->cv.notify_all();
    }
    emitter.join();
    killer.join();
    EXPECT_TRUE(deleted.load());
    s();
    EXPECT_EQ(s.connection_count(), 0u);
}

// Eight threads emit while two others connect, disconnect and destroy receivers; every call
// lands on a live receiver and the counts add up.
TEST(Signal, EightThreadsEmitWhileReceiversComeAndGo)
{
    struct Counter : has_slots
    {
        ~Counter() override { disconnect_all(); }
        void onValue(int v)
        {
            ASSERT_EQ(magic, 0x5157u);
            sum.fetch_add(v, std::memory_order_relaxed);
        }
        unsigned magic = 0x5157;
        std::atomic<long> sum{0};
    };
    signal1<int> s;
    Counter steady;
    s.connect(&steady, &Counter::onValue);
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    constexpr int emitters = 8, perThread = 20000;
    for (int t = 0; t < emitters; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < perThread; ++i)
                s(1);
        });
    std::vector<std::thread> churners;
    for (int t = 0; t < 2; ++t)
        churners.emplace_back([&] {
            while (!stop) {
                auto a = std::make_unique<Counter>();
                Counter b;
                s.connect(a.get(), &Counter::onValue);
                s.connect(&b, &Counter::onValue);
                std::this_thread::yield();
                s.disconnect(&b);
                a.reset();
            }
        });
    for (auto& t : threads)
        t.join();
    stop = true;
    for (auto& t : churners)
        t.join();
    EXPECT_EQ(steady.sum.load(), emitters * perThread);
    EXPECT_EQ(s.connection_count(), 1u);
}

} // namespace
