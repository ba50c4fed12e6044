#pragma once

#include <chrono>
#include <optional>

namespace pictavo::host {

class ScriptHost;

// Runs the page's thread after its script: timers, calls other threads send to it (the
// control's callback through the global interface table) and posted messages, until the page
// finishes (its exit code) or the deadline passes (kTimeoutExit).
class MessagePump
{
public:
    static constexpr int kTimeoutExit = 124;

    static int run(ScriptHost& host, std::optional<std::chrono::steady_clock::time_point> deadline);
};

} // namespace pictavo::host
