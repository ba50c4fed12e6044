#pragma once

#include <string>
#include <sys/types.h>

namespace pictavo::test {

// An X server of our own for the length of a test (display :number).
class Xvfb
{
public:
    explicit Xvfb(int number);
    ~Xvfb();
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    // False when Xvfb is not installed or did not start.
    bool ready() const { return ready_; }
    const std::string& name() const { return name_; }
    // Runs a shell command with DISPLAY set to this server; its exit status.
    int run(const std::string& command) const;

private:
    std::string name_;
    pid_t pid_ = 0;
    bool ready_ = false;
};

} // namespace pictavo::test
