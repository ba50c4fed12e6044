#include <gtest/gtest.h>

#include "support/RawServer.h"
#include "support/WaitFor.h"

#include "http/HttpForm.h"
#include "http/IFileTransferEvent.h"
#include "http/WinINetPoster.h"
#include "image/CxMemFile.h"
#include "platform/inet/WinInet.h"
#include "platform/kernel/Strings.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

using pictavo::platform::fromUtf8;
using pictavo::platform::toLocalCodePage;
using pictavo::test::RawBehaviour;
using pictavo::test::RawServer;
using Clock = std::chrono::steady_clock;

namespace {

struct Event
{
    enum Kind
    {
        Complete,
        Error,
        Progress
    } kind;
    int item;
    int code;
    uint32_t bytes;
    std::u16string speed;
    Clock::time_point when;
};

class Sink : public IFileTransferEvent
{
public:
    void OnTransferComplete(int item) override { add({Event::Complete, item, 0, 0, {}, Clock::now()}); }
    void OnTransferError(int item, int code) override
    {
        add({Event::Error, item, code, 0, {}, Clock::now()});
    }
    void OnTransferProgress(int item, uint32_t bytes, std::u16string speed) override
    {
        add({Event::Progress, item, 0, bytes, std::move(speed), Clock::now()});
    }
    void OnTransferReserved(int32_t) override {}

    // The final outcome, or null after the time-out.
    const Event* WaitOutcome(int timeoutMs = 20000)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return outcome() != nullptr; });
        return outcome();
    }
    std::vector<Event> Events()
    {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    void Clear()
    {
        std::lock_guard lock(m_mutex);
        m_events.clear();
    }

    std::function<void(const Event&)> onEvent;

private:
    const Event* outcome() const
    {
        for (const Event& e : m_events)
            if (e.kind != Event::Progress)
                return &e;
        return nullptr;
    }
    void add(Event e)
    {
        if (onEvent)
            onEvent(e);
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(e));
        m_changed.notify_all();
    }
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Event> m_events;
};

class PosterTest : public testing::Test
{
protected:
    void SetUp() override
    {
        pictavo::platform::setLocalCodePageForTesting("CP936");
        DWORD ms = 3000;
        InternetSetOptionW(nullptr, INTERNET_OPTION_CONNECT_TIMEOUT, &ms, sizeof ms);
        InternetSetOptionW(nullptr, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms);
        poster.SetEventSink(&sink);
    }
    void TearDown() override { pictavo::platform::setLocalCodePageForTesting(""); }

    void Fill(const std::string& bytes)
    {
        file.Close();
        file.Open();
        file.Write(bytes.data(), 1, bytes.size());
    }
    static std::string Bytes(size_t n)
    {
        std::string s(n, '\0');
        for (size_t i = 0; i < n; ++i)
            s[i] = static_cast<char>(i * 131 + 7);
        return s;
    }

    Sink sink;
    WinINetPoster poster;
    CxMemFile file;
};

std::string HeaderBlock(int port, size_t length)
{
    return "Host: 127.0.0.1:" + std::to_string(port) +
           "\r\n"
           "Accept: "
           "application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,image/png,*/*;q=0.5\r\n"
           "Content-Type:multipart/form-data;boundary=---------------------------7da1d41060a1a\r\n"
           "Accept-Language: zh-cn\r\n"
           "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)\r\n"
           "Cache-Control: no-cache\r\n"
           "Connection: Keep-Alive\r\n"
           "Content-Length: " +
           std::to_string(length) + "\r\n\r\n";
}

