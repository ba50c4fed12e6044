#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pictavo::host {

// pictavo-host --script FILE.js [--module PATH] [--timeout SECONDS] [--display auto|headless|sdl |
// --headless]
struct HostOptions
{
    std::string script;
    std::string module;
    std::optional<double> timeoutSeconds; // none: wait for host.exit without end
    std::string display = "auto";         // where windows appear: auto, headless or sdl

    // On failure returns nothing and sets error to a one-line reason.
    static std::optional<HostOptions> parse(const std::vector<std::string>& args, std::string& error);
    static const char* usage();
};

} // namespace pictavo::host
