#include "ScriptString.h"

#include <gtest/gtest.h>

using pictavo::host::ScriptString;

namespace {

TEST(ScriptStringTest, NonBmpCrossesAsSurrogatePairsEitherWay)
{
    // Duktape spells U+1D11E as two 3-byte surrogates; a C string may hold real 4-byte UTF-8.
    EXPECT_EQ(ScriptString::toUtf16("\xed\xa0\xb4\xed\xb4\x9e"), u"\U0001D11E");
    EXPECT_EQ(ScriptString::toUtf16("\xf0\x9d\x84\x9e"), u"\U0001D11E");
    EXPECT_EQ(ScriptString::fromUtf16(u"\U0001D11E"), "\xed\xa0\xb4\xed\xb4\x9e");
    EXPECT_EQ(ScriptString::toUtf8(u"a\u4e2d\U0001D11E"), "a\xe4\xb8\xad\xf0\x9d\x84\x9e");
}

TEST(ScriptStringTest, BrokenInputBecomesReplacementCharacters)
{
    EXPECT_EQ(ScriptString::toUtf16("a\xff"
                                    "b\xc0\xaf"
                                    "c\xe4\xb8"),
              u"a\uFFFDb\uFFFD\uFFFDc\uFFFD\uFFFD");
    // Lone surrogates are legal script strings but not UTF-8.
    EXPECT_EQ(ScriptString::toUtf8(std::u16string(u"x") + char16_t(0xD800) + u"y" + char16_t(0xDC00)),
              "x\xef\xbf\xbdy\xef\xbf\xbd");
    // And they survive a trip through the script heap unchanged.
    std::u16string lone = std::u16string(1, char16_t(0xDC80)) + u"z";
    EXPECT_EQ(ScriptString::toUtf16(ScriptString::fromUtf16(lone)), lone);
}

} // namespace
