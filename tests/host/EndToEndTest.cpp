#include "support/TempDir.h"
#include "support/Xvfb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utime.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using pictavo::test::readFile;
using pictavo::test::TempDir;

std::string bin()
{
    const char* env = std::getenv("PICTAVO_BIN");
    return env ? env : PICTAVO_BINARY_DIR "/bin";
}

// pictavo-receiver on a free loopback port for the length of a test.
class Receiver
{
public:
    Receiver(const fs::path& folder, const fs::path& log, int delayMs) : log_(log)
    {
        const std::string program = bin() + "/pictavo-receiver";
        std::vector<std::string> args{program, "--port", "0", "--dir", folder.string(), "--delay-ms",
                                      std::to_string(delayMs)};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = 0;
        posix_spawn_file_actions_destroy(&actions);
        const std::string prefix = "listening on ";
        for (int i = 0; pid_ && i < 200 && url_.empty(); ++i) {
            std::ifstream in(log);
            std::string line;
            if (std::getline(in, line) && line.rfind(prefix, 0) == 0)
                url_ = line.substr(prefix.size()) + "upload";
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
    }
    ~Receiver()
    {
        if (pid_) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;

    const std::string& url() const { return url_; }
    // The requests it answered, one line each.
    std::vector<std::string> requests() const
    {
        std::vector<std::string> lines;
        std::ifstream in(log_);
        for (std::string line; std::getline(in, line);)
            if (line.rfind("POST ", 0) == 0)
                lines.push_back(line);
        return lines;
    }

private:
    fs::path log_;
    pid_t pid_ = 0;
    std::string url_;
};

// A person's desktop in a temporary folder: home, a desktop folder, a mount table with "/" only,
// the registry, and the receiver's folder. pictavo-host runs against the built module.
class EndToEnd : public ::testing::Test
{
protected:
    struct Run
    {
        int code;
        std::string out;
        std::string err;
    };

    // Every picture's file time, so "lastWriteTime" is known: 2024-05-01 12:34:56 UTC.
    static constexpr time_t kFileTime = 1714566896;

    void SetUp() override
    {
        for (const char* sub : {"home/Desktop", "pictures", "received"})
            fs::create_directories(dir.file(sub));
        dir.write("mountinfo", "1 0 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n");
        fs::create_directories(shots());
    }

    static fs::path shots() { return PICTAVO_BINARY_DIR "/end-to-end"; }

    // A picture of the project's toolbox art at the given size.
    fs::path picture(const fs::path& path, int width, int height)
    {
        const std::string command = bin() + "/pictavo-image " PICTAVO_SOURCE_DIR "/res/Toolbox.bmp '" + path.string() +
                                    "' --scale " + std::to_string(width) + "x" + std::to_string(height) +
                                    (path.extension() == ".jpg" ? " --quality 90" : "");
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        const utimbuf times{kFileTime, kFileTime};
        utime(path.c_str(), &times);
        return path;
    }
    // "width height bits alpha=0|1" as the image library decodes the file; empty if it cannot.
    std::string decoded(const fs::path& path)
    {
        Run r = shell(bin() + "/pictavo-image --info '" + path.string() + "'");
        return r.code == 0 ? r.out : "";
    }
    std::vector<std::string> stored() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.file("received")))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string fields(const std::string& name) const { return readFile(dir.file("received/" + name + ".fields")); }

    std::string environment() const
    {
        return "env -u PICTAVO_SHELL_HOME TZ=UTC USER=ann HOME='" + dir.file("home").string() +
               "' PICTAVO_SHELL_DESKTOP='" + dir.file("home/Desktop").string() + "' PICTAVO_SHELL_MOUNTINFO='" +
               dir.file("mountinfo").string() + "' PICTAVO_REGISTRY_MACHINE='" + dir.file("machine.reg").string() +
               "' PICTAVO_REGISTRY_USER='" + dir.file("user.reg").string() + "' ";
    }
    Run shell(const std::string& command, const pictavo::test::Xvfb* x = nullptr)
    {
        const std::string full =
            command + " >'" + dir.file("out").string() + "' 2>'" + dir.file("err").string() + "'";
        const int status = x ? x->run(full) : std::system(full.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(dir.file("out")), readFile(dir.file("err"))};
    }
    std::string host(const std::string& display) const
    {
        return bin() + "/pictavo-host " + display + " --timeout 60 --module " PICTAVO_BINARY_DIR "/lib/libpictavo.so ";
    }

