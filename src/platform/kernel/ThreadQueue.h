#pragma once

#include "platform/kernel/Message.h"
#include "platform/kernel/Synch.h"

#include <deque>
#include <functional>
#include <memory>

namespace pictavo::platform {

struct SentCall;

// One thread's message queue: posted messages, calls sent from other threads, a quit flag.
// The owner runs sent calls (in order of arrival, before posted messages) whenever it waits:
// in get/peek/MsgWait and in every platform wait (send, events, threads).
class ThreadQueue
{
public:
    // Idle source: asked by get/peek when no posted message matches (WM_PAINT, WM_TIMER).
    // Called on the owner thread with no kernel lock held; removeFlags as in PeekMessage.
    using IdleSource = std::function<bool(MSG& out, HWND filter, UINT min, UINT max, UINT removeFlags)>;
    // Wait hook for a backend with its own event loop (SDL): 'block' replaces the owner's
    // blocking wait (INFINITE or milliseconds); 'wake' is called from any thread, under the
    // kernel's lock (so it must not call back into the kernel), to end it. A wake that comes
    // before 'block' starts must still end it (SDL_PushEvent does that).
    using BlockFn = std::function<void(DWORD milliseconds)>;
    using WakeFn = std::function<void()>;

    ~ThreadQueue();
    ThreadQueue(const ThreadQueue&) = delete;
    ThreadQueue& operator=(const ThreadQueue&) = delete;

    // The calling thread's queue, created on first use.
    static std::shared_ptr<ThreadQueue> current();
    // The calling thread's queue or null, without creating one.
    static std::shared_ptr<ThreadQueue> currentIfAny();
    // Null when that thread has no queue or has ended.
    static std::shared_ptr<ThreadQueue> find(DWORD threadId);

    DWORD threadId() const { return m_threadId; }
    bool alive() const;

    // Queues a message (time filled in when 0); false when the owner has ended.
    bool post(const MSG& msg);
    void postQuit(int exitCode);

    // Runs call on the owner thread and waits for it; on the owner itself it calls directly.
    // False when the owner has ended or ends first, or when the time-out passes before the
    // owner starts the call: the call then never runs. Once started, send waits for the end
    // (and returns true), so a call never outlives its sender's frame.
    bool send(std::function<void()> call, DWORD timeoutMs = INFINITE);

    // Owner thread only. get blocks; false on WM_QUIT (msg then holds it).
    bool get(MSG& msg, HWND filter, UINT min, UINT max);
    bool peek(MSG& msg, HWND filter, UINT min, UINT max, UINT flags);
    // Runs the sent calls that are waiting; true when it ran any.
    bool runSentCalls();
    // How many sent calls wait for the owner to start them.
    size_t sentCallsWaiting() const;

    void setIdleSource(IdleSource source);
    // Owner thread only; empty functions restore the built-in wait.
    void setWaitHook(BlockFn block, WakeFn wake);
    // Makes a blocked get/MsgWait of the owner look again (idle source included).
    void wake();

private:
    friend struct KernelAccess;
    explicit ThreadQueue(DWORD threadId);

    DWORD m_threadId;
    bool m_alive = true;
    bool m_quit = false;
    int m_quitCode = 0;
    unsigned long long m_changes = 0; // bumped by post, quit, wake and by every sent call run
    unsigned long long m_looked = 0;  // m_changes when the thread last looked (get or peek)
    std::deque<MSG> m_posted;
    std::deque<std::shared_ptr<SentCall>> m_sent;
    IdleSource m_idle;
    BlockFn m_block;
    WakeFn m_wake;
};

} // namespace pictavo::platform
