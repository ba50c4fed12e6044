#include "image/ImageBridges.h"
#include "image/UploadPreparation.h"

#include "ImageTestUtil.h"
#include "platform/com/Resource.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Bitmap
{
    GpBitmap* handle = nullptr;
    explicit Bitmap(GpBitmap* b) : handle(b) {}
    ~Bitmap()
    {
        if (handle)
            GdipDisposeImage(handle);
    }
};

// A GDI+ bitmap of one opaque colour.
GpBitmap* plain(int w, int h, uint32_t argb = 0xFFFFFFFF)
{
    std::vector<uint32_t> px(static_cast<size_t>(w) * h, argb);
    GpBitmap* b = nullptr;
    GdipCreateBitmapFromScan0(w, h, w * 4, PixelFormat32bppARGB, reinterpret_cast<BYTE*>(px.data()), &b);
    return b;
}

// A picture file of the given format next to the test, from a pattern.
std::u16string pictureFile(const pictavo::test::TempDir& dir, const std::string& name, DWORD format, int w = 40,
                           int h = 30)
{
    CxImage image;
    imagetest::makePattern(image, w, h, format == ImageFormat::Png);
    auto path = dir.write(name, imagetest::encode(image, format)).u16string();
    return path;
}

UploadPicture tile(const std::u16string& path, GpBitmap* bitmap)
{
    UploadPicture p;
    p.path = path;
    const size_t dot = path.find_last_of(u'.');
    p.extension = path.substr(dot + 1);
    for (auto& c : p.extension)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c + 32);
    std::error_code ec;
    p.fileSize = static_cast<int64_t>(std::filesystem::file_size(std::filesystem::path(path), ec));
    p.bitmap = bitmap;
    p.valid = bitmap != nullptr;
    return p;
}

bool decodedHasAlpha(CxMemFile& buffer)
{
    CxImage image;
    return imagetest::decode(imagetest::bytesOf(buffer), image) && image.AlphaIsValid();
}

std::string head(CxMemFile& buffer, size_t n)
{
    return imagetest::bytesOf(buffer).substr(0, n);
}

} // namespace

TEST(UploadFileName, TakesTheUploadFormatsExtension)
{
    EXPECT_EQ(UploadFileName(u"a.png", u""), u"a.png");
    EXPECT_EQ(UploadFileName(u"a.png", u"JPG"), u"a.jpg");
    EXPECT_EQ(UploadFileName(u"anim.gif", u"png"), u"anim.png");
    EXPECT_EQ(UploadFileName(u"noext", u"tif"), u"noext.tif");
    EXPECT_EQ(UploadFileName(u"a.tar.gz", u"bmp"), u"a.tar.bmp");
    EXPECT_EQ(UploadFileName(u"a.png", u"webp"), u"a.png") << "an unknown format changes nothing";
    const std::u16string longName(300, u'x');
    EXPECT_EQ(UploadFileName(longName + u".png", u"jpg"), longName + u".png") << "never cut into another name";
}

TEST(PreparePicture, ReencodesInTheSourcesFormatOrAsJpegAndKeepsGifsAndBigFiles)
{
    pictavo::test::TempDir dir;
    UploadSettings settings;
    CxMemFile buffer;
    buffer.Open();

    // A PNG with the defaults comes back as a PNG with alpha.
    auto png = pictureFile(dir, "a.png", ImageFormat::Png);
    Bitmap pngBitmap(nullptr);
    GdipCreateBitmapFromFile(png.c_str(), &pngBitmap.handle);
    ASSERT_TRUE(pngBitmap.handle);
    ASSERT_EQ(PreparePicture(tile(png, pngBitmap.handle), settings, buffer), PrepareResult::Encoded);
    EXPECT_EQ(head(buffer, 4), "\x89PNG");
    EXPECT_TRUE(decodedHasAlpha(buffer));

    // Upload format jpg at quality 60: the same bytes as the image object writes at 60.
    settings.uploadFormat = u"jpg";
    settings.jpegQuality = 256 + 60; // only the low byte counts
    ASSERT_EQ(PreparePicture(tile(png, pngBitmap.handle), settings, buffer), PrepareResult::Encoded);
    const std::string jpeg = imagetest::bytesOf(buffer);
    CxImage same;
    CopyBitmapInto(pngBitmap.handle, same);
    same.PromoteBitDepth(24);
    same.SetQuality(60);
    EXPECT_EQ(jpeg, imagetest::encode(same, ImageFormat::Jpg));

    // A .jpeg source without an upload format is written at the image object's own quality.
    settings.uploadFormat.clear();
    auto jpegFile = pictureFile(dir, "b.jpeg", ImageFormat::Jpg);
    Bitmap jpegBitmap(nullptr);
    GdipCreateBitmapFromFile(jpegFile.c_str(), &jpegBitmap.handle);
    ASSERT_EQ(PreparePicture(tile(jpegFile, jpegBitmap.handle), settings, buffer), PrepareResult::Encoded);
    CxImage at90;
    CopyBitmapInto(jpegBitmap.handle, at90);
    EXPECT_EQ(imagetest::bytesOf(buffer), imagetest::encode(at90, ImageFormat::Jpg));

    // GIFs and files of 20 MiB or more are sent as they are, whatever the settings.
    settings.watermark = true;
    settings.uploadFormat = u"jpg";
    auto gif = dir.write("c.gif", "GIF89a not really").u16string();
    EXPECT_EQ(PreparePicture(tile(gif, pngBitmap.handle), settings, buffer), PrepareResult::Unchanged);
    EXPECT_EQ(buffer.Size(), 0);
    UploadPicture big = tile(png, pngBitmap.handle);
    big.fileSize = kUnchangedFromSize;
    EXPECT_EQ(PreparePicture(big, settings, buffer), PrepareResult::Unchanged);
    big.fileSize = kUnchangedFromSize - 1;
    EXPECT_EQ(PreparePicture(big, settings, buffer), PrepareResult::Encoded);
}

