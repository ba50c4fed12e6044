#include "PictureFiles.h"
#include "support/TempDir.h"

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/ImageDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace pictavo::platform;
using namespace pictavo::test;

namespace {

void expectSample(const DecodedImage& img, bool withAlpha)
{
    ASSERT_EQ(img.width, 4);
    ASSERT_EQ(img.height, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            uint8_t want[4];
            samplePixel(x, y, want, withAlpha);
            const uint8_t* got = &img.pixels[(y * 4 + x) * 4];
            for (int c = 0; c < 4; ++c)
                EXPECT_EQ(got[c], want[c]) << "pixel " << x << "," << y << " channel " << c;
        }
}

DecodedImage decode(const Bytes& bytes, DecodeRequest request = {})
{
    DecodedImage out;
    EXPECT_TRUE(decodePicture(bytes, request, out));
    return out;
}

} // namespace

TEST(Decoders, LosslessFormatsGiveExactStraightAlphaPixels)
{
    expectSample(decode(makePng()), true);
    expectSample(decode(makeBmp24()), false);
    expectSample(decode(makeBmp8()), false);
    TempDir dir;
    expectSample(decode(makeTiff(dir.file("s.tif").string())), true);
}

TEST(Decoders, RunLengthBmpFillsRunsAndLiteralsBottomUp)
{
    Bytes b = makeBmp8();
    b[30] = 1; // BI_RLE8; the 8 indices become runs
    b.resize(54 + 32);
    const uint8_t rle[] = {4, 3,             // bottom row: four of colour 3 (white)
                           0, 0,             // end of line
                           0, 4, 0, 1, 2, 7, // top row: literal red, green, blue, magenta
                           0, 1};            // end of picture
    b.insert(b.end(), std::begin(rle), std::end(rle));
    b[22] = 2, b[23] = 0, b[24] = 0, b[25] = 0; // bottom-up
    DecodedImage img = decode(b);
    ASSERT_EQ(img.width, 4);
    EXPECT_EQ(img.pixels[(4 + 2) * 4 + 0], 255) << "bottom row white";
    EXPECT_EQ(img.pixels[(4 + 2) * 4 + 1], 255);
    EXPECT_EQ(img.pixels[2], 255) << "top-left red";
    EXPECT_EQ(img.pixels[0], 0);
    EXPECT_EQ(img.pixels[3 * 4 + 0], 255) << "magenta";
    EXPECT_EQ(img.pixels[3 * 4 + 1], 0);
}

TEST(Decoders, GifTakesFirstFrameWithTransparentIndex)
{
    DecodedImage img = decode(makeGif());
    ASSERT_EQ(img.width, 4);
    EXPECT_EQ(img.pixels[(4 + 3) * 4 + 3], 0) << "transparent index";
    EXPECT_EQ(img.pixels[2], 255);
    EXPECT_EQ(img.pixels[3], 255);
}

TEST(Decoders, JpegScalesByDctWhenAskedForLess)
{
    Bytes jpg = makeJpeg(800, 600);
    DecodedImage full = decode(jpg);
    EXPECT_EQ(full.width, 800);
    DecodedImage eighth = decode(jpg, DecodeRequest{.minWidth = 100, .minHeight = 75});
    EXPECT_EQ(eighth.width, 100);
    EXPECT_EQ(eighth.height, 75);
    DecodedImage quarter = decode(jpg, DecodeRequest{.minWidth = 101, .minHeight = 75});
    EXPECT_EQ(quarter.width, 200) << "never smaller than asked";
    // Gradient: red rises left to right.
    EXPECT_NEAR(full.pixels[2], 0, 6);
    EXPECT_NEAR(full.pixels[799 * 4 + 2], 255, 6);
    EXPECT_NEAR(full.pixels[799 * 4 + 0], 100, 6);
}

