#include "support/TempDir.h"
#include "support/Xvfb.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using pictavo::test::readFile;
using pictavo::test::TempDir;

// pictavo-host with a page window on the headless screen, driven by a scenario, against the
// built module registered in a temporary registry by --module.
class PageHostTest : public ::testing::Test
{
protected:
    struct Run
    {
        int code;
        std::string out;
        std::string err;
    };

    Run page(const std::string& html, const std::string& scenario, const std::string& extra = "",
             const std::string& display = "--headless", const pictavo::test::Xvfb* x = nullptr)
    {
        const auto pagePath = dir.write("page.html", html);
        const auto scenarioPath = dir.write("scenario.js", scenario);
        std::string command = "env PICTAVO_REGISTRY_MACHINE='" + dir.file("machine.reg").string() +
                              "' PICTAVO_REGISTRY_USER='" + dir.file("user.reg").string() + "' " PICTAVO_BINARY_DIR
                              "/bin/pictavo-host " + display + " --timeout 20 --module " PICTAVO_BINARY_DIR
                              "/lib/libpictavo.so '" +
                              pagePath.string() + "' --drive '" + scenarioPath.string() + "' " + extra + " >'" +
                              dir.file("out").string() + "' 2>'" + dir.file("err").string() + "'";
        const int status = x ? x->run(command) : std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(dir.file("out")), readFile(dir.file("err"))};
    }

    TempDir dir;
};

constexpr const char* kTwoObjects = R"(<html><head><title>相册上传</title></head><body>
<object classid="clsid:2D429495-D446-48f5-9E8C-43F7ABD5FA40" id="upper" width="300" height="120">
  <param name="PostUrl" value="http://127.0.0.1:1/ignored"></object>
<p>text between is ignored</p>
<object classid="progid:Quendal.PictavoPremium" id="lower">
  <param name="_cx" value="5080"><param name="_CY" value="1270"></object>
<script>var order = ["inline 1", typeof upper.GetCount(), typeof lower.GetCount()];</script>
<script src="sub/second.js"></script>
<script>order.push("inline 3"); window.onload = function () { order.push("onload"); };</script>
</body></html>)";

TEST_F(PageHostTest, ObjectsStackInOrderAndScriptsRunAfterThem)
{
    std::filesystem::create_directories(dir.file("sub"));
    dir.write("sub/second.js", "order.push('second');\n");
    Run r = page(kTwoObjects, R"js(
        var pw = waitWindow("相册上传", 5000);
        var frame = windows().filter(function (w) { return w.hwnd === pw; })[0];
        var upper = elements(control("upper")), lower = elements(control("lower"));
        log(page("order.join('|')"));
        log(upper.className, upper.width, upper.height, lower.width, lower.height);
        // One below the other, left-aligned, 8 pixels apart.
        log(lower.x - upper.x, lower.y - upper.y - upper.height);
        log(control("nothing") === null, frame.visible);
        exit(3);
    )js");
    EXPECT_EQ(r.code, 3) << r.err;
    EXPECT_EQ(r.out, "inline 1|number|number|second|inline 3|onload\n"
                     "PictavoControl 300 120 192 48\n"
                     "0 8\n"
                     "true true\n")
        << r.err;
}

TEST_F(PageHostTest, AlertIsAModalBoxOwnedByThePage)
{
    Run r = page(R"(<title>Alerting</title>
        <object classid="progid:Quendal.PictavoPremium" id="up" width="100" height="50"></object>
        <script>var seen = "before"; setTimeout(function () { alert("你好 " + up.GetCount()); seen = "after"; }, 0);</script>)",
                 R"js(
        var pw = waitWindow("Alerting", 5000);
        var box = waitWindow("来自网页的消息", 5000);
        var info = windows().filter(function (w) { return w.hwnd === box; })[0];
        var pageInfo = windows().filter(function (w) { return w.hwnd === pw; })[0];
        log(info.owner === pw, pageInfo.enabled, find(box, "你好 0") !== null, page("seen"));
        key("Enter");
        waitFor(function () { return page("seen") === "after"; }, 5000);
        log(windows().some(function (w) { return w.hwnd === box; }), page("seen"));
    )js");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "true false true before\nfalse after\n") << r.err;
}

