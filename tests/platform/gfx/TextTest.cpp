#include "platform/gfx/Canvas.h"
#include "platform/gfx/FontSet.h"
#include "platform/gfx/Gdi.h"
#include "platform/gfx/GdiPlus.h"

#include <gtest/gtest.h>

using namespace pictavo::platform;

namespace {

struct TextSurface
{
    std::shared_ptr<Bitmap> bitmap = Bitmap::create(120, 40, 0xFFFFFFFF);
    Canvas canvas{bitmap};
    HDC dc = createCanvasDC(&canvas);
    HFONT font = CreateFontW(12, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 32, u"新宋体");
    TextSurface() { SelectObject(dc, font); }
    ~TextSurface()
    {
        DeleteDC(dc);
        DeleteObject(font);
    }
    // Bounding box of pixels of the given colour.
    RECT inked(COLORREF colour)
    {
        RECT r{1000, 1000, -1, -1};
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 120; ++x)
                if (canvas.pixel(x, y) == colour) {
                    r.left = std::min<LONG>(r.left, x), r.top = std::min<LONG>(r.top, y);
                    r.right = std::max<LONG>(r.right, x + 1), r.bottom = std::max<LONG>(r.bottom, y + 1);
                }
        return r;
    }
};

} // namespace

TEST(Text, ProjectFontConfigResolvesTheTwelvePixelFont)
{
    TextSurface t;
    EXPECT_FALSE(FontSet::instance().configPath().empty());
    SIZE cjk{}, ascii{};
    ASSERT_TRUE(GetTextExtentPoint32W(t.dc, u"上传", 2, &cjk));
    ASSERT_TRUE(GetTextExtentPoint32W(t.dc, u"ab", -1, &ascii));
    EXPECT_EQ(cjk.cx, 24) << "12 pixels per CJK character";
    EXPECT_EQ(ascii.cx, 12) << "6 pixels per ASCII character";
    EXPECT_GE(cjk.cy, 12);
    EXPECT_LE(cjk.cy, 16);
}

