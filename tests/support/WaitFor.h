#pragma once

#include <chrono>
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

} // namespace pictavo::test
