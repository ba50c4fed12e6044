#include "ScenarioDriver.h"

#include "platform/kernel/Synch.h"
#include "platform/win/Automation.h"
#include "platform/win/AutomationNode.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

using namespace pictavo::host;

namespace {

// A form with a box that keeps the characters typed into it and notes Ctrl+A, and a child
// that reports one self-drawn part.
LRESULT formProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        if (!GetParent(hwnd))
            PostQuitMessage(0);
        break;
    case WM_LBUTTONDOWN:
        SetFocus(hwnd);
        return 0;
    case WM_CHAR: {
        std::u16string text = pictavo::platform::Automation::windowText(hwnd);
        text += static_cast<char16_t>(wParam);
        SetWindowTextW(hwnd, text.c_str());
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == 'A' && GetKeyState(VK_CONTROL) < 0)
            SetWindowTextW(hwnd, u"all");
        return 0;
    case WM_PICTAVO_DESCRIBE:
        if (GetParent(hwnd)) {
            auto* node = reinterpret_cast<pictavo::platform::AutomationNode*>(lParam);
            pictavo::platform::AutomationNode part;
            part.className = u"CheckBox";
            part.text = u"全选";
            part.state["checked"] = u"1";
            part.state["value"] = u"50";
            node->children.push_back(part);
            return TRUE;
        }
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

struct Form
{
    std::thread ui;
    std::atomic<HWND> box{nullptr};
    Form()
    {
        ui = std::thread([this] {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = formProc;
            wc.lpszClassName = u"ScenarioForm";
            RegisterClassExW(&wc);
            HWND form = CreateWindowExW(0, u"ScenarioForm", u"场景", WS_POPUP | WS_VISIBLE, 50, 60, 300, 200, nullptr,
                                        nullptr, nullptr, nullptr);
            box = CreateWindowExW(0, u"ScenarioForm", u"", WS_CHILD | WS_VISIBLE, 10, 10, 100, 30, form, nullptr,
                                  nullptr, nullptr);
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        });
        while (!box)
            std::this_thread::yield();
    }
    ~Form()
    {
        PostMessageW(GetParent(box), WM_CLOSE, 0, 0);
        ui.join();
    }
};

struct Outcome
{
    int code;
    std::string out, err;
};

Outcome run(const std::string& scenario, ScenarioHooks hooks = {})
{
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    Outcome r;
    {
        ScenarioDriver driver(std::move(hooks), out, err);
        r.code = driver.runSource(scenario, "scenario.js");
    }
    for (auto [file, text] : {std::make_pair(out, &r.out), std::make_pair(err, &r.err)}) {
        std::rewind(file);
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            text->append(buffer, n);
        std::fclose(file);
    }
    return r;
}

} // namespace

TEST(ScenarioDriver, ReadsWindowsAndElementsAndActsLikeAPerson)
{
    Form form;
    const Outcome r = run(R"JS(
        var form = waitWindow("场景", 5000);
        var w = windows().filter(function (w) { return w.hwnd === form; })[0];
        log(w.title, w.className, w.x, w.y, w.width, w.height, w.visible, w.enabled, w.owner);
        var tree = elements(form);
        var box = tree.children[0];
        log(box.x, box.y, box.width, box.height, box.children[0].className);
        var all = find(form, "全选");
        log(all.checked === true, all.value === 50, find(form, "nothing") === null);
        click(box.x + 5, box.y + 5);
        type("ab图");
        log(elements(box.hwnd).text);
        key("Ctrl+A");
        log(elements(box.hwnd).text);
        waitIdle(1000);
        waitFor(function () { return elements(box.hwnd).text === "all"; }, 1000);
        exit(7);
        log("not reached");
    )JS");
    EXPECT_EQ(r.code, 7) << r.err;
    EXPECT_EQ(r.out, "场景 ScenarioForm 50 60 300 200 true true null\n"
                     "60 70 100 30 CheckBox\n"
                     "true true true\n"
                     "ab图\n"
                     "all\n");
}

TEST(ScenarioDriver, AsksThePageAndItsHooks)
{
    ScenarioHooks hooks;
    hooks.control = [](const std::u16string& id) { return id == u"up" ? reinterpret_cast<HWND>(uintptr_t{4242}) : nullptr; };
    hooks.evaluateOnPage = [](const std::string& expression, std::string& json) {
        if (expression == "up.GetCount()") {
            json = R"({"count":3,"names":["a","图"],"ok":true,"none":null})";
            return true;
        }
        json = "ReferenceError: identifier 'nope' undefined";
        return false;
    };
    hooks.waitIdle = [](DWORD ms) { return ms >= 100; };
    Outcome r = run(R"JS(
        var v = page("up.GetCount()");
        log(control("up"), control("other"), v.count, v.names[1], v.ok, v.none);
        waitIdle(100);
        try { waitIdle(5); } catch (e) { log(e.message); }
        try { page("nope"); } catch (e) { log(e.message); }
    )JS",
                hooks);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "4242 null 3 图 true null\n"
                     "waitIdle: still busy after 5 ms\n"
                     "page: ReferenceError: identifier 'nope' undefined\n");
}

TEST(ScenarioDriver, ErrorsEndTheScenarioWithOne)
{
    Outcome r = run("key('Hyper+Q');");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("unknown key name \"Hyper+Q\""), std::string::npos) << r.err;
    r = run("waitFor(function () { return false; }, 30);");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("waitFor: not true within 30 ms"), std::string::npos) << r.err;
    r = run("waitWindow('no such window', 20);");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("no window \"no such window\""), std::string::npos);
    r = run("click('a', 1);");
    EXPECT_EQ(r.code, 1);
    r = run("drop('not an array', 1, 1);");
    EXPECT_EQ(r.code, 1);
    r = run("syntax error here");
    EXPECT_EQ(r.code, 1);
    r = run("log('done');");
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "done\n");

    pictavo::test::TempDir dir;
    EXPECT_EQ(ScenarioDriver({}, stdout, stderr).runFile((dir.path() / "missing.js").string()), 1);
}
