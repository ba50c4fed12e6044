#pragma once

// Internal to the kernel: the one lock behind every queue and waitable object, per-thread
// wait state, and the handle table.

#include "platform/kernel/ThreadQueue.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace pictavo::platform {

struct SentCall
{
    enum class State
    {
        Pending,
        Running,
        Done,
        Dropped
    };
    std::function<void()> call;
    State state = State::Pending;
};

// Something a HANDLE can name. Waitable ones report and consume their signal under the lock.
class KernelObject
{
public:
    virtual ~KernelObject() = default;
    virtual bool waitable() const { return false; }
    virtual bool signalled() const { return false; }
    virtual void acquire() {}
};

struct KernelAccess
{
    static std::shared_ptr<ThreadQueue> create(DWORD threadId);
    static void teardown(ThreadQueue& queue);
    static bool runOneSent(std::unique_lock<std::mutex>& lock, ThreadQueue& queue);
    static unsigned long long changes(const ThreadQueue& queue) { return queue.m_changes; }
    static unsigned long long looked(const ThreadQueue& queue) { return queue.m_looked; }
    static void markLooked(ThreadQueue& queue) { queue.m_looked = queue.m_changes; }
    static bool hasInput(const ThreadQueue& queue) { return !queue.m_posted.empty() || queue.m_quit; }
    static bool hooked(const ThreadQueue& queue) { return static_cast<bool>(queue.m_block); }
    static ThreadQueue::BlockFn blocker(const ThreadQueue& queue) { return queue.m_block; }
    static ThreadQueue::WakeFn waker(const ThreadQueue& queue) { return queue.m_wake; }
};

namespace kernel {

std::mutex& lock();
// Under the lock: every blocked thread looks at its condition again.
void changed();

using Clock = std::chrono::steady_clock;
Clock::time_point deadlineAfter(DWORD milliseconds);

// Under the lock: blocks until ready() or the deadline (time_point::max() for none); meanwhile
// runs the calls sent to the calling thread's queue. False on time-out.
bool waitUntil(std::unique_lock<std::mutex>& lock, Clock::time_point deadline,
               const std::function<bool()>& ready);

DWORD currentThreadId();
// The calling thread's queue, or null; create makes one.
std::shared_ptr<ThreadQueue> currentQueue(bool create);
void adoptThread(DWORD threadId, std::shared_ptr<ThreadQueue> queue);
DWORD newThreadId();

// Handle table (under the lock).
HANDLE insertHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> findHandle(HANDLE handle);
bool eraseHandle(HANDLE handle);

} // namespace kernel
} // namespace pictavo::platform