TEST_F(PosterTest, ExactRequestOnTheWireForBothEncodings)
{
    RawServer server;
    for (const char16_t* encoding : {u"UTF-8", u"GB2312"}) {
        server.script(
            {"HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: 10\r\n\r\n"
             "stored \xE5\x9B\xBE"});
        poster.SetUrl(fromUtf8(server.url("/up/load%20it/x?session=1#frag")));
        poster.SetEncoding(encoding);
        sink.Clear();
        HttpForm& form = poster.GetForm();
        form.RemoveAllFields();
        form.AddTextField(u"width", u"800");
        form.AddTextField(u"备注", u"中文 remark");
        form.AddNumberField(u"height", 4000000000u);
        const std::string data = Bytes(2000);
        Fill(data);
        ASSERT_TRUE(poster.Post(7, &file, u"照片 1.jpg", u"img"));
        const Event* outcome = sink.WaitOutcome();
        ASSERT_NE(outcome, nullptr);
        EXPECT_EQ(outcome->kind, Event::Complete);
        EXPECT_EQ(outcome->item, 7);
        EXPECT_EQ(poster.GetResponseText(), u"stored 图");
        // Short transfer: no progress report at all.
        EXPECT_EQ(sink.Events().size(), 1u);

        const std::string body =
            toLocalCodePage(form.RenderHead()) + data + "\r\n" + toLocalCodePage(form.RenderTail());
        ASSERT_EQ(static_cast<int>(body.size()), form.GetTotalLength());
        ASSERT_TRUE(server.waitForRequests(encoding[0] == u'U' ? 1 : 2));
        // Connections are recorded as they end; the one just made is the last to end, or the
        // other way round when the server was slow to see the first one close.
        const std::string expected =
            "POST /up/load%20it/x HTTP/1.1\r\n" + HeaderBlock(server.port(), body.size()) + body;
        const auto requests = server.requests();
        EXPECT_NE(std::find(requests.begin(), requests.end(), expected), requests.end())
            << "last request seen:\n"
            << requests.back();
    }
}

TEST_F(PosterTest, AnswersOtherThan200AreErrorsAndOnly255BytesAreRead)
{
    RawServer server;
    poster.SetUrl(fromUtf8(server.url()));
    Fill("abc");

    server.script({"HTTP/1.1 201 Created\r\nContent-Length: 0\r\n\r\n"});
    ASSERT_TRUE(poster.Post(1, &file, u"a.jpg", u"img"));
    const Event* outcome = sink.WaitOutcome();
    ASSERT_NE(outcome, nullptr);
    EXPECT_EQ(outcome->kind, Event::Error);
    EXPECT_EQ(outcome->code, 201);

    // Capital UTF-8 does not match: the answer is read in the local code page.
    const std::string long300 = "\xE4\xB8\xAD" + std::string(297, 'x');
    server.script(
        {"HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=UTF-8\r\nContent-Length: 300\r\n\r\n" +
         long300});
    sink.Clear();
    poster.GetForm().RemoveAllFields();
    ASSERT_TRUE(poster.Post(2, &file, u"a.jpg", u"img"));
    outcome = sink.WaitOutcome();
    ASSERT_NE(outcome, nullptr);
    EXPECT_EQ(outcome->kind, Event::Complete);
    EXPECT_EQ(poster.GetResponseCharset(), u"gb2312");
    EXPECT_EQ(poster.GetResponseText(), pictavo::platform::fromLocalCodePage(long300.substr(0, 255)));

    // A status that cannot be read never reuses the previous 200.
    server.script({"garbage\r\n\r\n"});
    sink.Clear();
    poster.GetForm().RemoveAllFields();
    ASSERT_TRUE(poster.Post(3, &file, u"a.jpg", u"img"));
    outcome = sink.WaitOutcome();
    ASSERT_NE(outcome, nullptr);
    EXPECT_EQ(outcome->kind, Event::Error);
    EXPECT_NE(outcome->code, 0);
}

TEST_F(PosterTest, EmptyStreamStillCompletes)
{
    RawServer server;
    poster.SetUrl(fromUtf8(server.url()));
    Fill("");
    ASSERT_TRUE(poster.Post(4, &file, u"empty.txt", u"img"));
    const Event* outcome = sink.WaitOutcome();
    ASSERT_NE(outcome, nullptr);
    EXPECT_EQ(outcome->kind, Event::Complete);
    ASSERT_TRUE(server.waitForRequests(1));
    const std::string wire = server.requests()[0];
    EXPECT_NE(wire.find("Content-Type: text/plain\r\nContent-Transfer-Encoding: binary\r\n\r\n\r\n---"),
              std::string::npos);
}

