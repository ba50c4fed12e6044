// pictavo-image run as a careless or hostile user would: full disks, outputs that are not
// plain files, numbers past every range.
#include "JpegMarkers.h"
#include "image/CxImage.h"
#include "image/CxIOFile.h"
#include "image/CxMemFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using pictavo::test::readFile;
using pictavo::test::TempDir;

namespace {

struct ToolRun
{
    int status = -1;
    std::string output;
};

std::string toolPath()
{
    const char* bin = std::getenv("PICTAVO_BIN");
    return std::string(bin && *bin ? bin : PICTAVO_BINARY_DIR "/bin") + "/pictavo-image";
}

// Runs the tool with the given arguments; fileLimit > 0 caps the size of any file it writes,
// which is how a full disk looks to a writer.
ToolRun runTool(const TempDir& dir, std::vector<std::string> args, rlim_t fileLimit = 0)
{
    const std::string log = dir.file("tool-output.txt").string();
    args.insert(args.begin(), toolPath());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        if (fileLimit > 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{fileLimit, fileLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ToolRun run;
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    run.output = readFile(log);
    std::filesystem::remove(log);
    return run;
}

// A 24-bit BMP of w x h: large enough that a small file limit stops its copy.
std::filesystem::path writeBmp(const TempDir& dir, const std::string& name, DWORD w, DWORD h)
{
    CxImage image;
    image.Create(w, h, 24);
    for (DWORD y = 0; y < h; ++y)
        for (DWORD x = 0; x < w; ++x)
            image.SetPixelColour(LONG(x), LONG(y), RGBQUAD{BYTE(x), BYTE(y), BYTE(x ^ y), 0});
    CxIOFile file;
    const auto path = dir.file(name);
    EXPECT_TRUE(file.OpenUtf8(path.c_str(), "wb"));
    EXPECT_TRUE(image.Encode(&file, ImageFormat::Bmp));
    return path;
}

std::vector<std::string> namesIn(const TempDir& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(ImageToolHostile, FullDiskLeavesInputAndExistingOutputUntouched)
{
    TempDir dir;
    const auto in = writeBmp(dir, "in.bmp", 200, 200);
    const std::string before = readFile(in);
    const auto old = dir.write("old.bmp", "the previous output");

    // The output is the input itself.
    ToolRun run = runTool(dir, {in.string(), in.string(), "--rotate", "left"}, 8192);
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(contains(run.output, "cannot write")) << run.output;
    EXPECT_TRUE(readFile(in) == before) << "the input changed";

    run = runTool(dir, {in.string(), old.string()}, 8192);
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(readFile(old) == "the previous output");
    // No half-written temporary file is left behind either.
    EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"in.bmp", "old.bmp"}));
}

TEST(ImageToolHostile, ReplacingAnOutputKeepsItsModeAndWritesThroughLinks)
{
    TempDir dir;
    const auto in = writeBmp(dir, "in.bmp", 20, 10);
    const auto target = dir.write("target.bmp", "old");
    ::chmod(target.c_str(), 0640);
    const auto link = dir.file("link.bmp");
    std::filesystem::create_symlink(target.filename(), link);

    ToolRun run = runTool(dir, {in.string(), link.string()});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_TRUE(readFile(target) == readFile(in));
    struct stat st{};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(ImageToolHostile, AnOutputThatIsNoPlainFileIsWrittenInPlaceAndNeverRemoved)
{
    TempDir dir;
    const auto in = writeBmp(dir, "in.bmp", 20, 10);
    const auto full = dir.file("full.bmp");
    const auto null = dir.file("null.bmp");
    std::filesystem::create_symlink("/dev/full", full);
    std::filesystem::create_symlink("/dev/null", null);

    ToolRun run = runTool(dir, {in.string(), full.string()});
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(contains(run.output, "cannot write")) << run.output;
    EXPECT_TRUE(std::filesystem::is_symlink(full));

    run = runTool(dir, {in.string(), null.string()});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(std::filesystem::is_symlink(null));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

TEST(ImageToolHostile, NumbersOutsideTheirRangeAreRefused)
{
    TempDir dir;
    const std::string in = writeBmp(dir, "in.bmp", 20, 10).string();
    const std::string out = dir.file("out.jpg").string();
    const std::vector<std::vector<std::string>> refused = {
        {"--scale", "4294967306x8"}, {"--scale", "8x-1"},          {"--scale", "99999999999999999999x8"},
        {"--fit", "4294967306x8"},   {"--crop", "0,0,4294967306,5"}, {"--light", "4294967296,0"},
        {"--light", "256,0"},        {"--light", "0,101"},          {"--saturate", "4294967297"},
        {"--quality", "0"},          {"--quality", "101"},          {"--quality", "-5"},
        {"--quality", "356"},
    };
    for (const auto& option : refused) {
        ToolRun run = runTool(dir, {in, out, option[0], option[1]});
        EXPECT_EQ(run.status, 1) << option[0] << " " << option[1];
        EXPECT_TRUE(contains(run.output, "bad " + option[0])) << run.output;
        EXPECT_FALSE(std::filesystem::exists(out)) << option[0] << " " << option[1];
    }
    for (const char* quality : {"1", "100"}) {
        ToolRun run = runTool(dir, {in, out, "--quality", quality});
        EXPECT_EQ(run.status, 0) << quality << ": " << run.output;
    }
}

TEST(ImageToolHostile, APictureOverTheDecodeBoundIsCalledTooLarge)
{
    TempDir dir;
    // A sound 8 x 8 JPEG whose frame header then claims 20000 x 20000 pixels.
    CxImage small;
    small.Create(8, 8, 24);
    CxMemFile mem;
    mem.Open();
    ASSERT_TRUE(small.Encode(&mem, ImageFormat::Jpg));
    std::string jpeg(reinterpret_cast<const char*>(mem.GetBuffer()), size_t(mem.Size()));
    const size_t sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    for (size_t at : {sof + 5, sof + 7}) {
        jpeg[at] = char(20000 >> 8);
        jpeg[at + 1] = char(20000 & 0xFF);
    }
    const std::string in = dir.write("huge.jpg", jpeg).string();

    for (const auto& args : {std::vector<std::string>{"--info", in}, {in, dir.file("out.png").string()}}) {
        ToolRun run = runTool(dir, args);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(contains(run.output, "too large")) << run.output;
    }
    // What is no picture at all still says so.
    const std::string junk = dir.write("junk.bin", "no picture").string();
    EXPECT_TRUE(contains(runTool(dir, {"--info", junk}).output, "Decode: Unknown or wrong format"));
}

TEST(ImageToolHostile, ARotatedCameraPictureIsNotTurnedAgainByViewers)
{
    using namespace jpegmarkers;
    TempDir dir;
    CxImage image;
    image.Create(24, 16, 24);
    CxMemFile mem;
    mem.Open();
    ASSERT_TRUE(image.Encode(&mem, ImageFormat::Jpg));
    std::string profile(600, 'p');
    profile.replace(16, 4, "RGB ");
    std::vector<Segment> segments{{0xE1, exifWithOrientation(6)}};
    for (const Segment& chunk : iccChunks(profile, 2))
        segments.push_back(chunk);
    const auto in = dir.write(
        "camera.jpg", withSegments(std::string(reinterpret_cast<const char*>(mem.GetBuffer()), size_t(mem.Size())),
                                   segments));
    const auto out = dir.file("turned.jpg");

    ToolRun run = runTool(dir, {in.string(), out.string(), "--rotate", "right"});
    ASSERT_EQ(run.status, 0) << run.output;
    const auto written = segmentsOf(readFile(out));
    ASSERT_NE(find(written, 0xE1), nullptr);
    EXPECT_EQ(orientationOf(find(written, 0xE1)->payload), 1);
    EXPECT_TRUE(iccOf(written) == profile);
}
