#include "ImageTestUtil.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

using namespace imagetest;

namespace {

// A 24-bit image whose blue channel is x * 10 + y * 100 (stored coordinates).
void makeRamp(CxImage& image, DWORD w, DWORD h)
{
    image.Create(w, h, 24);
    for (LONG y = 0; y < LONG(h); ++y)
        for (LONG x = 0; x < LONG(w); ++x)
            image.SetPixelColour(x, y, RGBQUAD{BYTE(x * 10 + y * 100), 0, 0, 0});
}

void fill(CxImage& image, DWORD w, DWORD h, RGBQUAD c)
{
    image.Create(w, h, 24);
    for (LONG y = 0; y < LONG(h); ++y)
        for (LONG x = 0; x < LONG(w); ++x)
            image.SetPixelColour(x, y, c);
}

BYTE blue(const CxImage& image, LONG x, LONG y)
{
    return image.PixelColour(x, y).rgbBlue;
}

} // namespace

TEST(Scale, EnlargesBilinearlyWithTheLastColumnClamped)
{
    CxImage image;
    image.Create(2, 1, 24);
    image.SetPixelColour(0, 0, RGBQUAD{0, 0, 0, 0});
    image.SetPixelColour(1, 0, RGBQUAD{255, 255, 255, 0});
    ASSERT_TRUE(image.Scale(4, 1));
    ASSERT_EQ(image.GetWidth(), 4u);
    const BYTE expected[] = {0, 127, 255, 255};
    for (LONG x = 0; x < 4; ++x) {
        RGBQUAD c = image.PixelColour(x, 0);
        EXPECT_EQ(c.rgbBlue, expected[x]);
        EXPECT_EQ(c.rgbRed, expected[x]);
    }
}

TEST(Scale, ShrinksByAreaAveragingInThousandths)
{
    CxImage image;
    makeRamp(image, 3, 3);
    ASSERT_TRUE(image.Scale(2, 2));
    // Footprints 1.5 pixels wide: the middle row and column are shared half and half.
    EXPECT_EQ(blue(image, 0, 0), 36);
    EXPECT_EQ(blue(image, 1, 0), 50);
    EXPECT_EQ(blue(image, 0, 1), 170);
    EXPECT_EQ(blue(image, 1, 1), 183);

    // 300 x 300 into one pixel: the sums pass 32 bits.
    CxImage white;
    fill(white, 300, 300, RGBQUAD{255, 255, 255, 0});
    ASSERT_TRUE(white.Scale(1, 1));
    EXPECT_EQ(white.PixelColour(0, 0).rgbGreen, 255);

    CxImage grey;
    fill(grey, 6000, 40, RGBQUAD{90, 90, 90, 0});
    ASSERT_TRUE(grey.Scale(800, 5));
    for (LONG x : {0, 1, 399, 799})
        EXPECT_EQ(grey.PixelColour(x, 4).rgbRed, 90);
}

TEST(Scale, NearestModeAndAlphaFollowTheSourcePixel)
{
    CxImage image;
    makeRamp(image, 4, 2);
    image.AlphaCreate();
    for (LONG x = 0; x < 4; ++x)
        image.AlphaSet(x, 1, BYTE(x * 50));
    ASSERT_TRUE(image.Scale(2, 1, 1));
    EXPECT_EQ(blue(image, 0, 0), 0);
    EXPECT_EQ(blue(image, 1, 0), 20);
    ASSERT_TRUE(image.AlphaIsValid());
    EXPECT_EQ(image.AlphaGet(1, 0), 255); // source row 0 was left opaque

    CxImage wide;
    makeRamp(wide, 4, 2);
    wide.AlphaCreate();
    wide.AlphaSet(2, 1, 7);
    ASSERT_TRUE(wide.Scale(8, 4)); // bilinear, alpha from (x / 2, y / 2)
    EXPECT_EQ(wide.AlphaGet(4, 2), 7);
    EXPECT_EQ(wide.AlphaGet(5, 3), 7);
    EXPECT_EQ(wide.AlphaGet(6, 3), 255);
}

TEST(Scale, SameSizeZeroSizeAndDestination)
{
    CxImage image, copy;
    makePattern(image, 5, 4, true);
    CxImage original;
    original.CopyFrom(image);
    EXPECT_TRUE(image.Scale(5, 4));
    EXPECT_TRUE(samePixels(image, original));
    EXPECT_TRUE(image.Scale(5, 4, 0, &copy));
    EXPECT_TRUE(samePixels(copy, original));
    EXPECT_FALSE(image.Scale(0, 4));

    CxImage small;
    EXPECT_TRUE(image.Scale(3, 2, 2, &small));
    EXPECT_EQ(small.GetWidth(), 3u);
    EXPECT_TRUE(samePixels(image, original)); // the source of a scale into a destination is untouched

    CxImage empty;
    EXPECT_FALSE(empty.Scale(3, 2));
}