    // The album page driven by one of the scenarios, which start with person.js.
    Run album(const std::string& scenario, const Receiver& receiver, const std::vector<fs::path>& pictures = {})
    {
        const std::string folder = PICTAVO_SOURCE_DIR "/tests/host/scenarios/";
        const auto script = dir.write("scenario.js", readFile(folder + "person.js") + readFile(folder + scenario));
        std::string list;
        for (const auto& p : pictures)
            list += (list.empty() ? "" : "\n") + p.string();
        return shell(environment() + "ALBUM_POST_URL='" + receiver.url() + "' ALBUM_PICTURES='" + list +
                     "' ALBUM_SHOTS='" + shots().string() + "' " + host("--headless") + "'" + folder +
                     "album.html' --drive '" + script.string() + "'");
    }

    // The built-in demo with its own scenario, storing into our folder.
    Run demo(const std::string& display, const pictavo::test::Xvfb* x = nullptr)
    {
        const fs::path folder = dir.file("pictures");
        picture(folder / "小图.jpg", 160, 160);
        picture(folder / "large.jpg", 1200, 900);
        picture(folder / "wide.png", 640, 200);
        return shell(environment() + "PICTAVO_DEMO_PICTURES='" + folder.string() +
                         "' PICTAVO_DEMO_PICTURE_LIST='large.jpg\nwide.png\n小图.jpg' PICTAVO_DEMO_RECEIVED='" +
                         dir.file("received").string() + "' " + host(display) + "--drive " PICTAVO_SOURCE_DIR
                         "/host/pages/demo-scenario.js",
                     x);
    }
    void expectDemoStored(const Run& r)
    {
        ASSERT_EQ(r.code, 0) << r.out << r.err;
        EXPECT_NE(r.out.find("demo: the page received 3 answer(s)"), std::string::npos) << r.out;
        EXPECT_EQ(stored(), (std::vector<std::string>{"large.jpg", "large.jpg.fields", "wide.jpg", "wide.jpg.fields",
                                                      "小图.jpg", "小图.jpg.fields"}));
        // Under the page's CompressSizeLimit every file goes byte for byte, renamed to the
        // upload format's extension (the PNG too).
        for (const auto& [sent, source] : {std::pair{"large.jpg", "large.jpg"}, {"wide.jpg", "wide.png"},
                                           {"小图.jpg", "小图.jpg"}}) {
            const fs::path original = dir.file("pictures") / source;
            EXPECT_TRUE(readFile(dir.file("received") / sent) == readFile(original)) << sent << " differs from " << source;
            EXPECT_NE(decoded(dir.file("received") / sent), "") << sent;
            EXPECT_NE(fields(sent).find("\nalbum=demo\n"), std::string::npos) << fields(sent);
        }
        EXPECT_EQ(decoded(dir.file("received/large.jpg")), "1200 900 24 alpha=0\n");
    }

    TempDir dir;
};

TEST_F(EndToEnd, DemoScenarioUploadsThePicturesItDrops)
{
    expectDemoStored(demo("--headless"));
}

TEST_F(EndToEnd, DemoUploadsOnTheSdlDisplayUnderXvfb)
{
    if (!fs::exists("/usr/bin/Xvfb"))
        GTEST_SKIP() << "Xvfb is missing: the demo is not tried on the SDL2 display";
    pictavo::test::Xvfb x(100 + getpid() % 400);
    if (!x.ready())
        GTEST_SKIP() << "Xvfb did not start";
    expectDemoStored(demo("--display sdl", &x));
}

