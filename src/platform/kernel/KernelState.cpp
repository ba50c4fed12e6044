#include "platform/kernel/KernelState.h"

#include <algorithm>
#include <atomic>
#include <unordered_map>
#include <vector>

namespace pictavo::platform::kernel {

namespace {

struct ThreadState
{
    DWORD id = 0;
    std::shared_ptr<ThreadQueue> queue;
    std::condition_variable cv;
    bool poked = false;
    ThreadQueue::WakeFn wake; // set while blocked in a backend's wait

    ~ThreadState()
    {
        if (queue)
            KernelAccess::teardown(*queue);
    }
};

// Never destroyed: detached threads may still use them while the process exits.
struct Globals
{
    std::mutex mutex;
    std::vector<ThreadState*> blocked;
    std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> handles;
    uintptr_t nextHandle = 0x1000;
};

Globals& globals()
{
    static Globals* g = new Globals;
    return *g;
}

std::atomic<DWORD> g_nextThreadId{1000};

thread_local ThreadState t_state;

} // namespace

std::mutex& lock()
{
    return globals().mutex;
}

void changed()
{
    for (ThreadState* st : globals().blocked) {
        st->poked = true;
        if (st->wake)
            st->wake();
        else
            st->cv.notify_one();
    }
}

Clock::time_point deadlineAfter(DWORD milliseconds)
{
    if (milliseconds == INFINITE)
        return Clock::time_point::max();
    return Clock::now() + std::chrono::milliseconds(milliseconds);
}

bool waitUntil(std::unique_lock<std::mutex>& lk, Clock::time_point deadline,
               const std::function<bool()>& ready)
{
    ThreadState& st = t_state;
    auto& blocked = globals().blocked;
    for (;;) {
        if (ready())
            return true;
        if (st.queue && KernelAccess::runOneSent(lk, *st.queue))
            continue;
        const auto now = Clock::now();
        if (now >= deadline)
            return false;
        st.poked = false;
        blocked.push_back(&st);
        if (st.queue && KernelAccess::hooked(*st.queue)) {
            st.wake = KernelAccess::waker(*st.queue);
            auto block = KernelAccess::blocker(*st.queue);
            DWORD ms = INFINITE;
            if (deadline != Clock::time_point::max())
                ms = static_cast<DWORD>(std::min<long long>(
                    std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count(), INFINITE - 1));
            lk.unlock();
            block(ms);
            lk.lock();
            st.wake = nullptr;
        } else if (deadline == Clock::time_point::max()) {
            st.cv.wait(lk, [&] { return st.poked; });
        } else {
            st.cv.wait_until(lk, deadline, [&] { return st.poked; });
        }
        blocked.erase(std::find(blocked.begin(), blocked.end(), &st));
    }
}

DWORD newThreadId()
{
    return g_nextThreadId.fetch_add(4);
}

DWORD currentThreadId()
{
    ThreadState& st = t_state;
    if (st.id == 0)
        st.id = newThreadId();
    return st.id;
}

std::shared_ptr<ThreadQueue> currentQueue(bool create)
{
    ThreadState& st = t_state;
    if (!st.queue && create)
        st.queue = KernelAccess::create(currentThreadId());
    return st.queue;
}

void adoptThread(DWORD threadId, std::shared_ptr<ThreadQueue> queue)
{
    t_state.id = threadId;
    t_state.queue = std::move(queue);
}

HANDLE insertHandle(std::shared_ptr<KernelObject> object)
{
    auto& g = globals();
    uintptr_t value = g.nextHandle;
    g.nextHandle += 4;
    g.handles.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> findHandle(HANDLE handle)
{
    auto& g = globals();
    auto it = g.handles.find(reinterpret_cast<uintptr_t>(handle));
    return it == g.handles.end() ? nullptr : it->second;
}

bool eraseHandle(HANDLE handle)
{
    return globals().handles.erase(reinterpret_cast<uintptr_t>(handle)) > 0;
}

} // namespace pictavo::platform::kernel
