#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>

using pictavo::test::readFile;
using pictavo::test::TempDir;

namespace {

class HostHostile : public ::testing::Test
{
protected:
    struct Run
    {
        int code;
        std::string out;
        std::string err;
    };

    Run shell(const std::string& command)
    {
        const int status = std::system(
            (command + " >'" + dir.file("out").string() + "' 2>'" + dir.file("err").string() + "'").c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(dir.file("out")),
                readFile(dir.file("err"))};
    }
    std::string host() const
    {
        const char* env = std::getenv("PICTAVO_BIN");
        return std::string(env ? env : PICTAVO_BINARY_DIR "/bin") + "/pictavo-host";
    }
    // The page against the built module, which is registered in a temporary folder only.
    Run page(const std::string& script)
    {
        const auto path = dir.write("page.js", script);
        return shell(host() + " --timeout 20 --module '" PICTAVO_BINARY_DIR "/lib/libpictavo.so' --script '" +
                     path.string() + "'");
    }

    TempDir dir;
};

TEST_F(HostHostile, AThrowingConversionIsAnOrdinaryCatchableError)
{
    const Run r = page(R"(
        var c = new ActiveXObject("Quendal.PictavoPremium");
        function attempt(label, f) {
            try { f(); console.log(label, "accepted"); } catch (e) { console.log(label, e.message); }
        }
        attempt("put", function () { c.PostUrl = { toString: function () { throw new Error("no url"); } }; });
        attempt("number", function () {
            c.ImgSizeLimit = { toString: null, valueOf: function () { throw new Error("no size"); } };
        });
        attempt("call", function () { c.AddField({ toString: function () { throw new Error("no name"); } }, "v"); });
        c.PostUrl = "http://127.0.0.1:1/";
        console.log("still running");
        host.exit(0);
    )");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "put no url\nnumber no size\ncall no name\nstill running\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(HostHostile, AFolderAsScriptIsAnError)
{
    const Run r = shell(host() + " --timeout 5 --script '" + dir.path().string() + "'");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "pictavo-host: cannot read " + dir.path().string() + ": it is a folder\n");
}

TEST_F(HostHostile, RecursionOverflowSaysSo)
{
    Run r = page("function down() { down(); }\ndown();\n");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.rfind("Uncaught RangeError: too much recursion", 0), 0u) << r.err;

    // Through the control and back, the native stack runs out first.
    r = page(R"(
        var c = new ActiveXObject("Quendal.PictavoPremium");
        c.AfterImagesPosted = function () { c.OnImagesPosted(); };
        c.OnImagesPosted();
    )");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.rfind("Uncaught RangeError: too much recursion", 0), 0u) << r.err;
}

} // namespace
