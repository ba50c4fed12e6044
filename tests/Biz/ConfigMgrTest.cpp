#include <gtest/gtest.h>

#include <thread>

#include "Biz/AppState.h"
#include "Biz/ConfigMgr.h"

namespace {

TEST(ConfigMgr, StartsWithTheDocumentedDefaults)
{
    ConfigMgr config;
    EXPECT_FALSE(config.Watermark());
    EXPECT_EQ(config.JpegQuality(), 80);
    EXPECT_EQ(config.ImgCountLimit(), 300);
    EXPECT_EQ(config.ImgSizeLimit(), 0);
    EXPECT_EQ(config.ViewSize(), std::make_pair(488, 324));
    EXPECT_EQ(config.EncodeType(), u"UTF-8");
    EXPECT_EQ(config.FileFieldName(), u"img");
    EXPECT_TRUE(config.UploadFormat().empty());
    EXPECT_TRUE(config.DefaultFolder().empty());
}

TEST(ConfigMgr, CountLimitOutsideOneTo299BecomesThreeHundred)
{
    ConfigMgr config;
    for (int value : {0, -5, 300, 1000}) {
        config.SetImgCountLimit(1);
        config.SetImgCountLimit(value);
        EXPECT_EQ(config.ImgCountLimit(), 300) << value;
    }
    config.SetImgCountLimit(1);
    EXPECT_EQ(config.ImgCountLimit(), 1);
    config.SetImgCountLimit(299);
    EXPECT_EQ(config.ImgCountLimit(), 299);
    EXPECT_FALSE(config.CountLimitReached(298));
    EXPECT_TRUE(config.CountLimitReached(299));
}

TEST(ConfigMgr, SizeLimitAcceptsAFileExactlyAtTheLimit)
{
    ConfigMgr config;
    config.SetImgSizeLimit(-1);
    EXPECT_EQ(config.ImgSizeLimit(), 0);
    EXPECT_FALSE(config.ExceedsSizeLimit(int64_t{1} << 40));
    config.SetImgSizeLimit(1000);
    EXPECT_FALSE(config.ExceedsSizeLimit(1000));
    EXPECT_TRUE(config.ExceedsSizeLimit(1001));
}

TEST(ConfigMgr, OnlyVariantTrueTurnsTheWatermarkOn)
{
    ConfigMgr config;
    config.SetWatermark(VARIANT_TRUE);
    EXPECT_TRUE(config.Watermark());
    config.SetWatermark(1);
    EXPECT_FALSE(config.Watermark());
}

TEST(ConfigMgr, UnsignedSizesWidenWithoutSign)
{
    ConfigMgr config;
    config.SetThumbnailWidth(65535);
    config.SetViewHeight(65535);
    EXPECT_EQ(config.ThumbnailWidth(), 65535);
    EXPECT_EQ(config.ViewSize().second, 65535);
}

TEST(ConfigMgr, UploadFormatIsKeptInLowerCase)
{
    ConfigMgr config;
    config.SetUploadFormat(u"JPG");
    EXPECT_EQ(config.UploadFormat(), u"jpg");
}

TEST(ConfigMgr, InstanceIsOneObjectForTheProcess)
{
    ConfigMgr* first = nullptr;
    std::thread([&] { first = ConfigMgr::Instance(); }).join();
    EXPECT_EQ(first, ConfigMgr::Instance());
}

TEST(ConfigMgr, StringsCanBeReadWhileScriptWritesThem)
{
    ConfigMgr config;
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i)
            config.SetFileFieldName(i % 2 ? u"a-rather-long-field-name-beyond-small-buffers" : u"f");
    });
    for (int i = 0; i < 2000; ++i) {
        const std::u16string name = config.FileFieldName();
        ASSERT_TRUE(name == u"img" || name == u"f" ||
                    name == u"a-rather-long-field-name-beyond-small-buffers");
    }
    writer.join();
}

TEST(AppState, MovesFromIdleThroughUploadingToStopped)
{
    AppState state;
    EXPECT_FALSE(state.IsUploading());
    EXPECT_FALSE(state.IsStopped());
    state.SetUploading();
    EXPECT_TRUE(state.IsUploading());
    EXPECT_FALSE(state.IsStopped());
    state.SetStopped();
    EXPECT_FALSE(state.IsUploading());
    EXPECT_TRUE(state.IsStopped());
}

} // namespace
