#include "platform/kernel/Message.h"

#include "platform/kernel/ThreadQueue.h"

#include <mutex>

using namespace pictavo::platform;

namespace {
std::mutex g_hookMutex;
DispatchHook g_dispatch;
} // namespace

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto queue = ThreadQueue::find(threadId);
    if (!queue)
        return FALSE;
    MSG msg{};
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    return queue->post(msg) ? TRUE : FALSE;
}

BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax)
{
    if (!msg)
        return -1;
    return ThreadQueue::current()->get(*msg, hwnd, filterMin, filterMax) ? TRUE : FALSE;
}

BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    if (!msg)
        return FALSE;
    return ThreadQueue::current()->peek(*msg, hwnd, filterMin, filterMax, removeFlags) ? TRUE : FALSE;
}

void PostQuitMessage(int exitCode)
{
    ThreadQueue::current()->postQuit(exitCode);
}

LRESULT DispatchMessageW(const MSG* msg)
{
    // A thread timer (no window) still has a procedure to call: WM_TIMER with lParam set.
    if (!msg || (!msg->hwnd && !(msg->message == 0x0113 && msg->lParam)))
        return 0;
    DispatchHook hook;
    {
        std::lock_guard lk(g_hookMutex);
        hook = g_dispatch;
    }
    return hook ? hook(*msg) : 0;
}

namespace pictavo::platform {

DispatchHook setDispatchHook(DispatchHook hook)
{
    std::lock_guard lk(g_hookMutex);
    std::swap(g_dispatch, hook);
    return hook;
}

} // namespace pictavo::platform