TEST(FitInto, KeepsProportionsAndNeverEnlarges)
{
    CxImage image, out;
    fill(image, 1000, 500, RGBQUAD{1, 2, 3, 0});
    ASSERT_TRUE(image.FitInto(400, 400, RGBQUAD{}, &out));
    EXPECT_EQ(out.GetWidth(), 400u);
    EXPECT_EQ(out.GetHeight(), 200u);
    EXPECT_EQ(image.GetWidth(), 1000u);

    makePattern(image, 300, 200);
    ASSERT_TRUE(image.FitInto(400, 400, RGBQUAD{}, &out));
    EXPECT_TRUE(samePixels(image, out));

    fill(image, 500, 1000, RGBQUAD{1, 2, 3, 0});
    ASSERT_TRUE(image.FitInto(800, 600, RGBQUAD{}, &out));
    EXPECT_EQ(out.GetWidth(), 300u);
    EXPECT_EQ(out.GetHeight(), 600u);

    // A sliver keeps at least one pixel across instead of failing the scale; 100 / 10000 as a
    // float is a little below 0.01, so the width truncates to 99.
    fill(image, 10000, 1, RGBQUAD{1, 2, 3, 0});
    ASSERT_TRUE(image.FitInto(100, 100, RGBQUAD{}, &out));
    EXPECT_EQ(out.GetWidth(), 99u);
    EXPECT_EQ(out.GetHeight(), 1u);

    EXPECT_FALSE(image.FitInto(0, 100, RGBQUAD{}, &out));
}

TEST(Rotate, QuarterTurnsMovePixelsAlphaAndSelection)
{
    CxImage image;
    makePattern(image, 3, 2, true);
    CxImage left;
    ASSERT_TRUE(image.Rotate90Left(&left));
    ASSERT_EQ(left.GetWidth(), 2u);
    ASSERT_EQ(left.GetHeight(), 3u);
    for (LONG i = 0; i < 2; ++i)
        for (LONG j = 0; j < 3; ++j) {
            EXPECT_EQ(left.PixelColour(i, j).rgbRed, image.PixelColour(j, 1 - i).rgbRed);
            EXPECT_EQ(left.AlphaGet(i, j), image.AlphaGet(j, 1 - i));
        }
    CxImage right;
    ASSERT_TRUE(image.Rotate90Right(&right));
    for (LONG i = 0; i < 2; ++i)
        for (LONG j = 0; j < 3; ++j)
            EXPECT_EQ(right.PixelColour(i, j).rgbGreen, image.PixelColour(2 - j, i).rgbGreen);

    ASSERT_TRUE(left.Rotate90Right());
    EXPECT_TRUE(samePixels(left, image));

    CxImage turned;
    makePattern(turned, 7, 5, true);
    turned.SelectionCreate();
    turned.SelectionSet(6, 0, 255);
    for (int k = 0; k < 4; ++k)
        ASSERT_TRUE(turned.Rotate90Left());
    CxImage reference;
    makePattern(reference, 7, 5, true);
    EXPECT_TRUE(samePixels(turned, reference));
    EXPECT_TRUE(turned.SelectionIsInside(6, 0));
    EXPECT_FALSE(turned.SelectionIsInside(0, 0));
}

TEST(Rotate, OneBitImagesTurnBitByBit)
{
    CxImage mono;
    mono.Create(11, 3, 1);
    mono.SetPaletteColor(1, RGBQUAD{255, 255, 255, 0});
    for (LONG x = 0; x < 11; ++x)
        mono.SetPixelIndex(x, x % 3, 1);
    CxImage turned;
    ASSERT_TRUE(mono.Rotate90Right(&turned));
    EXPECT_EQ(turned.GetBpp(), 1);
    for (LONG i = 0; i < 3; ++i)
        for (LONG j = 0; j < 11; ++j)
            EXPECT_EQ(turned.GetPixelIndex(i, j), mono.GetPixelIndex(10 - j, i));
}

