#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

namespace pictavo::test {

// Until the condition holds, or false after the limit: orders a test's threads on a state
// they reach rather than on a guess at how long they take.
template <class Condition>
bool waitFor(Condition holds, std::chrono::milliseconds limit = std::chrono::seconds(10))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!holds()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// True while the thread (a gettid() of this process) sleeps in the system, as a thread
// blocked in a wait does: lets a test wake a waiter only once it really waits.
inline bool isAsleep(pid_t thread)
{
    std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // "tid (name) S ...": the name may hold spaces and parentheses, the state follows the last ')'.
    const size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'S';
}

// Until the thread waits (see isAsleep).
inline bool waitUntilAsleep(pid_t thread)
{
    return waitFor([thread] { return isAsleep(thread); });
}

} // namespace pictavo::test