TEST_F(EndToEnd, PicturesChosenInTheAddDialogArriveWithTheirFieldsInOrder)
{
    const fs::path folder = dir.file("home/Desktop/相册");
    fs::create_directories(folder);
    picture(folder / "beach.jpg", 640, 480);
    picture(folder / "hills.png", 300, 200);
    picture(folder / "sunset.jpg", 800, 600);
    // Slow enough answers that each status text stays up for the person to read.
    Receiver receiver(dir.file("received"), dir.file("receiver.log"), 800);
    ASSERT_FALSE(receiver.url().empty());

    Run r = album("add-and-post.js", receiver);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "start: list hidden, large add shown, add on, post off, time shown, speed shown\n"
                     "dialog: beach.jpg+ hills.png- sunset.jpg+, 当前选择2/3张照片\n"
                     "added: beach.jpg,sunset.jpg; list shown, large add hidden, add on, post on, time shown, speed shown\n"
                     "statuses: 请点击\"添加按钮\"，选择要上传的照片 | 正在上传第1/2张图片 | 正在上传第2/2张图片 | "
                     "所有图片已上传完毕\n"
                     "callback: 1 call(s), with the page's object true, answers stored beach.jpg,stored sunset.jpg\n"
                     "end: list hidden, large add shown, add on, post off, time shown, speed shown, 0 tile(s)\n")
        << r.err;

    EXPECT_EQ(stored(), (std::vector<std::string>{"beach.jpg", "beach.jpg.fields", "sunset.jpg", "sunset.jpg.fields"}));
    for (const auto& [name, width, height] : {std::tuple{"beach.jpg", 640, 480}, {"sunset.jpg", 800, 600}}) {
        const fs::path file = dir.file("received") / name;
        EXPECT_EQ(decoded(file), std::to_string(width) + " " + std::to_string(height) + " 24 alpha=0\n");
        EXPECT_EQ(fields(name), "file-field=photo\nfilename=" + std::string(name) +
                                    "\nbytes=" + std::to_string(fs::file_size(file)) +
                                    "\nalbum=假期\nlastWriteTime=2024-05-01 12:34:56\nwidth=" + std::to_string(width) +
                                    "\nheight=" + std::to_string(height) + "\nremark=" + name + "\n");
    }
}

TEST_F(EndToEnd, TheCroppedPictureIsWhatArrives)
{
    const fs::path big = picture(dir.file("pictures/big.jpg"), 3000, 2000);
    Receiver receiver(dir.file("received"), dir.file("receiver.log"), 0);
    ASSERT_FALSE(receiver.url().empty());

    Run r = album("edit-and-post.js", receiver, {big});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "opened at 714 x 476 on 714 x 515\n"
                     "drawn 100,100,400,300\n"
                     "cropped to 300 x 200\n"
                     "posted: stored big.jpg\n")
        << r.err;
    EXPECT_EQ(decoded(dir.file("received/big.jpg")), "300 200 24 alpha=0\n");
    const std::string meta = fields("big.jpg");
    EXPECT_NE(meta.find("\nwidth=300\nheight=200\nremark=big.jpg\n"), std::string::npos) << meta;
}

TEST_F(EndToEnd, CancelQuestionAnsweredCancelGoesOnAndOkStopsTheRun)
{
    const std::vector<fs::path> pictures{picture(dir.file("pictures/a.jpg"), 640, 480),
                                         picture(dir.file("pictures/b.png"), 300, 200),
                                         picture(dir.file("pictures/c.jpg"), 320, 240)};
    // Each answer takes long enough for a person to press the button mid-picture.
    Receiver receiver(dir.file("received"), dir.file("receiver.log"), 3000);
    ASSERT_FALSE(receiver.url().empty());

    Run r = album("cancel-run.js", receiver, pictures);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "running: list shown, large add hidden, add off, post on, time shown, speed shown\n"
                     "asked: true\n"
                     "went on: 正在上传第1/3张图片 | 正在上传第2/3张图片\n"
                     "asked: true\n"
                     "stopped: list shown, large add hidden, add on, post on, time hidden, speed hidden, "
                     "status 正在上传第2/3张图片\n"
                     "tiles: a.jpg sent, b.png unsent, c.jpg unsent\n"
                     "callback: 0, answers stored a.jpg\n")
        << r.err;
    // The second picture may have reached the server before the cancel; the third never did.
    const auto requests = receiver.requests();
    EXPECT_LE(requests.size(), 2u);
    for (const auto& name : stored())
        EXPECT_TRUE(name.rfind("a.jpg", 0) == 0 || name.rfind("b.jpg", 0) == 0) << name;
}

TEST_F(EndToEnd, ClosingThePageDuringARunEndsTheHostCleanly)
{
    const std::vector<fs::path> pictures{picture(dir.file("pictures/a.jpg"), 640, 480),
                                         picture(dir.file("pictures/b.png"), 300, 200),
                                         picture(dir.file("pictures/c.jpg"), 320, 240)};
    Receiver receiver(dir.file("received"), dir.file("receiver.log"), 1000);
    ASSERT_FALSE(receiver.url().empty());

    Run r = album("close-during-run.js", receiver, pictures);
    EXPECT_EQ(r.code, 7) << r.err;
    EXPECT_EQ(r.out, "closed: null, page: the page has closed\n");
    EXPECT_EQ(r.err, "");
    // The run stopped with the page: nothing after the picture in flight was sent.
    EXPECT_LE(receiver.requests().size(), 1u);
    for (const auto& name : stored())
        EXPECT_EQ(name.rfind("a.jpg", 0), 0u) << name;
}

} // namespace
