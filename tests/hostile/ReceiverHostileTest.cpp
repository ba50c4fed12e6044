#include "hostile/UploadTools.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace pictavo::test;
namespace fs = std::filesystem;

namespace {

std::string part(const std::string& name, const std::string& data, const char* filename = nullptr)
{
    std::string p = "--B\r\nContent-Disposition: form-data; name=\"" + name + "\"";
    if (filename)
        p += std::string("; filename=\"") + filename + "\"";
    return p + "\r\n\r\n" + data + "\r\n";
}

std::string head(size_t length, const std::string& extra = "")
{
    return "POST /up HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
           "Content-Type: multipart/form-data; boundary=B\r\nContent-Length: " +
           std::to_string(length) + "\r\n" + extra + "\r\n";
}

std::string upload(int port, const std::string& body, const std::string& extra = "")
{
    RawClient client(port);
    client.send(head(body.size(), extra) + body);
    return client.receive();
}

std::string fileUpload(const char* name, const std::string& data)
{
    return part("img", data, name) + "--B--\r\n";
}

bool statusIs(const std::string& answer, int status)
{
    return answer.rfind("HTTP/1.1 " + std::to_string(status) + " ", 0) == 0;
}

// The folder settles to exactly these names within a few seconds.
::testing::AssertionResult settlesTo(const fs::path& dir, std::vector<std::string> expected)
{
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> now;
    for (int i = 0; i < 300; ++i) {
        now = folderEntries(dir);
        if (now == expected)
            return ::testing::AssertionSuccess();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::string listed;
    for (const auto& n : now)
        listed += " [" + n + "]";
    return ::testing::AssertionFailure() << "folder holds" << listed;
}

class ReceiverHostile : public ::testing::Test
{
protected:
    void SetUp() override { fs::create_directory(store()); }
    fs::path store() const { return tmp.file("store"); }

    TempDir tmp;
};

TEST_F(ReceiverHostile, AnUploadCutShortLeavesNoFileBehind)
{
    ReceiverProcess receiver(tmp, {"--dir", store().string()});
    ASSERT_NE(receiver.port(), 0);
    const std::string data(200000, 'd');
    const std::string body = fileUpload("cut.jpg", data);
    {
        // The client goes away in the middle of the file.
        RawClient client(receiver.port());
        client.send(head(body.size()) + body.substr(0, body.size() / 2));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    {
        // The body ends before its declared length.
        RawClient client(receiver.port());
        client.send(head(body.size() + 100) + body);
        ::shutdown(client.fd(), SHUT_WR);
        client.receive(3000);
    }
    // The whole declared body came, but the closing delimiter never did.
    const std::string unclosed = part("img", data, "open.jpg");
    EXPECT_TRUE(statusIs(upload(receiver.port(), unclosed), 400));
    EXPECT_TRUE(settlesTo(store(), {}));

    const std::string answer = upload(receiver.port(), fileUpload("whole.jpg", "abc"));
    EXPECT_TRUE(statusIs(answer, 200)) << answer;
    EXPECT_TRUE(settlesTo(store(), {"whole.jpg", "whole.jpg.fields"}));
    EXPECT_EQ(readFile(store() / "whole.jpg"), "abc");
}

TEST_F(ReceiverHostile, AFullDiskIsAServerErrorAndLeavesNoFile)
{
    ReceiverProcess receiver(tmp, {"--dir", store().string()}, 4096);
    ASSERT_NE(receiver.port(), 0);
    const std::string answer = upload(receiver.port(), fileUpload("big.jpg", std::string(20000, 'x')));
    EXPECT_TRUE(statusIs(answer, 507)) << answer;
    EXPECT_TRUE(receiver.alive());
    EXPECT_TRUE(settlesTo(store(), {}));
}

TEST_F(ReceiverHostile, TakenNamesAreSkippedWithoutEmptyFilesAndTheAnswerNamesTheStoredFile)
{
    tmp.write("store/a.jpg.fields", "someone else's");
    fs::create_symlink(tmp.file("nowhere"), store() / "b.jpg.fields");
    ReceiverProcess receiver(tmp, {"--dir", store().string()});
    ASSERT_NE(receiver.port(), 0);

    std::string answer = upload(receiver.port(), fileUpload("a.jpg", "A"));
    EXPECT_TRUE(statusIs(answer, 200)) << answer;
    EXPECT_TRUE(answer.ends_with("\r\n\r\nstored a-1.jpg")) << answer;
    answer = upload(receiver.port(), fileUpload("b.jpg", "B"));
    EXPECT_TRUE(answer.ends_with("\r\n\r\nstored b-1.jpg")) << answer;
    answer = upload(receiver.port(), fileUpload("b.jpg", "C"));
    EXPECT_TRUE(answer.ends_with("\r\n\r\nstored b-2.jpg")) << answer;

    EXPECT_TRUE(settlesTo(store(), {"a-1.jpg", "a-1.jpg.fields", "a.jpg.fields", "b-1.jpg", "b-1.jpg.fields",
                                    "b-2.jpg", "b-2.jpg.fields", "b.jpg.fields"}));
    EXPECT_EQ(readFile(store() / "a.jpg.fields"), "someone else's");
    EXPECT_EQ(readFile(store() / "b-2.jpg"), "C");
    EXPECT_NE(readFile(store() / "b-1.jpg.fields").find("filename=b.jpg\n"), std::string::npos);
}

TEST_F(ReceiverHostile, ExpectContinueIsAnsweredBeforeTheBody)
{
    ReceiverProcess receiver(tmp, {"--dir", store().string()});
    ASSERT_NE(receiver.port(), 0);
    const std::string body = fileUpload("c.jpg", "xyz");
    RawClient client(receiver.port());
    client.send(head(body.size(), "Expect: 100-continue\r\n"));
    const std::string interim = "HTTP/1.1 100 Continue\r\n\r\n";
    EXPECT_EQ(client.receive(800, interim.size()), interim);
    client.send(body);
    EXPECT_TRUE(statusIs(client.receive(), 200));
}

TEST_F(ReceiverHostile, ChunkedWithContentLengthIsRefused)
{
    ReceiverProcess receiver(tmp, {"--dir", store().string()});
    ASSERT_NE(receiver.port(), 0);
    const std::string body = fileUpload("s.jpg", "smuggled");
    const std::string answer = upload(receiver.port(), body, "Transfer-Encoding: chunked\r\n");
    EXPECT_TRUE(statusIs(answer, 400)) << answer;
    EXPECT_TRUE(settlesTo(store(), {}));
}

TEST_F(ReceiverHostile, PartsBeyondWhatIsKeptAreRefusedNotDropped)
{
    ReceiverProcess receiver(tmp, {"--dir", store().string()});
    ASSERT_NE(receiver.port(), 0);
    std::string many;
    for (int i = 0; i < 1001; ++i)
        many += part("f" + std::to_string(i), "v");
    std::string answer = upload(receiver.port(), many + fileUpload("m.jpg", "M"));
    EXPECT_TRUE(statusIs(answer, 413)) << answer;

    answer = upload(receiver.port(), part("img", "1", "one.jpg") + fileUpload("two.jpg", "2"));
    EXPECT_TRUE(statusIs(answer, 413)) << answer;
    EXPECT_TRUE(settlesTo(store(), {}));
}

} // namespace
