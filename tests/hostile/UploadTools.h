#pragma once

// The two upload tools run as a user runs them: pictavo-receiver as a child process talked to
// over raw sockets, pictavo-post through the shell.

#include "support/TempDir.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace pictavo::test {

inline std::string toolPath(const char* name)
{
    const char* dir = std::getenv("PICTAVO_BIN");
    return std::string(dir ? dir : PICTAVO_BINARY_DIR "/bin") + "/" + name;
}

class ReceiverProcess
{
public:
    // fileSizeLimit > 0 caps the size of any file the receiver writes, as a full disk would.
    ReceiverProcess(const TempDir& tmp, std::vector<std::string> args, long fileSizeLimit = 0)
        : m_log(tmp.file("receiver.log"))
    {
        m_pid = fork();
        if (m_pid == 0) {
            if (fileSizeLimit > 0) {
                rlimit limit{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
                setrlimit(RLIMIT_FSIZE, &limit);
            }
            std::freopen(m_log.c_str(), "w", stdout);
            std::vector<std::string> all{toolPath("pictavo-receiver"), "--port", "0"};
            all.insert(all.end(), args.begin(), args.end());
            std::vector<char*> argv;
            for (auto& a : all)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        for (int i = 0; i < 300 && m_port == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const std::string log = readFile(m_log);
            const std::string prefix = "listening on http://127.0.0.1:";
            if (log.rfind(prefix, 0) == 0 && log.find('\n') != std::string::npos)
                m_port = std::atoi(log.c_str() + prefix.size());
        }
    }
    ~ReceiverProcess()
    {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
    int port() const { return m_port; }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/"; }
    bool alive() const { return waitpid(m_pid, nullptr, WNOHANG) == 0; }

private:
    std::filesystem::path m_log;
    pid_t m_pid = -1;
    int m_port = 0;
};

// A client connection on loopback.
class RawClient
{
public:
    explicit RawClient(int port)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(port));
        ::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    }
    ~RawClient() { close(); }
    void send(const std::string& bytes) { ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    // Everything that arrives within the time, or until the server closes.
    std::string receive(int timeoutMs = 5000, size_t enough = SIZE_MAX)
    {
        std::string data;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (data.size() < enough) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            pollfd p{m_fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                break;
            char buffer[4096];
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            data.append(buffer, static_cast<size_t>(n));
        }
        return data;
    }
    int fd() const { return m_fd; }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

struct PostRun
{
    int exit;
    std::string out;
    std::string err;
    std::chrono::milliseconds took;
};

// pictavo-post with these arguments and extra environment ("NAME=VALUE"), killed after the limit.
inline PostRun runPost(const TempDir& tmp, std::vector<std::string> args,
                       const std::vector<std::string>& environment = {}, unsigned limitSeconds = 20)
{
    const std::string out = tmp.file("post.out").string();
    const std::string err = tmp.file("post.err").string();
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen(out.c_str(), "w", stdout);
        std::freopen(err.c_str(), "w", stderr);
        for (const std::string& e : environment)
            putenv(const_cast<char*>(e.c_str()));
        args.insert(args.begin(), toolPath("pictavo-post"));
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        alarm(limitSeconds);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const auto took =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err), took};
}

inline std::vector<std::string> folderEntries(const std::filesystem::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace pictavo::test
