#include "MessagePump.h"

#include "ScriptHost.h"

#include "platform/kernel/Message.h"
#include "platform/kernel/Synch.h"

#include <algorithm>

namespace pictavo::host {

int MessagePump::run(ScriptHost& host, std::optional<std::chrono::steady_clock::time_point> deadline)
{
    using Clock = std::chrono::steady_clock;
    for (;;) {
        host.bridge().collect();
        host.runDueTimers();
        if (host.finished()) {
            host.flushUncaught();
            return host.exitCode();
        }
        auto now = Clock::now();
        if (deadline && now >= *deadline) {
            host.writeLine(host.err(), "pictavo-host: time-out");
            return kTimeoutExit;
        }
        std::optional<Clock::time_point> wake = deadline;
        Clock::time_point timer;
        if (host.nextTimer(timer))
            wake = wake ? std::min(*wake, timer) : timer;
        DWORD wait = INFINITE;
        if (wake) {
            auto ms = std::chrono::ceil<std::chrono::milliseconds>(*wake - now).count();
            wait = static_cast<DWORD>(std::clamp<long long>(ms, 0, 24LL * 3600 * 1000));
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
        MSG msg;
        while (!host.finished() && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                host.finish(static_cast<int>(msg.wParam));
            else
                DispatchMessageW(&msg);
        }
    }
}

} // namespace pictavo::host
