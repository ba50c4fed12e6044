#include "ScenarioDriver.h"

#include "ScriptString.h"

#include "platform/kernel/Strings.h"
#include "platform/kernel/Tick.h"
#include "platform/win/Automation.h"

#include <duktape.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <vector>

namespace pictavo::host {

using pictavo::platform::Automation;
using pictavo::platform::AutomationNode;

struct ScenarioDriver::Impl
{
    ScenarioHooks hooks;
    std::FILE* out;
    std::FILE* err;
    duk_context* ctx = nullptr;
    bool exited = false;
    int exitCode = 0;
};

namespace {

const char kImpl[] = "\xff" "scenario";
const char kExitMarker[] = "\xff" "exit";

ScenarioDriver::Impl& impl(duk_context* ctx)
{
    duk_push_global_stash(ctx);
    duk_get_prop_string(ctx, -1, kImpl);
    auto* p = static_cast<ScenarioDriver::Impl*>(duk_get_pointer(ctx, -1));
    duk_pop_2(ctx);
    return *p;
}

HWND toHwnd(duk_context* ctx, duk_idx_t idx)
{
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(duk_require_number(ctx, idx)));
}

void pushHwnd(duk_context* ctx, HWND hwnd)
{
    if (hwnd)
        duk_push_number(ctx, static_cast<double>(reinterpret_cast<uintptr_t>(hwnd)));
    else
        duk_push_null(ctx);
}

int intArg(duk_context* ctx, duk_idx_t idx)
{
    const double v = duk_require_number(ctx, idx);
    if (!std::isfinite(v) || v < -1e7 || v > 1e7)
        duk_error(ctx, DUK_ERR_RANGE_ERROR, "coordinate out of range");
    return static_cast<int>(std::lround(v));
}

DWORD msArg(duk_context* ctx, duk_idx_t idx, DWORD fallback)
{
    if (duk_is_undefined(ctx, idx))
        return fallback;
    const double v = duk_require_number(ctx, idx);
    return v < 0 || !std::isfinite(v) ? 0 : v > 3.6e6 ? 3600000u : static_cast<DWORD>(v);
}

// The window the input lands on has handled it (and what it posted) before the scenario goes
// on, so a scenario reads the state its input made.
void settle(HWND target)
{
    if (!target)
        return;
    HWND top = GetAncestor(target, GA_ROOT);
    Automation::waitIdle(top ? top : target, 5000);
}

void settleAt(int x, int y)
{
    settle(WindowFromPoint(POINT{x, y}));
}

std::vector<HWND> topLevels()
{
    std::vector<HWND> list;
    HWND any = FindWindowW(nullptr, nullptr);
    for (HWND w = any ? GetWindow(any, GW_HWNDFIRST) : nullptr; w; w = GetWindow(w, GW_HWNDNEXT))
        list.push_back(w);
    return list;
}

std::u16string className(HWND hwnd)
{
    WCHAR name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}

// Facts that are yes or no; other numeric facts stay numbers, the rest text.
const std::set<std::string> kBooleanFacts{"checked", "loaded", "uploaded", "expanded", "hover", "pressed", "open",
                                          "hasChildren", "readOnly", "password", "hot", "focused"};

void pushNode(duk_context* ctx, const AutomationNode& node)
{
    duk_idx_t obj = duk_push_object(ctx);
    ScriptString::push(ctx, node.className);
    duk_put_prop_string(ctx, obj, "className");
    ScriptString::push(ctx, node.text);
    duk_put_prop_string(ctx, obj, "text");
    if (node.hwnd) {
        pushHwnd(ctx, node.hwnd);
        duk_put_prop_string(ctx, obj, "hwnd");
    }
    duk_push_int(ctx, node.bounds.left);
    duk_put_prop_string(ctx, obj, "x");
    duk_push_int(ctx, node.bounds.top);
    duk_put_prop_string(ctx, obj, "y");
    duk_push_int(ctx, node.bounds.right - node.bounds.left);
    duk_put_prop_string(ctx, obj, "width");
    duk_push_int(ctx, node.bounds.bottom - node.bounds.top);
    duk_put_prop_string(ctx, obj, "height");
    duk_push_boolean(ctx, node.visible);
    duk_put_prop_string(ctx, obj, "visible");
    duk_push_boolean(ctx, node.disabled);
    duk_put_prop_string(ctx, obj, "disabled");
    if (node.focused) {
        duk_push_true(ctx);
        duk_put_prop_string(ctx, obj, "focused");
    }
    for (const auto& [key, value] : node.state) {
        const std::string text = ScriptString::toUtf8(value);
        char* end = nullptr;
        const double number = text.empty() ? 0 : std::strtod(text.c_str(), &end);
        if (kBooleanFacts.count(key))
            duk_push_boolean(ctx, !text.empty() && text != "0" && text != "false");
        else if (!text.empty() && end && *end == 0)
            duk_push_number(ctx, number);
        else
            ScriptString::push(ctx, value);
        duk_put_prop_string(ctx, obj, key.c_str());
    }
    duk_idx_t children = duk_push_array(ctx);
    duk_uarridx_t i = 0;
    for (const auto& child : node.children) {
        pushNode(ctx, child);
        duk_put_prop_index(ctx, children, i++);
    }
    duk_put_prop_string(ctx, obj, "children");
}

const AutomationNode* findText(const AutomationNode& node, const std::u16string& text)
{
    if (node.text == text)
        return &node;
    for (const auto& child : node.children)
        if (const AutomationNode* found = findText(child, text))
            return found;
    return nullptr;
}

// "Enter", "F2", "Ctrl+A", "Shift+Down": modifiers, then one key.
bool parseKey(const std::string& name, std::vector<UINT>& modifiers, UINT& vk)
{
    static const std::map<std::string, UINT> keys{
        {"enter", 0x0D},    {"return", 0x0D},  {"escape", 0x1B}, {"esc", 0x1B},     {"tab", 0x09},
        {"backspace", 0x08}, {"delete", 0x2E}, {"del", 0x2E},    {"insert", 0x2D},  {"space", 0x20},
        {"left", 0x25},     {"up", 0x26},      {"right", 0x27},  {"down", 0x28},    {"home", 0x24},
        {"end", 0x23},      {"pageup", 0x21},  {"pagedown", 0x22}, {"plus", 0x6B},  {"minus", 0x6D},
        {"multiply", 0x6A}, {"add", 0x6B},     {"subtract", 0x6D}};
    std::string rest = name;
    for (;;) {
        const size_t plus = rest.find('+');
        if (plus == std::string::npos || plus + 1 == rest.size())
            break;
        std::string mod = rest.substr(0, plus);
        for (auto& c : mod)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (mod == "ctrl" || mod == "control")
            modifiers.push_back(0x11);
        else if (mod == "shift")
            modifiers.push_back(0x10);
        else if (mod == "alt")
            modifiers.push_back(0x12);
        else
            return false;
        rest = rest.substr(plus + 1);
    }
    std::string lower = rest;
    for (auto& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (auto it = keys.find(lower); it != keys.end()) {
        vk = it->second;
        return true;
    }
    if (rest.size() == 1 && std::isalnum(static_cast<unsigned char>(rest[0]))) {
        vk = static_cast<UINT>(std::toupper(static_cast<unsigned char>(rest[0])));
        return true;
    }
    if (lower.size() >= 2 && lower[0] == 'f') {
        const int n = std::atoi(lower.c_str() + 1);
        if (n >= 1 && n <= 12 && lower.find_first_not_of("0123456789", 1) == std::string::npos) {
            vk = static_cast<UINT>(0x70 + n - 1);
            return true;
        }
    }
    return false;
}

std::u16string stringArg(duk_context* ctx, duk_idx_t idx)
{
    duk_require_string(ctx, idx);
    return ScriptString::get(ctx, idx);
}

duk_ret_t jsWindows(duk_context* ctx)
{
    duk_idx_t arr = duk_push_array(ctx);
    duk_uarridx_t i = 0;
    for (HWND w : topLevels()) {
        RECT r{};
        GetWindowRect(w, &r);
        duk_idx_t obj = duk_push_object(ctx);
        pushHwnd(ctx, w);
        duk_put_prop_string(ctx, obj, "hwnd");
        ScriptString::push(ctx, Automation::windowText(w));
        duk_put_prop_string(ctx, obj, "title");
        ScriptString::push(ctx, className(w));
        duk_put_prop_string(ctx, obj, "className");
        duk_push_int(ctx, r.left);
        duk_put_prop_string(ctx, obj, "x");
        duk_push_int(ctx, r.top);
        duk_put_prop_string(ctx, obj, "y");
        duk_push_int(ctx, r.right - r.left);
        duk_put_prop_string(ctx, obj, "width");
        duk_push_int(ctx, r.bottom - r.top);
        duk_put_prop_string(ctx, obj, "height");
        duk_push_boolean(ctx, IsWindowVisible(w));
        duk_put_prop_string(ctx, obj, "visible");
        duk_push_boolean(ctx, IsWindowEnabled(w));
        duk_put_prop_string(ctx, obj, "enabled");
        pushHwnd(ctx, GetWindow(w, GW_OWNER));
        duk_put_prop_string(ctx, obj, "owner");
        duk_put_prop_index(ctx, arr, i++);
    }
    return 1;
}

duk_ret_t jsWaitWindow(duk_context* ctx)
{
    const DWORD ms = msArg(ctx, 1, 5000);
    // Script errors unwind past C++ frames: the strings must be gone before anything throws.
    {
        const std::u16string text = stringArg(ctx, 0);
        const DWORD start = GetTickCount();
        for (;;) {
            for (HWND w : topLevels())
                if (IsWindowVisible(w) && (Automation::windowText(w) == text || className(w) == text)) {
                    settle(w);
                    pushHwnd(ctx, w);
                    return 1;
                }
            if (GetTickCount() - start >= ms)
                break;
            Sleep(10);
        }
        duk_push_sprintf(ctx, "waitWindow: no window \"%s\" within %u ms", ScriptString::toUtf8(text).c_str(),
                         static_cast<unsigned>(ms));
    }
    return duk_generic_error(ctx, "%s", duk_get_string(ctx, -1));
}

duk_ret_t jsControl(duk_context* ctx)
{
    auto& self = impl(ctx);
    pushHwnd(ctx, self.hooks.control ? self.hooks.control(stringArg(ctx, 0)) : nullptr);
    return 1;
}

duk_ret_t jsElements(duk_context* ctx)
{
    pushNode(ctx, Automation::describe(toHwnd(ctx, 0)));
    return 1;
}

duk_ret_t jsFind(duk_context* ctx)
{
    const AutomationNode tree = Automation::describe(toHwnd(ctx, 0));
    const AutomationNode* found = findText(tree, stringArg(ctx, 1));
    if (found)
        pushNode(ctx, *found);
    else
        duk_push_null(ctx);
    return 1;
}

duk_ret_t jsMove(duk_context* ctx)
{
    const int x = intArg(ctx, 0), y = intArg(ctx, 1);
    Automation::moveMouse(x, y);
    settleAt(x, y);
    return 0;
}

int buttonArg(duk_context* ctx, duk_idx_t idx)
{
    if (duk_is_undefined(ctx, idx))
        return VK_LBUTTON;
    const std::string name = duk_require_string(ctx, idx);
    if (name == "left")
        return VK_LBUTTON;
    if (name == "right")
        return VK_RBUTTON;
    return duk_error(ctx, DUK_ERR_TYPE_ERROR, "click: button must be \"left\" or \"right\"");
}

duk_ret_t jsClick(duk_context* ctx)
{
    const int x = intArg(ctx, 0), y = intArg(ctx, 1);
    const int button = buttonArg(ctx, 2);
    HWND before = WindowFromPoint(POINT{x, y});
    Automation::click(x, y, button);
    settle(before);
    settleAt(x, y);
    return 0;
}

duk_ret_t jsDoubleClick(duk_context* ctx)
{
    const int x = intArg(ctx, 0), y = intArg(ctx, 1);
    Automation::doubleClick(x, y);
    settleAt(x, y);
    return 0;
}

duk_ret_t jsPress(duk_context* ctx)
{
    const int x = intArg(ctx, 0), y = intArg(ctx, 1);
    Automation::moveMouse(x, y);
    Automation::press();
    settleAt(x, y);
    return 0;
}

duk_ret_t jsRelease(duk_context* ctx)
{
    const int x = intArg(ctx, 0), y = intArg(ctx, 1);
    HWND before = WindowFromPoint(POINT{x, y});
    Automation::moveMouse(x, y);
    Automation::release();
    settle(before);
    return 0;
}

duk_ret_t jsDrag(duk_context* ctx)
{
    const int x1 = intArg(ctx, 0), y1 = intArg(ctx, 1), x2 = intArg(ctx, 2), y2 = intArg(ctx, 3);
    HWND source = WindowFromPoint(POINT{x1, y1});
    Automation::moveMouse(x1, y1);
    Automation::press();
    settle(source);
    // Several steps, as a hand moves: drag thresholds and hover changes see each one.
    const int steps = 8;
    for (int i = 1; i <= steps; ++i) {
        Automation::moveMouse(x1 + (x2 - x1) * i / steps, y1 + (y2 - y1) * i / steps);
        settle(source);
    }
    Automation::release();
    settle(source);
    settleAt(x2, y2);
    return 0;
}

duk_ret_t jsWheel(duk_context* ctx)
{
    const int x = intArg(ctx, 0), y = intArg(ctx, 1), delta = intArg(ctx, 2);
    Automation::moveMouse(x, y);
    Automation::wheel(delta);
    settleAt(x, y);
    return 0;
}

duk_ret_t jsKey(duk_context* ctx)
{
    const char* name = duk_require_string(ctx, 0);
    std::vector<UINT> modifiers;
    UINT vk = 0;
    if (!parseKey(name, modifiers, vk)) {
        modifiers = std::vector<UINT>(); // the error unwinds past this frame without destructors
        return duk_error(ctx, DUK_ERR_RANGE_ERROR, "key: unknown key name \"%s\"", name);
    }
    for (UINT m : modifiers)
        Automation::keyDown(m);
    Automation::pressKey(vk);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it)
        Automation::keyUp(*it);
    settle(GetFocus());
    return 0;
}

duk_ret_t jsType(duk_context* ctx)
{
    Automation::typeText(stringArg(ctx, 0));
    settle(GetFocus());
    return 0;
}

duk_ret_t jsDrop(duk_context* ctx)
{
    if (!duk_is_array(ctx, 0))
        return duk_error(ctx, DUK_ERR_TYPE_ERROR, "drop: the first argument is an array of paths");
    std::vector<std::u16string> paths;
    const duk_size_t n = duk_get_length(ctx, 0);
    for (duk_uarridx_t i = 0; i < n; ++i) {
        duk_get_prop_index(ctx, 0, i);
        paths.push_back(stringArg(ctx, -1));
        duk_pop(ctx);
    }
    const int x = intArg(ctx, 1), y = intArg(ctx, 2);
    Automation::dropFiles(POINT{x, y}, std::move(paths));
    settleAt(x, y);
    return 0;
}

duk_ret_t jsWaitIdle(duk_context* ctx)
{
    auto& self = impl(ctx);
    const DWORD ms = msArg(ctx, 0, 10000);
    bool idle = true;
    if (self.hooks.waitIdle) {
        idle = self.hooks.waitIdle(ms);
    } else {
        for (HWND w : topLevels())
            idle = Automation::waitIdle(w, ms) && idle;
    }
    if (!idle)
        return duk_error(ctx, DUK_ERR_ERROR, "waitIdle: still busy after %u ms", static_cast<unsigned>(ms));
    return 0;
}

duk_ret_t jsPage(duk_context* ctx)
{
    auto& self = impl(ctx);
    const char* expression = duk_require_string(ctx, 0);
    if (!self.hooks.evaluateOnPage)
        return duk_error(ctx, DUK_ERR_ERROR, "page: there is no page");
    // Script errors unwind past C++ frames: the strings must be gone before anything throws.
    bool ok;
    {
        std::string json;
        ok = self.hooks.evaluateOnPage(expression, json);
        if (ok && json.empty())
            duk_push_undefined(ctx);
        else if (ok)
            duk_push_lstring(ctx, json.data(), json.size());
        else
            duk_push_sprintf(ctx, "page: %s", json.c_str());
    }
    if (!ok)
        return duk_generic_error(ctx, "%s", duk_get_string(ctx, -1));
    if (!duk_is_undefined(ctx, -1))
        duk_json_decode(ctx, -1);
    return 1;
}

duk_ret_t jsWaitFor(duk_context* ctx)
{
    duk_require_function(ctx, 0);
    const DWORD ms = msArg(ctx, 1, 5000);
    const DWORD start = GetTickCount();
    for (;;) {
        duk_dup(ctx, 0);
        duk_call(ctx, 0);
        const bool done = duk_to_boolean(ctx, -1);
        if (done)
            return 1;
        duk_pop(ctx);
        if (GetTickCount() - start >= ms)
            break;
        Sleep(10);
    }
    return duk_error(ctx, DUK_ERR_ERROR, "waitFor: not true within %u ms", static_cast<unsigned>(ms));
}

duk_ret_t jsSleep(duk_context* ctx)
{
    Sleep(msArg(ctx, 0, 0));
    return 0;
}

duk_ret_t jsScreenshot(duk_context* ctx)
{
    const char* path = duk_require_string(ctx, 0);
    bool saved;
    {
        auto picture = duk_is_undefined(ctx, 1) ? Automation::screen() : Automation::picture(toHwnd(ctx, 1));
        saved = picture && Automation::savePng(picture, path);
    }
    if (!saved)
        return duk_error(ctx, DUK_ERR_ERROR, "screenshot: cannot write %s", path);
    return 0;
}

duk_ret_t jsLog(duk_context* ctx)
{
    auto& self = impl(ctx);
    std::string line;
    for (duk_idx_t i = 0; i < duk_get_top(ctx); ++i) {
        if (i)
            line += ' ';
        duk_dup(ctx, i);
        line += ScriptString::toUtf8(ScriptString::toUtf16(duk_safe_to_string(ctx, -1)));
        duk_pop(ctx);
    }
    std::fprintf(self.out, "%s\n", line.c_str());
    std::fflush(self.out);
    return 0;
}

duk_ret_t jsExit(duk_context* ctx)
{
    auto& self = impl(ctx);
    self.exited = true;
    self.exitCode = duk_is_undefined(ctx, 0) ? 0 : duk_to_int(ctx, 0);
    // Unwinds to the top; a scenario that catches it runs on, but the code it gave stands.
    duk_push_string(ctx, kExitMarker);
    return duk_throw(ctx);
}

void fatal(void* udata, const char* message)
{
    auto* self = static_cast<ScenarioDriver::Impl*>(udata);
    std::fprintf(self ? self->err : stderr, "pictavo-host: fatal scenario engine error: %s\n", message ? message : "");
    std::abort();
}

duk_ret_t describeError(duk_context* ctx, void*)
{
    duk_idx_t value = duk_get_top_index(ctx);
    if (duk_is_error(ctx, value)) {
        duk_get_prop_string(ctx, value, "stack");
        if (duk_is_string(ctx, -1))
            return 1;
        duk_pop(ctx);
    }
    duk_dup(ctx, value);
    duk_to_string(ctx, -1);
    return 1;
}

} // namespace