TEST(Decoders, TruncatedAndGarbledFilesFailOrDecodeWithoutHarm)
{
    TempDir dir;
    std::vector<Bytes> files{makePng(64, 64), makeJpeg(64, 64), makeGif(),
                             makeBmp24(),     makeBmp8(),       makeTiff(dir.file("t.tif").string())};
    for (const Bytes& f : files) {
        for (size_t cut : {size_t{0}, size_t{1}, size_t{8}, f.size() / 2, f.size() - 1}) {
            Bytes part(f.begin(), f.begin() + static_cast<ptrdiff_t>(cut));
            DecodedImage out;
            if (decodePicture(part, {}, out)) {
                EXPECT_EQ(out.pixels.size(), size_t(out.width) * out.height * 4);
            }
        }
        Bytes flipped = f;
        for (size_t i = 10; i < flipped.size(); i += 7)
            flipped[i] ^= 0x5A;
        DecodedImage out;
        decodePicture(flipped, {}, out);
    }
    DecodedImage out;
    EXPECT_FALSE(decodePicture(Bytes{'B', 'M'}, {}, out));
    EXPECT_FALSE(decodePicture(Bytes{}, {}, out));
}

TEST(Decoders, DeclaredSizesBeyondTheBoundFailBeforeAllocating)
{
    Bytes bmp = makeBmp24();
    bmp[18] = 0x00, bmp[19] = 0x20, bmp[20] = 0, bmp[21] = 0; // width 8192
    bmp[22] = 0x00, bmp[23] = 0x40, bmp[24] = 0, bmp[25] = 0; // height 16384: 128 Mi pixels
    DecodedImage out;
    EXPECT_FALSE(decodePicture(bmp, {}, out));

    Bytes png = makePng();
    // IHDR width 60000 x height 60000 (the CRC is wrong too; either way no 14 GB buffer).
    png[16] = 0, png[17] = 0, png[18] = 0xEA, png[19] = 0x60;
    png[20] = 0, png[21] = 0, png[22] = 0xEA, png[23] = 0x60;
    EXPECT_FALSE(decodePicture(png, {}, out));

    Bytes gif = makeGif();
    gif[6] = 0xFF, gif[7] = 0xFF, gif[8] = 0xFF, gif[9] = 0xFF; // logical screen 65535 x 65535
    EXPECT_FALSE(decodePicture(gif, {}, out));
    Bytes jpg = makeJpeg(16, 16);
    for (size_t i = 0; i + 8 < jpg.size(); ++i)
        if (jpg[i] == 0xFF && jpg[i + 1] == 0xC0) {
            jpg[i + 5] = 0xFF, jpg[i + 6] = 0xDC, jpg[i + 7] = 0xFF, jpg[i + 8] = 0xDC; // 65500 x 65500
            break;
        }
    EXPECT_FALSE(decodePicture(jpg, {}, out));
    // A TIFF whose directory claims 60000 x 60000.
    TempDir dir;
    Bytes tif = makeTiff(dir.file("big.tif").string());
    size_t ifd = tif[4] | tif[5] << 8 | tif[6] << 16 | size_t{tif[7]} << 24;
    int entries = tif[ifd] | tif[ifd + 1] << 8;
    for (int i = 0; i < entries; ++i) {
        uint8_t* e = &tif[ifd + 2 + i * 12];
        int tag = e[0] | e[1] << 8;
        if (tag == 256 || tag == 257)
            e[8] = 0x60, e[9] = 0xEA, e[10] = 0, e[11] = 0;
    }
    EXPECT_FALSE(decodePicture(tif, {}, out));
    EXPECT_FALSE(withinDecodeBound(65535, 65535));
    EXPECT_TRUE(withinDecodeBound(8192, 8192));
}

