#include "ImageTestUtil.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace imagetest;

TEST(CxImageCreate, RefusesEmptyAndOversizedPictures)
{
    CxImage image;
    EXPECT_EQ(image.Create(0, 10, 24), nullptr);
    EXPECT_STREQ(image.GetLastError(), "CxImage::Create : width and height must be greater than zero");
    EXPECT_FALSE(image.IsValid());

    EXPECT_EQ(image.Create(16384, 16384, 24), nullptr);
    EXPECT_STREQ(image.GetLastError(), "CXIMAGE_MAX_MEMORY exceeded");
    // 65536 x 65536 x 24 wraps to a small size in 32 bits; it must still be refused.
    EXPECT_EQ(image.Create(65536, 65536, 24), nullptr);
    EXPECT_STREQ(image.GetLastError(), "CXIMAGE_MAX_MEMORY exceeded");
    EXPECT_EQ(image.Create(0x80000000u, 1, 1), nullptr);
    EXPECT_STREQ(image.GetLastError(), "CXIMAGE_MAX_MEMORY exceeded");
    EXPECT_FALSE(image.IsValid());

    ASSERT_NE(image.Create(8192, 8192, 24), nullptr);
    EXPECT_EQ(image.GetHeader().biSizeImage, 201326592u);
}

TEST(CxImageCreate, NormalisesDepthAndLaysOutTheBlock)
{
    CxImage image;
    struct
    {
        DWORD asked, bpp, colours;
    } cases[] = {{0, 1, 2}, {2, 4, 16}, {3, 4, 16}, {5, 8, 256}, {16, 24, 0}, {32, 24, 0}};
    for (auto c : cases) {
        ASSERT_NE(image.Create(5, 3, c.asked), nullptr);
        EXPECT_EQ(image.GetBpp(), c.bpp) << c.asked;
        EXPECT_EQ(image.GetNumColors(), c.colours) << c.asked;
        EXPECT_EQ(image.GetEffWidth() % 4, 0u);
        EXPECT_EQ(image.GetBits(), static_cast<BYTE*>(image.GetDIB()) + 40 + 4 * c.colours);
        EXPECT_EQ(0, std::memcmp(image.GetDIB(), &image.GetHeader(), 40));
    }
    image.Create(1, 1, 24);
    EXPECT_EQ(image.GetEffWidth(), 4u);
    EXPECT_EQ(image.GetHeader().biXPelsPerMeter, 3780);
}

TEST(CxImageCreate, FromPixelsFlipsAndSplitsAlpha)
{
    // Two top-down rows of 32-bit pixels: top row blue-ish, bottom row red-ish.
    const BYTE src[] = {200, 0, 0, 10, 201, 0, 0, 20, 0, 0, 100, 30, 0, 0, 101, 40};
    CxImage image;
    ASSERT_TRUE(image.CreateFromPixels(src, 2, 2, 32, 8, true));
    EXPECT_EQ(image.GetBpp(), 24);
    ASSERT_TRUE(image.AlphaIsValid());
    // Stored row 1 is the top of the picture.
    EXPECT_EQ(image.PixelColour(0, 1).rgbBlue, 200);
    EXPECT_EQ(image.AlphaGet(1, 1), 20);
    EXPECT_EQ(image.PixelColour(1, 0).rgbRed, 101);
    EXPECT_EQ(image.AlphaGet(0, 0), 30);

    ASSERT_TRUE(image.CreateFromPixels(src, 2, 2, 32, 8, false));
    EXPECT_EQ(image.PixelColour(0, 0).rgbBlue, 200);

    EXPECT_FALSE(image.CreateFromPixels(src, 2, 2, 16, 8, false));
    EXPECT_FALSE(image.CreateFromPixels(nullptr, 2, 2, 24, 8, false));
    EXPECT_FALSE(image.CreateFromPixels(src, 3, 2, 32, 8, false)); // rows shorter than the width

    const BYTE grey[] = {0, 1, 2, 3, 4, 5, 6, 7};
    ASSERT_TRUE(image.CreateFromPixels(grey, 4, 2, 8, 4, false));
    EXPECT_TRUE(image.IsGreyPalette());
    EXPECT_EQ(image.PixelColour(2, 1).rgbGreen, 6);
}

TEST(CxImageLifetime, CopyTransferAndGhost)
{
    CxImage source;
    makePattern(source, 7, 5, true);
    source.SelectionCreate();
    source.SelectionSet(2, 3, 255);
    source.SetXDPI(300);

    CxImage copy;
    copy.CopyFrom(source);
    EXPECT_TRUE(samePixels(copy, source));
    EXPECT_TRUE(copy.SelectionIsValid());
    EXPECT_NE(copy.GetBits(), source.GetBits());
    EXPECT_EQ(copy.GetXDPI(), 300);
    EXPECT_EQ(0, std::memcmp(copy.GetDIB(), source.GetDIB(), source.GetSize()));

    CxImage taken;
    taken.Transfer(copy);
    EXPECT_FALSE(copy.IsValid());
    EXPECT_FALSE(copy.AlphaIsValid());
    EXPECT_TRUE(samePixels(taken, source));

    {
        CxImage ghost;
        ghost.Ghost(&taken);
        EXPECT_FALSE(ghost.Destroy());
        EXPECT_EQ(ghost.Create(2, 2, 24), nullptr);
        EXPECT_EQ(ghost.GetBits(), taken.GetBits());
        CxImage fromGhost;
        fromGhost.Transfer(ghost);
        EXPECT_EQ(fromGhost.GetBits(), taken.GetBits());
    }
    // The ghost's end left the body intact.
    EXPECT_TRUE(samePixels(taken, source));
}