ScenarioDriver::ScenarioDriver(ScenarioHooks hooks, std::FILE* out, std::FILE* err) : m_impl(new Impl)
{
    m_impl->hooks = std::move(hooks);
    m_impl->out = out;
    m_impl->err = err;
    m_impl->ctx = duk_create_heap(nullptr, nullptr, nullptr, m_impl, fatal);
    duk_context* ctx = m_impl->ctx;
    duk_push_global_stash(ctx);
    duk_push_pointer(ctx, m_impl);
    duk_put_prop_string(ctx, -2, kImpl);
    duk_pop(ctx);
    struct Entry
    {
        const char* name;
        duk_c_function fn;
        duk_idx_t args;
    };
    static const Entry entries[] = {
        {"windows", jsWindows, 0},      {"waitWindow", jsWaitWindow, 2}, {"control", jsControl, 1},
        {"elements", jsElements, 1},    {"find", jsFind, 2},             {"move", jsMove, 2},
        {"click", jsClick, 3},          {"doubleClick", jsDoubleClick, 2}, {"press", jsPress, 2},
        {"release", jsRelease, 2},      {"drag", jsDrag, 4},             {"wheel", jsWheel, 3},
        {"key", jsKey, 1},              {"type", jsType, 1},             {"drop", jsDrop, 3},
        {"waitIdle", jsWaitIdle, 1},    {"page", jsPage, 1},             {"waitFor", jsWaitFor, 2},
        {"sleep", jsSleep, 1},          {"screenshot", jsScreenshot, 2}, {"log", jsLog, DUK_VARARGS},
        {"exit", jsExit, 1},
    };
    duk_push_global_object(ctx);
    for (const Entry& e : entries) {
        duk_push_c_function(ctx, e.fn, e.args);
        duk_put_prop_string(ctx, -2, e.name);
    }
    duk_pop(ctx);
}

