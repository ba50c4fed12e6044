#include <gtest/gtest.h>

#include "TlsFixture.h"
#include "support/RawServer.h"

#include "platform/inet/WinInet.h"
#include "platform/kernel/Strings.h"
#include "platform/kernel/Synch.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

#include <chrono>
#include <cstdlib>
#include <thread>

using pictavo::test::RawBehaviour;
using pictavo::test::RawServer;
using Clock = std::chrono::steady_clock;

namespace {

constexpr DWORD kLenient =
    INTERNET_FLAG_SECURE | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID | INTERNET_FLAG_IGNORE_CERT_CN_INVALID;

struct Exchange
{
    bool written = false;
    bool ended = false;
    DWORD status = 0;
    std::string body;
    DWORD error = 0;
};

// One POST through the WinINet calls, the way the poster makes it.
Exchange Post(const char16_t* host, int port, const char16_t* path, DWORD flags, const std::string& body,
              const std::u16string& headers = u"X-Test: 1\r\n")
{
    Exchange x;
    HINTERNET root = InternetOpenW(u"Sendrel", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    DWORD ms = 3000;
    InternetSetOptionW(root, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms);
    HINTERNET conn = InternetConnectW(root, host, static_cast<INTERNET_PORT>(port), nullptr, nullptr,
                                      INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET req = HttpOpenRequestW(conn, u"POST", path, nullptr, nullptr, nullptr, flags, 0);
    INTERNET_BUFFERSW buffers{};
    buffers.dwStructSize = sizeof buffers;
    buffers.lpcszHeader = headers.c_str();
    buffers.dwHeadersLength = static_cast<DWORD>(headers.size());
    buffers.dwBufferTotal = static_cast<DWORD>(body.size());
    HttpSendRequestExW(req, &buffers, nullptr, 0, 0);
    DWORD written = 0;
    x.written = InternetWriteFile(req, body.data(), static_cast<DWORD>(body.size()), &written);
    if (!x.written)
        x.error = GetLastError();
    x.ended = x.written && HttpEndRequestW(req, nullptr, 0, 0);
    if (x.ended) {
        char buffer[256] = {};
        DWORD read = 0;
        InternetReadFile(req, buffer, 255, &read);
        x.body.assign(buffer, read);
        DWORD length = sizeof x.status;
        HttpQueryInfoW(req, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &x.status, &length, nullptr);
    }
    InternetCloseHandle(req);
    InternetCloseHandle(conn);
    InternetCloseHandle(root);
    return x;
}

TEST(WinInet, TlsForgivesNameAndDatesButNotAnUntrustedChain)
{
    using namespace pictavo::test;
    TempDir dir;
    Identity ca, server, stranger, strangerServer;
    makeCertificate(ca, "Pictavo Test CA", nullptr, -10, 365, true);
    makeCertificate(server, "wrong.example", &ca, -30, -1, false);
    makeCertificate(stranger, "Stranger CA", nullptr, -10, 365, true);
    makeCertificate(strangerServer, "127.0.0.1", &stranger, -10, 365, false);
    const std::string bundle = dir.file("ca.pem").string();
    writePem(bundle, ca.cert);
    setenv("SSL_CERT_FILE", bundle.c_str(), 1);

    {
        TlsServer tls(server);
        const Exchange x = Post(u"127.0.0.1", tls.port(), u"/", kLenient, "data");
        EXPECT_TRUE(x.written);
        EXPECT_EQ(x.status, 200u);
        EXPECT_EQ(x.body, "secure");
    }
    {
        // Without the leniency flags the same certificate is refused.
        TlsServer tls(server);
        const Exchange x = Post(u"127.0.0.1", tls.port(), u"/", INTERNET_FLAG_SECURE, "data");
        EXPECT_FALSE(x.written);
        EXPECT_FALSE(tls.served());
    }
    {
        TlsServer tls(strangerServer);
        const Exchange x = Post(u"127.0.0.1", tls.port(), u"/", kLenient, "data");
        EXPECT_FALSE(x.written);
        EXPECT_EQ(x.error, static_cast<DWORD>(ERROR_INTERNET_INVALID_CA));
        EXPECT_FALSE(tls.served());
    }
    unsetenv("SSL_CERT_FILE");
}

TEST(WinInet, SendsOnlyTheCallersHeadersOverHttp11)
{
    RawServer server;
    const Exchange x = Post(u"127.0.0.1", server.port(), u"/a b/é%41", 0, "xyz");
    EXPECT_EQ(x.status, 200u);
    EXPECT_EQ(x.body, "ok");
    ASSERT_TRUE(server.waitForRequests(1));
    EXPECT_EQ(server.requests()[0],
              "POST /a%20b/%C3%A9%41 HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.port()) +
                  "\r\nX-Test: 1\r\nContent-Length: 3\r\n\r\nxyz");
}

TEST(WinInet, RedirectsAreFollowedAsGetAndTheFinalAnswerIsJudged)
{
    RawServer server;
    server.script(
        {"HTTP/1.1 303 See Other\r\nLocation: /final\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"});
    server.script({"HTTP/1.1 200 OK\r\nX-Final: yes\r\nContent-Length: 4\r\n\r\ndone"});
    HINTERNET root = InternetOpenW(u"a", 0, nullptr, nullptr, 0);
    HINTERNET conn = InternetConnectW(root, u"127.0.0.1", static_cast<INTERNET_PORT>(server.port()), nullptr,
                                      nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET req = HttpOpenRequestW(conn, u"POST", u"/start", nullptr, nullptr, nullptr, 0, 0);
    INTERNET_BUFFERSW buffers{};
    buffers.dwBufferTotal = 2;
    ASSERT_TRUE(HttpSendRequestExW(req, &buffers, nullptr, 0, 0));
    DWORD written = 0;
    ASSERT_TRUE(InternetWriteFile(req, "hi", 2, &written));
    // Past the announced length a write fails.
    EXPECT_FALSE(InternetWriteFile(req, "!", 1, &written));
    ASSERT_TRUE(HttpEndRequestW(req, nullptr, 0, 0));

    DWORD status = 0;
    DWORD length = sizeof status;
    ASSERT_TRUE(
        HttpQueryInfoW(req, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr));
    EXPECT_EQ(status, 200u);
    WCHAR raw[256];
    length = sizeof raw;
    ASSERT_TRUE(HttpQueryInfoW(req, HTTP_QUERY_RAW_HEADERS_CRLF, raw, &length, nullptr));
    EXPECT_EQ(std::u16string(raw, length / 2),
              u"HTTP/1.1 200 OK\r\nX-Final: yes\r\nContent-Length: 4\r\n\r\n");
    InternetCloseHandle(req);
    InternetCloseHandle(conn);
    InternetCloseHandle(root);
    ASSERT_TRUE(server.waitForRequests(2));
    // Connections are recorded as they end, in either order.
    const auto requests = server.requests();
    EXPECT_TRUE(requests[0].rfind("GET /final HTTP/1.1\r\n", 0) == 0 ||
                requests[1].rfind("GET /final HTTP/1.1\r\n", 0) == 0);
}

TEST(WinInet, RawHeadersThatDoNotFitAndMalformedUtf8)
{
    RawServer server;
    const std::string big(300, 'v');
    server.script({"HTTP/1.1 200 OK\r\nX-Big: " + big + "\r\nX-Bad: \xE4\xB8\r\nContent-Length: 0\r\n\r\n"});
    HINTERNET root = InternetOpenW(u"a", 0, nullptr, nullptr, 0);
    HINTERNET conn = InternetConnectW(root, u"127.0.0.1", static_cast<INTERNET_PORT>(server.port()), nullptr,
                                      nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET req = HttpOpenRequestW(conn, u"POST", u"/", nullptr, nullptr, nullptr, 0, 0);
    INTERNET_BUFFERSW buffers{};
    ASSERT_TRUE(HttpSendRequestExW(req, &buffers, nullptr, 0, 0));
    ASSERT_TRUE(HttpEndRequestW(req, nullptr, 0, 0));
    const std::u16string expected = u"HTTP/1.1 200 OK\r\nX-Big: " + std::u16string(big.begin(), big.end()) +
                                    u"\r\nX-Bad: \xFFFD\r\nContent-Length: 0\r\n\r\n";
    WCHAR small[256];
    DWORD length = sizeof small;
    EXPECT_FALSE(HttpQueryInfoW(req, HTTP_QUERY_RAW_HEADERS_CRLF, small, &length, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(length, (expected.size() + 1) * 2);
    std::u16string large(length / 2, u'\0');
    ASSERT_TRUE(HttpQueryInfoW(req, HTTP_QUERY_RAW_HEADERS_CRLF, large.data(), &length, nullptr));
    EXPECT_EQ(std::u16string(large.data(), length / 2), expected);
    InternetCloseHandle(req);
    InternetCloseHandle(conn);
    InternetCloseHandle(root);
}

TEST(WinInet, ClosingFromAnotherThreadEndsABlockedCallAtOnce)
{
    RawServer server;
    RawBehaviour stall;
    stall.stallAfterHeaders = true;
    server.script(stall);
    HINTERNET root = InternetOpenW(u"a", 0, nullptr, nullptr, 0);
    HINTERNET conn = InternetConnectW(root, u"127.0.0.1", static_cast<INTERNET_PORT>(server.port()), nullptr,
                                      nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET req = HttpOpenRequestW(conn, u"POST", u"/", nullptr, nullptr, nullptr, 0, 0);
    INTERNET_BUFFERSW buffers{};
    buffers.dwBufferTotal = 1;
    ASSERT_TRUE(HttpSendRequestExW(req, &buffers, nullptr, 0, 0));
    DWORD written = 0;
    ASSERT_TRUE(InternetWriteFile(req, "x", 1, &written));
    Clock::time_point closed;
    const pid_t caller = gettid();
    std::thread closer([&] {
        pictavo::test::waitUntilAsleep(caller);
        closed = Clock::now();
        InternetCloseHandle(req);
    });
    EXPECT_FALSE(HttpEndRequestW(req, nullptr, 0, 0));
    const auto returned = Clock::now();
    const DWORD error = GetLastError();
    closer.join();
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INTERNET_OPERATION_CANCELLED));
    EXPECT_LT(returned - closed, std::chrono::milliseconds(200));
    // The handle is gone: a second close and any further call fail.
    EXPECT_FALSE(InternetCloseHandle(req));
    EXPECT_FALSE(InternetWriteFile(req, "x", 1, &written));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    InternetCloseHandle(conn);
    InternetCloseHandle(root);
}

TEST(WinInet, ProxyFromTheEnvironmentAndNoHost)
{
    RawServer proxy;
    setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(proxy.port())).c_str(), 1);
    const Exchange x = Post(u"upload.invalid", 80, u"/via", 0, "p");
    unsetenv("http_proxy");
    EXPECT_EQ(x.status, 200u);
    ASSERT_TRUE(proxy.waitForRequests(1));
    EXPECT_EQ(proxy.requests()[0].rfind("POST http://upload.invalid", 0), 0u);

    HINTERNET root = InternetOpenW(u"a", 0, nullptr, nullptr, 0);
    EXPECT_EQ(InternetConnectW(root, u"", 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0), nullptr);
    InternetCloseHandle(root);
}

} // namespace
