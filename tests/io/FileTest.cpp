#include "io/File.h"
#include "io/FileFunctions.h"

#include "platform/kernel/MessageBox.h"
#include "platform/kernel/Strings.h"
#include "support/TempDir.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <vector>

using pictavo::platform::fromUtf8;
using pictavo::platform::MessageBoxService;
using pictavo::test::TempDir;
using Quendal::IO::File;

namespace {

std::u16string wide(const std::filesystem::path& p)
{
    return fromUtf8(p.native());
}

// Records every box shown while it lives.
class BoxRecorder
{
public:
    struct Box
    {
        HWND owner;
        std::u16string text, caption;
        UINT type;
    };
    BoxRecorder()
    {
        m_previous = MessageBoxService::setHandler(
            [this](HWND o, std::u16string_view t, std::u16string_view c, UINT ty) {
                boxes.push_back({o, std::u16string(t), std::u16string(c), ty});
                return IDOK;
            });
    }
    ~BoxRecorder() { MessageBoxService::setHandler(m_previous); }
    std::vector<Box> boxes;

private:
    MessageBoxService::Handler m_previous;
};

} // namespace

TEST(File, WholeFileLoad)
{
    TempDir dir;
    std::string bytes(300000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7);
    auto path = dir.write("图片.jpg", bytes);

    File file;
    EXPECT_EQ(file.GetCapacity(), 1048576);
    EXPECT_EQ(file.GetCount(), 0);
    ASSERT_TRUE(file.Open(wide(path)));
    EXPECT_EQ(file.GetPath(), wide(path));
    ASSERT_EQ(file.GetSize(), 300000);
    file.SetBufferSize(file.GetSize());
    ASSERT_TRUE(file.Read());
    ASSERT_EQ(file.GetCount(), 300000);
    EXPECT_EQ(std::string(file.GetBuffer(), file.GetCount()), bytes);
    EXPECT_FALSE(file.Read()); // at the end
    EXPECT_EQ(file.GetCount(), 0);
    file.Close();
    EXPECT_EQ(file.GetSize(), 0);
    EXPECT_EQ(file.GetBuffer()[0], 0); // zero-filled, still allocated
    EXPECT_EQ(file.GetCapacity(), 300000);
}

TEST(File, ReadsInBufferSizedPiecesAndNeverPastTheSizeAtOpen)
{
    TempDir dir;
    auto path = dir.write("grow.bin", "0123456789");
    File file;
    ASSERT_TRUE(file.Open(wide(path)));
    std::ofstream(path, std::ios::app) << "more bytes appended later";
    file.SetBufferSize(4);
    std::string got;
    while (file.Read())
        got.append(file.GetBuffer(), file.GetCount());
    EXPECT_EQ(got, "0123456789");
}

TEST(File, EmptyMissingAndClosedFiles)
{
    TempDir dir;
    File file;
    ASSERT_TRUE(file.Open(wide(dir.write("empty", ""))));
    EXPECT_EQ(file.GetSize(), 0);
    EXPECT_FALSE(file.Read());
    EXPECT_EQ(file.GetCount(), 0);
    file.Close();
    file.Close(); // twice: harmless, the object stays usable
    EXPECT_FALSE(file.Read());

    EXPECT_FALSE(file.Open(wide(dir.file("missing"))));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(file.GetSize(), 0);
    EXPECT_FALSE(file.Read());

    ASSERT_TRUE(file.Open(wide(dir.write("again", "xy"))));
    ASSERT_TRUE(file.Read());
    EXPECT_EQ(std::string(file.GetBuffer(), file.GetCount()), "xy");
    file.Close();
}

