#include "ScriptHost.h"

#include "ActiveXFactory.h"
#include "ScriptString.h"
#include "VBArray.h"

#include "platform/kernel/Strings.h"
#include "platform/win/Display.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace pictavo::host {

namespace {

const char* const kHost = DUK_HIDDEN_SYMBOL("host");
const char* const kTimers = DUK_HIDDEN_SYMBOL("timers");
const char* const kUncaught = DUK_HIDDEN_SYMBOL("uncaught");

void fatal(void* udata, const char* message)
{
    auto* host = static_cast<ScriptHost*>(udata);
    std::fprintf(host ? host->err() : stderr, "pictavo-host: fatal script engine error: %s\n",
                 message ? message : "unknown");
    std::fflush(nullptr);
    std::abort();
}

// Text of the value on top: "Error: message (file.js:12)". May throw: run under duk_safe_call.
duk_ret_t describe(duk_context* ctx, void*)
{
    duk_idx_t value = duk_get_top_index(ctx);
    duk_dup(ctx, value);
    duk_to_string(ctx, -1);
    // The engine's words for a recursion overflow name its limits, not the cause.
    if (duk_get_error_code(ctx, value) == DUK_ERR_RANGE_ERROR) {
        duk_get_prop_string(ctx, value, "message");
        const char* message = duk_is_string(ctx, -1) ? duk_get_string(ctx, -1) : "";
        if (std::strstr(message, "stack") || std::strstr(message, "recursion")) {
            duk_push_sprintf(ctx, "RangeError: too much recursion (%s)", message);
            duk_replace(ctx, -3);
        }
        duk_pop(ctx);
    }
    if (duk_is_error(ctx, value)) {
        duk_get_prop_string(ctx, value, "lineNumber");
        duk_get_prop_string(ctx, value, "fileName");
        if (duk_is_number(ctx, -2) && duk_is_string(ctx, -1)) {
            duk_push_sprintf(ctx, " (%s:%d)", duk_get_string(ctx, -1), duk_get_int(ctx, -2));
            duk_remove(ctx, -2);
            duk_remove(ctx, -2);
            duk_concat(ctx, 2);
        } else {
            duk_pop_2(ctx);
        }
    }
    return 1;
}

duk_ret_t toStringInPlace(duk_context* ctx, void*)
{
    duk_to_string(ctx, -1);
    return 1;
}

// Converts the arguments to strings; false (error on top) when a conversion throws.
bool stringifyArguments(duk_context* ctx)
{
    duk_idx_t count = duk_get_top(ctx);
    for (duk_idx_t i = 0; i < count; ++i) {
        duk_dup(ctx, i);
        if (duk_safe_call(ctx, toStringInPlace, nullptr, 1, 1) != DUK_EXEC_SUCCESS)
            return false;
        duk_replace(ctx, i);
    }
    return true;
}

std::string joinArguments(duk_context* ctx)
{
    std::u16string text;
    for (duk_idx_t i = 0; i < duk_get_top(ctx); ++i) {
        if (i)
            text += u' ';
        text += ScriptString::get(ctx, i);
    }
    return ScriptString::toUtf8(text);
}

duk_ret_t consoleLog(duk_context* ctx)
{
    if (!stringifyArguments(ctx))
        return duk_throw(ctx);
    ScriptHost* host = ScriptHost::from(ctx);
    host->writeLine(host->out(), joinArguments(ctx));
    return 0;
}

duk_ret_t consoleError(duk_context* ctx)
{
    if (!stringifyArguments(ctx))
        return duk_throw(ctx);
    ScriptHost* host = ScriptHost::from(ctx);
    host->writeLine(host->err(), joinArguments(ctx));
    return 0;
}

duk_ret_t hostExit(duk_context* ctx)
{
    int code = duk_is_undefined(ctx, 0) ? 0 : duk_to_int(ctx, 0);
    ScriptHost::from(ctx)->finish(code);
    ValueBridge::pushStopError(ctx);
    return duk_throw(ctx);
}

duk_ret_t hostGetenv(duk_context* ctx)
{
    const char* value = std::getenv(duk_require_string(ctx, 0));
    if (!value)
        return 0;
    ScriptString::push(ctx, pictavo::platform::fromUtf8(value));
    return 1;
}

duk_ret_t setTimeoutNative(duk_context* ctx)
{
    if (!duk_is_callable(ctx, 0)) {
        duk_error_raw(ctx, DUK_ERR_TYPE_ERROR, nullptr, 0, "setTimeout: not a function");
        return 0;
    }
    double ms = duk_is_undefined(ctx, 1) ? 0 : duk_to_number(ctx, 1);
    if (!(ms > 0))
        ms = 0;
    ms = std::min(ms, 24.0 * 3600 * 1000 * 365);
    ScriptHost* host = ScriptHost::from(ctx);
    int id = host->addTimer(std::chrono::microseconds(static_cast<long long>(ms * 1000)));
    duk_push_global_stash(ctx);
    duk_get_prop_string(ctx, -1, kTimers);
    duk_dup(ctx, 0);
    duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(id));
    duk_push_int(ctx, id);
    return 1;
}

