#include "platform/gfx/Canvas.h"
#include "platform/gfx/Gdi.h"
#include "platform/gfx/GdiPlus.h"
#include "support/MemorySurface.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace pictavo::platform;

namespace {

using Surface = pictavo::test::MemorySurface;

} // namespace

TEST(Gdi, FillsAndFramesArePixelExact)
{
    Surface s(10, 10);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT r{2, 3, 6, 8};
    FillRect(s.dc, &r, red);
    EXPECT_EQ(s.at(2, 3), RGB(255, 0, 0));
    EXPECT_EQ(s.at(5, 7), RGB(255, 0, 0));
    EXPECT_EQ(s.at(6, 7), 0xFFFFFFu) << "right edge exclusive";
    EXPECT_EQ(s.at(5, 8), 0xFFFFFFu) << "bottom edge exclusive";
    EXPECT_EQ(s.at(1, 3), 0xFFFFFFu);

    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    RECT f{0, 0, 10, 10};
    FrameRect(s.dc, &f, blue);
    EXPECT_EQ(s.at(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(s.at(9, 9), RGB(0, 0, 255));
    EXPECT_EQ(s.at(1, 1), 0xFFFFFFu);
    DeleteObject(red);
    DeleteObject(blue);
}

TEST(Gdi, ClipsAndSaveRestore)
{
    Surface s(10, 10);
    HBRUSH black = CreateSolidBrush(0);
    int saved = SaveDC(s.dc);
    EXPECT_EQ(IntersectClipRect(s.dc, 2, 2, 5, 5), SIMPLEREGION);
    RECT box;
    GetClipBox(s.dc, &box);
    EXPECT_EQ(box.left, 2);
    EXPECT_EQ(box.right, 5);
    RECT all{0, 0, 10, 10};
    FillRect(s.dc, &all, black);
    EXPECT_EQ(s.at(2, 2), 0u);
    EXPECT_EQ(s.at(4, 4), 0u);
    RestoreDC(s.dc, saved);
    EXPECT_EQ(s.at(5, 5), 0xFFFFFFu) << "outside the clip stays";
    GetClipBox(s.dc, &box);
    EXPECT_EQ(box.right, 10) << "restore brings back the whole surface";
    EXPECT_EQ(IntersectClipRect(s.dc, 20, 20, 30, 30), NULLREGION);
    DeleteObject(black);
}

TEST(Gdi, RectangleUsesPenBrushAndMixMode)
{
    Surface s(12, 12);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    HBRUSH brush = CreateSolidBrush(RGB(0, 255, 0));
    SelectObject(s.dc, pen);
    SelectObject(s.dc, brush);
    Rectangle(s.dc, 1, 1, 6, 6);
    EXPECT_EQ(s.at(1, 1), 0u);
    EXPECT_EQ(s.at(5, 5), 0u);
    EXPECT_EQ(s.at(3, 3), RGB(0, 255, 0));
    EXPECT_EQ(s.at(6, 6), 0xFFFFFFu);

    // Without a pen the rectangle loses its last column and row.
    SelectObject(s.dc, GetStockObject(NULL_PEN));
    Rectangle(s.dc, 6, 6, 10, 10);
    EXPECT_EQ(s.at(8, 8), RGB(0, 255, 0));
    EXPECT_EQ(s.at(9, 9), 0xFFFFFFu);

    // Mask mode keeps only the bits both share.
    HBRUSH grey = CreateSolidBrush(RGB(0x0F, 0xF0, 0x55));
    SelectObject(s.dc, grey);
    SetROP2(s.dc, R2_MASKPEN);
    Rectangle(s.dc, 2, 2, 5, 5);
    EXPECT_EQ(s.at(3, 3), RGB(0, 0xF0, 0));
    SelectObject(s.dc, GetStockObject(BLACK_PEN));
    SelectObject(s.dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(pen);
    DeleteObject(brush);
    DeleteObject(grey);
}

TEST(Gdi, HatchAndDottedPatterns)
{
    Surface s(16, 16);
    HBRUSH hatch = CreateHatchBrush(HS_HORIZONTAL, RGB(255, 0, 0));
    SetBkMode(s.dc, TRANSPARENT);
    RECT r{0, 0, 16, 16};
    FillRect(s.dc, &r, hatch);
    EXPECT_EQ(s.at(3, 0), RGB(255, 0, 0));
    EXPECT_EQ(s.at(3, 8), RGB(255, 0, 0));
    EXPECT_EQ(s.at(3, 1), 0xFFFFFFu) << "transparent background leaves the gaps";
    SetBkMode(s.dc, OPAQUE);
    SetBkColor(s.dc, RGB(0, 0, 255));
    FillRect(s.dc, &r, hatch);
    EXPECT_EQ(s.at(3, 1), RGB(0, 0, 255));

    HPEN dots = CreatePen(PS_DOT, 1, 0);
    HGDIOBJ old = SelectObject(s.dc, dots);
    MoveToEx(s.dc, 0, 15, nullptr);
    LineTo(s.dc, 10, 15);
    EXPECT_EQ(s.at(0, 15), 0u);
    EXPECT_NE(s.at(1, 15), 0u);
    EXPECT_EQ(s.at(2, 15), 0u);
    EXPECT_NE(s.at(10, 15), 0u) << "the end point is not drawn";
    // A line from far outside still draws its visible part, at once.
    SelectObject(s.dc, GetStockObject(BLACK_PEN));
    MoveToEx(s.dc, -2000000000, 12, nullptr);
    LineTo(s.dc, 2000000000, 12);
    EXPECT_EQ(s.at(0, 12), 0u);
    EXPECT_EQ(s.at(15, 12), 0u);
    SelectObject(s.dc, old);
    DeleteObject(dots);
    DeleteObject(hatch);
}

TEST(Gdi, BlitsAndDibCopies)
{
    Surface a(4, 4), b(4, 4);
    SetPixel(a.dc, 1, 2, RGB(1, 2, 3));
    BitBlt(b.dc, 2, 1, 2, 2, a.dc, 0, 1, SRCCOPY);
    EXPECT_EQ(b.at(3, 2), RGB(1, 2, 3));
    EXPECT_EQ(b.at(2, 1), 0xFFFFFFu);

    // A bottom-up 24-bit DIB: its first stored row is the bottom row on the device.
    BITMAPINFO info{};
    info.bmiHeader = {40, 2, 2, 1, 24, BI_RGB, 16, 0, 0, 0, 0};
    uint8_t bits[16] = {10, 20, 30, 0, 0, 0, 0, 0, 40, 50, 60, 0, 0, 0, 0, 0};
    EXPECT_EQ(SetDIBitsToDevice(b.dc, 0, 0, 2, 2, 0, 0, 0, 2, bits, &info, DIB_RGB_COLORS), 2);
    EXPECT_EQ(b.at(0, 1), RGB(30, 20, 10));
    EXPECT_EQ(b.at(0, 0), RGB(60, 50, 40));

    // A DIB section sees what is drawn into it and what its bits say.
    void* sectionBits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &sectionBits, nullptr, 0);
    ASSERT_TRUE(section && sectionBits);
    HDC mem = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mem, section);
    BitBlt(mem, 0, 0, 2, 2, b.dc, 0, 0, SRCCOPY);
    auto* p = static_cast<uint8_t*>(sectionBits);
    EXPECT_EQ(p[8], 40) << "top device row is the last stored row";
    EXPECT_EQ(p[0], 10);
    SelectObject(mem, old);
    DeleteObject(section);
    DeleteDC(mem);
}

TEST(Gdi, StaleHandlesAreRefused)
{
    HBRUSH brush = CreateSolidBrush(0);
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_FALSE(DeleteObject(brush));
    Surface s(2, 2);
    RECT r{0, 0, 2, 2};
    EXPECT_EQ(FillRect(s.dc, &r, brush), 0);
    HDC dc = CreateCompatibleDC(nullptr);
    DeleteDC(dc);
    EXPECT_FALSE(Rectangle(dc, 0, 0, 1, 1));
    EXPECT_EQ(SelectObject(s.dc, reinterpret_cast<HGDIOBJ>(0x1234)), nullptr);

    // A bitmap stays alive while a context has it selected, and belongs to one context.
    EXPECT_FALSE(DeleteObject(s.bitmap));
    HDC other = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectObject(other, s.bitmap), nullptr);
    DeleteDC(other);
    RECT one{0, 0, 1, 1};
    HBRUSH black = CreateSolidBrush(0);
    EXPECT_EQ(FillRect(s.dc, &one, black), 1);
    DeleteObject(black);
}

