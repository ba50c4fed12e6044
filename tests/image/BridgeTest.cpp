#include "image/CxImage.h"
#include "image/ImageBridges.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/Gdi.h"
#include "platform/gfx/GdiPlus.h"

#include <gtest/gtest.h>

#include <memory>

using pictavo::platform::Bitmap;
using pictavo::platform::Canvas;

namespace {

// A canvas filled with one colour and a device context over it.
struct Target
{
    std::shared_ptr<Bitmap> bitmap;
    Canvas canvas;
    HDC dc;
    Target(int w, int h, uint32_t argb) : bitmap(Bitmap::create(w, h, argb)), canvas(bitmap)
    {
        dc = pictavo::platform::createCanvasDC(&canvas);
    }
    ~Target() { DeleteDC(dc); }
    COLORREF at(int x, int y) { return canvas.pixel(x, y); }
};

// A GDI+ bitmap whose rows are red, green, blue, ... from the top.
GpBitmap* stripes(int w, int h)
{
    static const uint32_t colours[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    std::vector<uint32_t> px(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px[static_cast<size_t>(y) * w + x] = colours[y % 4];
    GpBitmap* b = nullptr;
    GdipCreateBitmapFromScan0(w, h, w * 4, PixelFormat32bppARGB, reinterpret_cast<BYTE*>(px.data()), &b);
    return b;
}

} // namespace

TEST(FitSize, MatchesOnlyTheLongerSideWithSinglePrecisionFactor)
{
    SIZE out{};
    EXPECT_FLOAT_EQ(FitSize(1000, 900, 800, 100, &out), 0.8f);
    EXPECT_EQ(out.cx, 800);
    EXPECT_EQ(out.cy, 720);
    FitSize(600, 500, 488, 324, &out);
    EXPECT_EQ(out.cx, 487) << "488/600 as a float times 600 truncates";
    EXPECT_EQ(out.cy, 406);
    FitSize(1000, 800, 700, 700, &out);
    EXPECT_EQ(out.cx, 699);
    EXPECT_EQ(out.cy, 559);
    FitSize(500, 400, 800, 300, &out);
    EXPECT_EQ(out.cx, 800) << "enlarged: smaller than the box in one direction only";
    EXPECT_EQ(out.cy, 640);
    EXPECT_EQ(FitSize(100, 100, 135, 104, &out), 1.0f);
    EXPECT_EQ(out.cx, 100);
    EXPECT_EQ(FitSize(135, 104, 135, 104, &out), 1.0f);
    FitSize(300, 900, 135, 104, &out);
    EXPECT_EQ(out.cy, 103) << "portrait: the height meets the box, less the float's shortfall";
    EXPECT_EQ(out.cx, 34);
}

TEST(Bridges, CopyBitmapIntoFlipsSoTheTopRowIsDrawnAtY)
{
    GpBitmap* bmp = stripes(3, 4);
    CxImage image;
    EXPECT_EQ(CopyBitmapInto(bmp, image), Ok);
    ASSERT_TRUE(image.IsValid());
    EXPECT_EQ(image.GetBpp(), 24);
    EXPECT_TRUE(image.AlphaIsValid());
    EXPECT_EQ(image.PixelColour(0, 3).rgbRed, 255) << "top row stored last";

    // Opaque alpha plane: composed path; image at natural size from (2, 1).
    Target t(8, 8, 0xFF000000);
    EXPECT_EQ(image.DrawTo(t.dc, 2, 1), 1);
    EXPECT_EQ(t.at(2, 1), RGB(255, 0, 0));
    EXPECT_EQ(t.at(4, 2), RGB(0, 255, 0));
    EXPECT_EQ(t.at(2, 4), RGB(255, 255, 255));
    EXPECT_EQ(t.at(5, 1), 0u);

    // Without the alpha plane: the plain SetDIBitsToDevice path lands the same way.
    image.AlphaDelete();
    Target u(8, 8, 0xFF000000);
    image.DrawTo(u.dc, 0, 0);
    EXPECT_EQ(u.at(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(u.at(0, 3), RGB(255, 255, 255));
    GdipDisposeImage(bmp);
}

TEST(Bridges, DrawToBlendsAlphaWithTheIntegerFormula)
{
    CxImage image;
    image.Create(2, 1, 24);
    image.AlphaCreate();
    image.SetPixelColour(0, 0, RGBQUAD{0, 0, 255, 128}, true);
    image.SetPixelColour(1, 0, RGBQUAD{0, 0, 255, 0}, true);
    Target t(2, 1, 0xFFFFFFFF);
    image.DrawTo(t.dc, 0, 0);
    // a = 128 * 256 >> 8; red (255*128 + 255*127) >> 8, green (0*128 + 255*127) >> 8.
    EXPECT_EQ(t.at(0, 0), RGB(254, 126, 126));
    EXPECT_EQ(t.at(1, 0), RGB(255, 255, 255)) << "alpha 0 leaves the destination";

    image.SetAlphaMax(127);
    Target u(2, 1, 0xFFFFFFFF);
    image.DrawTo(u.dc, 0, 0);
    // a = 128 * 128 >> 8 = 64: red (255*64 + 255*191) >> 8 = 254, green 255*191 >> 8 = 190.
    EXPECT_EQ(u.at(0, 0), RGB(254, 190, 190));
}

TEST(Bridges, DrawToSkipsTheTransparentColourAndHonoursClipAndStretch)
{
    CxImage image;
    image.Create(2, 2, 24);
    image.SetPixelColour(0, 1, RGBQUAD{255, 0, 255, 0});
    image.SetPixelColour(1, 1, RGBQUAD{0, 0, 255, 0});
    image.SetPixelColour(0, 0, RGBQUAD{0, 255, 0, 0});
    image.SetPixelColour(1, 0, RGBQUAD{255, 0, 0, 0});
    image.SetBkgndColor(RGBQUAD{255, 0, 255, 0});
    image.SetBkgndIndex(0);
    Target t(4, 4, 0xFF000000);
    image.DrawTo(t.dc, 0, 0, 4, 4);
    EXPECT_EQ(t.at(0, 0), 0u) << "magenta is the transparent colour";
    EXPECT_EQ(t.at(1, 1), 0u);
    EXPECT_EQ(t.at(2, 0), RGB(255, 0, 0));
    EXPECT_EQ(t.at(3, 1), RGB(255, 0, 0));
    EXPECT_EQ(t.at(0, 2), RGB(0, 255, 0));
    EXPECT_EQ(t.at(3, 3), RGB(0, 0, 255));

    image.SetBkgndIndex(-1);
    Target u(4, 4, 0xFF000000);
    RECT clip{0, 0, 2, 4};
    image.DrawTo(u.dc, 0, 0, 4, 4, &clip);
    EXPECT_EQ(u.at(0, 0), RGB(255, 0, 255));
    EXPECT_EQ(u.at(2, 0), 0u) << "outside the clip rectangle";
    RECT box{};
    GetClipBox(u.dc, &box);
    EXPECT_EQ(box.right, 4) << "the context's clip is restored";

    image.SetPaintingEnabled(false);
    EXPECT_EQ(image.DrawTo(u.dc, 0, 0), 0);
}

TEST(Bridges, DrawToComposesGreyPaletteImagesWithAlphaAndTransparentIndex)
{
    // A disabled icon: 8-bit grey copy, transparent index 0, an alpha plane.
    CxImage grey;
    grey.Create(3, 1, 8);
    grey.SetGreyPalette();
    grey.SetPixelIndex(0, 0, 0);
    grey.SetPixelIndex(1, 0, 100);
    grey.SetPixelIndex(2, 0, 200);
    grey.AlphaCreate();
    grey.AlphaSet(0, 0, 255);
    grey.AlphaSet(1, 0, 255);
    grey.AlphaSet(2, 0, 64);
    grey.SetBkgndIndex(0);
    Target t(3, 1, 0xFF0000FF);
    grey.DrawTo(t.dc, 0, 0);
    EXPECT_EQ(t.at(0, 0), RGB(0, 0, 255)) << "transparent index skipped";
    EXPECT_EQ(t.at(1, 0), RGB(100, 100, 100));
    // a = 64 * 256 >> 8 = 64: blue (200*64 + 255*191) >> 8 = 240, red and green 200*64 >> 8 = 50.
    EXPECT_EQ(t.at(2, 0), RGB(50, 50, 240));
}

TEST(Bridges, ToHBitmapAndBitmapFromImageDropAlpha)
{
    CxImage image;
    image.Create(3, 2, 24);
    image.AlphaCreate();
    for (LONG y = 0; y < 2; ++y)
        for (LONG x = 0; x < 3; ++x)
            image.SetPixelColour(x, y, RGBQUAD{BYTE(10 * x), BYTE(20 * y), 200, 0}, true);
    HBITMAP hbm = image.ToHBitmap();
    ASSERT_NE(hbm, nullptr);
    BITMAP info{};
    ASSERT_EQ(GetObjectW(hbm, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmWidth, 3);
    EXPECT_EQ(info.bmBitsPixel, 24);
    DeleteObject(hbm);

    GpBitmap* bmp = BitmapFromImage(image);
    ASSERT_NE(bmp, nullptr);
    GpRect all{0, 0, 3, 2};
    BitmapData data{};
    ASSERT_EQ(GdipBitmapLockBits(bmp, &all, ImageLockModeRead, PixelFormat32bppARGB, &data), Ok);
    auto* top = static_cast<uint8_t*>(data.Scan0);
    EXPECT_EQ(top[3], 255) << "opaque despite alpha 0";
    EXPECT_EQ(top[1], 20) << "stored row 1 is the top row";
    EXPECT_EQ(top[2 * 4], 20);
    GdipBitmapUnlockBits(bmp, &data);

    // And back: the round trip keeps the pixels.
    CxImage back;
    CopyBitmapInto(bmp, back);
    EXPECT_EQ(back.PixelColour(2, 0).rgbBlue, 20);
    EXPECT_EQ(back.PixelColour(2, 1).rgbGreen, 20);
    GdipDisposeImage(bmp);
    EXPECT_EQ(CxImage().ToHBitmap(), nullptr);
}

TEST(Bridges, FittedAndClonedBitmaps)
{
    GpBitmap* bmp = stripes(600, 500);
    GpImage* fitted = MakeFittedBitmap(600, 500, 488, 324, bmp);
    ASSERT_NE(fitted, nullptr);
    UINT w = 0, h = 0;
    GdipGetImageWidth(fitted, &w);
    GdipGetImageHeight(fitted, &h);
    EXPECT_EQ(w, 487u);
    EXPECT_EQ(h, 406u);
    GdipDisposeImage(fitted);

    GpImage* same = MakeFittedBitmap(600, 500, 800, 800, bmp);
    ASSERT_NE(same, nullptr);
    GdipGetImageWidth(same, &w);
    EXPECT_EQ(w, 600u);
    PixelFormat format = 0;
    GdipGetImagePixelFormat(same, &format);
    EXPECT_EQ(format, PixelFormat32bppARGB);
    GdipDisposeImage(same);
    EXPECT_EQ(MakeFittedBitmap(1, 1, 2, 2, nullptr), nullptr);
    GpImage* sliver = MakeFittedBitmap(600, 3, 135, 104, bmp);
    ASSERT_NE(sliver, nullptr);
    GdipGetImageWidth(sliver, &w);
    GdipGetImageHeight(sliver, &h);
    EXPECT_EQ(w, 134u) << "135/600 as a float falls just short";
    EXPECT_EQ(h, 1u) << "at least one pixel on each side";
    GdipDisposeImage(sliver);
    EXPECT_EQ(MakeFittedBitmap(600, 500, 65535, 100, bmp), nullptr) << "beyond the bound: no bitmap";

    CxImage* empty = ImageFromBitmap(nullptr);
    EXPECT_FALSE(empty->IsValid());
    delete empty;
    GdipDisposeImage(bmp);
}