duk_ret_t clearTimeoutNative(duk_context* ctx)
{
    int id = duk_to_int(ctx, 0);
    if (id <= 0)
        return 0;
    ScriptHost::from(ctx)->removeTimer(id);
    duk_push_global_stash(ctx);
    duk_get_prop_string(ctx, -1, kTimers);
    duk_del_prop_index(ctx, -1, static_cast<duk_uarridx_t>(id));
    return 0;
}

} // namespace

ScriptHost::ScriptHost(std::FILE* out, std::FILE* err) : m_out(out), m_err(err)
{
    m_ctx = duk_create_heap(nullptr, nullptr, nullptr, this, fatal);
    if (!m_ctx)
        fatal(this, "cannot create the script heap");
    duk_push_global_stash(m_ctx);
    duk_push_pointer(m_ctx, this);
    duk_put_prop_string(m_ctx, -2, kHost);
    duk_push_object(m_ctx);
    duk_put_prop_string(m_ctx, -2, kTimers);
    duk_pop(m_ctx);
    m_bridge = std::make_unique<ValueBridge>(m_ctx);
    m_bridge->onCallbackError = [this](duk_context* ctx) { reportUncaught(ctx); };
    installGlobals();
}

ScriptHost::~ScriptHost()
{
    flushUncaught();
    m_bridge.reset();
    duk_destroy_heap(m_ctx);
}

ScriptHost* ScriptHost::from(duk_context* ctx)
{
    duk_push_global_stash(ctx);
    duk_get_prop_string(ctx, -1, kHost);
    auto* host = static_cast<ScriptHost*>(duk_get_pointer(ctx, -1));
    duk_pop_2(ctx);
    return host;
}

void ScriptHost::installGlobals()
{
    duk_context* ctx = m_ctx;
    duk_push_global_object(ctx);

    duk_push_object(ctx);
    duk_push_c_function(ctx, consoleLog, DUK_VARARGS);
    duk_put_prop_string(ctx, -2, "log");
    duk_push_c_function(ctx, consoleLog, DUK_VARARGS);
    duk_put_prop_string(ctx, -2, "info");
    duk_push_c_function(ctx, consoleError, DUK_VARARGS);
    duk_put_prop_string(ctx, -2, "error");
    duk_push_c_function(ctx, consoleError, DUK_VARARGS);
    duk_put_prop_string(ctx, -2, "warn");
    duk_put_prop_string(ctx, -2, "console");

    duk_push_c_function(ctx, consoleLog, 1);
    duk_put_prop_string(ctx, -2, "alert");

    duk_push_object(ctx);
    duk_push_c_function(ctx, hostExit, 1);
    duk_put_prop_string(ctx, -2, "exit");
    duk_push_c_function(ctx, hostGetenv, 1);
    duk_put_prop_string(ctx, -2, "getenv");
    duk_push_string(
        ctx, pictavo::platform::currentDisplay() == pictavo::platform::DisplayKind::Sdl ? "sdl" : "headless");
    duk_put_prop_string(ctx, -2, "display");
    duk_put_prop_string(ctx, -2, "host");

    duk_push_c_function(ctx, setTimeoutNative, 2);
    duk_put_prop_string(ctx, -2, "setTimeout");
    duk_push_c_function(ctx, clearTimeoutNative, 1);
    duk_put_prop_string(ctx, -2, "clearTimeout");

    // Pages refer to the global object as window.
    duk_dup(ctx, -1);
    duk_put_prop_string(ctx, -2, "window");
    duk_pop(ctx);

    VBArray::install(ctx);
    ActiveXFactory::install(ctx);
}