TEST(GdiPlus, ArgbFillsBlendAndLockBitsIsStraightBgra)
{
    GpBitmap* bmp = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromScan0(4, 4, 0, PixelFormat32bppARGB, nullptr, &bmp), Ok);
    GpGraphics* g = nullptr;
    ASSERT_EQ(GdipGetImageGraphicsContext(bmp, &g), Ok);
    GpSolidFill* white = nullptr;
    GpSolidFill* halfRed = nullptr;
    GdipCreateSolidFill(0xFFFFFFFF, &white);
    GdipCreateSolidFill(0x80FF0000, &halfRed);
    GdipFillRectangleI(g, white, 0, 0, 2, 4);
    GdipFillRectangleI(g, halfRed, 1, 0, 3, 4);
    GpPen* pen = nullptr;
    GdipCreatePen1(0xFF0000FF, 1, UnitPixel, &pen);
    GdipDrawRectangleI(g, pen, 0, 3, 1, 0);
    GpRect all{0, 0, 4, 4};
    BitmapData data{};
    ASSERT_EQ(GdipBitmapLockBits(bmp, &all, ImageLockModeRead, PixelFormat32bppARGB, &data), Ok);
    auto px = [&](int x, int y) { return static_cast<uint8_t*>(data.Scan0) + y * data.Stride + x * 4; };
    EXPECT_EQ(px(0, 0)[0], 255);
    EXPECT_EQ(px(0, 0)[3], 255);
    // Half red over white.
    EXPECT_EQ(px(1, 0)[2], 255);
    EXPECT_NEAR(px(1, 0)[1], 127, 1);
    // Half red over nothing stays half red, straight.
    EXPECT_EQ(px(3, 0)[2], 255);
    EXPECT_EQ(px(3, 0)[1], 0);
    EXPECT_EQ(px(3, 0)[3], 0x80);
    // A pen rectangle covers width + 1 pixels.
    EXPECT_EQ(px(0, 3)[0], 255);
    EXPECT_EQ(px(1, 3)[0], 255);
    EXPECT_EQ(px(1, 3)[1], 0);
    EXPECT_EQ(GdipBitmapLockBits(bmp, &all, ImageLockModeRead, PixelFormat32bppARGB, &data), WrongState);
    GdipBitmapUnlockBits(bmp, &data);

    GpRect outside{2, 2, 4, 4};
    EXPECT_EQ(GdipBitmapLockBits(bmp, &outside, ImageLockModeRead, PixelFormat32bppARGB, &data),
              InvalidParameter);
    GpBitmap* clone = nullptr;
    ASSERT_EQ(GdipCloneBitmapAreaI(1, 0, 3, 4, PixelFormat32bppARGB, bmp, &clone), Ok);
    UINT w = 0;
    GdipGetImageWidth(clone, &w);
    EXPECT_EQ(w, 3u);
    GdipDisposeImage(clone);
    GdipDeletePen(pen);
    GdipDeleteBrush(white);
    GdipDeleteBrush(halfRed);
    GdipDeleteGraphics(g);
    GdipDisposeImage(bmp);
}

