#include <gtest/gtest.h>

#include <regex>
#include <sys/stat.h>

#include "Biz/DiagnosticLog.h"
#include "platform/kernel/Strings.h"
#include "support/TempDir.h"

namespace {

using pictavo::test::readFile;
using pictavo::test::TempDir;

std::u16string wide(const std::filesystem::path& path)
{
    return pictavo::platform::fromUtf8(path.string());
}

// One record: date, four blanks, the GBK creation message, the fixed location, a line end.
const std::regex RecordLine("\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d    - "
                            "\xC8\xD5\xD6\xBE\xB4\xB4\xBD\xA8\xB3\xC9\xB9\xA6 \\[Biz\\\\Log:51\\]\n");

TEST(DiagnosticLog, EnabledOpenWritesExactlyTheCreationRecord)
{
    TempDir dir;
    DiagnosticLog log;
    log.Open(true, wide(dir.file("pictavo.log")));
    EXPECT_TRUE(log.Enabled());
    EXPECT_TRUE(std::regex_match(readFile(dir.file("pictavo.log")), RecordLine));
}

TEST(DiagnosticLog, DisabledOrEmptyPathCreatesNothing)
{
    TempDir dir;
    DiagnosticLog log;
    log.Open(false, wide(dir.file("off.log")));
    EXPECT_FALSE(log.Enabled());
    EXPECT_FALSE(std::filesystem::exists(dir.file("off.log")));
    log.Open(true, u"");
    EXPECT_TRUE(log.Enabled());
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(DiagnosticLog, ReopeningOurOwnLogOrAnEmptyFileEmptiesIt)
{
    TempDir dir;
    DiagnosticLog log;
    const auto ours = dir.write("ours.log", "12/08/26 04:55:06    - old record [Biz\\Log:51]\r\nmore\n");
    const auto empty = dir.write("empty.log", "");
    log.Open(true, wide(ours));
    log.Open(true, wide(empty));
    EXPECT_TRUE(std::regex_match(readFile(empty), RecordLine));
    // The second file replaces the first, which keeps its own creation record only.
    EXPECT_TRUE(std::regex_match(readFile(ours), RecordLine));
}

TEST(DiagnosticLog, ForeignFilesAreLeftByteIdentical)
{
    TempDir dir;
    DiagnosticLog log;
    const std::string foreign[] = {
        "[settings]\nkey=value\n",
        "no line end at all",
        "12/08/26 04:55:06 - one blank short [a:1]\n",
        "12/08/26 04:55:06    - no location\n",
        std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16),
    };
    int n = 0;
    for (const std::string& bytes : foreign) {
        const auto path = dir.write("f" + std::to_string(n++), bytes);
        log.Open(true, wide(path));
        EXPECT_EQ(readFile(path), bytes);
    }
}

TEST(DiagnosticLog, LinksAndNonRegularFilesAreRefused)
{
    TempDir dir;
    const auto target = dir.write("target", "precious\n");
    std::filesystem::create_symlink(target, dir.file("link.log"));
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.file("folder"));

    DiagnosticLog log;
    log.Open(true, wide(dir.file("link.log")));
    log.Open(true, wide(dir.file("fifo")));
    log.Open(true, wide(dir.file("folder")));
    EXPECT_EQ(readFile(target), "precious\n");
    EXPECT_TRUE(std::filesystem::is_fifo(dir.file("fifo")));
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("folder")));
}

} // namespace
