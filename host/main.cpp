#include "HostOptions.h"
#include "MessagePump.h"
#include "ModuleRegistration.h"
#include "ScriptHost.h"
#include "Watchdog.h"

#include "platform/com/Apartment.h"
#include "platform/kernel/ThreadQueue.h"
#include "platform/win/Display.h"

#include <cstdio>
#include <memory>

using namespace pictavo::host;

int main(int argc, char** argv)
{
    std::string error;
    auto options = HostOptions::parse(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "pictavo-host: %s\n%s\n", error.c_str(), HostOptions::usage());
        return 2;
    }

    using Clock = std::chrono::steady_clock;
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
    {
        ScriptHost host;
        if (!host.runFile(options->script))
            code = 1;
        else if (host.finished())
            code = host.exitCode();
        else
            code = MessagePump::run(host, deadline);
    }
    pictavo::platform::stopDisplay();
    if (SUCCEEDED(hr))
        CoUninitialize();
    return code;
}
