#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <sys/wait.h>

namespace {

using pictavo::test::readFile;
using pictavo::test::TempDir;

// pictavo-host as a user runs it, against the built module, with the registry in a temporary
// folder.
class HostProgramTest : public ::testing::Test
{
protected:
    struct Run
    {
        int code;
        std::string out;
        std::string err;
    };

    std::string bin() const
    {
        const char* env = std::getenv("PICTAVO_BIN");
        return env ? env : PICTAVO_BINARY_DIR "/bin";
    }
    std::string module() const { return PICTAVO_BINARY_DIR "/lib/libpictavo.so"; }
    std::string environment() const
    {
        return "env PICTAVO_REGISTRY_MACHINE='" + dir.file("machine.reg").string() +
               "' PICTAVO_REGISTRY_USER='" + dir.file("user.reg").string() + "' ";
    }

    Run shell(const std::string& command)
    {
        std::string full =
            command + " >'" + dir.file("out").string() + "' 2>'" + dir.file("err").string() + "'";
        int status = std::system(full.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(dir.file("out")),
                readFile(dir.file("err"))};
    }
    Run host(const std::string& script, const std::string& args = "--timeout 20")
    {
        auto path = dir.write("page.js", script);
        return shell(environment() + bin() + "/pictavo-host --script '" + path.string() + "' " + args);
    }
    void registerModule()
    {
        Run r = shell(environment() + bin() + "/pictavo-regsvr '" + module() + "'");
        ASSERT_EQ(r.code, 0) << r.out << r.err;
    }

    TempDir dir;
};

TEST_F(HostProgramTest, PropertiesTakeTheAutomationCoercionsAndFailuresNameTheHresult)
{
    registerModule();
    Run r = host(R"(
        var c = new ActiveXObject("Quendal.PictavoPremium");
        c.ImgSizeLimit = "100";
        c.Watermark = 1;
        c.PostUrl = "http://127.0.0.1:1/upload";
        c.JpegQuality = 90;
        function attempt(f) { try { f(); console.log("accepted"); } catch (e) { console.log(e.message); } }
        attempt(function () { c.ThumbnailWidth = 70000; });
        attempt(function () { c.ImgSizeLimit = "abc"; });
        attempt(function () { return "" + c.PostUrl; });
        attempt(function () { c.NoSuchThing = 1; });
        console.log(c.GetCount(), c.GetPostedFiles() === undefined);
        c.AddField("a", "1"); c.ClearFields(); c.Clear();
        var versioned = new ActiveXObject("Quendal.PictavoPremium.1");
        console.log(typeof versioned.GetCount());
        host.exit(0);
    )");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "ThumbnailWidth: 0x8002000A (DISP_E_OVERFLOW)\n"
                     "ImgSizeLimit: 0x80020005 (DISP_E_TYPEMISMATCH)\n"
                     "PostUrl: 0x80020003 (DISP_E_MEMBERNOTFOUND)\n"
                     "NoSuchThing: 0x80020006 (DISP_E_UNKNOWNNAME)\n"
                     "0 true\n"
                     "number\n");
}

TEST_F(HostProgramTest, CallbackReceivesThePagesObjectItself)
{
    registerModule();
    Run r = host(R"(
        var c = new ActiveXObject("Quendal.PictavoPremium");
        c.OnImagesPosted(); // no callback yet: nothing happens
        var page = { name: "page" };
        c.Object = page;
        c.AfterImagesPosted = function (o) { console.log(o === page, o.name); host.exit(4); };
        setTimeout(function () { c.OnImagesPosted(); }, 0);
    )");
    EXPECT_EQ(r.code, 4) << r.err;
    EXPECT_EQ(r.out, "true page\n");
}

TEST_F(HostProgramTest, ModuleOptionWorksWithoutRegistrationAndLeavesTheRegistryAlone)
{
    Run r = host("var c = new ActiveXObject('Quendal.PictavoPremium'); c.ImgCountLimit = 5;"
                 "console.log(c.GetCount()); host.exit(0);",
                 "--timeout 20 --module '" + module() + "'");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "0\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("machine.reg")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("user.reg")));

    r = host("", "--module '" + dir.file("missing.so").string() + "'");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("no such file"), std::string::npos) << r.err;
}

TEST_F(HostProgramTest, UnknownProgIdIsAClearUncaughtError)
{
    Run r = host("var c = new ActiveXObject('Quendal.Nope');");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "Uncaught Error: ActiveXObject(\"Quendal.Nope\"): 0x800401F3 (CO_E_CLASSSTRING) (" +
                         dir.file("page.js").string() + ":1)\n");
}

TEST_F(HostProgramTest, ExitCodes)
{
    EXPECT_EQ(host("host.exit(3); console.log('not reached');").code, 3);
    EXPECT_EQ(host("console.log('waiting');", "--timeout 0.2").code, 124);

    Run r = host("throw new Error('broken page');");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Uncaught Error: broken page"), std::string::npos) << r.err;

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(host("for (;;) {}", "--timeout 0.2").code, 124);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    EXPECT_EQ(host("", "--timeout soon").code, 2);
    EXPECT_EQ(shell(bin() + "/pictavo-host --script '" + dir.file("absent.js").string() + "'").code, 1);
}

} // namespace

// The page host picks where windows appear; without a display it runs headless.
TEST_F(HostProgramTest, DisplayIsChosenByOptionOrEnvironment)
{
    const std::string page = "console.log(host.display); host.exit(0);";
    Run r = host(page, "--timeout 20 --headless");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "headless\n");
    r = shell("env -u DISPLAY -u WAYLAND_DISPLAY PICTAVO_DISPLAY= " + bin() +
              "/pictavo-host --timeout 20 --script '" + dir.write("d.js", page).string() + "'");
    EXPECT_EQ(r.out, "headless\n") << r.err;
    r = host(page, "--display sideways");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("--display wants auto, headless or sdl"), std::string::npos) << r.err;
}
