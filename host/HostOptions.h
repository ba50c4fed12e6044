#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pictavo::host {

// pictavo-host [--display auto|headless|sdl] [--headless] [--module PATH] [--timeout S]
//              [PAGE.html] [--drive SCENARIO.js] [--screenshot FILE.png]
// pictavo-host --script FILE.js [--module PATH] [--timeout S] [--display ...]
struct HostOptions
{
    std::string script;     // console mode
    std::string page;       // windowed mode; empty with no --script: the built-in demo page
    std::string drive;      // scenario run beside the page
    std::string screenshot; // PNG of the page window
    std::string module;
    std::optional<double> timeoutSeconds; // none: wait for host.exit without end
    std::string display = "auto";         // where windows appear: auto, headless or sdl

    // On failure returns nothing and sets error to a one-line reason.
    static std::optional<HostOptions> parse(const std::vector<std::string>& args, std::string& error);
    static const char* usage();
};

} // namespace pictavo::host