TEST_F(PosterTest, ConnectionFailuresAndUrlsWithoutHost)
{
    poster.SetUrl(u"http://127.0.0.1:1/nothing-listens");
    Fill("abc");
    ASSERT_TRUE(poster.Post(5, &file, u"a.jpg", u"img"));
    const Event* outcome = sink.WaitOutcome();
    ASSERT_NE(outcome, nullptr);
    EXPECT_EQ(outcome->kind, Event::Error);
    EXPECT_EQ(outcome->code, 1);

    for (const char16_t* bad : {u"http:///path", u"no scheme", u"http://host:99999/"}) {
        sink.Clear();
        poster.GetForm().RemoveAllFields();
        poster.SetUrl(bad);
        ASSERT_TRUE(poster.Post(6, &file, u"a.jpg", u"img"));
        outcome = sink.WaitOutcome();
        ASSERT_NE(outcome, nullptr);
        EXPECT_EQ(outcome->kind, Event::Error);
        EXPECT_EQ(outcome->code, 0);
    }
}

TEST_F(PosterTest, StalledAndVanishingServersEndInErrors)
{
    DWORD ms = 700;
    InternetSetOptionW(nullptr, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms);
    {
        RawServer server;
        RawBehaviour stall;
        stall.stallAfterHeaders = true;
        server.script(stall);
        poster.SetUrl(fromUtf8(server.url()));
        Fill(Bytes(100));
        const auto started = Clock::now();
        ASSERT_TRUE(poster.Post(8, &file, u"a.jpg", u"img"));
        const Event* outcome = sink.WaitOutcome();
        ASSERT_NE(outcome, nullptr);
        EXPECT_EQ(outcome->kind, Event::Error);
        EXPECT_LT(Clock::now() - started, std::chrono::seconds(5));
    }
    {
        RawServer server;
        RawBehaviour reset;
        reset.closeAfterBodyBytes = 100000;
        server.script(reset);
        poster.SetUrl(fromUtf8(server.url()));
        poster.GetForm().RemoveAllFields();
        sink.Clear();
        Fill(Bytes(8 << 20));
        ASSERT_TRUE(poster.Post(9, &file, u"a.jpg", u"img"));
        const Event* outcome = sink.WaitOutcome();
        ASSERT_NE(outcome, nullptr);
        EXPECT_EQ(outcome->kind, Event::Error);
        EXPECT_EQ(outcome->code, 1);
    }
}

TEST_F(PosterTest, CancelDuringDataThenPostAgain)
{
    RawServer server;
    RawBehaviour slow;
    slow.readDelayMs = 20;
    slow.readSize = 16384;
    server.script(slow);
    poster.SetUrl(fromUtf8(server.url()));
    Fill(Bytes(32 << 20));
    ASSERT_TRUE(poster.Post(10, &file, u"big.jpg", u"img"));
    ASSERT_TRUE(pictavo::test::waitFor([&] { return server.bodyBytesSeen() >= 200000; }));
    const auto cancelled = Clock::now();
    poster.Cancel();

    // The cancelled worker may still read its stream until the next Post has waited for it.
    CxMemFile small;
    small.Open();
    small.Write("small", 1, 5);
    poster.GetForm().RemoveAllFields();
    ASSERT_TRUE(poster.Post(11, &small, u"small.jpg", u"img"));
    const Event* outcome = sink.WaitOutcome();
    ASSERT_NE(outcome, nullptr);
    EXPECT_EQ(outcome->kind, Event::Complete);
    EXPECT_EQ(outcome->item, 11);
    for (const Event& e : sink.Events()) {
        if (e.item == 10) {
            EXPECT_LT(e.when, cancelled) << "item 10 reported after its cancel";
        }
    }
    EXPECT_LT(Clock::now() - cancelled, std::chrono::seconds(3));
}