TEST(CropTo, ClampsSwapsAndCopiesRowsAndAlpha)
{
    CxImage image;
    makePattern(image, 10, 8, true);
    CxImage out;
    ASSERT_TRUE(image.CropTo(2, 1, 5, 4, &out));
    ASSERT_EQ(out.GetWidth(), 3u);
    ASSERT_EQ(out.GetHeight(), 3u);
    // Top-down row 1 is stored row 6; it becomes the result's top (stored row 2).
    EXPECT_EQ(out.PixelColour(0, 2).rgbRed, image.PixelColour(2, 6).rgbRed);
    EXPECT_EQ(out.PixelColour(2, 0).rgbGreen, image.PixelColour(4, 4).rgbGreen);
    EXPECT_EQ(out.AlphaGet(1, 1), image.AlphaGet(3, 5));

    CxImage swapped;
    ASSERT_TRUE(image.CropTo(5, 4, 2, 1, &swapped));
    EXPECT_TRUE(samePixels(out, swapped));

    CxImage all;
    ASSERT_TRUE(image.CropTo(-5, -5, 100, 100, &all));
    EXPECT_TRUE(samePixels(all, image));

    EXPECT_FALSE(image.CropTo(3, 0, 3, 8));
    EXPECT_FALSE(image.CropTo(0, 9, 10, 12)); // wholly below the picture: nothing left
    EXPECT_EQ(image.GetWidth(), 10u);

    CxImage nibbles;
    nibbles.Create(9, 2, 4);
    for (LONG x = 0; x < 9; ++x)
        nibbles.SetPixelIndex(x, 0, BYTE(x));
    ASSERT_TRUE(nibbles.CropTo(3, 1, 8, 2));
    for (LONG x = 0; x < 5; ++x)
        EXPECT_EQ(nibbles.GetPixelIndex(x, 0), x + 3);
}

TEST(AdjustLight, TableArithmetic)
{
    CxImage image, original;
    makePattern(image, 5, 3); // width 5 leaves padding bytes in each row
    original.CopyFrom(image);
    ASSERT_TRUE(image.AdjustLight(0, 0));
    EXPECT_EQ(0, std::memcmp(image.GetBits(), original.GetBits(), image.GetHeader().biSizeImage));

    CxImage bright;
    bright.CopyFrom(original);
    ASSERT_TRUE(bright.AdjustLight(255, 0));
    CxImage flat;
    flat.CopyFrom(original);
    ASSERT_TRUE(flat.AdjustLight(0, -100));
    for (LONG y = 0; y < 3; ++y)
        for (LONG x = 0; x < 5; ++x) {
            EXPECT_EQ(bright.PixelColour(x, y).rgbGreen, 255);
            EXPECT_EQ(flat.PixelColour(x, y).rgbRed, 128);
        }

    CxImage ramp;
    ramp.Create(256, 1, 8);
    ramp.SetGreyPalette();
    ASSERT_TRUE(ramp.AdjustLight(10, 50)); // palette images map their palette
    EXPECT_EQ(ramp.GetPaletteColor(28).rgbBlue, 0);
    EXPECT_EQ(ramp.GetPaletteColor(128).rgbBlue, 138);
    EXPECT_EQ(ramp.GetPaletteColor(155).rgbBlue, 179);
    EXPECT_EQ(ramp.GetPaletteColor(200).rgbBlue, 246);
}

TEST(ApplyLut, SelectionLimitsTheChange)
{
    CxImage image;
    fill(image, 4, 4, RGBQUAD{10, 10, 10, 0});
    image.SelectionCreate();
    image.SelectionSet(1, 2, 255);
    BYTE invert[256];
    for (int i = 0; i < 256; ++i)
        invert[i] = BYTE(255 - i);
    ASSERT_TRUE(image.ApplyLut(invert));
    EXPECT_EQ(image.PixelColour(1, 2).rgbRed, 245);
    EXPECT_EQ(image.PixelColour(2, 2).rgbRed, 10);
    EXPECT_EQ(image.PixelColour(1, 1).rgbRed, 10);
}

TEST(Saturate, IntegerHslRoundTrip)
{
    CxImage image;
    fill(image, 2, 2, RGBQUAD{50, 100, 200, 0});
    image.SetPixelColour(1, 1, RGBQUAD{100, 110, 120, 0});
    image.AlphaCreate();
    image.AlphaSet(0, 0, 33);
    ASSERT_TRUE(image.Saturate(50));
    // (200, 100, 50) is H 14, S 153, L 125; S becomes 203.
    RGBQUAD c = image.PixelColour(0, 0);
    EXPECT_EQ(c.rgbRed, 224);
    EXPECT_EQ(c.rgbGreen, 91);
    EXPECT_EQ(c.rgbBlue, 25);
    EXPECT_EQ(image.AlphaGet(0, 0), 33);

    ASSERT_TRUE(image.Saturate(-100));
    for (LONG y = 0; y < 2; ++y)
        for (LONG x = 0; x < 2; ++x) {
            c = image.PixelColour(x, y);
            if (x == 1 && y == 1) {
                EXPECT_EQ(c.rgbRed, c.rgbGreen);
                EXPECT_EQ(c.rgbGreen, c.rgbBlue);
            }
        }

    CxImage yuv;
    fill(yuv, 2, 1, RGBQUAD{50, 100, 200, 0});
    ASSERT_TRUE(yuv.Saturate(-100, 2));
    c = yuv.PixelColour(1, 0);
    EXPECT_EQ(c.rgbRed, c.rgbBlue);
    EXPECT_EQ(c.rgbRed, c.rgbGreen);

    EXPECT_FALSE(yuv.Saturate(10, 3));
    EXPECT_STREQ(yuv.GetLastError(), "Saturate: wrong colorspace");
}

