#include "platform/gfx/Gdi.h"

#include <gtest/gtest.h>

namespace {

struct PatternSurface
{
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 16, 8);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    ~PatternSurface()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

// The crop rectangle's hatch: an 8 x 8 monochrome pattern of rising diagonals.
HBRUSH diagonalBrush()
{
    const BYTE rows[8] = {0x11, 0x22, 0x44, 0x88, 0x11, 0x22, 0x44, 0x88};
    WORD padded[8];
    for (int i = 0; i < 8; ++i)
        padded[i] = rows[i]; // each row padded to 16 bits, first byte first
    HBITMAP pattern = CreateBitmap(8, 8, 1, 1, padded);
    HBRUSH brush = CreatePatternBrush(pattern);
    DeleteObject(pattern); // the brush keeps its own copy
    return brush;
}

TEST(PatternBrush, MonochromePatternPaintsInTheContextColoursAndRepeats)
{
    PatternSurface s;
    HBRUSH brush = diagonalBrush();
    ASSERT_TRUE(brush);
    SelectObject(s.dc, brush);
    SetTextColor(s.dc, RGB(255, 0, 0));
    SetBkColor(s.dc, RGB(0, 0, 255));
    ASSERT_TRUE(PatBlt(s.dc, 0, 0, 16, 8, PATCOPY));
    // Row 0 is 0x11: bits for x = 3 and 7 are set and take the background colour.
    EXPECT_EQ(GetPixel(s.dc, 3, 0), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(s.dc, 7, 0), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(s.dc, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(s.dc, 11, 0), RGB(0, 0, 255)) << "repeats every 8 pixels";
    EXPECT_EQ(GetPixel(s.dc, 2, 1), RGB(0, 0, 255)); // 0x22
    EXPECT_EQ(GetPixel(s.dc, 3, 1), RGB(255, 0, 0));

    // PATINVERT mixes the pattern with what is there; DSTINVERT ignores the brush.
    ASSERT_TRUE(PatBlt(s.dc, 0, 0, 16, 8, PATINVERT));
    EXPECT_EQ(GetPixel(s.dc, 0, 0), RGB(0, 0, 0));
    ASSERT_TRUE(PatBlt(s.dc, 4, 4, -4, -4, DSTINVERT)); // a negative extent reaches back
    EXPECT_EQ(GetPixel(s.dc, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(s.dc, 4, 4), RGB(0, 0, 0));
    EXPECT_FALSE(PatBlt(s.dc, 0, 0, 1, 1, 0x00CC0020)) << "a raster operation that is no pattern blit";

    SelectObject(s.dc, GetStockObject(WHITE_BRUSH));
    EXPECT_TRUE(DeleteObject(brush));
}

TEST(PatternBrush, DeviceHasOneMappingModeAndTheDisplaysCapabilities)
{
    PatternSurface s;
    EXPECT_EQ(SetMapMode(s.dc, MM_TEXT), MM_TEXT);
    EXPECT_EQ(SetMapMode(s.dc, 2), 0) << "other mapping modes are refused";
    EXPECT_EQ(GetMapMode(s.dc), MM_TEXT);
    EXPECT_EQ(SetMapMode(nullptr, MM_TEXT), 0);
    EXPECT_EQ(GetDeviceCaps(s.dc, LOGPIXELSX), 96);
    EXPECT_EQ(GetDeviceCaps(s.dc, LOGPIXELSY), 96);
    EXPECT_EQ(GetDeviceCaps(s.dc, BITSPIXEL), 32);
    EXPECT_FALSE(CreatePatternBrush(nullptr));
}

} // namespace