TEST_F(PosterTest, ProgressAtMostOncePerSecondCountingFileBytes)
{
    RawServer server;
    RawBehaviour slow;
    slow.readDelayMs = 10;
    slow.readSize = 16384;
    server.script(slow);
    poster.SetUrl(fromUtf8(server.url()));
    const size_t size = 6 << 20;
    Fill(Bytes(size));
    uint32_t speedSeen = 0;
    sink.onEvent = [&](const Event& e) {
        if (e.kind == Event::Progress)
            speedSeen = poster.GetSpeed();
    };
    ASSERT_TRUE(poster.Post(12, &file, u"p.png", u"img"));
    const Event* outcome = sink.WaitOutcome(60000);
    ASSERT_NE(outcome, nullptr);
    EXPECT_EQ(outcome->kind, Event::Complete);
    std::vector<Event> progress;
    for (const Event& e : sink.Events())
        if (e.kind == Event::Progress)
            progress.push_back(e);
    ASSERT_GE(progress.size(), 1u);
    for (size_t i = 0; i < progress.size(); ++i) {
        EXPECT_EQ(progress[i].item, 12);
        EXPECT_LE(progress[i].bytes, size);
        EXPECT_EQ(progress[i].bytes % 512, 0u);
        if (i > 0) {
            EXPECT_GE(progress[i].when - progress[i - 1].when, std::chrono::milliseconds(990));
            EXPECT_GT(progress[i].bytes, progress[i - 1].bytes);
        }
    }
    EXPECT_GT(speedSeen, 0u);
    EXPECT_EQ(poster.GetBytesSent(), size);
}

TEST_F(PosterTest, NextUploadStartsFromInsideTheCompletionCall)
{
    RawServer server;
    poster.SetUrl(fromUtf8(server.url()));
    Fill("first");
    CxMemFile second;
    second.Open();
    second.Write("second", 1, 6);
    std::atomic<int> chained{0};
    sink.onEvent = [&](const Event& e) {
        if (e.kind == Event::Complete && e.item == 20) {
            poster.GetForm().RemoveAllFields();
            chained = poster.Post(21, &second, u"b.jpg", u"img") ? 1 : -1;
        }
    };
    ASSERT_TRUE(poster.Post(20, &file, u"a.jpg", u"img"));
    ASSERT_TRUE(server.waitForRequests(2));
    pictavo::test::waitFor([&] { return sink.Events().size() >= 2; });
    EXPECT_EQ(chained, 1);
    const std::vector<Event> events = sink.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].kind, Event::Complete);
    EXPECT_EQ(events[1].item, 21);
    const auto requests = server.requests();
    EXPECT_TRUE(std::any_of(requests.begin(), requests.end(), [](const std::string& r) {
        return r.find("\r\n\r\nsecond\r\n") != std::string::npos;
    }));
}

TEST_F(PosterTest, DestroyedWhileUploadingIsSafeAndSilent)
{
    RawServer server;
    RawBehaviour slow;
    slow.readDelayMs = 50;
    server.script(slow);
    Sink quiet;
    static std::atomic<int> holds{0};
    {
        WinINetPoster doomed;
        doomed.SetWorkerHold([](bool held) { holds += held ? 1 : -1; });
        doomed.SetEventSink(&quiet);
        doomed.SetUrl(fromUtf8(server.url()));
        Fill(Bytes(16 << 20));
        ASSERT_TRUE(doomed.Post(13, &file, u"a.jpg", u"img"));
        // The running worker keeps the code it runs loaded.
        EXPECT_EQ(holds, 1);
        EXPECT_TRUE(pictavo::test::waitFor([&] { return server.bodyBytesSeen() > 0; }));
    }
    EXPECT_EQ(holds, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(quiet.Events().empty() || quiet.Events().back().kind == Event::Progress);
}

} // namespace
