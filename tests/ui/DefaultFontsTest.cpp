#include "platform/gfx/Canvas.h"
#include "ui/DefaultFonts.h"

#include <gtest/gtest.h>

TEST(DefaultFonts, AreTheTwelvePixelSongFontsInBothWeights)
{
    DefaultFonts& fonts = DefaultFonts::Instance();
    EXPECT_EQ(fonts.textColour, 0x333333u);
    EXPECT_EQ(fonts.disabledTextColour, 0xC1C1C1u);
    LOGFONTW normal{}, bold{};
    ASSERT_EQ(GetObjectW(fonts.normalFont, sizeof normal, &normal), int(sizeof normal));
    ASSERT_EQ(GetObjectW(fonts.boldFont, sizeof bold, &bold), int(sizeof bold));
    EXPECT_EQ(normal.lfHeight, 12);
    EXPECT_EQ(normal.lfWeight, FW_NORMAL);
    EXPECT_EQ(bold.lfWeight, FW_BOLD);
    EXPECT_EQ(normal.lfPitchAndFamily, 32);
    EXPECT_EQ(std::u16string(normal.lfFaceName), u"新宋体");

    // Both measure 12 pixels per CJK character on a context.
    auto bitmap = pictavo::platform::Bitmap::create(4, 4);
    pictavo::platform::Canvas canvas(bitmap);
    HDC dc = pictavo::platform::createCanvasDC(&canvas);
    SIZE size{};
    SelectObject(dc, fonts.boldFont);
    GetTextExtentPoint32W(dc, u"加", 1, &size);
    EXPECT_EQ(size.cx, 12);
    DeleteDC(dc);
}
