#include "hostile/UploadTools.h"
#include "support/RawServer.h"
#include "http/UrlComponents.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using namespace pictavo::test;
namespace fs = std::filesystem;

namespace {

TEST(PostHostile, FilesThatAreNotRegularAreRefused)
{
    TempDir tmp;
    RawServer server;
    const fs::path fifo = tmp.file("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const fs::path& path : {fifo, fs::path("/dev/zero"), tmp.path()}) {
        const PostRun run = runPost(tmp, {"--url", server.url(), path}, {}, 10);
        EXPECT_EQ(run.exit, 2) << path;
        EXPECT_EQ(run.err, "pictavo-post: cannot read " + path.string() + ": not a regular file\n");
        EXPECT_EQ(run.out, "");
    }
    EXPECT_TRUE(server.requests().empty());
}

TEST(PostHostile, ProcFilesAreSentWithTheBytesTheyHold)
{
    // They declare no size but have content.
    TempDir tmp;
    fs::create_directory(tmp.file("store"));
    ReceiverProcess receiver(tmp, {"--dir", tmp.file("store").string()});
    ASSERT_NE(receiver.port(), 0);
    const std::string expected = readFile("/proc/version");
    ASSERT_FALSE(expected.empty());
    const PostRun run = runPost(tmp, {"--url", receiver.url(), "/proc/version"});
    EXPECT_EQ(run.exit, 0) << run.out << run.err;
    EXPECT_EQ(readFile(tmp.file("store") / "version"), expected);
}

TEST(PostHostile, AnUnreadableFileSaysWhy)
{
    TempDir tmp;
    const std::string url = "http://127.0.0.1:1/";
    const fs::path missing = tmp.file("missing.jpg");
    EXPECT_EQ(runPost(tmp, {"--url", url, missing}).err,
              "pictavo-post: cannot read " + missing.string() + ": no such file\n");

    const fs::path big = tmp.file("big.jpg");
    {
        const int fd = ::open(big.c_str(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, 2LL << 30), 0);
        ::close(fd);
    }
    PostRun run = runPost(tmp, {"--url", url, big});
    EXPECT_EQ(run.exit, 2);
    EXPECT_EQ(run.err, "pictavo-post: cannot read " + big.string() + ": 2 GiB or more\n");

    if (geteuid() != 0) {
        const fs::path locked = tmp.write("locked.jpg", "x");
        fs::permissions(locked, fs::perms::none);
        run = runPost(tmp, {"--url", url, locked});
        EXPECT_EQ(run.exit, 2);
        EXPECT_EQ(run.err, "pictavo-post: cannot read " + locked.string() + ": permission denied\n");
    }
}

TEST(PostHostile, AServerDrippingHeaderLinesMeetsADeadline)
{
    TempDir tmp;
    RawServer server;
    RawBehaviour drip;
    drip.response = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < 40; ++i)
        drip.response += "X-Drip-" + std::to_string(i) + ": 1\r\n";
    drip.response += "Content-Length: 2\r\n\r\nok";
    drip.dripLineMs = 200;
    server.script(drip);
    const auto file = tmp.write("a.txt", "abc");
    const PostRun run = runPost(tmp, {"--url", server.url(), file}, {"PICTAVO_ANSWER_DEADLINE_MS=1000"});
    EXPECT_EQ(run.exit, 1) << run.out;
    EXPECT_NE(run.out.find("error 1\n"), std::string::npos) << run.out;
    EXPECT_LT(run.took, std::chrono::seconds(5));
}

TEST(PostHostile, TemporaryAndPermanentRedirectsAreFinalAnswers)
{
    TempDir tmp;
    const auto file = tmp.write("a.txt", "abc");
    for (const std::string code : {"307", "308"}) {
        RawServer server;
        server.script({"HTTP/1.1 " + code + " Moved\r\nLocation: /elsewhere\r\nContent-Length: 0\r\n\r\n"});
        const PostRun run = runPost(tmp, {"--url", server.url(), file});
        EXPECT_EQ(run.exit, 1);
        EXPECT_EQ(run.out, "error " + code + "\n");
        EXPECT_TRUE(server.waitForRequests(1)); // recorded once the connection is done
        EXPECT_EQ(server.requests().size(), 1u);
    }
}

TEST(PostHostile, SchemesOtherThanHttpAndHttpsAreRefused)
{
    TempDir tmp;
    RawServer server;
    const auto file = tmp.write("a.txt", "abc");
    for (const std::string scheme : {"ftp", "file", "gopher"}) {
        const std::string url = scheme + "://127.0.0.1:" + std::to_string(server.port()) + "/up";
        const PostRun run = runPost(tmp, {"--url", url, file});
        EXPECT_EQ(run.exit, 2) << scheme;
        EXPECT_EQ(run.err, "pictavo-post: cannot post to " + url + ": only http and https URLs are taken\n");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(server.requests().empty());

    // The control's poster cannot be pointed at them either.
    UrlComponents url;
    EXPECT_FALSE(url.Split(u"ftp://127.0.0.1/up"));
    EXPECT_TRUE(url.host.empty());
    EXPECT_TRUE(url.Split(u"HTTPS://127.0.0.1/up"));
}

} // namespace