TEST(GdiPlus, DrawsImagesAtNaturalSizeAndStretched)
{
    uint8_t src[16] = {0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 255, 0, 0, 0, 0};
    GpBitmap* image = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromScan0(2, 2, 8, PixelFormat32bppARGB, src, &image), Ok);
    Surface s(8, 8);
    GpGraphics* g = nullptr;
    ASSERT_EQ(GdipCreateFromHDC(s.dc, &g), Ok);
    GdipDrawImageI(g, image, 0, 0);
    EXPECT_EQ(s.at(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(s.at(1, 0), RGB(0, 255, 0));
    EXPECT_EQ(s.at(1, 1), 0xFFFFFFu) << "transparent pixel leaves the background";
    GdipSetInterpolationMode(g, InterpolationModeNearestNeighbor);
    GdipDrawImageRectI(g, image, 4, 4, 4, 4);
    EXPECT_EQ(s.at(4, 4), RGB(255, 0, 0));
    EXPECT_EQ(s.at(5, 5), RGB(255, 0, 0));
    EXPECT_EQ(s.at(6, 4), RGB(0, 255, 0));
    EXPECT_EQ(s.at(4, 6), RGB(0, 0, 255));
    GdipDeleteGraphics(g);
    GdipDisposeImage(image);
}

TEST(GdiPlus, ThumbnailSizesDefaultsAndBound)
{
    GpBitmap* bmp = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromScan0(50, 40, 0, PixelFormat32bppARGB, nullptr, &bmp), Ok);
    auto size = [&](UINT w, UINT h, GpStatus expected) {
        GpImage* thumb = nullptr;
        EXPECT_EQ(GdipGetImageThumbnail(bmp, w, h, &thumb, nullptr, nullptr), expected);
        UINT tw = 0, th = 0;
        if (thumb) {
            GdipGetImageWidth(thumb, &tw);
            GdipGetImageHeight(thumb, &th);
            GdipDisposeImage(thumb);
        }
        return std::pair{tw, th};
    };
    EXPECT_EQ(size(0, 0, Ok), (std::pair{120u, 120u}));
    EXPECT_EQ(size(10, 0, Ok), (std::pair{10u, 1u}));
    EXPECT_EQ(size(135, 104, Ok), (std::pair{135u, 104u}));
    EXPECT_EQ(size(65535, 65535, OutOfMemory), (std::pair{0u, 0u}));
    GdipDisposeImage(bmp);
}

