#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>

namespace pictavo::host {

// The upload server of the built-in demo: pictavo-receiver (beside this program) on a free
// loopback port, storing into a temporary folder that goes with this object.
class DemoReceiver
{
public:
    DemoReceiver() = default;
    ~DemoReceiver();
    DemoReceiver(const DemoReceiver&) = delete;
    DemoReceiver& operator=(const DemoReceiver&) = delete;

    bool start(std::string& error);
    // "http://127.0.0.1:PORT/"
    const std::string& url() const { return m_url; }
    const std::filesystem::path& folder() const { return m_folder; }
    // What the receiver logged after its first line, and the names of the files it stored.
    std::string report() const;

private:
    std::filesystem::path m_folder;
    std::string m_url;
    pid_t m_pid = -1;
};

} // namespace pictavo::host
