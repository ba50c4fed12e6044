#include <gtest/gtest.h>

#include "http/UrlComponents.h"

namespace {

TEST(UrlComponents, SplitsWhatThePosterConnectsTo)
{
    UrlComponents u;
    ASSERT_TRUE(u.Split(u"HTTPS://user:pw@Example.com/a/b.asp?x=1#top"));
    EXPECT_EQ(u.host, u"Example.com");
    EXPECT_EQ(u.port, 443);
    EXPECT_TRUE(u.secure);
    EXPECT_EQ(u.path, u"/a/b.asp");

    ASSERT_TRUE(u.Split(u"http://h:8080"));
    EXPECT_EQ(u.port, 8080);
    EXPECT_FALSE(u.secure);
    EXPECT_EQ(u.path, u"/");

    ASSERT_TRUE(u.Split(u"http://h?q"));
    EXPECT_EQ(u.port, 80);
    EXPECT_EQ(u.path, u"/");

    ASSERT_TRUE(u.Split(u"http://[::1]:81/x"));
    EXPECT_EQ(u.host, u"::1");
    EXPECT_EQ(u.port, 81);
}

TEST(UrlComponents, RefusesWhatCannotBeSplitOrDoesNotFit)
{
    UrlComponents u;
    for (const char16_t* bad : {u"", u"nohost", u"http://", u"http:///p", u"http://h:0/", u"http://h:65536/",
                                u"http://h:8x/", u"1http://h/", u"http://[::1/", u"ftp://h/", u"file://h/"}) {
        EXPECT_FALSE(u.Split(bad)) << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
        EXPECT_TRUE(u.host.empty());
        EXPECT_TRUE(u.path.empty());
    }
    // Limits are buffer sizes with room for the terminator.
    EXPECT_TRUE(u.Split(u"http://" + std::u16string(255, u'h') + u"/"));
    EXPECT_FALSE(u.Split(u"http://" + std::u16string(256, u'h') + u"/"));
    EXPECT_TRUE(u.Split(u"http://h/" + std::u16string(2046, u'p')));
    EXPECT_FALSE(u.Split(u"http://h/" + std::u16string(2047, u'p')));
}

} // namespace
