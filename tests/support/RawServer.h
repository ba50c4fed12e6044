#pragma once

// A scripted HTTP/1.1 server on loopback that records the exact bytes it receives. Each
// connection, served on a thread of its own, takes the next scripted behaviour (or the default).

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pictavo::test {

struct RawBehaviour
{
    std::string response = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
    // Read the headers, then go silent until the server stops.
    bool stallAfterHeaders = false;
    // Reset the connection after this many body bytes (-1: never).
    long closeAfterBodyBytes = -1;
    // Pause after each read of the body, to make a slow network.
    int readDelayMs = 0;
    size_t readSize = 65536;
    // Receive buffer of the accepted socket (0: system default).
    int receiveBuffer = 0;
    // Send the response one line at a time, this long apart (0: all at once).
    int dripLineMs = 0;
};

class RawServer
{
public:
    RawServer()
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(m_listen, 16);
        socklen_t len = sizeof addr;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] { run(); });
    }

    ~RawServer()
    {
        m_stop = true;
        m_thread.join();
        for (std::thread& t : m_connections)
            t.join();
        ::close(m_listen);
    }

    int port() const { return m_port; }
    std::string url(const std::string& path = "/upload") const
    {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }

    void script(RawBehaviour behaviour)
    {
        std::lock_guard lock(m_mutex);
        m_script.push_back(std::move(behaviour));
    }
    void setDefault(RawBehaviour behaviour)
    {
        std::lock_guard lock(m_mutex);
        m_default = std::move(behaviour);
    }

    // Everything received on each finished connection, in order.
    std::vector<std::string> requests()
    {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    size_t bodyBytesSeen() const { return m_bodyBytes.load(); }

    bool waitForRequests(size_t count, int timeoutMs = 10000)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return m_requests.size() >= count; });
    }

private:
    // Reads more bytes into 'data'; false at end, error, or stop.
    bool readSome(int fd, std::string& data, size_t max)
    {
        while (!m_stop) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            char buffer[65536];
            const ssize_t n = ::recv(fd, buffer, std::min(max, sizeof buffer), 0);
            if (n <= 0)
                return false;
            data.append(buffer, static_cast<size_t>(n));
            return true;
        }
        return false;
    }

    void serve(int fd, const RawBehaviour& b)
    {
        std::string data;
        size_t headerEnd;
        while ((headerEnd = data.find("\r\n\r\n")) == std::string::npos) {
            if (!readSome(fd, data, 65536))
                return finish(fd, data);
        }
        headerEnd += 4;
        if (b.stallAfterHeaders) {
            while (!m_stop)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            return finish(fd, data);
        }
        long length = 0;
        for (const char* key : {"\r\nContent-Length: ", "\r\ncontent-length: "}) {
            const size_t at = data.find(key);
            if (at != std::string::npos && at < headerEnd)
                length = std::atol(data.c_str() + at + std::strlen(key));
        }
        while (static_cast<long>(data.size() - headerEnd) < length) {
            const size_t before = data.size();
            if (!readSome(fd, data, b.readSize))
                return finish(fd, data);
            m_bodyBytes += data.size() - before;
            if (b.closeAfterBodyBytes >= 0 &&
                static_cast<long>(data.size() - headerEnd) >= b.closeAfterBodyBytes) {
                linger hard{1, 0};
                ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
                return finish(fd, data);
            }
            if (b.readDelayMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(b.readDelayMs));
        }
        size_t sent = 0;
        while (sent < b.response.size() && !m_stop) {
            size_t piece = b.response.size() - sent;
            if (b.dripLineMs > 0) {
                const size_t eol = b.response.find('\n', sent);
                piece = eol == std::string::npos ? piece : eol + 1 - sent;
            }
            const ssize_t n = ::send(fd, b.response.data() + sent, piece, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<size_t>(n);
            if (b.dripLineMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(b.dripLineMs));
        }
        ::shutdown(fd, SHUT_WR);
        // Let the client read the answer before the socket goes away.
        std::string rest;
        for (int i = 0; i < 20 && readSome(fd, rest, 65536);)
            ++i;
        finish(fd, data);
    }

    void finish(int fd, std::string data)
    {
        ::close(fd);
        std::lock_guard lock(m_mutex);
        m_requests.push_back(std::move(data));
        m_changed.notify_all();
    }

    void run()
    {
        while (!m_stop) {
            pollfd p{m_listen, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const int fd = ::accept(m_listen, nullptr, nullptr);
            if (fd < 0)
                continue;
            RawBehaviour b;
            {
                std::lock_guard lock(m_mutex);
                if (!m_script.empty()) {
                    b = m_script.front();
                    m_script.pop_front();
                } else {
                    b = m_default;
                }
            }
            if (b.receiveBuffer > 0)
                ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &b.receiveBuffer, sizeof b.receiveBuffer);
            m_connections.emplace_back([this, fd, b] { serve(fd, b); });
        }
    }

    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<size_t> m_bodyBytes{0};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<RawBehaviour> m_script;
    RawBehaviour m_default;
    std::vector<std::string> m_requests;
    std::thread m_thread;
    std::vector<std::thread> m_connections;
};

} // namespace pictavo::test
