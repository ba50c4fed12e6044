#include "Watchdog.h"

#include <cstdio>
#include <unistd.h>

namespace pictavo::host {

Watchdog::Watchdog(std::chrono::steady_clock::time_point deadline, std::chrono::milliseconds grace,
                   int exitCode)
{
    m_thread = std::thread([this, end = deadline + grace, exitCode] {
        std::unique_lock lock(m_mutex);
        if (m_wake.wait_until(lock, end, [this] { return m_stop; }))
            return;
        std::fputs("pictavo-host: time-out (the script did not return)\n", stderr);
        std::fflush(nullptr);
        _exit(exitCode);
    });
}

Watchdog::~Watchdog()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

} // namespace pictavo::host
