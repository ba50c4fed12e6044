#include "platform/kernel/WFormat.h"

#include <cstdio>
#include <gtest/gtest.h>

using pictavo::platform::wformat;

namespace {

std::u16string ascii(const char* s)
{
    return std::u16string(s, s + std::char_traits<char>::length(s));
}

template <class T> std::u16string c(const char* fmt, T value)
{
    char buf[256];
    std::snprintf(buf, sizeof buf, fmt, value);
    return ascii(buf);
}

} // namespace

TEST(WFormat, NumbersMatchTheCLibrary)
{
    const int ints[] = {0, 1, -1, 42, -42, 2147483647, -2147483647 - 1};
    const char* intFormats[] = {"%d", "%i", "%5d", "%-5d|", "%05d", "%+d", "% d", "%.3d"};
    for (int v : ints)
        for (const char* f : intFormats)
            EXPECT_EQ(wformat(ascii(f), v), c(f, v)) << f << " " << v;

    const unsigned uints[] = {0u, 7u, 255u, 4294967295u};
    const char* uintFormats[] = {"%u", "%x", "%X", "%08x", "%#x", "%-6X|", "%o"};
    for (unsigned v : uints)
        for (const char* f : uintFormats)
            EXPECT_EQ(wformat(ascii(f), v), c(f, v)) << f << " " << v;

    EXPECT_EQ(wformat(u"%lld %llu", -9000000000LL, 18000000000000000000ULL),
              u"-9000000000 18000000000000000000");
    EXPECT_EQ(wformat(u"%ld %lu", 123456L, 654321UL), u"123456 654321");

    const double doubles[] = {0.0, 1.5, -2.25, 0.125, 2.5, 3.14159265358979, 1e10, 0.000123, 123456.789};
    const char* doubleFormats[] = {"%f", "%.0f", "%.1f", "%.2f", "%8.2f", "%-8.1f|", "%08.3f"};
    for (double v : doubles)
        for (const char* f : doubleFormats)
            EXPECT_EQ(wformat(ascii(f), v), c(f, v)) << f << " " << v;
    EXPECT_EQ(wformat(u"%.2f", 0.125f), u"0.12"); // correctly rounded, ties to even
}

TEST(WFormat, SignednessFollowsTheConversionAtThePromotedWidth)
{
    EXPECT_EQ(wformat(u"%u %x", -1, -2), u"4294967295 fffffffe");
    EXPECT_EQ(wformat(u"%x", static_cast<short>(-1)), c("%x", static_cast<short>(-1))); // promoted
    EXPECT_EQ(wformat(u"%d", 0xFFFFFFFFu), u"-1"); // a DWORD error code under %d
    EXPECT_EQ(wformat(u"%x", -1LL), u"ffffffffffffffff");
}

TEST(WFormat, TextAndCharacters)
{
    const std::u16string path = u"C:\\图片\\a.jpg";
    EXPECT_EQ(wformat(u"打开文件错误，错误码：%d，文件路径：%s", 2, path),
              u"打开文件错误，错误码：2，文件路径：C:\\图片\\a.jpg");
    EXPECT_EQ(wformat(u"[%ls|%S|%s]", u"wide", std::u16string_view(u"view"), "narrow é"),
              u"[wide|view|narrow é]");
    EXPECT_EQ(wformat(u"[%6s][%-6s][%.2s]", u"ab", u"ab", u"abcdef"), u"[    ab][ab    ][ab]");
    EXPECT_EQ(wformat(u"%c%c%c|%3c", u'图', 'x', 0x1F600, u'y'), u"图x\U0001F600|  y");
    EXPECT_EQ(wformat(u"100%% %s", static_cast<const char16_t*>(nullptr)), u"100% (null)");
    EXPECT_EQ(wformat(u"%*d|%-*d|%.*f", 4, 7, 3, 8, 2, 1.005), u"   7|8  |" + c("%.2f", 1.005));
}

TEST(WFormat, MismatchesAndMalformedFormatsAreDefined)
{
    EXPECT_EQ(wformat(u"%d|%s|%d", u"text", 12, nullptr == nullptr), u"0|12|1");
    EXPECT_EQ(wformat(u"%d %d", 5), u"5 0"); // missing argument
    EXPECT_EQ(wformat(u"%s %s", u"x"), u"x ");
    EXPECT_EQ(wformat(u"%f", 3), u"3.000000");
    EXPECT_EQ(wformat(u"%d", 2.9), u"2");
    EXPECT_EQ(wformat(u"end %"), u"end %");
    EXPECT_EQ(wformat(u"%k %d", 1), u"%k 1");
    EXPECT_EQ(wformat(u"%99999999d", 1).size(), 4096u); // width bounded
}
