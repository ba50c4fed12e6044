#include "ImageTestUtil.h"
#include "image/CxIOFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

using namespace imagetest;

namespace {

struct ToolRun
{
    int status;
    std::string output;
};

ToolRun runTool(const std::string& arguments)
{
    const char* bin = std::getenv("PICTAVO_BIN");
    std::string command =
        std::string(bin ? bin : PICTAVO_BINARY_DIR "/bin") + "/pictavo-image " + arguments + " 2>&1";
    ToolRun run{-1, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return run;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        run.output += buffer;
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

void save(CxImage& image, const std::filesystem::path& path, DWORD format)
{
    CxIOFile file;
    ASSERT_TRUE(file.OpenUtf8(path.c_str(), "wb"));
    ASSERT_TRUE(image.Encode(&file, format));
}

} // namespace

TEST(PictavoImageTool, AppliesOperationsInOrderAndReportsInfo)
{
    pictavo::test::TempDir dir;
    CxImage image;
    makePattern(image, 40, 30, true);
    save(image, dir.file("in.png"), ImageFormat::Png);

    std::string in = dir.file("in.png").string();
    ToolRun info = runTool("--info " + in);
    EXPECT_EQ(info.status, 0);
    EXPECT_EQ(info.output, "40 30 24 alpha=1\n");

    // Turn first, then crop in the turned picture's terms.
    std::string out = dir.file("out.bmp").string();
    ToolRun edit = runTool(in + " " + out + " --rotate right --crop 0,0,20,35 --light 0,0");
    ASSERT_EQ(edit.status, 0) << edit.output;
    EXPECT_EQ(runTool("--info " + out).output, "20 35 24 alpha=1\n");

    CxImage expected;
    image.Rotate90Right(&expected);
    expected.CropTo(0, 0, 20, 35);
    CxImage got;
    CxIOFile file;
    ASSERT_TRUE(file.OpenUtf8(out.c_str(), "rb"));
    ASSERT_TRUE(got.Decode(&file, ImageFormat::Unknown));
    EXPECT_TRUE(samePixels(expected, got));

    std::string jpg = dir.file("out.data").string();
    ASSERT_EQ(runTool(in + " " + jpg + " --fit 20x20 --quality 70 --format jpg").status, 0);
    EXPECT_EQ(runTool("--info " + jpg).output, "20 15 24 alpha=0\n");
}

TEST(PictavoImageTool, FailuresPrintTheReasonAndExitOne)
{
    pictavo::test::TempDir dir;
    std::string junk = dir.write("junk.bin", "no picture here").string();
    ToolRun run = runTool(junk + " " + dir.file("x.png").string());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("Decode: Unknown or wrong format"), std::string::npos);

    CxImage image;
    makePattern(image, 8, 8);
    save(image, dir.file("in.bmp"), ImageFormat::Bmp);
    std::string in = dir.file("in.bmp").string();
    run = runTool(in + " " + dir.file("x.png").string() + " --saturate 5:3");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("Saturate: wrong colorspace"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.png")));

    EXPECT_EQ(runTool(in + " " + dir.file("x.tif").string()).status, 1);
    EXPECT_EQ(runTool(in + " " + dir.file("x.png").string() + " --crop 1,2,3").status, 1);
    EXPECT_EQ(runTool(in + " " + dir.file("x.png").string() + " --scale 0x5").status, 1);
}