TEST(Bitmaps, FileBitmapDefersDecodingAndThumbnailsLeaveItUndecoded)
{
    TempDir dir;
    Bytes jpg = makeJpeg(1600, 1200);
    auto path = dir.file("photo.jpg");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(jpg.data()), jpg.size());
    auto b = Bitmap::fromFile(path.string());
    ASSERT_TRUE(b);
    EXPECT_EQ(b->width(), 1600);
    EXPECT_EQ(b->height(), 1200);
    EXPECT_FALSE(b->decoded());

    auto thumb = b->thumbnail(135, 101);
    ASSERT_TRUE(thumb);
    EXPECT_EQ(thumb->width(), 135);
    EXPECT_EQ(thumb->height(), 101);
    EXPECT_FALSE(b->decoded());

    ASSERT_TRUE(b->pixels());
    EXPECT_TRUE(b->decoded());
    auto fromFull = b->thumbnail(135, 101);
    int worst = 0;
    for (size_t i = 0; i < size_t{135} * 101 * 4; ++i)
        worst = std::max(worst, std::abs(thumb->pixels()[i] - fromFull->pixels()[i]));
    EXPECT_LE(worst, 8) << "DCT-scaled and full-size thumbnails agree";
}

TEST(Bitmaps, ThumbnailSizesAreExactAndBounded)
{
    auto b = Bitmap::fromMemory(makePng(40, 20));
    ASSERT_TRUE(b);
    auto small = b->thumbnail(1, 1);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->width(), 1);
    auto large = b->thumbnail(80, 41);
    ASSERT_TRUE(large);
    EXPECT_EQ(large->height(), 41);
    EXPECT_FALSE(b->thumbnail(65535, 65535)) << "a huge box yields no bitmap";
    EXPECT_FALSE(b->thumbnail(0, 10));
    EXPECT_FALSE(Bitmap::fromMemory(Bytes{1, 2, 3}));
}

TEST(Bitmaps, AreaAverageKeepsTransparentPixelsFromDarkeningEdges)
{
    // White opaque next to transparent black: the average stays white, half transparent.
    uint8_t src[8] = {255, 255, 255, 255, 0, 0, 0, 0};
    uint8_t dst[4];
    resampleArea(src, 2, 1, 8, dst, 1, 1);
    EXPECT_EQ(dst[0], 255);
    EXPECT_NEAR(dst[3], 128, 1);
}

TEST(Bitmaps, SavedPngReadsBackWithItsAlphaAndLatestPixels)
{
    TempDir dir;
    auto b = Bitmap::create(3, 1, 0xFF102030);
    ASSERT_TRUE(b);
    const uint8_t half[4] = {200, 100, 50, 128};
    std::copy_n(half, 4, b->pixels() + 4);
    b->pixels()[8 + 3] = 0;
    auto path = dir.file("saved.png");
    ASSERT_TRUE(b->savePng(path.string()));
    auto back = Bitmap::fromFile(path.string());
    ASSERT_TRUE(back && back->pixels());
    ASSERT_EQ(back->width(), 3);
    const uint8_t* p = back->pixels();
    EXPECT_EQ(p[0], 0x30);
    EXPECT_EQ(p[2], 0x10);
    EXPECT_EQ(p[3], 255);
    for (int c = 0; c < 4; ++c)
        EXPECT_NEAR(p[4 + c], half[c], 2) << "straight alpha survives the premultiplied copy";
    EXPECT_EQ(p[8 + 3], 0);

    // A change after a save must reach the next save, not a cached copy.
    b->pixels()[0] = 0xEE;
    b->changed();
    ASSERT_TRUE(b->savePng(path.string()));
    back = Bitmap::fromFile(path.string());
    ASSERT_TRUE(back && back->pixels());
    EXPECT_EQ(back->pixels()[0], 0xEE);

    EXPECT_FALSE(b->savePng((dir.path() / "missing" / "x.png").string()));
    auto gone = Bitmap::fromFile(path.string());
    ASSERT_TRUE(gone);
    std::filesystem::remove(path);
    EXPECT_FALSE(gone->savePng(dir.file("other.png").string())) << "a source that can no longer be read";
}