TEST(Text, DrawTextCentresClipsAndUsesOneColour)
{
    TextSurface t;
    SetTextColor(t.dc, 0x333333);
    SetBkMode(t.dc, TRANSPARENT);
    RECT r{10, 5, 110, 35};
    DrawTextW(t.dc, u"图片", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    RECT ink = t.inked(0x333333);
    ASSERT_LT(ink.left, ink.right) << "crisp glyphs in exactly the text colour";
    EXPECT_NEAR((ink.left + ink.right) / 2.0, 60, 3);
    EXPECT_NEAR((ink.top + ink.bottom) / 2.0, 20, 3);

    // A long text in a narrow box stays inside it and ends in an ellipsis.
    t.canvas.fillRect({0, 0, 120, 40}, BrushSpec{BS_SOLID, 0, 0xFFFFFF});
    RECT narrow{0, 0, 40, 20};
    DrawTextW(t.dc, u"一二三四五六七八九十", -1, &narrow, DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS);
    ink = t.inked(0x333333);
    EXPECT_LE(ink.right, 40);
    EXPECT_GT(ink.right, 20);

    RECT calc{0, 0, 0, 0};
    int h = DrawTextW(t.dc, u"abc", -1, &calc, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(calc.right, 18);
    EXPECT_EQ(calc.bottom, h);
}

TEST(Text, OpaqueBackgroundFillsTheTextBox)
{
    TextSurface t;
    SetBkMode(t.dc, OPAQUE);
    SetBkColor(t.dc, RGB(0, 0, 255));
    RECT r{0, 0, 120, 40};
    DrawTextW(t.dc, u"ab", -1, &r, DT_LEFT | DT_SINGLELINE);
    EXPECT_EQ(t.canvas.pixel(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(t.canvas.pixel(13, 0), 0xFFFFFFu);
}

TEST(Text, ExtTextOutFillsTheOpaqueRectangle)
{
    TextSurface t;
    SetBkColor(t.dc, 0xE4D4C6);
    RECT r{5, 5, 50, 20};
    EXPECT_TRUE(ExtTextOutW(t.dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr));
    EXPECT_EQ(t.canvas.pixel(5, 5), 0xE4D4C6u);
    EXPECT_EQ(t.canvas.pixel(49, 19), 0xE4D4C6u);
    EXPECT_EQ(t.canvas.pixel(50, 19), 0xFFFFFFu);
    SetTextColor(t.dc, 0x0000FF);
    EXPECT_TRUE(ExtTextOutW(t.dc, 60, 5, ETO_CLIPPED, &r, u"图", 1, nullptr));
    EXPECT_EQ(t.inked(0x0000FF).right, -1) << "clipped away entirely";
    EXPECT_TRUE(ExtTextOutW(t.dc, 60, 5, 0, nullptr, u"图", 1, nullptr));
    EXPECT_GE(t.inked(0x0000FF).left, 60);
}

TEST(Text, GdiPlusStringIsCentredAndTrimmed)
{
    TextSurface t;
    GpGraphics* g = nullptr;
    ASSERT_EQ(GdipCreateFromHDC(t.dc, &g), Ok);
    GpFontFamily* family = nullptr;
    GdipCreateFontFamilyFromName(u"新宋体", nullptr, &family);
    GpFont* font = nullptr;
    GdipCreateFont(family, 12, FontStyleRegular, UnitPixel, &font);
    GpStringFormat* format = nullptr;
    GdipCreateStringFormat(0, 0, &format);
    GdipSetStringFormatAlign(format, StringAlignmentCenter);
    GdipSetStringFormatLineAlign(format, StringAlignmentCenter);
    GdipSetStringFormatTrimming(format, StringTrimmingEllipsisCharacter);
    GdipSetStringFormatFlags(format, StringFormatFlagsNoWrap);
    GpSolidFill* brush = nullptr;
    GdipCreateSolidFill(0xFF333333, &brush);
    GpRectF rect{20, 10, 50, 16};
    GdipDrawString(g, u"一个很长很长很长的文件名.jpg", -1, font, &rect, format, brush);
    RECT ink = t.inked(0x333333);
    ASSERT_LT(ink.left, ink.right);
    EXPECT_GE(ink.left, 20);
    EXPECT_LE(ink.right, 70);
    EXPECT_GE(ink.top, 10);
    EXPECT_LE(ink.bottom, 26);
    GdipDeleteBrush(brush);
    GdipDeleteStringFormat(format);
    GdipDeleteFont(font);
    GdipDeleteFontFamily(family);
    GdipDeleteGraphics(g);
}

TEST(Text, BoldIsSimulatedWithTheSameAdvance)
{
    auto inkCount = [](int weight) {
        TextSurface t;
        HFONT f = CreateFontW(12, 0, 0, 0, weight, 0, 0, 0, 0, 0, 0, 0, 32, u"新宋体");
        SelectObject(t.dc, f);
        SetTextColor(t.dc, 0);
        SetBkMode(t.dc, TRANSPARENT);
        RECT r{0, 0, 120, 40};
        DrawTextW(t.dc, u"上传图片", -1, &r, DT_LEFT | DT_SINGLELINE);
        SIZE size{};
        GetTextExtentPoint32W(t.dc, u"上传图片", -1, &size);
        EXPECT_EQ(size.cx, 48);
        int n = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 120; ++x)
                n += t.canvas.pixel(x, y) == 0;
        SelectObject(t.dc, GetStockObject(SYSTEM_FONT));
        DeleteObject(f);
        return n;
    };
    EXPECT_GT(inkCount(FW_BOLD), inkCount(FW_NORMAL) * 5 / 4);
}

TEST(Text, WrappedLinesAreCentredOneByOne)
{
    TextSurface t;
    SetTextColor(t.dc, 0);
    SetBkMode(t.dc, TRANSPARENT);
    RECT r{0, 0, 120, 40};
    DrawTextW(t.dc, u"上传图片上传图片上传\n图", -1, &r, DT_CENTER | DT_WORDBREAK);
    auto rowInk = [&](int top, int bottom) {
        int left = 1000, right = -1;
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < 120; ++x)
                if (t.canvas.pixel(x, y) == 0)
                    left = std::min(left, x), right = std::max(right, x + 1);
        return (left + right) / 2.0;
    };
    SIZE line{};
    GetTextExtentPoint32W(t.dc, u"图", 1, &line);
    EXPECT_NEAR(rowInk(0, line.cy), 60, 2);
    EXPECT_NEAR(rowInk(line.cy, 2 * line.cy), 60, 2) << "the short second line is centred too";
}
