#include "platform/kernel/Synch.h"

#include "platform/kernel/KernelState.h"
#include "platform/kernel/Strings.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include <pthread.h>

using namespace pictavo::platform;

namespace {

class EventObject : public KernelObject
{
public:
    EventObject(bool manual, bool initial) : m_manual(manual), m_signalled(initial) {}
    bool waitable() const override { return true; }
    bool signalled() const override { return m_signalled; }
    void acquire() override
    {
        if (!m_manual)
            m_signalled = false;
    }
    void set(bool on) { m_signalled = on; }

private:
    bool m_manual;
    bool m_signalled;
};

class ThreadObject : public KernelObject
{
public:
    bool waitable() const override { return true; }
    bool signalled() const override { return ended; }
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
};

template <class T> std::shared_ptr<T> findAs(HANDLE h)
{
    return std::dynamic_pointer_cast<T>(kernel::findHandle(h));
}

BOOL setEventState(HANDLE h, bool on)
{
    std::lock_guard lk(kernel::lock());
    auto event = findAs<EventObject>(h);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    event->set(on);
    if (on)
        kernel::changed();
    return TRUE;
}

// Index of the satisfied wait (consuming auto-reset signals) or -1.
int satisfied(const std::vector<std::shared_ptr<KernelObject>>& objects, bool all)
{
    if (all) {
        for (auto& o : objects)
            if (!o->signalled())
                return -1;
        for (auto& o : objects)
            o->acquire();
        return 0;
    }
    for (size_t i = 0; i < objects.size(); ++i) {
        if (objects[i]->signalled()) {
            objects[i]->acquire();
            return static_cast<int>(i);
        }
    }
    return -1;
}

DWORD waitObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD ms, bool withQueue)
{
    if (count > MAXIMUM_WAIT_OBJECTS || (count > 0 && !handles) || (count == 0 && !withQueue)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::shared_ptr<ThreadQueue> queue = withQueue ? ThreadQueue::current() : nullptr;
    std::unique_lock lk(kernel::lock());
    std::vector<std::shared_ptr<KernelObject>> objects;
    for (DWORD i = 0; i < count; ++i) {
        auto o = kernel::findHandle(handles[i]);
        if (!o || !o->waitable()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        objects.push_back(std::move(o));
    }
    const auto deadline = kernel::deadlineAfter(ms);
    int index = -1;
    bool input = false;
    // New since the thread last looked at its queue, as on Windows: a wake that came between
    // the caller's last peek and this wait (window input is not in the posted queue) counts.
    const auto seen = queue ? KernelAccess::looked(*queue) : 0;
    auto ready = [&] {
        index = satisfied(objects, waitAll);
        input = queue && (KernelAccess::hasInput(*queue) || KernelAccess::changes(*queue) != seen);
        return index >= 0 || input;
    };
    if (!kernel::waitUntil(lk, deadline, ready))
        return WAIT_TIMEOUT;
    if (index >= 0)
        return WAIT_OBJECT_0 + index;
    // Posted input, a wake, or a sent call that ran: Windows wakes for sent messages too, and
    // the call may have changed what the caller waits for. Told so, the caller has seen it.
    KernelAccess::markLooked(*queue);
    return WAIT_OBJECT_0 + count;
}

} // namespace

HANDLE CreateEventW(void*, BOOL manualReset, BOOL initialState, LPCWSTR)
{
    std::lock_guard lk(kernel::lock());
    return kernel::insertHandle(std::make_shared<EventObject>(manualReset, initialState));
}

BOOL SetEvent(HANDLE event)
{
    return setEventState(event, true);
}

BOOL ResetEvent(HANDLE event)
{
    return setEventState(event, false);
}

BOOL CloseHandle(HANDLE handle)
{
    std::shared_ptr<KernelObject> last; // destroyed outside the lock
    std::lock_guard lk(kernel::lock());
    last = kernel::findHandle(handle);
    if (!kernel::eraseHandle(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    return waitObjects(1, &handle, FALSE, milliseconds, false);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds)
{
    return waitObjects(count, handles, waitAll, milliseconds, false);
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds, DWORD)
{
    return waitObjects(count, handles, waitAll, milliseconds, true);
}

DWORD GetCurrentThreadId()
{
    return kernel::currentThreadId();
}

namespace {

// A thread's handle is signalled only once the thread is gone, the thread-exit handlers of the
// libraries it used included, as on Windows: a process may end as soon as its wait returns.
// One joiner thread collects the ended threads and signals their handles.
class ThreadJoiner
{
public:
    static ThreadJoiner& instance()
    {
        static ThreadJoiner* joiner = new ThreadJoiner; // outlives every thread, never destroyed
        return *joiner;
    }

    void add(pthread_t thread, std::shared_ptr<ThreadObject> object, unsigned exitCode)
    {
        std::unique_lock lk(m_lock);
        if (!m_running) {
            try {
                std::thread([this] { run(); }).detach();
                m_running = true;
            } catch (const std::system_error&) {
                // No thread to join with: signal now rather than never.
                lk.unlock();
                pthread_detach(thread);
                signal(*object, exitCode);
                return;
            }
        }
        m_ended.push_back({thread, std::move(object), exitCode});
        m_wake.notify_one();
    }

private:
    struct Ended
    {
        pthread_t thread;
        std::shared_ptr<ThreadObject> object;
        unsigned exitCode;
    };

    [[noreturn]] void run()
    {
        for (;;) {
            std::unique_lock lk(m_lock);
            m_wake.wait(lk, [this] { return !m_ended.empty(); });
            Ended ended = std::move(m_ended.front());
            m_ended.pop_front();
            lk.unlock();
            pthread_join(ended.thread, nullptr);
            signal(*ended.object, ended.exitCode);
        }
    }

    static void signal(ThreadObject& object, unsigned exitCode)
    {
        std::lock_guard lk(kernel::lock());
        object.exitCode = exitCode;
        object.ended = true;
        kernel::changed();
    }

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<Ended> m_ended;
    bool m_running = false;
};

struct ThreadStart
{
    std::shared_ptr<ThreadObject> object;
    std::shared_ptr<ThreadQueue> queue;
    DWORD id;
    unsigned (*start)(void*);
    void* arg;
};

void* threadMain(void* raw)
{
    std::unique_ptr<ThreadStart> s(static_cast<ThreadStart*>(raw));
    kernel::adoptThread(s->id, s->queue);
    const unsigned code = s->start(s->arg);
    KernelAccess::teardown(*s->queue);
    ThreadJoiner::instance().add(pthread_self(), std::move(s->object), code);
    return nullptr;
}

} // namespace

uintptr_t _beginthreadex(void*, unsigned, unsigned (*start)(void*), void* arg, unsigned, unsigned* threadId)
{
    if (!start)
        return 0;
    auto thread = std::make_shared<ThreadObject>();
    const DWORD id = kernel::newThreadId();
    auto queue = KernelAccess::create(id);
    HANDLE handle;
    {
        std::lock_guard lk(kernel::lock());
        handle = kernel::insertHandle(thread);
    }
    auto* s = new ThreadStart{thread, queue, id, start, arg};
    pthread_t native;
    if (pthread_create(&native, nullptr, &threadMain, s) != 0) {
        delete s;
        KernelAccess::teardown(*queue);
        std::lock_guard lk(kernel::lock());
        kernel::eraseHandle(handle);
        return 0;
    }
    if (threadId)
        *threadId = id;
    return reinterpret_cast<uintptr_t>(handle);
}

BOOL GetExitCodeThread(HANDLE handle, DWORD* exitCode)
{
    std::lock_guard lk(kernel::lock());
    auto thread = findAs<ThreadObject>(handle);
    if (!thread || !exitCode) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *exitCode = thread->exitCode;
    return TRUE;
}
