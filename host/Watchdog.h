#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace pictavo::host {

// The host's own loop ends a page at its time-out; a script that never returns to the loop
// (an endless loop) cannot be interrupted, so this thread ends the process shortly after.
class Watchdog
{
public:
    Watchdog(std::chrono::steady_clock::time_point deadline, std::chrono::milliseconds grace, int exitCode);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace pictavo::host
