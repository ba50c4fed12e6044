#include "DemoReceiver.h"
#include "HostOptions.h"
#include "MessagePump.h"
#include "ModuleRegistration.h"
#include "PageWindow.h"
#include "ScenarioDriver.h"
#include "ScriptHost.h"
#include "Watchdog.h"

#include "platform/com/Apartment.h"
#include "platform/kernel/Strings.h"
#include "platform/kernel/ThreadQueue.h"
#include "platform/win/Automation.h"
#include "platform/win/Display.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

using namespace pictavo::host;
using Clock = std::chrono::steady_clock;

namespace {

bool screenshot(const PageWindow& page, const std::string& path)
{
    auto picture = page.window() ? pictavo::platform::Automation::picture(page.window()) : nullptr;
    if (!picture || !pictavo::platform::Automation::savePng(picture, path)) {
        std::fprintf(stderr, "pictavo-host: cannot save a picture of the page to %s\n", path.c_str());
        return false;
    }
    return true;
}

int runPage(const HostOptions& options, std::optional<Clock::time_point> deadline)
{
    ScriptHost script;
    PageWindow page(script);
    std::unique_ptr<DemoReceiver> receiver;
    std::string path = options.page;
    std::string error;
    if (path.empty()) {
        path = PICTAVO_DEMO_PAGE;
        receiver = std::make_unique<DemoReceiver>();
        if (!receiver->start(error)) {
            std::fprintf(stderr, "pictavo-host: %s\n", error.c_str());
            return 1;
        }
        page.presetProperty(u"PostUrl", pictavo::platform::fromUtf8(receiver->url() + "upload"));
        std::printf("demo: the receiver at %supload stores into %s\n", receiver->url().c_str(),
                    receiver->received().c_str());
        std::fflush(stdout);
    }

    const bool driving = !options.drive.empty();
    // Without a scenario the page decides: closing its window ends the host.
    page.onClosed([&script, driving] {
        if (!driving)
            script.finish(0);
    });
    if (!page.openFile(path, error)) {
        std::fprintf(stderr, "pictavo-host: %s\n", error.c_str());
        return 1;
    }
    if (!options.screenshot.empty() && !driving)
        screenshot(page, options.screenshot);

    auto queue = pictavo::platform::ThreadQueue::current();
    std::atomic<bool> scenarioDone{false};
    std::thread scenario;
    if (driving) {
        ScenarioHooks hooks;
        hooks.control = [&page](const std::u16string& id) { return page.controlWindow(id); };
        const HWND pageWindow = page.window();
        hooks.waitIdle = [pageWindow](DWORD ms) { return pictavo::platform::Automation::waitIdle(pageWindow, ms); };
        hooks.evaluateOnPage = [&page, queue](const std::string& expression, std::string& json) {
            bool ok = false;
            json = "the page has closed";
            queue->send([&] {
                if (page.isOpen())
                    ok = page.evaluate(expression, json);
            });
            return ok;
        };
        scenario = std::thread([hooks, &options, &scenarioDone, queue] {
            int code;
            {
                ScenarioDriver driver(hooks);
                code = driver.runFile(options.drive);
            }
            scenarioDone = true;
            queue->postQuit(code);
        });
    }

    int code = script.finished() ? script.exitCode() : MessagePump::run(script, deadline);
    if (driving && !options.screenshot.empty()) {
        if (page.isOpen())
            screenshot(page, options.screenshot);
        else
            std::fprintf(stderr, "pictavo-host: the page window had closed; cannot save a picture of it\n");
    }
    if (driving && !scenarioDone) {
        // The page ended first (host.exit, an error, the time-out) while the scenario still
        // runs on its thread: nothing can stop that thread, so leave without waiting for it.
        page.close();
        receiver.reset();
        std::fflush(nullptr);
        std::_Exit(code);
    }
    if (scenario.joinable())
        scenario.join();
    page.close();
    if (receiver) {
        std::fputs(receiver->report().c_str(), stdout);
        std::fflush(stdout);
    }
    return code;
}

} // namespace

int main(int argc, char** argv)
{
    std::string error;
    auto options = HostOptions::parse(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "pictavo-host: %s\n%s\n", error.c_str(), HostOptions::usage());
        return 2;
    }

    std::optional<Clock::time_point> deadline;
    std::unique_ptr<Watchdog> watchdog;
    if (options->timeoutSeconds) {
        deadline =
            Clock::now() + std::chrono::microseconds(static_cast<long long>(*options->timeoutSeconds * 1e6));
        watchdog = std::make_unique<Watchdog>(*deadline, std::chrono::seconds(1), MessagePump::kTimeoutExit);
    }

    ModuleRegistration registration;
    if (!options->module.empty() && !registration.registerModule(options->module, error)) {
        std::fprintf(stderr, "pictavo-host: %s\n", error.c_str());
        return 1;
    }

    // The page's thread is an apartment-threaded COM thread with a message queue.
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    pictavo::platform::ThreadQueue::current();
    using pictavo::platform::DisplayKind;
    pictavo::platform::startDisplay(options->display == "sdl"        ? DisplayKind::Sdl
                                    : options->display == "headless" ? DisplayKind::Headless
                                                                     : DisplayKind::Automatic);
    int code;
    if (!options->script.empty()) {
        ScriptHost host;
        if (!host.runFile(options->script))
            code = 1;
        else if (host.finished())
            code = host.exitCode();
        else
            code = MessagePump::run(host, deadline);
    } else {
        code = runPage(*options, deadline);
    }
    pictavo::platform::stopDisplay();
    if (SUCCEEDED(hr))
        CoUninitialize();
    return code;
}