TEST_F(PageHostTest, ClosingThePageTearsTheControlsDown)
{
    Run r = page(R"(<title>Closing</title>
        <object classid="progid:Quendal.PictavoPremium" id="a" width="100" height="50"></object>
        <object classid="progid:Quendal.PictavoPremium" id="b" width="100" height="50"></object>)",
                 R"js(
        var pw = waitWindow("Closing", 5000);
        var a = control("a"), b = control("b");
        // A person first brings the page to the front, then closes it from the keyboard.
        var w = windows().filter(function (x) { return x.hwnd === pw; })[0];
        click(w.x + w.width - 4, w.y + w.height - 4);
        key("Alt+F4");
        waitFor(function () { return !windows().some(function (w) { return w.hwnd === pw; }); }, 5000);
        var threw = "";
        try { page("1"); } catch (e) { threw = e.message; }
        log(control("a"), control("b"), threw);
        exit(5);
    )js",
                 "--screenshot '" + dir.file("page.png").string() + "'");
    EXPECT_EQ(r.code, 5) << r.err;
    EXPECT_EQ(r.out, "null null page: the page has closed\n") << r.err;
    // The page was gone when the scenario ended: no picture, and the host says so.
    EXPECT_NE(r.err.find("cannot save a picture"), std::string::npos);
}

TEST_F(PageHostTest, ScenarioFailuresAndTimeOutsSetTheExitCode)
{
    const char* html = "<title>T</title><script>var x = 1;</script>";
    Run r = page(html, "waitWindow('T', 5000); page('nope.nothing');");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("nope"), std::string::npos) << r.err;

    r = page(html, "waitWindow('T', 5000); screenshot('" + dir.file("shot.png").string() + "'); log(page('x + 1'));",
             "--screenshot '" + dir.file("page.png").string() + "'");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "2\n");
    EXPECT_TRUE(std::filesystem::file_size(dir.file("page.png")) > 0);

    const auto pagePath = dir.write("slow.html", html);
    const auto scenarioPath = dir.write("slow.js", "sleep(60000);");
    const std::string command = "env PICTAVO_REGISTRY_MACHINE='" + dir.file("machine.reg").string() +
                                "' " PICTAVO_BINARY_DIR "/bin/pictavo-host --headless --timeout 0.5 '" +
                                pagePath.string() + "' --drive '" + scenarioPath.string() + "' 2>/dev/null";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 124);
}

TEST_F(PageHostTest, RunsOnTheSdlDisplayUnderXvfb)
{
    if (!std::filesystem::exists("/usr/bin/Xvfb"))
        GTEST_SKIP() << "Xvfb is missing: the page host is not tried on the SDL2 display";
    pictavo::test::Xvfb x(500 + getpid() % 400);
    if (!x.ready())
        GTEST_SKIP() << "Xvfb did not start";
    Run r = page(R"(<title>On X</title>
        <object classid="progid:Quendal.PictavoPremium" id="up" width="320" height="200"></object>
        <script>setTimeout(function () { alert("shown"); }, 0);</script>)",
                 R"js(
        var pw = waitWindow("On X", 10000);
        var box = waitWindow("来自网页的消息", 10000);
        key("Enter");
        waitFor(function () { return !windows().some(function (w) { return w.hwnd === box; }); }, 10000);
        var c = elements(control("up"));
        log(page("host.display"), c.width, c.height);
    )js",
                 "--screenshot '" + dir.file("x.png").string() + "'", "--display sdl", &x);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "sdl 320 200\n") << r.err;
    EXPECT_GT(std::filesystem::file_size(dir.file("x.png")), 0u);
}

} // namespace
