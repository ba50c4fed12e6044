#pragma once

// A scenario: a script of its own, on a thread of its own, that uses the screen as a person
// would (look at windows and their elements, move, click, type, drop files) and asks the page
// for values. Its globals are a contract that scenarios are written against.

#include "platform/win/WinUser.h"

#include <cstdio>
#include <functional>
#include <string>

namespace pictavo::host {

struct ScenarioHooks
{
    // The window of the page object with that id; null when there is none.
    std::function<HWND(const std::u16string& id)> control;
    // True once the page's thread is idle, no thumbnail pass runs and no upload is in flight.
    std::function<bool(DWORD timeoutMs)> waitIdle;
    // Evaluates on the page's thread; the value as JSON text, or false with the error's text.
    std::function<bool(const std::string& expression, std::string& json)> evaluateOnPage;
};

class ScenarioDriver
{
public:
    explicit ScenarioDriver(ScenarioHooks hooks, std::FILE* out = stdout, std::FILE* err = stderr);
    ~ScenarioDriver();
    ScenarioDriver(const ScenarioDriver&) = delete;
    ScenarioDriver& operator=(const ScenarioDriver&) = delete;

    // The scenario's exit code: what it passed to exit(), 0 when it ran to its end, 1 after an
    // uncaught error (printed to the error stream) or when the file cannot be read.
    int runFile(const std::string& path);
    int runSource(const std::string& utf8, const std::string& name);

    struct Impl;

private:
    Impl* m_impl;
};

} // namespace pictavo::host
