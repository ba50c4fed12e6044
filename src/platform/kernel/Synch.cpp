#include "platform/kernel/Synch.h"

#include "platform/kernel/KernelState.h"
#include "platform/kernel/Strings.h"

#include <system_error>
#include <thread>
#include <vector>

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
    for (;;) {
        const auto seen = queue ? KernelAccess::changes(*queue) : 0;
        auto ready = [&] {
            index = satisfied(objects, waitAll);
            input = queue && (KernelAccess::hasInput(*queue) || KernelAccess::changes(*queue) != seen);
            return index >= 0 || input;
        };
        if (!kernel::waitUntil(lk, deadline, ready))
            return WAIT_TIMEOUT;
        if (index >= 0)
            return WAIT_OBJECT_0 + index;
        if (KernelAccess::hasInput(*queue))
            return WAIT_OBJECT_0 + count;
        // Woken, or a sent call ran: a pending paint or timer also counts as input.
        lk.unlock();
        MSG msg;
        bool idle = queue->peek(msg, nullptr, 0, 0, PM_NOREMOVE);
        lk.lock();
        if (idle)
            return WAIT_OBJECT_0 + count;
    }
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
    try {
        std::thread([thread, queue, id, start, arg] {
            kernel::adoptThread(id, queue);
            const unsigned code = start(arg);
            KernelAccess::teardown(*queue);
            std::lock_guard lk(kernel::lock());
            thread->exitCode = code;
            thread->ended = true;
            kernel::changed();
        }).detach();
    } catch (const std::system_error&) {
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
