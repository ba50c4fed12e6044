// The log file named by a page, which may be hostile: it must never empty a file it was not
// meant to, and assigning it again and again must not pile up open files.
#include "Biz/DiagnosticLog.h"
#include "platform/kernel/Strings.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <fcntl.h>
#include <climits>
#include <sys/inotify.h>
#include <unistd.h>

using pictavo::test::readFile;
using pictavo::test::TempDir;

namespace {

std::u16string wide(const std::filesystem::path& path)
{
    return pictavo::platform::fromUtf8(path.string());
}

const char* const kRecord = "12/08/26 04:55:06    - an earlier record [Biz\\Log:51]\n";

size_t openDescriptors()
{
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

size_t lines(const std::string& text)
{
    return size_t(std::count(text.begin(), text.end(), '\n'));
}

} // namespace

TEST(LogFileHostile, APathSwappedForALinkNeverEmptiesTheLinkTarget)
{
    TempDir dir;
    const auto victim = dir.write("victim", "precious\n");
    DiagnosticLog log;
    // The attacker waits for the log file to be looked at, then puts a link in its place.
    for (int i = 0; i < 100 && readFile(victim) == "precious\n"; ++i) {
        const auto path = dir.write("page" + std::to_string(i) + ".log", kRecord);
        const auto link = dir.file("link" + std::to_string(i));
        std::filesystem::create_symlink(victim, link);
        const int watch = ::inotify_init1(IN_CLOEXEC);
        ASSERT_GE(::inotify_add_watch(watch, path.c_str(), IN_OPEN), 0);
        std::thread attacker([&] {
            char event[sizeof(inotify_event) + NAME_MAX + 1];
            if (::read(watch, event, sizeof event) > 0)
                ::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE);
        });
        log.Open(true, wide(path));
        // Wakes the attacker should the log not have opened anything.
        ::close(::open(link.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        ::close(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        attacker.join();
        ::close(watch);
    }
    EXPECT_EQ(readFile(victim), "precious\n");
}

TEST(LogFileHostile, EachAssignmentReplacesThePreviousFile)
{
    TempDir dir;
    const auto first = dir.file("first.log");
    const auto last = dir.file("last.log");
    const size_t before = openDescriptors();
    {
        DiagnosticLog log;
        log.Open(true, wide(first));
        for (int i = 0; i < 300; ++i)
            log.Open(true, wide(last));
        EXPECT_LE(openDescriptors(), before + 1);
        // One file, one creation record, written once.
        EXPECT_EQ(lines(readFile(first)), 1u);
        EXPECT_EQ(lines(readFile(last)), 1u);
    }
    EXPECT_EQ(openDescriptors(), before);
}

TEST(LogFileHostile, APathWithANulInsideIsRefused)
{
    TempDir dir;
    const auto existing = dir.write("existing.log", "");
    DiagnosticLog log;
    std::u16string path = wide(dir.file("page.log"));
    path += u'\0';
    path += u".txt";
    log.Open(true, path);
    std::u16string hidden = wide(existing) + u'\0' + u"/../other.log";
    log.Open(true, hidden);
    EXPECT_FALSE(std::filesystem::exists(dir.file("page.log")));
    EXPECT_EQ(readFile(existing), "");
}
