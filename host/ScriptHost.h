#pragma once

#include "ValueBridge.h"

#include <duktape.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace pictavo::host {

// One page: the script heap with the page's globals (ActiveXObject, VBArray, console, alert,
// host, setTimeout), the bridge to COM, and how the page ends. Lives on one thread.
class ScriptHost
{
public:
    using Clock = std::chrono::steady_clock;

    ScriptHost(std::FILE* out = stdout, std::FILE* err = stderr);
    // Releases the page's COM objects before the heap goes.
    ~ScriptHost();
    ScriptHost(const ScriptHost&) = delete;
    ScriptHost& operator=(const ScriptHost&) = delete;

    duk_context* context() const { return m_ctx; }
    ValueBridge& bridge() { return *m_bridge; }

    // False when the file cannot be read; an uncaught error finishes the page with code 1.
    bool runFile(const std::string& path);
    void runSource(const std::string& utf8, const std::string& name);

    // The page has called host.exit or failed.
    bool finished() const { return m_finished; }
    int exitCode() const { return m_exitCode; }
    void finish(int code);

    // Timers: the time the next one is due, if any; runs those that are due.
    bool nextTimer(Clock::time_point& due) const;
    void runDueTimers();

    // Keeps the error on top of the stack, unless it is host.exit unwinding, and finishes with 1.
    // It is printed by flushUncaught once the stack has unwound: deep in a recursion there is
    // no room left even to describe it.
    void reportUncaught(duk_context* ctx);
    void flushUncaught();

    static ScriptHost* from(duk_context* ctx);

    void writeLine(std::FILE* stream, const std::string& line);
    std::FILE* out() const { return m_out; }
    std::FILE* err() const { return m_err; }
    int addTimer(Clock::duration delay);
    void removeTimer(int id) { m_timers.erase(id); }

private:
    void installGlobals();

    std::FILE* m_out;
    std::FILE* m_err;
    duk_context* m_ctx = nullptr;
    std::unique_ptr<ValueBridge> m_bridge;
    bool m_finished = false;
    bool m_uncaughtHeld = false;
    int m_exitCode = 0;
    int m_nextTimerId = 1;
    std::map<int, Clock::time_point> m_timers; // callbacks live in the heap stash
};

} // namespace pictavo::host