TEST(CxImageSettings, ResolutionQualityAndTransparentColour)
{
    CxImage image;
    image.Create(2, 2, 8);
    image.SetXDPI(-5);
    EXPECT_EQ(image.GetXDPI(), 96);
    image.SetYDPI(72);
    EXPECT_EQ(image.GetHeader().biYPelsPerMeter, 2835);
    EXPECT_EQ(static_cast<const BITMAPINFOHEADER*>(image.GetDIB())->biYPelsPerMeter, 2835);

    EXPECT_FLOAT_EQ(image.GetJpegQuality(), 90.0f);
    image.SetQuality(300);
    EXPECT_FLOAT_EQ(image.GetJpegQuality(), 44.0f);

    image.SetPaletteColor(3, RGBQUAD{1, 2, 3, 0});
    image.SetBkgndIndex(3);
    EXPECT_EQ(image.GetTransparentColour().rgbRed, 3);
    EXPECT_FALSE(image.IsGreyPalette());
    image.SetGreyPalette();
    EXPECT_TRUE(image.IsGreyPalette());
}

TEST(CxImageFormats, FormatFromExtension)
{
    EXPECT_EQ(CxImage::FormatFromExtension(u"JPEG"), ImageFormat::Jpg);
    EXPECT_EQ(CxImage::FormatFromExtension(u"jfif"), ImageFormat::Jpg);
    EXPECT_EQ(CxImage::FormatFromExtension("JpE"), ImageFormat::Jpg);
    EXPECT_EQ(CxImage::FormatFromExtension(u"Bmp"), ImageFormat::Bmp);
    EXPECT_EQ(CxImage::FormatFromExtension("pngx"), ImageFormat::Png);
    EXPECT_EQ(CxImage::FormatFromExtension(u"tif"), ImageFormat::Unknown);
    EXPECT_EQ(CxImage::FormatFromExtension(u""), ImageFormat::Unknown);
    EXPECT_EQ(CxImage::FormatFromExtension(u"jp"), ImageFormat::Unknown);
}

TEST(CxImageFormats, DispatchFailures)
{
    CxImage image;
    makePattern(image, 4, 4);
    CxMemFile file;
    file.Open();
    EXPECT_FALSE(image.Encode(&file, 2));
    EXPECT_STREQ(image.GetLastError(), "Encode: Unknown format");
    EXPECT_FALSE(image.Encode(nullptr, ImageFormat::Jpg));
    EXPECT_STREQ(image.GetLastError(), "null file handler");
    EXPECT_FALSE(image.Decode(nullptr, ImageFormat::Png));
    EXPECT_STREQ(image.GetLastError(), "null file handler");
    EXPECT_FALSE(image.Decode(&file, 5));
    EXPECT_STREQ(image.GetLastError(), "Decode: Unknown or wrong format");

    CxImage empty;
    for (DWORD f : {ImageFormat::Bmp, ImageFormat::Jpg, ImageFormat::Png}) {
        EXPECT_FALSE(empty.Encode(&file, f));
        EXPECT_STREQ(empty.GetLastError(), "null image!!!");
    }
    EXPECT_EQ(file.Size(), 0);

    CxImage out;
    EXPECT_FALSE(decode("this is not a picture at all", out));
    EXPECT_STREQ(out.GetLastError(), "Decode: Unknown or wrong format");
}

TEST(CxImageFormats, LoadsFromModuleResources)
{
    CxImage picture;
    makePattern(picture, 5, 3, true);
    std::string png = encode(picture, ImageFormat::Png);
    static int token;
    auto module = reinterpret_cast<HMODULE>(&token);
    const pictavo::platform::ResourceEntry entries[] = {
        {u"PNG", 0, nullptr, 249, reinterpret_cast<const BYTE*>(png.data()), DWORD(png.size())}};
    pictavo::platform::registerResources(module, entries);

    CxImage image;
    ASSERT_TRUE(image.LoadFromResource(FindResourceW(module, MAKEINTRESOURCEW(249), u"PNG"), ImageFormat::Png,
                                       module));
    EXPECT_TRUE(samePixels(image, picture));
    EXPECT_FALSE(image.LoadFromResource(FindResourceW(module, MAKEINTRESOURCEW(250), u"PNG"),
                                        ImageFormat::Png, module));
    EXPECT_STREQ(image.GetLastError(), "Unable to load resource!");
    pictavo::platform::unregisterResources(module);
}
