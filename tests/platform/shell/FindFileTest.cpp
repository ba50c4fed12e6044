#include "platform/kernel/Strings.h"
#include "platform/shell/ShlwApi.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace pictavo::platform;

namespace {

std::vector<WIN32_FIND_DATAW> findAll(const std::u16string& pattern, DWORD* error = nullptr)
{
    std::vector<WIN32_FIND_DATAW> out;
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(pattern.c_str(), &data);
    if (error)
        *error = h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    if (h == INVALID_HANDLE_VALUE)
        return out;
    do
        out.push_back(data);
    while (FindNextFileW(h, &data));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_FILES), GetLastError());
    EXPECT_TRUE(FindClose(h));
    EXPECT_FALSE(FindClose(h));
    return out;
}

std::vector<std::u16string> namesOf(const std::vector<WIN32_FIND_DATAW>& found)
{
    std::vector<std::u16string> out;
    for (const auto& d : found)
        out.push_back(d.cFileName);
    return out;
}

} // namespace

TEST(FindFile, ListsInNameOrderWithAttributesSizesAndTimes)
{
    pictavo::test::TempDir dir;
    for (const char* name : {"b.txt", "a.txt", "A.txt", "C.jpg", ".hidden"})
        dir.write(name, "12345");
    std::filesystem::create_directory(dir.file("sub"));
    // 5 GiB without the disk space: the size must split into high and low words.
    const int fd = ::open(dir.file("big.bin").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_EQ(0, ::ftruncate(fd, 5LL << 30));
    ::close(fd);
    // 2014-04-18 03:13:20 UTC.
    const timespec times[2] = {{1397790800, 0}, {1397790800, 500}};
    ASSERT_EQ(0, ::utimensat(AT_FDCWD, dir.file("C.jpg").c_str(), times, 0));

    const auto found = findAll(fromUtf8(dir.path().string()) + u"/*");
    ASSERT_EQ(
        (std::vector<std::u16string>{u".hidden", u"A.txt", u"a.txt", u"b.txt", u"big.bin", u"C.jpg", u"sub"}),
        namesOf(found));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN), found[0].dwFileAttributes);
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL), found[1].dwFileAttributes);
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY), found[6].dwFileAttributes);
    EXPECT_EQ(5u, found[1].nFileSizeLow);
    EXPECT_EQ(1u, found[4].nFileSizeHigh);
    EXPECT_EQ(1u << 30, found[4].nFileSizeLow);
    const uint64_t ticks = (1397790800ULL + 11644473600ULL) * 10000000ULL + 5;
    EXPECT_EQ(static_cast<DWORD>(ticks), found[5].ftLastWriteTime.dwLowDateTime);
    EXPECT_EQ(static_cast<DWORD>(ticks >> 32), found[5].ftLastWriteTime.dwHighDateTime);
}

TEST(FindFile, PatternsMatchWithoutRegardToCase)
{
    pictavo::test::TempDir dir;
    for (const char* name : {"x.JPG", "y.jpg", "z.jpeg", "jpg", "w.jpg.txt"})
        dir.write(name, "1");
    const std::u16string folder = fromUtf8(dir.path().string());
    EXPECT_EQ((std::vector<std::u16string>{u"x.JPG", u"y.jpg"}), namesOf(findAll(folder + u"/*.jpg")));
    EXPECT_EQ(5u, findAll(folder + u"/*.*").size());
    EXPECT_EQ((std::vector<std::u16string>{u"z.jpeg"}), namesOf(findAll(folder + u"/Z.JPEG")));

    DWORD error = 0;
    EXPECT_TRUE(findAll(folder + u"/*.png", &error).empty());
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), error);
    EXPECT_TRUE(findAll(folder + u"/missing/*", &error).empty());
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), error);
    EXPECT_TRUE(findAll(folder + u"/x.JPG/*", &error).empty());
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), error);
}

TEST(FindFile, NonUtf8NamesReachTheSameFileAgain)
{
    pictavo::test::TempDir dir;
    const std::string odd = "\xff\xfe-caf\xe9.jpg";
    dir.write(odd, "abc");
    const auto found = findAll(fromUtf8(dir.path().string()) + u"/*.jpg");
    ASSERT_EQ(1u, found.size());
    EXPECT_EQ(odd, toUtf8(found[0].cFileName));
    WCHAR full[MAX_PATH];
    ASSERT_NE(nullptr, PathCombineW(full, fromUtf8(dir.path().string()).c_str(), found[0].cFileName));
    EXPECT_EQ("abc", pictavo::test::readFile(toUtf8(full)));
}

TEST(FindFile, LargeFolderKeepsEachEntrysOwnSize)
{
    // Large enough that the status reads are shared out over threads.
    pictavo::test::TempDir dir;
    for (int i = 0; i < 3000; ++i)
        dir.write("f" + std::to_string(i), std::string(static_cast<size_t>(i % 7), 'x'));
    const auto found = findAll(fromUtf8(dir.path().string()) + u"/*");
    ASSERT_EQ(3000u, found.size());
    for (size_t k = 0; k < found.size(); ++k) {
        const int i = std::stoi(toUtf8(found[k].cFileName).substr(1));
        EXPECT_EQ(static_cast<DWORD>(i % 7), found[k].nFileSizeLow) << i;
        if (k) {
            EXPECT_LT(toUtf8(found[k - 1].cFileName), toUtf8(found[k].cFileName));
        }
    }
}
