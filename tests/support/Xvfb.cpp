#include "support/Xvfb.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace pictavo::test {

Xvfb::Xvfb(int number) : name_(":" + std::to_string(number))
{
    const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
    std::vector<std::string> args{"Xvfb", name_, "-screen", "0", "1024x768x24", "-nolisten", "tcp"};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    if (!std::filesystem::exists("/usr/bin/Xvfb") ||
        posix_spawn(&pid_, "/usr/bin/Xvfb", nullptr, nullptr, argv.data(), environ) != 0)
        pid_ = 0;
    for (int i = 0; pid_ && i < 100 && !std::filesystem::exists(socket); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ready_ = pid_ && std::filesystem::exists(socket);
}

Xvfb::~Xvfb()
{
    if (pid_) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

int Xvfb::run(const std::string& command) const
{
    return std::system(("DISPLAY=" + name_ + " " + command).c_str());
}

} // namespace pictavo::test
