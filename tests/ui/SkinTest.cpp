#include "UiHarness.h"

#include "ui/CombinBitmap.h"
#include "ui/ExtForm.h"
#include "ui/ImageLister.h"
#include "ui/SetUpSkin.h"

#include <gtest/gtest.h>

using Quendal::UI::ImageLister;

namespace {

// Runs with the test pictures (any art of the table's sizes and alpha passes the same way).
TEST(Skin, TableHoldsEveryNameAtItsSizeAndAlpha)
{
    uitest::useTestSkin();
    ImageLister& lister = ImageLister::Instance();
    for (const SkinPicture& p : SkinPictures()) {
        CxImage* image = lister.Find(p.name);
        ASSERT_TRUE(image) << p.name;
        EXPECT_EQ(static_cast<int>(image->GetWidth()), p.width) << p.name;
        EXPECT_EQ(static_cast<int>(image->GetHeight()), p.height) << p.name;
        EXPECT_EQ(image->AlphaIsValid(), p.alpha) << p.name;
    }
    EXPECT_EQ(lister.Count(), SkinPictures().size());
    EXPECT_EQ(lister.Find("NoSuchPicture"), nullptr);
    EXPECT_TRUE(CombinBitmap::Instance().HasSheet());
    EXPECT_EQ(CombinBitmap::Instance().Sprites().size(), 6u);
}

TEST(Skin, SharedTableSurvivesOneOfTwoUsersGoing)
{
    uitest::useTestSkin();
    ImageLister& lister = ImageLister::Instance();
    const int users = lister.Users();
    SetUpSkin(uitest::skinModule());
    ReleaseSkin();
    EXPECT_EQ(lister.Count(), SkinPictures().size()) << "the other user keeps its skin";
    EXPECT_EQ(lister.Users(), users);
    ASSERT_TRUE(lister.Find("BtnNormal"));
    EXPECT_TRUE(lister.Find("BtnNormal")->IsValid());
}

// Alpha reaches the window: the transparent pixel shows the form, the half-opaque one blends.
TEST(Skin, PicturesKeepTheirAlphaOnScreenAndSpritesDraw)
{
    uitest::useTestSkin();
    struct SkinForm : uitest::TestForm
    {
        void OnPaint(Quendal::UI::CPaintEventArgs& e) override
        {
            TestForm::OnPaint(e);
            ImageLister::Instance().Draw(e.hdc, "BtnNormal", POINT{10, 10});
            ImageLister::Instance().DrawInRect(e.hdc, "IcoInfo", RECT{50, 50, 114, 114});
            CombinBitmap::Instance().DrawSprite(e.graphics, u"Del", 150, 10);
        }
    } form;
    form.background = RGB(0, 0, 200);
    uitest::FormThread ui(form, RECT{100, 100, 300, 250}, [](FormBase&, HWND) {});
    const COLORREF c = uitest::colourOf(225);
    EXPECT_EQ(ui.pixel(10, 10), RGB(0, 0, 200));
    const COLORREF half = ui.pixel(11, 10);
    EXPECT_NEAR(GetRValue(half), (GetRValue(c) * 128) >> 8, 2);
    EXPECT_NEAR(GetBValue(half), (GetBValue(c) * 128 + 200 * 127) >> 8, 2);
    EXPECT_EQ(ui.pixel(20, 20), c);
    EXPECT_EQ(ui.pixel(50, 50), RGB(0, 0, 200)) << "stretched, the transparent pixel grows";
    EXPECT_EQ(ui.pixel(100, 100), uitest::colourOf(230));
    EXPECT_EQ(ui.pixel(158, 18), uitest::colourOf(kSpriteSheetId));
}

TEST(Skin, ExtFormPaintsItsFrameIconAndCaption)
{
    uitest::useTestSkin();
    ExtForm form;
    form.SetCaption(u"添加照片");
    form.SetIconName("IcoAdd");
    uitest::FormThread ui(form, RECT{100, 100, 400, 300}, [](FormBase&, HWND) {});
    EXPECT_EQ(ui.pixel(0, 100), 0xD8D8D8u) << "border";
    EXPECT_EQ(ui.pixel(150, 100), 0xFFFFFFu) << "body";
    EXPECT_EQ(ui.pixel(150, 190), 0xF3F3F3u) << "button band";
    EXPECT_EQ(ui.pixel(150, 20), uitest::colourOf(251)) << "title bar";
    EXPECT_EQ(ui.pixel(12, 12), uitest::colourOf(229)) << "icon at (6, 6)";
    // The caption's ink lies within (26, 7) .. (26 + 48, 7 + 12).
    int ink = 0;
    for (int x = 22; x < 90; ++x)
        for (int y = 5; y < 22; ++y)
            if (ui.pixel(x, y) != uitest::colourOf(251)) {
                ++ink;
                EXPECT_GE(x, 26);
                EXPECT_LT(x, 26 + 48);
                EXPECT_GE(y, 7);
                EXPECT_LT(y, 7 + 12);
            }
    EXPECT_GT(ink, 20);
}

} // namespace