// Greys (tinted towards hue 170 once their saturation rises), ties for the largest channel,
// each hue ramp, light and dark ends; the values are those of the integer HSL round trip.
TEST(Saturate, KnownResultsAcrossHuesTiesAndLightness)
{
    const BYTE in[][3] = {{90, 90, 90},  {200, 200, 200}, {200, 200, 40},  {30, 180, 180}, {250, 120, 10},
                          {20, 240, 70}, {60, 30, 230},   {255, 250, 245}, {5, 0, 10},     {128, 64, 200}};
    const struct
    {
        LONG amount;
        BYTE out[10][3];
    } cases[] = {
        {40, {{75, 75, 104}, {191, 191, 208}, {218, 216, 21}, {13, 196, 194}, {255, 116, 5}, {5, 255, 63},
              {44, 10, 249}, {255, 249, 245}, {4, 0, 10}, {126, 44, 219}}},
        {-60, {{90, 90, 90}, {200, 200, 200}, {171, 170, 68}, {54, 155, 154}, {220, 120, 39}, {49, 210, 87},
               {79, 59, 200}, {253, 249, 246}, {4, 1, 8}, {129, 92, 171}}},
        {100, {{54, 54, 125}, {178, 178, 221}, {240, 237, 0}, {0, 210, 207}, {255, 116, 5}, {5, 255, 63},
               {40, 5, 255}, {255, 249, 245}, {4, 0, 10}, {125, 15, 248}}},
    };
    for (const auto& c : cases) {
        CxImage image;
        ASSERT_TRUE(image.Create(10, 1, 24));
        for (LONG x = 0; x < 10; ++x)
            image.SetPixelColour(x, 0, RGBQUAD{in[x][2], in[x][1], in[x][0], 0});
        ASSERT_TRUE(image.Saturate(c.amount));
        for (LONG x = 0; x < 10; ++x) {
            const RGBQUAD q = image.PixelColour(x, 0);
            EXPECT_EQ((std::array<int, 3>{q.rgbRed, q.rgbGreen, q.rgbBlue}),
                      (std::array<int, 3>{c.out[x][0], c.out[x][1], c.out[x][2]}))
                << "amount " << c.amount << ", pixel " << x;
        }
    }
}

TEST(PromoteBitDepth, PaletteToTrueColourKeepsAlpha)
{
    CxImage mono;
    mono.Create(3, 2, 1);
    mono.SetPaletteColor(0, RGBQUAD{0, 0, 0, 0});
    mono.SetPaletteColor(1, RGBQUAD{0, 0, 255, 0});
    std::memset(mono.GetBits(), 0, mono.GetHeader().biSizeImage); // creation leaves pixels as they were
    mono.SetPixelIndex(2, 1, 1);
    mono.AlphaCreate();
    mono.AlphaSet(2, 1, 80);
    mono.SetBkgndIndex(1);
    CxImage nibble;
    nibble.CopyFrom(mono);
    ASSERT_TRUE(mono.PromoteBitDepth(24));
    EXPECT_EQ(mono.GetBpp(), 24);
    EXPECT_EQ(mono.PixelColour(2, 1).rgbRed, 255);
    EXPECT_EQ(mono.PixelColour(1, 1).rgbRed, 0);
    EXPECT_EQ(mono.AlphaGet(2, 1), 80);
    EXPECT_EQ(mono.GetTransparentColour().rgbRed, 255);
    EXPECT_TRUE(mono.PromoteBitDepth(24));
    EXPECT_FALSE(mono.PromoteBitDepth(32));
    EXPECT_FALSE(mono.PromoteBitDepth(8));

    ASSERT_TRUE(nibble.PromoteBitDepth(4));
    EXPECT_EQ(nibble.GetPixelIndex(2, 1), 1);
    EXPECT_EQ(nibble.GetPaletteColor(1).rgbRed, 255);
}

TEST(Operations, EmptyImagesRefuseEverything)
{
    CxImage empty;
    BYTE lut[256] = {};
    EXPECT_FALSE(empty.Rotate90Left());
    EXPECT_FALSE(empty.CropTo(0, 0, 1, 1));
    EXPECT_FALSE(empty.AdjustLight(1, 1));
    EXPECT_FALSE(empty.ApplyLut(lut));
    EXPECT_FALSE(empty.Saturate(1));
    EXPECT_FALSE(empty.PromoteBitDepth(24));
    EXPECT_FALSE(empty.FitInto(10, 10, RGBQUAD{}, &empty));
}
