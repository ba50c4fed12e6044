#include "platform/gfx/Bitmap.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

// The sample sheet renders, is written where a person can open it, and shows its parts.
TEST(SampleSheet, RendersIntoThePngUnderTheBuildFolder)
{
    const char* env = std::getenv("PICTAVO_BIN");
    std::string bin = env ? env : std::string(PICTAVO_BINARY_DIR) + "/bin";
    std::string out = std::string(PICTAVO_BINARY_DIR) + "/pictavo-sheet.png";
    std::remove(out.c_str());
    ASSERT_EQ(std::system((bin + "/pictavo-sheet " + out + " >/dev/null").c_str()), 0);
    auto sheet = pictavo::platform::Bitmap::fromFile(out);
    ASSERT_TRUE(sheet);
    ASSERT_EQ(sheet->width(), 480);
    ASSERT_EQ(sheet->height(), 320);
    const uint8_t* p = sheet->pixels();
    ASSERT_NE(p, nullptr);
    auto at = [&](int x, int y) { return p + (y * 480 + x) * 4; };
    int dark = 0, light = 0;
    for (int y = 28; y < 44; ++y)
        for (int x = 10; x < 470; ++x) {
            dark += at(x, y)[0] == 0x33 && at(x, y)[1] == 0x33;
            light += at(x, y)[0] == 0xC1 && at(x, y)[2] == 0xC1;
        }
    EXPECT_GT(dark, 50) << "text in the normal colour";
    EXPECT_GT(light, 50) << "text in the disabled colour";
    EXPECT_EQ(at(272, 102)[0], 0xF4) << "tile background";
    EXPECT_GT(at(130, 175)[2], at(130, 175)[0]) << "the red disc over the photo";
}
