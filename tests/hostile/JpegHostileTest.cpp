// What a re-encoded JPEG says about its pixels, read back from the written bytes: a camera
// picture turned by us must not be turned again by a viewer, and keeps its colour profile.
#include "JpegMarkers.h"
#include "image/CxImage.h"
#include "image/CxMemFile.h"

#include <gtest/gtest.h>

using namespace jpegmarkers;

namespace {

std::string encodeJpeg(CxImage& image)
{
    CxMemFile file;
    file.Open();
    EXPECT_TRUE(image.Encode(&file, ImageFormat::Jpg)) << image.GetLastError();
    return std::string(reinterpret_cast<const char*>(file.GetBuffer()), size_t(file.Size()));
}

bool decodeJpeg(const std::string& bytes, CxImage& image)
{
    CxMemFile file(reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())), DWORD(bytes.size()));
    return image.Decode(&file, ImageFormat::Unknown);
}

// Profile bytes that name their colour space where a profile header does.
std::string profileBytes(size_t size, const char* space = "RGB ")
{
    std::string p(size, '\0');
    for (size_t i = 0; i < size; ++i)
        p[i] = char(i * 7 + 3);
    p.replace(16, 4, space);
    return p;
}

// A 24 x 16 camera picture, stored sideways (orientation 6), with a profile in `chunks` pieces.
std::string cameraPicture(const std::string& profile, size_t chunks, bool intel = false)
{
    CxImage image;
    image.Create(24, 16, 24);
    for (LONG y = 0; y < 16; ++y)
        for (LONG x = 0; x < 24; ++x)
            image.SetPixelColour(x, y, RGBQUAD{BYTE(x * 10), BYTE(y * 15), 90, 0});
    std::vector<Segment> segments{{0xE1, exifWithOrientation(6, intel)}};
    if (chunks > 0)
        for (Segment& s : iccChunks(profile, chunks))
            segments.push_back(s);
    return withSegments(encodeJpeg(image), segments);
}

} // namespace

TEST(JpegHostile, TurnedPixelsAreWrittenWithOrientationOne)
{
    CxImage image;
    ASSERT_TRUE(decodeJpeg(cameraPicture({}, 0), image)) << image.GetLastError();

    // Untouched, the picture still asks viewers to turn it.
    const auto untouched = segmentsOf(encodeJpeg(image));
    const Segment* exif = find(untouched, 0xE1);
    ASSERT_NE(exif, nullptr);
    EXPECT_EQ(orientationOf(exif->payload), 6);

    for (bool left : {false, true}) {
        CxImage turned;
        ASSERT_TRUE(left ? image.Rotate90Left(&turned) : image.Rotate90Right(&turned));
        const auto segments = segmentsOf(encodeJpeg(turned));
        exif = find(segments, 0xE1);
        ASSERT_NE(exif, nullptr);
        EXPECT_EQ(orientationOf(exif->payload), 1);
        // Only the orientation changed: the rest of the block travels as it was.
        EXPECT_EQ(exif->payload, exifWithOrientation(1));
    }

    // Either byte order.
    CxImage intel;
    ASSERT_TRUE(decodeJpeg(cameraPicture({}, 0, true), intel));
    ASSERT_TRUE(intel.Rotate90Left());
    const auto intelSegments = segmentsOf(encodeJpeg(intel));
    ASSERT_NE(find(intelSegments, 0xE1), nullptr);
    EXPECT_EQ(find(intelSegments, 0xE1)->payload, exifWithOrientation(1, true));

    // Turning in place, and any later copy of the turned picture, say the same.
    ASSERT_TRUE(image.Rotate90Right());
    CxImage copy;
    copy.CopyFrom(image);
    EXPECT_EQ(orientationOf(find(segmentsOf(encodeJpeg(copy)), 0xE1)->payload), 1);
    // Decoding a new picture starts afresh.
    ASSERT_TRUE(decodeJpeg(cameraPicture({}, 0), image));
    EXPECT_EQ(orientationOf(find(segmentsOf(encodeJpeg(image)), 0xE1)->payload), 6);
}

TEST(JpegHostile, TheColourProfileIsCarriedLikeTheExifBlock)
{
    for (size_t chunks : {1u, 3u}) {
        const std::string profile = profileBytes(chunks == 1 ? 3000 : 150000);
        CxImage image;
        ASSERT_TRUE(decodeJpeg(cameraPicture(profile, chunks), image)) << image.GetLastError();
        ASSERT_TRUE(image.Rotate90Left());
        const auto segments = segmentsOf(encodeJpeg(image));
        EXPECT_TRUE(iccOf(segments) == profile) << chunks << " chunks";
        EXPECT_NE(find(segments, 0xE1), nullptr);
    }

    // A profile of another colour space would misdescribe the pixels written.
    CxImage cmyk;
    ASSERT_TRUE(decodeJpeg(cameraPicture(profileBytes(500, "CMYK"), 1), cmyk));
    EXPECT_EQ(find(segmentsOf(encodeJpeg(cmyk)), 0xE2), nullptr);

    // A picture built from pixels has no profile to carry.
    CxImage plain;
    plain.Create(8, 8, 24);
    EXPECT_EQ(find(segmentsOf(encodeJpeg(plain)), 0xE2), nullptr);
    // Nor does a re-encoding of a picture that had none.
    CxImage back;
    ASSERT_TRUE(decodeJpeg(cameraPicture({}, 0), back));
    EXPECT_EQ(find(segmentsOf(encodeJpeg(back)), 0xE2), nullptr);
}
