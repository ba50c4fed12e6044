#include "platform/kernel/Strings.h"

#include <gtest/gtest.h>

using namespace pictavo::platform;

namespace {

class LocalCodePage
{
public:
    explicit LocalCodePage(const char* name) { setLocalCodePageForTesting(name); }
    ~LocalCodePage() { setLocalCodePageForTesting(""); }
};

} // namespace

TEST(Utf8, ValidTextRoundTripsExactly)
{
    const std::string samples[] = {"",
                                   "plain ascii",
                                   "打开文件错误",
                                   "caf\xC3\xA9",
                                   "\xF0\x9F\x98\x80 emoji",
                                   std::string("nul\0inside", 10)};
    for (const auto& s : samples)
        EXPECT_EQ(toUtf8(fromUtf8(s)), s);
    EXPECT_EQ(fromUtf8("\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(fromUtf8("打开"), u"打开");
}

TEST(Utf8, UndecodableBytesSurviveTheRoundTrip)
{
    // Latin-1 and GBK names, truncated sequences, overlongs, encoded surrogates, > U+10FFFF.
    const std::string samples[] = {"caf\xE9.jpg", "\xB4\xF2\xBF\xAA.png",     "\xE6\x89",
                                   "\xC0\xAF",    "\xED\xA0\x80\xED\xB0\x80", "\xF4\x90\x80\x80",
                                   "\xFF\xFE",    "ok\x80\xE6\x89\x93tail"};
    for (const auto& s : samples) {
        std::u16string wide = fromUtf8(s);
        EXPECT_EQ(toUtf8(wide), s);
    }
    EXPECT_EQ(fromUtf8("a\xE9z"), u"a\xDCE9z");
    EXPECT_EQ(fromUtf8("\xE6\x89z"), u"\xDCE6\xDC89z");
}

TEST(Utf8, OtherLoneSurrogatesEncodeAsReplacement)
{
    EXPECT_EQ(toUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(toUtf8(u"x\xDC10"), "x\xEF\xBF\xBD");
    EXPECT_EQ(toUtf8(u"\xDBFF"), "\xEF\xBF\xBD");
}

TEST(LocalCodePage, Cp936IsTheDefault)
{
    LocalCodePage acp("");
    unsetenv("PICTAVO_ACP");
    EXPECT_EQ(localCodePageName(), "CP936");
    EXPECT_EQ(toLocalCodePage(u"打开a"), "\xB4\xF2\xBF\xAA"
                                         "a");
    EXPECT_EQ(fromLocalCodePage("\xB4\xF2\xBF\xAA"
                                "a"),
              u"打开a");
}

TEST(LocalCodePage, UnmappableBecomesOneQuestionMarkPerCodePoint)
{
    LocalCodePage acp("CP936");
    EXPECT_EQ(toLocalCodePage(u"a\U0001F600b\u0E01c"), "a?b?c");
    EXPECT_EQ(toLocalCodePage(u"x\xD800y"), "x?y");
    EXPECT_EQ(fromLocalCodePage("a\xFF"
                                "b"),
              u"a\xFFFD"
              "b");
    EXPECT_EQ(fromLocalCodePage("a\xB4"), u"a\xFFFD"); // a lead byte with no trail
}

TEST(LocalCodePage, EnvironmentAndOverrideSwitchIt)
{
    setenv("PICTAVO_ACP", "UTF-8", 1);
    EXPECT_EQ(localCodePageName(), "UTF-8");
    EXPECT_EQ(toLocalCodePage(u"é打"), "\xC3\xA9\xE6\x89\x93");
    {
        LocalCodePage acp("CP1252");
        EXPECT_EQ(toLocalCodePage(u"é€打"), "\xE9\x80?");
        EXPECT_EQ(fromLocalCodePage("\xE9\x80"), u"é€");
    }
    EXPECT_EQ(localCodePageName(), "UTF-8");
    unsetenv("PICTAVO_ACP");
}

TEST(Win32Conversion, ReturnConventions)
{
    LocalCodePage acp("CP936");
    // -1: zero-terminated input, count includes the terminator; size 0 asks for the size.
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "打开", -1, nullptr, 0), 3);
    WCHAR wide[8] = {};
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "打开", -1, wide, 8), 3);
    EXPECT_EQ(std::u16string(wide), u"打开");
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 2, wide, 8), 2);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, wide, 2), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

    char bytes[8] = {};
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"打开", -1, nullptr, 0, nullptr, nullptr), 5);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"打开", -1, bytes, 8, nullptr, nullptr), 5);
    EXPECT_STREQ(bytes, "\xB4\xF2\xBF\xAA");
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"é", 1, bytes, 8, nullptr, nullptr), 2);
    EXPECT_EQ(WideCharToMultiByte(1234, 0, u"x", 1, bytes, 8, nullptr, nullptr), 0);
    BOOL used = TRUE;
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"a\U0001F600", 3, bytes, 8, "*", &used), 2);
    EXPECT_EQ(std::string(bytes, 2), "a*");
    EXPECT_TRUE(used);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"ab", 2, bytes, 8, nullptr, &used), 2);
    EXPECT_FALSE(used);
}

TEST(CaseFolding, LettersOfTheCommonScripts)
{
    EXPECT_TRUE(equalsNoCase(u"Content-Type", u"content-TYPE"));
    EXPECT_TRUE(equalsNoCase(u"ÉCOLE Ÿ", u"école ÿ"));
    EXPECT_TRUE(equalsNoCase(u"ΑΒΓ ДЖЁ Ａ", u"αβγ джё ａ"));
    EXPECT_TRUE(equalsNoCase(u"ĀĹŽ", u"āĺž"));
    EXPECT_FALSE(equalsNoCase(u"abc", u"abd"));
    EXPECT_FALSE(equalsNoCase(u"abc", u"abcd"));
    EXPECT_FALSE(equalsNoCase(u"×", u"÷")); // not a letter pair
    EXPECT_EQ(toLower(u"JPG 打开 ŸŹ"), u"jpg 打开 ÿź");
}
