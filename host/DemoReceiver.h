#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>

namespace pictavo::host {

// The upload server of the built-in demo: pictavo-receiver (beside this program) on a free
// loopback port, storing into a temporary folder that goes with this object (or into the
// folder PICTAVO_DEMO_RECEIVED names, which stays).
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
    const std::filesystem::path& received() const { return m_received; }
    // What the receiver logged after its first line, and the names of the files it stored.
    std::string report() const;

private:
    std::filesystem::path m_folder;
    std::filesystem::path m_received;
    std::string m_url;
    pid_t m_pid = -1;
};

} // namespace pictavo::host