TEST(File, FoldersAndPipesAreUnopenableAndNeverBlock)
{
    TempDir dir;
    auto fifo = dir.file("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    File file;
    for (const auto& p : {dir.path(), fifo}) {
        EXPECT_FALSE(file.Open(wide(p)));
        EXPECT_EQ(errno, EACCES);
        EXPECT_EQ(file.GetSize(), 0);
    }
    BoxRecorder boxes;
    EXPECT_EQ(QueryFileSize(wide(fifo)), 0);
    EXPECT_EQ(QueryFileSize(wide(dir.path())), 0);
    EXPECT_EQ(FormatLastWriteTime(wide(fifo)), u"00:00:00");
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].text, u"打开文件错误，错误码：13，文件路径：" + wide(fifo));
}

TEST(File, NonUtf8FileNamesAreReachable)
{
    TempDir dir;
    auto path = dir.write("caf\xE9-\xB4\xF2.jpg", "abc"); // Latin-1 and GBK bytes
    File file;
    ASSERT_TRUE(file.Open(wide(path)));
    EXPECT_EQ(file.GetSize(), 3);
    file.Close();
    EXPECT_EQ(QueryFileSize(wide(path)), 3);
}

TEST(File, FilesOf2GiBOrMoreAreRefusedNotWrapped)
{
    TempDir dir;
    auto big = dir.file("big.bin");
    {
        std::ofstream(big).put('x');
    }
    std::filesystem::resize_file(big, 0x80000000ull); // sparse: no disk space used
    File file;
    EXPECT_FALSE(file.Open(wide(big)));
    EXPECT_EQ(errno, EFBIG);
    EXPECT_EQ(file.GetSize(), 0);
    BoxRecorder boxes;
    EXPECT_EQ(QueryFileSize(wide(big)), 0);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, u"打开文件错误，错误码：27，文件路径：" + wide(big));

    std::filesystem::resize_file(big, 0x7FFFFFFFull);
    ASSERT_TRUE(file.Open(wide(big)));
    EXPECT_EQ(file.GetSize(), 0x7FFFFFFF);
    file.Close();
}

TEST(FileFunctions, QueryFileSize)
{
    TempDir dir;
    BoxRecorder boxes;
    EXPECT_EQ(QueryFileSize(wide(dir.write("a.png", std::string(1234, 'a')))), 1234);
    EXPECT_EQ(QueryFileSize(wide(dir.write("empty.png", ""))), 0);
    EXPECT_TRUE(boxes.boxes.empty());

    const std::u16string missing = wide(dir.file("不存在.jpg"));
    EXPECT_EQ(QueryFileSize(missing), 0);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].owner, nullptr);
    EXPECT_EQ(boxes.boxes[0].caption, u"000");
    EXPECT_EQ(boxes.boxes[0].type, static_cast<UINT>(MB_OK));
    EXPECT_EQ(boxes.boxes[0].text, u"打开文件错误，错误码：2，文件路径：" + missing);
}

TEST(FileFunctions, FormatLastWriteTimeUsesTheCurrentZoneRules)
{
    TempDir dir;
    auto path = dir.write("photo.jpg", "x");
    const char* oldTz = std::getenv("TZ");
    const std::string savedTz = oldTz ? oldTz : "";
    setenv("TZ", "CST-8", 1); // POSIX rules: no time-zone database needed
    tzset();
    struct tm local = {};
    local.tm_year = 2014 - 1900;
    local.tm_mon = 3;
    local.tm_mday = 18;
    local.tm_hour = 11;
    local.tm_min = 13;
    local.tm_sec = 20;
    local.tm_isdst = -1;
    const time_t when = mktime(&local);
    const struct timeval times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimes(path.c_str(), times), 0);
    EXPECT_EQ(FormatLastWriteTime(wide(path)), u"2014-04-18 11:13:20");

    setenv("TZ", "UTC0", 1);
    EXPECT_EQ(FormatLastWriteTime(wide(path)), u"2014-04-18 03:13:20");

    if (oldTz)
        setenv("TZ", savedTz.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    EXPECT_EQ(FormatLastWriteTime(wide(dir.file("missing"))), u"00:00:00");
}
