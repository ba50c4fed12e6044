#include <gtest/gtest.h>

#include "support/RawServer.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using pictavo::test::TempDir;

namespace {

std::string Bin(const char* name)
{
    const char* dir = std::getenv("PICTAVO_BIN");
    return std::string(dir ? dir : PICTAVO_BINARY_DIR "/bin") + "/" + name;
}

// A running pictavo-receiver; its output goes to a file that the test reads.
class Receiver
{
public:
    Receiver(const TempDir& tmp, const std::vector<std::string>& args) : m_log(tmp.file("receiver.log"))
    {
        m_pid = fork();
        if (m_pid == 0) {
            std::freopen(m_log.c_str(), "w", stdout);
            std::vector<std::string> all{Bin("pictavo-receiver"), "--port", "0"};
            all.insert(all.end(), args.begin(), args.end());
            std::vector<char*> argv;
            for (auto& a : all)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        for (int i = 0; i < 200 && m_url.empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const std::string log = Log();
            const size_t at = log.find("listening on ");
            const size_t eol = log.find('\n');
            if (at == 0 && eol != std::string::npos)
                m_url = log.substr(13, eol - 13);
        }
    }
    ~Receiver()
    {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
    const std::string& Url() const { return m_url; }
    std::string Log() const { return pictavo::test::readFile(m_log); }

private:
    std::filesystem::path m_log;
    pid_t m_pid = -1;
    std::string m_url;
};

struct ToolRun
{
    int exit;
    std::string out;
};

ToolRun Post(const TempDir& tmp, const std::string& args)
{
    const std::string out = tmp.file("post.out").string();
    const int status = std::system((Bin("pictavo-post") + " " + args + " > '" + out + "' 2>&1").c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, pictavo::test::readFile(out)};
}

TEST(Tools, PostToReceiverStoresFileAndDecodedFieldsInBothEncodings)
{
    for (const std::string encoding : {"UTF-8", "GB2312"}) {
        TempDir tmp;
        std::filesystem::create_directory(tmp.file("store"));
        Receiver receiver(tmp, {"--dir", tmp.file("store").string(), "--encoding", encoding});
        ASSERT_FALSE(receiver.Url().empty());
        const std::string data(70000, 'z');
        const auto file = tmp.write("照片 1.jpg", data);
        const ToolRun run = Post(
            tmp, "--url '" + receiver.Url() + "up?x=1' --encoding " + encoding +
                     " --file-field pic --field '备注=中文 text' --field plain=abc --number n=4294967295 '" +
                     file.string() + "'");
        EXPECT_EQ(run.exit, 0) << run.out;
        EXPECT_EQ(run.out, "stored 照片 1.jpg\n");
        EXPECT_EQ(pictavo::test::readFile(tmp.file("store") / "照片 1.jpg"), data);
        EXPECT_EQ(
            pictavo::test::readFile(tmp.file("store") / "照片 1.jpg.fields"),
            "file-field=pic\nfilename=照片 1.jpg\nbytes=70000\n备注=中文 text\nplain=abc\nn=4294967295\n");
        // The receiver logs the request after answering it.
        EXPECT_TRUE(pictavo::test::waitFor([&] { return receiver.Log().find("POST /up 200 ") != std::string::npos; }));
    }
}

TEST(Tools, ClientChosenNamesStayInsideTheFolder)
{
    TempDir tmp;
    std::filesystem::create_directory(tmp.file("store"));
    Receiver receiver(tmp, {"--dir", tmp.file("store").string(), "--encoding", "GB2312"});
    ASSERT_FALSE(receiver.Url().empty());
    // The raw multipart bytes a hostile client could send.
    const std::string body =
        "--B\r\nContent-Disposition: form-data; name=\"img\"; filename=\"../../escape\"\r\n\r\n"
        "x\r\n--B--\r\n";
    const auto request = tmp.write("req", body);
    const int status = std::system(("curl -s -o /dev/null -H 'Content-Type: multipart/form-data; boundary=B' "
                                    "--data-binary @" +
                                    request.string() + " " + receiver.Url())
                                       .c_str());
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(std::filesystem::exists(tmp.path() / "escape"));
    EXPECT_FALSE(std::filesystem::exists(tmp.path().parent_path() / "escape"));
    EXPECT_TRUE(std::filesystem::exists(tmp.file("store") / "escape"));
}

TEST(Tools, PostReportsStatusAnswersAndFailures)
{
    TempDir tmp;
    const auto file = tmp.write("a.txt", "abc");
    {
        Receiver receiver(tmp, {"--status", "201", "--answer", "nope"});
        const ToolRun run = Post(tmp, "--url " + receiver.Url() + " " + file.string());
        EXPECT_EQ(run.exit, 1);
        EXPECT_EQ(run.out, "error 201\n");
    }
    {
        Receiver receiver(tmp, {"--answer", "中文答复", "--charset", "gb2312"});
        const ToolRun run = Post(tmp, "--url " + receiver.Url() + " " + file.string());
        EXPECT_EQ(run.exit, 0);
        EXPECT_EQ(run.out, "中文答复\n");
    }
    EXPECT_EQ(Post(tmp, "--url http://127.0.0.1:1/ " + file.string()).out, "error 1\n");
    EXPECT_EQ(Post(tmp, "--url http:///x " + file.string()).out, "error 0\n");
    EXPECT_EQ(Post(tmp, "--number n=-1 --url http://h/ " + file.string()).exit, 2);
}

TEST(Tools, InterruptCancelsSilently)
{
    TempDir tmp;
    pictavo::test::RawServer server;
    pictavo::test::RawBehaviour stall;
    stall.stallAfterHeaders = true;
    server.script(stall);
    const auto file = tmp.write("a.txt", "abc");
    const std::string out = tmp.file("post.out").string();
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen(out.c_str(), "w", stdout);
        execl(Bin("pictavo-post").c_str(), "pictavo-post", "--url", server.url().c_str(), file.c_str(),
              nullptr);
        _exit(127);
    }
    ASSERT_TRUE(server.waitForRequests(0));
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    const auto sent = std::chrono::steady_clock::now();
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(2));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_EQ(pictavo::test::readFile(out), "");
}

} // namespace
