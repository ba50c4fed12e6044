#include "PictureFiles.h"

#include "platform/gfx/Canvas.h"
#include "platform/gfx/GdiPlus.h"

#include <gtest/gtest.h>

#include <thread>

using namespace pictavo::platform;

// The list's loader thread decodes and thumbnails while the window thread draws and measures.
TEST(Threads, LoaderThumbnailsWhileTheWindowThreadDraws)
{
    auto photo = Bitmap::fromMemory(pictavo::test::makeJpeg(320, 240));
    ASSERT_TRUE(photo);
    std::thread loader([&] {
        for (int i = 0; i < 20; ++i) {
            auto t = photo->thumbnail(40 + i, 30);
            EXPECT_TRUE(t);
            auto other = Bitmap::fromMemory(pictavo::test::makePng(16, 16));
            EXPECT_TRUE(other && other->thumbnail(8, 8));
        }
    });
    auto target = Bitmap::create(200, 50, 0xFFFFFFFF);
    Canvas canvas(target);
    for (int i = 0; i < 20; ++i) {
        RECT r{0, 0, 200, 50};
        canvas.drawText(u"缩略图加载中", r, DT_CENTER | DT_SINGLELINE);
        EXPECT_EQ(Canvas::textExtent(u"加载", FontSpec{}).cx, 24);
    }
    loader.join();
    canvas.drawImage(*photo, 0, 0, 100, 50, 0, 0, 320, 240, Interpolation::Smooth);
    EXPECT_NE(canvas.pixel(50, 25), 0xFFFFFFu);
}
