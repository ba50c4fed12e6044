#include "DemoReceiver.h"

#include <chrono>
#include <climits>
#include <cstdlib>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace pictavo::host {

namespace {

std::filesystem::path programFolder()
{
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    path[n] = 0;
    return std::filesystem::path(path).parent_path();
}

} // namespace

bool DemoReceiver::start(std::string& error)
{
    const std::filesystem::path program = programFolder() / "pictavo-receiver";
    if (access(program.c_str(), X_OK) != 0) {
        error = "the demo needs " + program.string() + " (build the pictavo-receiver target)";
        return false;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "pictavo-demo-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        error = "cannot make a temporary folder";
        return false;
    }
    m_folder = pattern;
    // A folder named by PICTAVO_DEMO_RECEIVED keeps what was stored after the demo ends.
    const char* keep = std::getenv("PICTAVO_DEMO_RECEIVED");
    m_received = keep && *keep ? std::filesystem::path(keep) : m_folder / "received";
    std::error_code ec;
    std::filesystem::create_directories(m_received, ec);
    const std::string log = (m_folder / "receiver.log").string();
    const std::string received = m_received.string();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::string programText = program.string();
    char* argv[] = {programText.data(), const_cast<char*>("--port"), const_cast<char*>("0"),
                    const_cast<char*>("--dir"), const_cast<char*>(received.c_str()), nullptr};
    const int failed = posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) {
        m_pid = -1;
        error = "cannot start " + program.string();
        return false;
    }
    const std::string prefix = "listening on ";
    for (int i = 0; i < 100; ++i) {
        std::ifstream in(log);
        std::string line;
        if (std::getline(in, line) && line.rfind(prefix, 0) == 0) {
            m_url = line.substr(prefix.size());
            return true;
        }
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    error = "the receiver did not start (see " + log + ")";
    return false;
}

std::string DemoReceiver::report() const
{
    std::ostringstream out;
    std::ifstream log(m_folder / "receiver.log");
    std::string line;
    std::getline(log, line);
    while (std::getline(log, line))
        out << "receiver: " << line << '\n';
    std::error_code ec;
    int stored = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_received, ec)) {
        out << "stored: " << entry.path().filename().string() << " (" << entry.file_size(ec) << " bytes)\n";
        ++stored;
    }
    if (!stored)
        out << "receiver: stored nothing\n";
    return out.str();
}

DemoReceiver::~DemoReceiver()
{
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        int status = 0;
        waitpid(m_pid, &status, 0);
    }
    std::error_code ec;
    if (!m_folder.empty())
        std::filesystem::remove_all(m_folder, ec);
}

} // namespace pictavo::host
