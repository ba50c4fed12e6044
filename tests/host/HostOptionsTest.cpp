#include "HostOptions.h"
#include "ParamBag.h"

#include "platform/com/ComPtr.h"

#include <gtest/gtest.h>

namespace {

using pictavo::host::HostOptions;
using pictavo::host::ParamBag;

std::optional<HostOptions> parse(std::vector<std::string> args, std::string* error = nullptr)
{
    std::string text;
    auto options = HostOptions::parse(args, text);
    if (error)
        *error = text;
    return options;
}

TEST(HostOptionsTest, PageModeTakesOnePageWithItsOptionsInAnyOrder)
{
    auto options = parse({"--headless", "--timeout", "5", "page.html", "--drive", "s.js", "--screenshot=p.png"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->page, "page.html");
    EXPECT_EQ(options->drive, "s.js");
    EXPECT_EQ(options->screenshot, "p.png");
    EXPECT_EQ(options->display, "headless");

    // No page and no script: the built-in demo page.
    options = parse({"--drive", "s.js"});
    ASSERT_TRUE(options);
    EXPECT_TRUE(options->page.empty());

    std::string error;
    EXPECT_FALSE(parse({"a.html", "b.html"}, &error));
    EXPECT_NE(error.find("one page"), std::string::npos);
    EXPECT_FALSE(parse({"--script", "x.js", "page.html"}, &error));
    EXPECT_FALSE(parse({"--script", "x.js", "--drive", "s.js"}, &error));
    EXPECT_FALSE(parse({"--drive="}, &error));
    EXPECT_EQ(error, "--drive needs a value");
    EXPECT_FALSE(parse({"page.html", "--screenshot"}, &error));
}

TEST(HostOptionsTest, ParamBagReadsLikeMarkupAndConverts)
{
    auto bag = pictavo::platform::makeCom<ParamBag>(
        ParamBag::Params{{u"_CX", u"2540"}, {u"_cx", u"1"}, {u"Name", u"图片"}, {u"bad", u"x"}});
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_UI4;
    ASSERT_EQ(bag->Read(u"_cx", &value, nullptr), S_OK);
    EXPECT_EQ(value.vt, VT_UI4);
    EXPECT_EQ(value.ulVal, 2540u); // names ignore case; the first of two wins

    VariantInit(&value);
    ASSERT_EQ(bag->Read(u"NAME", &value, nullptr), S_OK);
    ASSERT_EQ(value.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(value.bstrVal), u"图片");
    VariantClear(&value);

    value.vt = VT_I4;
    EXPECT_EQ(bag->Read(u"bad", &value, nullptr), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(value.vt, VT_EMPTY);
    value.vt = VT_I4;
    EXPECT_EQ(bag->Read(u"missing", &value, nullptr), E_INVALIDARG);
    EXPECT_EQ(value.vt, VT_EMPTY);
}

} // namespace