void ScriptHost::writeLine(std::FILE* stream, const std::string& line)
{
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

void ScriptHost::finish(int code)
{
    if (m_finished)
        return;
    m_finished = true;
    m_exitCode = code;
    m_bridge->stop();
}

bool ScriptHost::runFile(const std::string& path)
{
    // A folder opens as a stream that reads as empty: the page would wait for ever.
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        writeLine(m_err, "pictavo-host: cannot read " + path + ": it is a folder");
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        writeLine(m_err, "pictavo-host: cannot read " + path);
        return false;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) {
        writeLine(m_err, "pictavo-host: cannot read " + path);
        return false;
    }
    runSource(bytes.str(), path);
    return true;
}

void ScriptHost::runSource(const std::string& utf8, const std::string& name)
{
    // Duktape wants CESU-8: a non-BMP character as two surrogates, so String.length is right.
    std::string source = ScriptString::fromUtf16(pictavo::platform::fromUtf8(utf8));
    duk_push_string(m_ctx, name.c_str());
    if (duk_pcompile_lstring_filename(m_ctx, 0, source.data(), source.size()) != 0 ||
        duk_pcall(m_ctx, 0) != DUK_EXEC_SUCCESS)
        reportUncaught(m_ctx);
    duk_pop(m_ctx);
    flushUncaught();
}

void ScriptHost::reportUncaught(duk_context* ctx)
{
    if (ValueBridge::isStopError(ctx, -1))
        return;
    if (!m_finished) {
        duk_push_global_stash(ctx);
        duk_dup(ctx, -2);
        duk_put_prop_string(ctx, -2, kUncaught);
        duk_pop(ctx);
        m_uncaughtHeld = true;
    }
    finish(1);
}

void ScriptHost::flushUncaught()
{
    if (!m_uncaughtHeld)
        return;
    m_uncaughtHeld = false;
    duk_push_global_stash(m_ctx);
    duk_get_prop_string(m_ctx, -1, kUncaught);
    duk_del_prop_string(m_ctx, -2, kUncaught);
    if (duk_safe_call(m_ctx, describe, nullptr, 1, 1) != DUK_EXEC_SUCCESS)
        duk_safe_to_string(m_ctx, -1);
    duk_size_t len = 0;
    const char* text = duk_get_lstring(m_ctx, -1, &len);
    writeLine(m_err, "Uncaught " + ScriptString::toUtf8(
                                       ScriptString::toUtf16(std::string_view(text ? text : "", len))));
    duk_pop_2(m_ctx);
}

int ScriptHost::addTimer(Clock::duration delay)
{
    int id = m_nextTimerId++;
    m_timers.emplace(id, Clock::now() + delay);
    return id;
}

bool ScriptHost::nextTimer(Clock::time_point& due) const
{
    if (m_timers.empty())
        return false;
    due = Clock::time_point::max();
    for (const auto& [id, when] : m_timers)
        due = std::min(due, when);
    return true;
}

void ScriptHost::runDueTimers()
{
    auto now = Clock::now();
    std::vector<std::pair<Clock::time_point, int>> due;
    for (const auto& [id, when] : m_timers)
        if (when <= now)
            due.emplace_back(when, id);
    std::sort(due.begin(), due.end());
    for (const auto& [when, id] : due) {
        if (m_finished)
            return;
        m_timers.erase(id);
        duk_push_global_stash(m_ctx);
        duk_get_prop_string(m_ctx, -1, kTimers);
        duk_get_prop_index(m_ctx, -1, static_cast<duk_uarridx_t>(id));
        duk_del_prop_index(m_ctx, -2, static_cast<duk_uarridx_t>(id));
        if (duk_is_callable(m_ctx, -1) && duk_pcall(m_ctx, 0) != DUK_EXEC_SUCCESS)
            reportUncaught(m_ctx);
        duk_pop_3(m_ctx);
        flushUncaught();
    }
}

} // namespace pictavo::host
