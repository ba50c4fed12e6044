#include "platform/kernel/ThreadQueue.h"

#include "platform/kernel/KernelState.h"
#include "platform/kernel/Tick.h"

#include <algorithm>
#include <unordered_map>

namespace pictavo::platform {

namespace {

// Live queues by thread id; guarded by the kernel lock.
std::unordered_map<DWORD, std::weak_ptr<ThreadQueue>>& registry()
{
    static auto* r = new std::unordered_map<DWORD, std::weak_ptr<ThreadQueue>>;
    return *r;
}

bool matches(const MSG& m, HWND filter, UINT min, UINT max)
{
    if (filter == reinterpret_cast<HWND>(-1)) {
        if (m.hwnd)
            return false;
    } else if (filter && m.hwnd != filter) {
        return false;
    }
    if (m.message == WM_QUIT || (min == 0 && max == 0))
        return true;
    return m.message >= min && m.message <= max;
}

MSG quitMessage(int code)
{
    MSG m{};
    m.message = WM_QUIT;
    m.wParam = static_cast<WPARAM>(code);
    m.time = GetTickCount();
    return m;
}

} // namespace

std::shared_ptr<ThreadQueue> KernelAccess::create(DWORD threadId)
{
    std::shared_ptr<ThreadQueue> q(new ThreadQueue(threadId));
    std::lock_guard lk(kernel::lock());
    registry()[threadId] = q;
    return q;
}

void KernelAccess::teardown(ThreadQueue& q)
{
    std::lock_guard lk(kernel::lock());
    if (!q.m_alive)
        return;
    q.m_alive = false;
    for (auto& call : q.m_sent)
        call->state = SentCall::State::Dropped;
    q.m_sent.clear();
    q.m_posted.clear();
    q.m_idle = nullptr;
    q.m_block = nullptr;
    q.m_wake = nullptr;
    registry().erase(q.m_threadId);
    kernel::changed();
}

bool KernelAccess::runOneSent(std::unique_lock<std::mutex>& lk, ThreadQueue& q)
{
    while (!q.m_sent.empty()) {
        auto call = std::move(q.m_sent.front());
        q.m_sent.pop_front();
        if (call->state != SentCall::State::Pending)
            continue;
        call->state = SentCall::State::Running;
        ++q.m_changes;
        auto fn = std::move(call->call);
        lk.unlock();
        // Even if the call throws, its sender must be released, not left waiting forever.
        struct Release
        {
            std::unique_lock<std::mutex>& lk;
            SentCall& call;
            ~Release()
            {
                lk.lock();
                call.state = SentCall::State::Done;
                kernel::changed();
            }
        } release{lk, *call};
        fn();
        fn = nullptr; // captures die on the owner, before the sender is released
        return true;
    }
    return false;
}

ThreadQueue::ThreadQueue(DWORD threadId) : m_threadId(threadId) {}

ThreadQueue::~ThreadQueue() = default;

std::shared_ptr<ThreadQueue> ThreadQueue::current()
{
    return kernel::currentQueue(true);
}

std::shared_ptr<ThreadQueue> ThreadQueue::currentIfAny()
{
    return kernel::currentQueue(false);
}

std::shared_ptr<ThreadQueue> ThreadQueue::find(DWORD threadId)
{
    std::lock_guard lk(kernel::lock());
    auto it = registry().find(threadId);
    if (it == registry().end())
        return nullptr;
    return it->second.lock();
}

bool ThreadQueue::alive() const
{
    std::lock_guard lk(kernel::lock());
    return m_alive;
}

bool ThreadQueue::post(const MSG& msg)
{
    std::lock_guard lk(kernel::lock());
    if (!m_alive)
        return false;
    m_posted.push_back(msg);
    if (m_posted.back().time == 0)
        m_posted.back().time = GetTickCount();
    ++m_changes;
    kernel::changed();
    return true;
}

void ThreadQueue::postQuit(int exitCode)
{
    std::lock_guard lk(kernel::lock());
    m_quit = true;
    m_quitCode = exitCode;
    ++m_changes;
    kernel::changed();
}

bool ThreadQueue::send(std::function<void()> call, DWORD timeoutMs)
{
    if (kernel::currentThreadId() == m_threadId) {
        call();
        return true;
    }
    std::unique_lock lk(kernel::lock());
    if (!m_alive)
        return false;
    auto sent = std::make_shared<SentCall>();
    sent->call = std::move(call);
    m_sent.push_back(sent);
    ++m_changes;
    kernel::changed();
    auto finished = [&] {
        return sent->state == SentCall::State::Done || sent->state == SentCall::State::Dropped;
    };
    if (!kernel::waitUntil(lk, kernel::deadlineAfter(timeoutMs), finished)) {
        if (sent->state == SentCall::State::Pending) {
            sent->state = SentCall::State::Dropped;
            m_sent.erase(std::find(m_sent.begin(), m_sent.end(), sent));
            return false;
        }
        kernel::waitUntil(lk, kernel::Clock::time_point::max(), finished);
    }
    return sent->state == SentCall::State::Done;
}

bool ThreadQueue::runSentCalls()
{
    std::unique_lock lk(kernel::lock());
    bool any = false;
    while (KernelAccess::runOneSent(lk, *this))
        any = true;
    return any;
}

size_t ThreadQueue::sentCallsWaiting() const
{
    std::lock_guard lk(kernel::lock());
    return static_cast<size_t>(std::count_if(m_sent.begin(), m_sent.end(), [](const auto& call) {
        return call->state == SentCall::State::Pending;
    }));
}

bool ThreadQueue::get(MSG& msg, HWND filter, UINT min, UINT max)
{
    std::unique_lock lk(kernel::lock());
    for (;;) {
        while (KernelAccess::runOneSent(lk, *this)) {
        }
        const auto seen = m_changes;
        m_looked = seen;
        auto it = std::find_if(m_posted.begin(), m_posted.end(),
                               [&](const MSG& m) { return matches(m, filter, min, max); });
        if (it != m_posted.end()) {
            msg = *it;
            m_posted.erase(it);
            return msg.message != WM_QUIT;
        }
        if (m_quit) {
            m_quit = false;
            msg = quitMessage(m_quitCode);
            return false;
        }
        if (m_idle) {
            auto idle = m_idle;
            lk.unlock();
            bool got = idle(msg, filter, min, max, PM_REMOVE);
            lk.lock();
            if (got)
                return msg.message != WM_QUIT;
        }
        kernel::waitUntil(lk, kernel::Clock::time_point::max(),
                          [&] { return m_changes != seen || !m_alive; });
        if (!m_alive) {
            msg = quitMessage(0);
            return false;
        }
    }
}

bool ThreadQueue::peek(MSG& msg, HWND filter, UINT min, UINT max, UINT flags)
{
    std::unique_lock lk(kernel::lock());
    while (KernelAccess::runOneSent(lk, *this)) {
    }
    m_looked = m_changes;
    const bool remove = flags & PM_REMOVE;
    auto it = std::find_if(m_posted.begin(), m_posted.end(),
                           [&](const MSG& m) { return matches(m, filter, min, max); });
    if (it != m_posted.end()) {
        msg = *it;
        if (remove)
            m_posted.erase(it);
        return true;
    }
    if (m_quit) {
        msg = quitMessage(m_quitCode);
        if (remove)
            m_quit = false;
        return true;
    }
    if (m_idle) {
        auto idle = m_idle;
        lk.unlock();
        return idle(msg, filter, min, max, flags);
    }
    return false;
}

void ThreadQueue::setIdleSource(IdleSource source)
{
    std::lock_guard lk(kernel::lock());
    m_idle = std::move(source);
    ++m_changes;
    kernel::changed();
}

void ThreadQueue::setWaitHook(BlockFn block, WakeFn wake)
{
    std::lock_guard lk(kernel::lock());
    if (block && wake) {
        m_block = std::move(block);
        m_wake = std::move(wake);
    } else {
        m_block = nullptr;
        m_wake = nullptr;
    }
}

void ThreadQueue::wake()
{
    std::lock_guard lk(kernel::lock());
    ++m_changes;
    kernel::changed();
}

} // namespace pictavo::platform
