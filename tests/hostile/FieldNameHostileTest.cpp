#include "hostile/UploadTools.h"
#include "http/HttpForm.h"
#include "http/HttpField.h"
#include "support/RawServer.h"

#include <gtest/gtest.h>

using namespace pictavo::test;

namespace {

// Header lines of every part of a recorded request's body.
std::vector<std::string> partHeaderLines(const std::string& request)
{
    std::vector<std::string> lines;
    const std::string delimiter = "-----------------------------7da1d41060a1a\r\n";
    for (size_t at = request.find(delimiter); at != std::string::npos; at = request.find(delimiter, at + 1)) {
        const size_t start = at + delimiter.size();
        const size_t end = request.find("\r\n\r\n", start);
        for (size_t line = start; line < end;) {
            const size_t eol = std::min(request.find("\r\n", line), end);
            lines.push_back(request.substr(line, eol - line));
            line = eol + 2;
        }
    }
    return lines;
}

TEST(FieldNameHostile, NamesFromTheCommandLineCannotAddHeaderLines)
{
    for (const char* encoding : {"UTF-8", "GB2312"}) {
        TempDir tmp;
        RawServer server;
        const auto file = tmp.write("a.txt", "abc");
        const PostRun run = runPost(tmp, {"--url", server.url(), "--encoding", encoding, "--file-field",
                                          "img\"\r\nX-File: 1", "--field", "a\"\r\nX-Field: 1=v", file});
        EXPECT_EQ(run.exit, 0) << run.out << run.err;
        ASSERT_TRUE(server.waitForRequests(1));
        const std::string request = server.requests()[0];
        EXPECT_EQ(
            partHeaderLines(request),
            (std::vector<std::string>{
                "Content-Disposition: form-data; name=\"a%22%0D%0AX-Field: 1\"",
                std::string("Content-Disposition: form-data; name=\"img%22%0D%0AX-File: 1\"; filename=\"") +
                    (encoding[0] == 'U' ? "a%2Etxt" : "a.txt") + "\"",
                "Content-Type: text/plain", "Content-Transfer-Encoding: binary"}))
            << encoding;
        // The declared length still counts exactly the bytes sent.
        const size_t bodyAt = request.find("\r\n\r\n") + 4;
        EXPECT_NE(request.find("Content-Length: " + std::to_string(request.size() - bodyAt) + "\r\n"),
                  std::string::npos);
        EXPECT_TRUE(request.ends_with("-----------------------------7da1d41060a1a--\r\n"));
    }
}

TEST(FieldNameHostile, EveryRenderingOfATextPartEscapesItsName)
{
    HttpForm form;
    form.AddTextField(u"n\"\r\nX: 1", u"v");
    EXPECT_EQ(form.GetField(0)->GetNarrowText(),
              "-----------------------------7da1d41060a1a\r\n"
              "Content-Disposition: form-data; name=\"n%22%0D%0AX: 1\"\r\n\r\n"
              "v\r\n");
    form.SetEncoding(u"GB2312");
    EXPECT_EQ(form.GetField(0)->GetText(), u"-----------------------------7da1d41060a1a\r\n"
                                           u"Content-Disposition: form-data; name=\"n%22%0D%0AX: 1\"\r\n\r\n"
                                           u"v\r\n");
}

} // namespace
