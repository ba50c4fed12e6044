#include "HostOptions.h"

#include <cmath>
#include <cstdlib>

namespace pictavo::host {

const char* HostOptions::usage()
{
    return "usage: pictavo-host [--display auto|headless|sdl] [--headless] [--module PATH] [--timeout S] "
           "[PAGE.html] [--drive SCENARIO.js] [--screenshot FILE.png]\n"
           "       pictavo-host --script FILE.js [--module PATH] [--timeout S] [--display auto|headless|sdl] "
           "[--headless]";
}

std::optional<HostOptions> HostOptions::parse(const std::vector<std::string>& args, std::string& error)
{
    HostOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string value;
        std::string name = arg;
        if (auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        } else if (arg == "--script" || arg == "--module" || arg == "--timeout" || arg == "--display" ||
                   arg == "--drive" || arg == "--screenshot") {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return std::nullopt;
            }
            value = args[++i];
        }
        if ((name == "--script" || name == "--module" || name == "--drive" || name == "--screenshot") &&
            value.empty()) {
            error = name + " needs a value";
            return std::nullopt;
        }
        if (name == "--script") {
            options.script = value;
        } else if (name == "--display") {
            if (value != "auto" && value != "headless" && value != "sdl") {
                error = "--display wants auto, headless or sdl, not \"" + value + "\"";
                return std::nullopt;
            }
            options.display = value;
        } else if (arg == "--headless") {
            options.display = "headless";
        } else if (name == "--drive") {
            options.drive = value;
        } else if (name == "--screenshot") {
            options.screenshot = value;
        } else if (arg.rfind("--", 0) != 0 && !arg.empty()) {
            if (!options.page.empty()) {
                error = "one page at a time: \"" + options.page + "\" and \"" + arg + "\"";
                return std::nullopt;
            }
            options.page = arg;
        } else if (name == "--module") {
            options.module = value;
        } else if (name == "--timeout") {
            char* end = nullptr;
            double seconds = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !std::isfinite(seconds) || seconds <= 0 || seconds > 1e7) {
                error = "--timeout wants a positive number of seconds, not \"" + value + "\"";
                return std::nullopt;
            }
            options.timeoutSeconds = seconds;
        } else {
            error = "unknown argument \"" + arg + "\"";
            return std::nullopt;
        }
    }
    if (!options.script.empty() && (!options.page.empty() || !options.drive.empty() || !options.screenshot.empty())) {
        error = "--script runs without a page window: no PAGE, --drive or --screenshot with it";
        return std::nullopt;
    }
    return options;
}

} // namespace pictavo::host
