#include "ImageTestUtil.h"
#include "image/CxImageBMP.h"
#include "image/CxImageJPG.h"
#include "image/JpegExif.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

using namespace imagetest;

namespace {

void put32(std::string& s, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + i] = char(v >> (8 * i));
}

std::string le16(uint32_t v)
{
    return std::string{char(v), char(v >> 8)};
}

std::string le32(uint32_t v)
{
    return le16(v & 0xFFFF) + le16(v >> 16);
}

// A bitmap file from its info-header fields and the bytes after the header.
std::string bmpFile(int32_t w, int32_t h, int bpp, uint32_t compression, const std::string& tail,
                    uint32_t clrUsed = 0, uint32_t offBits = 0)
{
    std::string info = le32(40) + le32(uint32_t(w)) + le32(uint32_t(h)) + le16(1) + le16(bpp) +
                       le32(compression) + le32(0) + le32(2835) + le32(2835) + le32(clrUsed) + le32(0);
    std::string file = "BM" + le32(uint32_t(14 + 40 + tail.size())) + le32(0) + le32(offBits) + info + tail;
    return file;
}

uint32_t crc32(const std::string& s)
{
    uint32_t c = 0xFFFFFFFF;
    for (unsigned char b : s) {
        c ^= b;
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

std::string be32(uint32_t v)
{
    return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

std::vector<std::string> pngChunks(const std::string& png)
{
    std::vector<std::string> names;
    for (size_t at = 8; at + 8 <= png.size();) {
        uint32_t len = (uint8_t(png[at]) << 24) | (uint8_t(png[at + 1]) << 16) | (uint8_t(png[at + 2]) << 8) |
                       uint8_t(png[at + 3]);
        names.push_back(png.substr(at + 4, 4));
        at += 12 + len;
    }
    return names;
}

// An EXIF APP1 payload with an orientation entry and an EXIF sub-directory.
std::string exifPayload(uint16_t orientation = 6)
{
    std::string tiff = "II" + le16(0x2A) + le32(8);
    tiff += le16(2);
    tiff += le16(0x0112) + le16(3) + le32(1) + le16(orientation) + le16(0);
    tiff += le16(0x8769) + le16(4) + le32(1) + le32(38);
    tiff += le32(0);
    tiff += le16(1) + le16(0x9000) + le16(7) + le32(4) + std::string("0230");
    tiff += le32(0);
    return std::string("Exif\0\0", 6) + tiff;
}

std::string withApp1(const std::string& jpeg, const std::string& payload)
{
    std::string marker =
        std::string("\xFF\xE1", 2) + char((payload.size() + 2) >> 8) + char(payload.size() + 2);
    return jpeg.substr(0, 2) + marker + payload + jpeg.substr(2);
}

int maxDifference(const CxImage& a, const CxImage& b)
{
    int worst = 0;
    for (LONG y = 0; y < LONG(a.GetHeight()); ++y)
        for (LONG x = 0; x < LONG(a.GetWidth()); ++x) {
            RGBQUAD p = a.PixelColour(x, y), q = b.PixelColour(x, y);
            worst = std::max({worst, std::abs(p.rgbBlue - q.rgbBlue), std::abs(p.rgbGreen - q.rgbGreen),
                              std::abs(p.rgbRed - q.rgbRed)});
        }
    return worst;
}

} // namespace

TEST(BmpCodec, RoundTripsEveryDepth)
{
    for (DWORD bpp : {1u, 4u, 8u, 24u}) {
        CxImage image;
        image.Create(13, 5, bpp);
        for (DWORD i = 0; i < image.GetNumColors(); ++i)
            image.SetPaletteColor(BYTE(i), RGBQUAD{BYTE(i * 3), BYTE(255 - i), BYTE(i * 7), 0});
        for (LONG y = 0; y < 5; ++y)
            for (LONG x = 0; x < 13; ++x)
                image.SetPixelColour(x, y, RGBQUAD{BYTE(x * 20), BYTE(255 - y * 40), BYTE(x * y), 0});
        image.SetXDPI(200);
        std::string bytes = encode(image, ImageFormat::Bmp);
        ASSERT_EQ(bytes.size(), 14 + image.GetSize()) << bpp;
        CxImage back;
        ASSERT_TRUE(decode(bytes, back, ImageFormat::Bmp)) << back.GetLastError();
        EXPECT_EQ(back.GetBpp(), bpp);
        EXPECT_EQ(back.GetXDPI(), 200);
        EXPECT_TRUE(samePixels(image, back)) << bpp;
    }
}

TEST(BmpCodec, AlphaTravelsAsA32BitBitmap)
{
    CxImage image;
    makePattern(image, 9, 4, true);
    std::string bytes = encode(image, ImageFormat::Bmp);
    EXPECT_EQ(bytes.size(), 54u + 9 * 4 * 4);
    EXPECT_EQ(bytes[28], 32); // biBitCount
    CxImage back;
    ASSERT_TRUE(decode(bytes, back));
    EXPECT_TRUE(samePixels(image, back));

    // A 32-bit bitmap whose fourth bytes are all zero is opaque, not invisible.
    std::string zeros = bmpFile(1, 1, 32, 0, std::string("\x01\x02\x03\x00", 4));
    ASSERT_TRUE(decode(zeros, back));
    EXPECT_FALSE(back.AlphaIsValid());
    EXPECT_EQ(back.PixelColour(0, 0).rgbRed, 3);
}

TEST(BmpCodec, ReadsTopDownBitfieldsAndRle)
{
    // Top-down 2x2, 16-bit 5-6-5: first stored row in the file is the top of the picture.
    std::string masks = le32(0xF800) + le32(0x07E0) + le32(0x001F);
    std::string rows = le16(0xF800) + le16(0x001F) + le16(0x07E0) + le16(0xFFFF);
    CxImage image;
    ASSERT_TRUE(decode(bmpFile(2, -2, 16, 3, masks + rows), image)) << image.GetLastError();
    EXPECT_EQ(image.PixelColour(0, 1).rgbRed, 255);
    EXPECT_EQ(image.PixelColour(1, 1).rgbBlue, 255);
    EXPECT_EQ(image.PixelColour(0, 0).rgbGreen, 255);
    EXPECT_EQ(image.PixelColour(0, 0).rgbRed, 0);

    // RLE8: a run of 3 of index 1, a delta, an absolute run, end of bitmap.
    std::string palette =
        std::string(4, '\0') + std::string("\x10\x20\x30\x00", 4) + std::string("\x40\x50\x60\x00", 4);
    std::string rle = std::string("\x03\x01", 2) + std::string("\x00\x02\x01\x01", 4) +
                      std::string("\x00\x03\x02\x01\x02\x00", 6) + std::string("\x00\x01", 2);
    ASSERT_TRUE(decode(bmpFile(8, 3, 8, 1, palette + rle, 3), image)) << image.GetLastError();
    EXPECT_EQ(image.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(image.GetPixelIndex(2, 0), 1);
    EXPECT_EQ(image.GetPixelIndex(3, 0), 0);
    EXPECT_EQ(image.GetPixelIndex(4, 1), 2); // after the delta to (4, 1)
    EXPECT_EQ(image.GetPixelIndex(5, 1), 1);
    EXPECT_EQ(image.GetPixelIndex(7, 2), 0);
}

TEST(BmpCodec, HostileFilesFailWithTheirTexts)
{
    CxImage image;
    EXPECT_FALSE(decode("BX" + std::string(60, '\0'), image, ImageFormat::Bmp));
    EXPECT_STREQ(image.GetLastError(), "Not a BMP");

    std::string good = bmpFile(4, 4, 24, 0, std::string(48, 'x'));
    EXPECT_FALSE(decode(good.substr(0, 40), image, ImageFormat::Bmp));
    EXPECT_STREQ(image.GetLastError(), "Error reading BMP info");
    EXPECT_FALSE(decode(good.substr(0, good.size() - 1), image, ImageFormat::Bmp));
    EXPECT_STREQ(image.GetLastError(), "Error reading BMP info");

    EXPECT_FALSE(decode(bmpFile(4, 4, 24, 4, std::string(48, 'x')), image, ImageFormat::Bmp));
    EXPECT_STREQ(image.GetLastError(), "compression type not supported");
    EXPECT_FALSE(decode(bmpFile(4, 4, 24, 1, std::string(48, 'x')), image, ImageFormat::Bmp));
    EXPECT_STREQ(image.GetLastError(), "compression type not supported");
    EXPECT_FALSE(decode(bmpFile(4, 4, 24, 9, std::string(48, 'x')), image, ImageFormat::Bmp));
    EXPECT_STREQ(image.GetLastError(), "unknown compression");
    EXPECT_FALSE(decode(bmpFile(0, 4, 24, 0, ""), image, ImageFormat::Bmp));
    EXPECT_STREQ(image.GetLastError(), "Error reading BMP info");

    // Absurd sizes: a short file cannot hold the rows; RLE data is bounded by the creation limit.
    EXPECT_FALSE(decode(bmpFile(100000, 100000, 24, 0, "xx"), image, ImageFormat::Bmp));
    EXPECT_STREQ(image.GetLastError(), "Error reading BMP info");
    EXPECT_FALSE(decode(bmpFile(40000, 40000, 8, 1, "xx"), image, ImageFormat::Bmp));
    EXPECT_STREQ(image.GetLastError(), "CXIMAGE_MAX_MEMORY exceeded");

    // A palette that claims more entries than the depth allows still decodes.
    EXPECT_TRUE(decode(bmpFile(2, 1, 1, 0, std::string(8, '\x7f') + std::string(4, '\xc0'), 1000), image));

    CxImageBMP dims;
    dims.SetEscape(-1);
    CxMemFile file(reinterpret_cast<BYTE*>(good.data()), DWORD(good.size()));
    EXPECT_FALSE(dims.Decode(&file));
    EXPECT_STREQ(dims.GetLastError(), "output dimensions returned");
    EXPECT_EQ(dims.GetWidth(), 4u);

    CxImage cancelled;
    cancelled.SetEscape(1);
    EXPECT_FALSE(decode(good, cancelled, ImageFormat::Bmp));
    EXPECT_STREQ(cancelled.GetLastError(), "Cancelled");
}

TEST(PngCodec, RoundTripsRgbAlphaAndPalette)
{
    CxImage rgb;
    makePattern(rgb, 17, 9);
    CxImage back;
    ASSERT_TRUE(decode(encode(rgb, ImageFormat::Png), back)) << back.GetLastError();
    EXPECT_TRUE(samePixels(rgb, back));

    CxImage rgba;
    makePattern(rgba, 17, 9, true);
    std::string bytes = encode(rgba, ImageFormat::Png);
    EXPECT_EQ(bytes[25], 6); // colour type RGBA
    ASSERT_TRUE(decode(bytes, back, ImageFormat::Png));
    EXPECT_TRUE(samePixels(rgba, back));

    CxImage pal;
    pal.Create(5, 3, 4);
    for (DWORD i = 0; i < 16; ++i)
        pal.SetPaletteColor(BYTE(i), RGBQUAD{BYTE(i * 16), BYTE(i), BYTE(200 - i), 0});
    for (LONG y = 0; y < 3; ++y)
        for (LONG x = 0; x < 5; ++x)
            pal.SetPixelIndex(x, y, BYTE((x + 3 * y) % 16));
    pal.SetBkgndIndex(2);
    bytes = encode(pal, ImageFormat::Png);
    std::vector<std::string> expected = {"IHDR", "PLTE", "tRNS", "IDAT", "IEND"};
    EXPECT_EQ(pngChunks(bytes), expected);
    EXPECT_EQ(bytes[24], 8); // 8-bit samples
    ASSERT_TRUE(decode(bytes, back));
    EXPECT_EQ(back.GetBkgndIndex(), 2);
    EXPECT_TRUE(samePixels(pal, back));
}

// PNG forms our encoder never writes, made by libpng's simplified writer.
TEST(PngCodec, ReadsGreyGreyAlphaAndSixteenBitFiles)
{
    auto write = [](png_uint_32 format, int w, int h, const void* pixels) {
        png_image desc{};
        desc.version = PNG_IMAGE_VERSION;
        desc.width = png_uint_32(w);
        desc.height = png_uint_32(h);
        desc.format = format;
        png_alloc_size_t size = 0;
        EXPECT_TRUE(png_image_write_to_memory(&desc, nullptr, &size, 0, pixels, 0, nullptr));
        std::string bytes(size, '\0');
        EXPECT_TRUE(png_image_write_to_memory(&desc, bytes.data(), &size, 0, pixels, 0, nullptr));
        bytes.resize(size);
        return bytes;
    };
    const BYTE grey[] = {0, 50, 100, 150, 200, 250};
    CxImage image;
    ASSERT_TRUE(decode(write(PNG_FORMAT_GRAY, 3, 2, grey), image)) << image.GetLastError();
    EXPECT_TRUE(image.IsGreyPalette());
    EXPECT_EQ(image.PixelColour(0, 1).rgbRed, 0); // first file row is the top
    EXPECT_EQ(image.PixelColour(2, 0).rgbBlue, 250);

    const BYTE greyAlpha[] = {10, 255, 20, 128, 30, 0, 40, 64};
    ASSERT_TRUE(decode(write(PNG_FORMAT_GA, 2, 2, greyAlpha), image)) << image.GetLastError();
    EXPECT_EQ(image.GetBpp(), 24);
    ASSERT_TRUE(image.AlphaIsValid());
    EXPECT_EQ(image.AlphaGet(1, 1), 128);
    EXPECT_EQ(image.PixelColour(1, 1).rgbGreen, 20);
    EXPECT_EQ(image.AlphaGet(1, 0), 64);

    const uint16_t deep[] = {0x1234, 0xFFFF};
    ASSERT_TRUE(decode(write(PNG_FORMAT_LINEAR_Y, 2, 1, deep), image)) << image.GetLastError();
    EXPECT_EQ(image.PixelColour(0, 0).rgbRed, 0x12);
    EXPECT_EQ(image.PixelColour(1, 0).rgbRed, 0xFF);
}

TEST(PngCodec, HostileFilesFail)
{
    CxImage rgb;
    makePattern(rgb, 30, 30);
    std::string bytes = encode(rgb, ImageFormat::Png);
    CxImage back;
    EXPECT_FALSE(decode(bytes.substr(0, bytes.size() / 2), back, ImageFormat::Png));
    EXPECT_STREQ(back.GetLastError(), "Read Error");

    // IHDR claiming 100000 x 100000 with a correct checksum.
    std::string ihdr = "IHDR" + be32(100000) + be32(100000) + std::string("\x08\x02\x00\x00\x00", 5);
    std::string huge = bytes.substr(0, 8) + be32(13) + ihdr + be32(crc32(ihdr)) + bytes.substr(33);
    EXPECT_FALSE(decode(huge, back, ImageFormat::Png));
    EXPECT_STREQ(back.GetLastError(), "CXIMAGE_MAX_MEMORY exceeded");
}

TEST(JpegCodec, EncodesWithTheFixedParameters)
{
    CxImage image;
    makePattern(image, 32, 16);
    image.SetXDPI(300);
    image.SetYDPI(150);
    std::string bytes = encode(image, ImageFormat::Jpg);
    ASSERT_GT(bytes.size(), 100u);
    EXPECT_EQ(bytes.substr(6, 5), std::string("JFIF\0", 5));
    EXPECT_EQ(bytes[13], 1); // dots per inch
    EXPECT_EQ((uint8_t(bytes[14]) << 8) | uint8_t(bytes[15]), 300);
    EXPECT_EQ((uint8_t(bytes[16]) << 8) | uint8_t(bytes[17]), 150);
    size_t sof = bytes.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    EXPECT_EQ(uint8_t(bytes[sof + 9]), 3);     // components
    EXPECT_EQ(uint8_t(bytes[sof + 11]), 0x22); // luminance 2 x 2
    EXPECT_EQ(uint8_t(bytes[sof + 14]), 0x11);

    CxImage back;
    ASSERT_TRUE(decode(bytes, back));
    EXPECT_EQ(back.GetWidth(), 32u);
    EXPECT_EQ(back.GetXDPI(), 300);
    EXPECT_LT(maxDifference(image, back), 40);

    image.SetQuality(20);
    EXPECT_LT(encode(image, ImageFormat::Jpg).size(), bytes.size());

    CxImage grey;
    grey.Create(8, 8, 8);
    grey.SetGreyPalette();
    std::memset(grey.GetBits(), 77, grey.GetHeader().biSizeImage);
    ASSERT_TRUE(decode(encode(grey, ImageFormat::Jpg), back));
    EXPECT_TRUE(back.IsGreyPalette());
    EXPECT_EQ(back.PixelColour(3, 3).rgbGreen, 77);

    CxImage pal;
    pal.Create(8, 8, 4);
    CxMemFile file;
    file.Open();
    EXPECT_FALSE(pal.Encode(&file, ImageFormat::Jpg));
    EXPECT_STREQ(pal.GetLastError(), "JPEG can save only RGB or GreyScale images");
    EXPECT_EQ(file.Size(), 0);
}

TEST(JpegCodec, CarriesExifFromDecodeToEncode)
{
    CxImage image;
    makePattern(image, 16, 16);
    std::string payload = exifPayload();
    std::string withExif = withApp1(encode(image, ImageFormat::Jpg), payload);
    CxImage back;
    ASSERT_TRUE(decode(withExif, back)) << back.GetLastError();
    ASSERT_EQ(back.GetExifBlock().size(), payload.size());
    std::string again = encode(back, ImageFormat::Jpg);
    EXPECT_NE(again.find(payload), std::string::npos);

    // Pictures built from pixels carry none; a broken block is dropped, the picture still decodes.
    EXPECT_EQ(encode(image, ImageFormat::Jpg).find("Exif"), std::string::npos);
    ASSERT_TRUE(decode(withApp1(encode(image, ImageFormat::Jpg), exifPayload(9)), back));
    EXPECT_TRUE(back.GetExifBlock().empty());

    back.SetExifBlock(std::vector<BYTE>{'E', 'x', 'i', 'f', 0, 0, 'I'});
    CxMemFile file;
    file.Open();
    EXPECT_FALSE(back.Encode(&file, ImageFormat::Jpg));
    EXPECT_STREQ(back.GetLastError(), "Can't write exif : didn't read all");
}

TEST(JpegCodec, HostileFilesFail)
{
    CxImage image;
    makePattern(image, 64, 64);
    std::string bytes = encode(image, ImageFormat::Jpg);
    CxImage back;
    EXPECT_FALSE(decode(bytes.substr(0, bytes.size() / 2), back, ImageFormat::Jpg));
    EXPECT_STREQ(back.GetLastError(), "Premature end of file?");
    // A missing end marker alone is harmless.
    EXPECT_TRUE(decode(bytes.substr(0, bytes.size() - 2), back, ImageFormat::Jpg));

    image.SetCodecOption(CxImageJPG::EncProgressive, ImageFormat::Jpg);
    std::string progressive = encode(image, ImageFormat::Jpg);
    ASSERT_NE(progressive.find("\xFF\xC2"), std::string::npos);
    EXPECT_TRUE(decode(progressive, back, ImageFormat::Jpg));
    EXPECT_FALSE(decode(progressive.substr(0, progressive.size() * 2 / 3), back, ImageFormat::Jpg));
    EXPECT_STREQ(back.GetLastError(), "Premature end of file?");

    std::string huge = bytes;
    size_t sof = huge.find("\xFF\xC0");
    huge[sof + 5] = huge[sof + 7] = char(0xEA);
    EXPECT_FALSE(decode(huge, back, ImageFormat::Jpg));
    EXPECT_STREQ(back.GetLastError(), "CXIMAGE_MAX_MEMORY exceeded");

    EXPECT_FALSE(decode("\xFF\xD8 not much", back, ImageFormat::Jpg));
    EXPECT_NE(back.GetLastError()[0], 0);
}

TEST(JpegExif, SectionAndDirectoryFaultsAreNamed)
{
    auto parse = [](const std::string& s) {
        JpegExif exif;
        EXPECT_FALSE(exif.Parse(reinterpret_cast<const BYTE*>(s.data()), s.size()));
        return exif.LastError();
    };
    std::string good = exifPayload();
    {
        JpegExif exif;
        ASSERT_TRUE(exif.Parse(reinterpret_cast<const BYTE*>(good.data()), good.size())) << exif.LastError();
        EXPECT_EQ(exif.Orientation(), 6);
    }
    EXPECT_EQ(parse("Exiff" + good.substr(5)), "Incorrect Exif header");
    EXPECT_EQ(parse(good.substr(0, 6) + "XX" + good.substr(8)), "Invalid Exif alignment marker.");
    EXPECT_EQ(parse(good.substr(0, 8) + le16(0x2B) + good.substr(10)), "Invalid Exif start (1)");
    EXPECT_EQ(parse(exifPayload(9)), "Undefined rotation value");

    std::string bad = good;
    bad[6 + 10 + 2] = 13; // format of the first entry
    EXPECT_EQ(parse(bad), "Illegal format code in EXIF dir");
    bad = good;
    bad[6 + 10 + 2] = 2; // ASCII, 100 bytes far away
    put32(bad, 6 + 10 + 4, 100);
    EXPECT_EQ(parse(bad), "Illegal pointer offset value in EXIF.");
    bad = good;
    bad[6 + 8] = 40; // entry count beyond the block
    EXPECT_EQ(parse(bad), "Illegally sized directory");
    bad = good;
    put32(bad, 6 + 10 + 12 + 8, 5000);
    EXPECT_EQ(parse(bad), "Illegal subdirectory link");
    bad = good;
    put32(bad, 6 + 10 + 12 + 8, 8); // the sub-directory is the directory itself
    EXPECT_EQ(parse(bad), "Maximum directory nesting exceeded (corrupt exif header)");

    auto scan = [](std::string s) {
        JpegExif exif;
        CxMemFile file(reinterpret_cast<BYTE*>(s.data()), DWORD(s.size()));
        EXPECT_FALSE(exif.Read(&file));
        return exif.LastError();
    };
    EXPECT_EQ(scan("\xFF\xD8\xFF\xD9"), "No image in jpeg!\n");
    EXPECT_EQ(scan(std::string("\xFF\xD8\xFF\xE2\x00\x10", 6) + "ab"), "Premature end of file?");
    EXPECT_EQ(scan("\xFF\xD8" + std::string(20, '\xFF')), "too many padding bytes\n");
    EXPECT_EQ(scan(std::string("\xFF\xD8\xFF\xE2\x00\x01", 6)), "invalid marker");
    std::string many = "\xFF\xD8";
    for (int i = 0; i < 25; ++i)
        many += std::string("\xFF\xE2\x00\x02", 4);
    EXPECT_EQ(scan(many), "Too many sections in jpg file");
}

TEST(CodecDispatch, UnknownFormatIsFoundFromTheCurrentPosition)
{
    CxImage image;
    makePattern(image, 6, 6);
    for (DWORD f : {ImageFormat::Bmp, ImageFormat::Jpg, ImageFormat::Png}) {
        std::string bytes = "junk" + encode(image, f);
        CxMemFile file(reinterpret_cast<BYTE*>(bytes.data()), DWORD(bytes.size()));
        file.Seek(4, 0);
        CxImage back;
        ASSERT_TRUE(back.Decode(&file, ImageFormat::Unknown)) << f;
        EXPECT_EQ(back.GetType(), f);
        EXPECT_EQ(back.GetWidth(), 6u);
    }
}

TEST(CodecDispatch, WriteFailuresAreReported)
{
    CxImage image;
    makePattern(image, 40, 40, true);
    CxMemFile unopened;
    for (DWORD f : {ImageFormat::Bmp, ImageFormat::Jpg, ImageFormat::Png}) {
        EXPECT_FALSE(image.Encode(&unopened, f)) << f;
        EXPECT_NE(image.GetLastError()[0], 0);
    }
    image.Encode(&unopened, ImageFormat::Png);
    EXPECT_STREQ(image.GetLastError(), "Write Error");
}

// Inputs the fuzzers once faulted on; run them under the sanitizer build.
TEST(FuzzRegressions, DecodeWithoutFault)
{
    std::filesystem::path folder =
        std::filesystem::path(PICTAVO_SOURCE_DIR) / "fuzz/image-decode/regressions";
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        CxImage image;
        decode(bytes, image);
        ++seen;
    }
    EXPECT_GT(seen, 0);

    std::ifstream in(folder / "bmp-huge-resolution.bmp", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    CxImage image;
    ASSERT_TRUE(decode(bytes, image));
    EXPECT_EQ(image.GetHeader().biXPelsPerMeter, INT32_MAX);
    EXPECT_EQ(image.GetYDPI(), 96);
}