TEST(GdiPlus, GraphicsClipDeviceContextCachedBitmapsAndWidePens)
{
    Surface s(12, 12);
    GpGraphics* g = nullptr;
    ASSERT_EQ(GdipCreateFromHDC(s.dc, &g), Ok);
    GpSolidFill* red = nullptr;
    GdipCreateSolidFill(0xFFFF0000, &red);
    GdipSetClipRectI(g, 0, 0, 4, 4, CombineModeReplace);
    GdipSetClipRectI(g, 2, 2, 10, 10, CombineModeIntersect);
    GdipFillRectangleI(g, red, 0, 0, 12, 12);
    EXPECT_EQ(s.at(2, 2), RGB(255, 0, 0));
    EXPECT_EQ(s.at(3, 3), RGB(255, 0, 0));
    EXPECT_EQ(s.at(4, 4), 0xFFFFFFu);
    EXPECT_EQ(s.at(1, 1), 0xFFFFFFu);
    RECT box{};
    GetClipBox(s.dc, &box);
    EXPECT_EQ(box.right, 12) << "the context keeps its own clip";
    GdipResetClip(g);

    // Two pixels wide: one outside the edge line, one inside.
    GpPen* pen = nullptr;
    GdipCreatePen1(0xFF0000FF, 2, UnitPixel, &pen);
    GdipDrawRectangleI(g, pen, 5, 5, 4, 4);
    EXPECT_EQ(s.at(4, 6), RGB(0, 0, 255));
    EXPECT_EQ(s.at(5, 6), RGB(0, 0, 255));
    EXPECT_EQ(s.at(6, 6), 0xFFFFFFu);
    EXPECT_EQ(s.at(9, 6), RGB(0, 0, 255));
    EXPECT_EQ(s.at(10, 6), 0xFFFFFFu);

    HDC dc = nullptr;
    ASSERT_EQ(GdipGetDC(g, &dc), Ok);
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    RECT r{10, 0, 12, 2};
    FillRect(dc, &r, green);
    EXPECT_EQ(GdipReleaseDC(g, dc), Ok);
    EXPECT_EQ(s.at(11, 1), RGB(0, 255, 0));
    DeleteObject(green);

    uint32_t px[4] = {0xFF00FFFF, 0xFF00FFFF, 0xFF00FFFF, 0x00000000};
    GpBitmap* bmp = nullptr;
    GdipCreateBitmapFromScan0(2, 2, 8, PixelFormat32bppARGB, reinterpret_cast<BYTE*>(px), &bmp);
    GpCachedBitmap* cached = nullptr;
    ASSERT_EQ(GdipCreateCachedBitmap(bmp, g, &cached), Ok);
    GdipDisposeImage(bmp);
    GdipDrawCachedBitmap(g, cached, 0, 10);
    EXPECT_EQ(s.at(0, 10), RGB(0, 255, 255));
    EXPECT_EQ(s.at(1, 11), 0xFFFFFFu) << "the transparent pixel";
    GdipDeleteCachedBitmap(cached);
    GdipDeletePen(pen);
    GdipDeleteBrush(red);
    GdipDeleteGraphics(g);
}