ScenarioDriver::~ScenarioDriver()
{
    duk_destroy_heap(m_impl->ctx);
    delete m_impl;
}

int ScenarioDriver::runFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (!in || !(text << in.rdbuf())) {
        std::fprintf(m_impl->err, "pictavo-host: cannot read the scenario %s\n", path.c_str());
        return 1;
    }
    return runSource(text.str(), path);
}

int ScenarioDriver::runSource(const std::string& utf8, const std::string& name)
{
    duk_context* ctx = m_impl->ctx;
    const std::string source = ScriptString::fromUtf16(pictavo::platform::fromUtf8(utf8));
    duk_push_lstring(ctx, source.data(), source.size());
    duk_push_string(ctx, name.c_str());
    int code = 0;
    if (duk_pcompile(ctx, 0) != 0 || duk_pcall(ctx, 0) != DUK_EXEC_SUCCESS) {
        if (m_impl->exited) {
            code = m_impl->exitCode;
        } else {
            duk_safe_call(ctx, describeError, nullptr, 1, 1);
            std::fprintf(m_impl->err, "pictavo-host: scenario error: %s\n",
                         ScriptString::toUtf8(ScriptString::toUtf16(duk_safe_to_string(ctx, -1))).c_str());
            code = 1;
        }
    } else if (m_impl->exited) {
        code = m_impl->exitCode;
    }
    duk_pop(ctx);
    return code;
}

} // namespace pictavo::host
