#include "platform/controls/CommCtrl.h"
#include "platform/gfx/Bitmap.h"
#include "support/MemorySurface.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace pictavo::platform;

namespace {

// A 32-bit top-down DIB strip of 16 x 16 cells, each cell one BGRA colour.
HBITMAP strip(std::initializer_list<uint32_t> argbCells)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 16 * static_cast<LONG>(argbCells.size());
    info.bmiHeader.biHeight = -16;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bm = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    auto* p = static_cast<uint32_t*>(bits);
    int width = info.bmiHeader.biWidth;
    int cell = 0;
    for (uint32_t argb : argbCells) {
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                p[y * width + cell * 16 + x] = argb;
        ++cell;
    }
    return bm;
}

} // namespace

TEST(ImageList, StripsSplitIntoCellsAndDrawWithTheirAlpha)
{
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32, 4, 4);
    ASSERT_TRUE(list);
    HBITMAP bm = strip({0xFFFF0000u, 0x800000FFu, 0x00000000u});
    EXPECT_EQ(ImageList_Add(list, bm, nullptr), 0);
    EXPECT_EQ(ImageList_GetImageCount(list), 3);
    int cx = 0, cy = 0;
    ASSERT_TRUE(ImageList_GetIconSize(list, &cx, &cy));
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 16);

    pictavo::test::MemorySurface s(64, 16);
    ASSERT_TRUE(ImageList_Draw(list, 0, s.dc, 0, 0, ILD_NORMAL));
    ASSERT_TRUE(ImageList_Draw(list, 1, s.dc, 16, 0, ILD_TRANSPARENT));
    ASSERT_TRUE(ImageList_Draw(list, 2, s.dc, 32, 0, ILD_NORMAL));
    EXPECT_EQ(GetPixel(s.dc, 5, 5), RGB(255, 0, 0));
    // Half-transparent blue over white.
    COLORREF half = GetPixel(s.dc, 20, 5);
    EXPECT_NEAR(GetRValue(half), 127, 2);
    EXPECT_NEAR(GetBValue(half), 255, 1);
    EXPECT_EQ(GetPixel(s.dc, 40, 5), RGB(255, 255, 255));
    EXPECT_FALSE(ImageList_Draw(list, 3, s.dc, 0, 0, ILD_NORMAL));
    DeleteObject(bm);
    ImageList_Destroy(list);
}

TEST(ImageList, BackgroundSelectionTintAndMaskColour)
{
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 1);
    // A 32-bit picture whose alpha is all zero is an RGB picture: opaque.
    HBITMAP bm = strip({0x00FF00FFu, 0x0000FF00u});
    EXPECT_EQ(ImageList_AddMasked(list, bm, RGB(255, 0, 255)), 0);
    pictavo::test::MemorySurface s(48, 16);
    ImageList_SetBkColor(list, RGB(0, 0, 0));
    ASSERT_TRUE(ImageList_Draw(list, 0, s.dc, 0, 0, ILD_NORMAL));
    EXPECT_EQ(GetPixel(s.dc, 3, 3), RGB(0, 0, 0)) << "masked pixels show the list's background";
    ASSERT_TRUE(ImageList_Draw(list, 0, s.dc, 16, 0, ILD_TRANSPARENT));
    EXPECT_EQ(GetPixel(s.dc, 19, 3), RGB(255, 255, 255));
    ASSERT_TRUE(ImageList_DrawEx(list, 1, s.dc, 32, 0, 0, 0, CLR_NONE, RGB(0, 0, 255), ILD_SELECTED));
    EXPECT_EQ(GetPixel(s.dc, 35, 3), RGB(0, 128, 128));
    DeleteObject(bm);
}

TEST(ImageList, StaleHandlesAndBadSizesAreRefused)
{
    EXPECT_FALSE(ImageList_Create(0, 16, ILC_COLOR32, 1, 1));
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32, 1, 1);
    auto art = Bitmap::create(16, 16, 0xFF102030u);
    EXPECT_EQ(imageListAddBitmap(list, art), 0);
    ASSERT_TRUE(ImageList_Destroy(list));
    EXPECT_FALSE(ImageList_Destroy(list));
    EXPECT_EQ(ImageList_GetImageCount(list), 0);
    EXPECT_EQ(imageListAddBitmap(list, art), -1);
    pictavo::test::MemorySurface s(16, 16);
    EXPECT_FALSE(ImageList_Draw(list, 0, s.dc, 0, 0, ILD_NORMAL));
}