TEST(PreparePicture, SizeLimitTiffsAndVanishedFilesNeverGiveAnEmptyBody)
{
    pictavo::test::TempDir dir;
    UploadSettings settings;
    CxMemFile buffer;
    buffer.Open();
    Bitmap picture(plain(20, 10));
    auto jpg = pictureFile(dir, "a.jpg", ImageFormat::Jpg);
    const int64_t size = static_cast<int64_t>(std::filesystem::file_size(std::filesystem::path(jpg)));
    settings.compressSizeLimit = static_cast<int32_t>(size);
    EXPECT_EQ(PreparePicture(tile(jpg, picture.handle), settings, buffer), PrepareResult::Unchanged);
    settings.compressSizeLimit = static_cast<int32_t>(size - 1);
    EXPECT_EQ(PreparePicture(tile(jpg, picture.handle), settings, buffer), PrepareResult::Encoded);
    EXPECT_EQ(head(buffer, 2), "\xFF\xD8");

    // No writer for TIFF: the readable file goes as it is; once it is gone, nothing goes.
    settings.compressSizeLimit = 0;
    auto tif = dir.write("d.tif", std::string(500, 'T')).u16string();
    EXPECT_EQ(PreparePicture(tile(tif, picture.handle), settings, buffer), PrepareResult::Unchanged);
    EXPECT_EQ(buffer.Size(), 0);
    UploadPicture gone = tile(tif, picture.handle);
    std::filesystem::remove(std::filesystem::path(tif));
    settings.compressSizeLimit = -1;
    EXPECT_EQ(PreparePicture(gone, settings, buffer), PrepareResult::Failed);

    UploadPicture invalid = tile(jpg, picture.handle);
    invalid.valid = false;
    EXPECT_EQ(PreparePicture(invalid, settings, buffer), PrepareResult::Failed);
    invalid.valid = true;
    invalid.bitmap = nullptr;
    EXPECT_EQ(PreparePicture(invalid, settings, buffer), PrepareResult::Failed);

    EXPECT_TRUE(SendUnchanged(buffer, jpg));
    EXPECT_EQ(static_cast<int64_t>(buffer.Size()), size);
    EXPECT_FALSE(SendUnchanged(buffer, tif));
}

TEST(MakeUploadBitmap, FitsOnlyWhenBothBoxSidesAreSet)
{
    auto sizeOf = [](int w, int h, uint16_t bw, uint16_t bh) {
        Bitmap source(plain(w, h));
        UploadSettings settings;
        settings.thumbnailWidth = bw;
        settings.thumbnailHeight = bh;
        Bitmap fitted(MakeUploadBitmap(source.handle, settings));
        UINT fw = 0, fh = 0;
        GdipGetImageWidth(fitted.handle, &fw);
        GdipGetImageHeight(fitted.handle, &fh);
        return std::make_pair(fw, fh);
    };
    EXPECT_EQ(sizeOf(4000, 3000, 800, 600), std::make_pair(800u, 600u));
    EXPECT_EQ(sizeOf(3000, 4000, 800, 600), std::make_pair(450u, 600u));
    EXPECT_EQ(sizeOf(600, 400, 800, 600), std::make_pair(600u, 400u));
    EXPECT_EQ(sizeOf(700, 650, 800, 600), std::make_pair(800u, 742u));
    EXPECT_EQ(sizeOf(700, 650, 800, 0), std::make_pair(700u, 650u));
    EXPECT_EQ(sizeOf(700, 650, 65535, 65535), std::make_pair(700u, 650u)) << "a huge box never grows a picture";
}

TEST(ApplyWatermark, CentresTheMarkOrPutsItAtTheCornerOfSmallPictures)
{
    // The changed pixels of a white picture are where the mark was drawn.
    auto markedArea = [](int w, int h) {
        Bitmap picture(plain(w, h));
        ApplyWatermark(picture.handle, pictavo::platform::moduleContaining(reinterpret_cast<const void*>(&PreparePicture)));
        CxImage image;
        CopyBitmapInto(picture.handle, image);
        RECT box{w, h, -1, -1};
        for (LONG y = 0; y < h; ++y)
            for (LONG x = 0; x < w; ++x) {
                RGBQUAD p = image.PixelColour(x, h - 1 - y);
                if (p.rgbRed != 255 || p.rgbGreen != 255 || p.rgbBlue != 255) {
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x + 1);
                    box.bottom = std::max<LONG>(box.bottom, y + 1);
                }
            }
        return box;
    };
    RECT big = markedArea(1000, 500);
    ASSERT_LT(big.left, big.right) << "the mark shows on a white picture";
    EXPECT_GE(big.left, 402);
    EXPECT_GE(big.top, 217);
    EXPECT_LE(big.right, 402 + 196);
    EXPECT_LE(big.bottom, 217 + 65);
    // The same mark drawn at the corner of a picture smaller than the mark.
    RECT small = markedArea(150, 50);
    ASSERT_LT(small.left, small.right);
    EXPECT_EQ(small.left, big.left - 402);
    EXPECT_EQ(small.top, big.top - 217);

    Bitmap untouched(plain(300, 100));
    ApplyWatermark(untouched.handle, nullptr); // no resources: the picture stays as it is
    CxImage image;
    CopyBitmapInto(untouched.handle, image);
    EXPECT_EQ(image.PixelColour(150, 50).rgbRed, 255);
}
