#include "HtmlPage.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

TEST(HtmlPage, ObjectsWithParamsScriptsAndTitleInDocumentOrder)
{
    const std::string source = pictavo::test::readFile(std::string(PICTAVO_SOURCE_DIR) + "/fuzz/host-html/seeds/page.html");
    const HtmlPage page = HtmlPage::Parse(source);
    EXPECT_EQ(page.title, u"上传 & 测试");
    ASSERT_EQ(page.objects.size(), 2u) << "a commented-out object is not an object";
    const PageObject& up = page.objects[0];
    EXPECT_EQ(up.id, u"up");
    EXPECT_EQ(up.classId, u"clsid:2D429495-D446-48f5-9E8C-43F7ABD5FA40");
    EXPECT_EQ(up.width, 640);
    EXPECT_EQ(up.height, 480);
    ASSERT_EQ(up.params.size(), 2u);
    EXPECT_EQ(up.params[0], std::make_pair(std::u16string(u"PostUrl"), std::u16string(u"http://127.0.0.1:8080/up?a=1&b=2")));
    EXPECT_EQ(up.params[1], std::make_pair(std::u16string(u"ImgCountLimit"), std::u16string(u"10")));
    EXPECT_EQ(page.objects[1].classId, u"progid:Quendal.PictavoPremium");
    EXPECT_EQ(page.objects[1].id, u"second");
    EXPECT_TRUE(page.objects[1].params.empty());

    ASSERT_EQ(page.scripts.size(), 3u);
    EXPECT_EQ(page.scripts[0].src, u"lib.js");
    EXPECT_TRUE(page.scripts[0].text.empty());
    EXPECT_EQ(page.scripts[1].text, R"(var s = "</scr" + "ipt>"; up.PostUrl = "x";)") << "script text is raw, up to its end tag";
    EXPECT_NE(page.scripts[2].text.find(R"(alert("&#x4E0A;"))"), std::string::npos) << "no entities inside scripts";
}

TEST(HtmlPage, BrokenMarkupYieldsWhatCanBeRead)
{
    HtmlPage page = HtmlPage::Parse(R"(<object id="a" width=99999999999 height=-5><param name=x value="&#99999999;&#xD800;&bogus;&amp">)");
    ASSERT_EQ(page.objects.size(), 1u);
    EXPECT_EQ(page.objects[0].width, 100000) << "sizes are bounded";
    EXPECT_EQ(page.objects[0].height, 0);
    ASSERT_EQ(page.objects[0].params.size(), 1u);
    EXPECT_EQ(page.objects[0].params[0].second, u"&#99999999;\uFFFD&bogus;&amp");

    page = HtmlPage::Parse("<title>unterminated <script>no end");
    EXPECT_EQ(page.title, u"unterminated <script>no end");
    EXPECT_TRUE(page.scripts.empty());

    page = HtmlPage::Parse("<script>var a = 1 < 2;</SCRIPT ><param name=orphan value=1><p a<b>");
    ASSERT_EQ(page.scripts.size(), 1u);
    EXPECT_EQ(page.scripts[0].text, "var a = 1 < 2;");
    EXPECT_TRUE(page.objects.empty());

    page = HtmlPage::Parse(std::string("<title>\xFF\xFE</title>", 17));
    EXPECT_EQ(page.title, std::u16string(u"\xDCFF\xDCFE")) << "bytes that are not UTF-8 keep their value";
    EXPECT_TRUE(HtmlPage::Parse("").objects.empty());
    EXPECT_TRUE(HtmlPage::Parse("<").objects.empty());
    EXPECT_TRUE(HtmlPage::Parse("<!--").objects.empty());
}
