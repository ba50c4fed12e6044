#include "UiHarness.h"

#include "ui/Button.h"
#include "ui/CheckBox.h"
#include "ui/DefaultFonts.h"
#include "ui/Drawing.h"
#include "ui/IconLabel.h"
#include "ui/Label.h"
#include "ui/TrackBar.h"

#include <gtest/gtest.h>

#include <atomic>

using pictavo::platform::Automation;
using pictavo::platform::AutomationNode;
using Quendal::UI::Controls::Button;
using Quendal::UI::Controls::CheckBox;
using Quendal::UI::Controls::IconLabel;

namespace {

struct Events : has_slots
{
    ~Events() override { disconnect_all(); }
    void onSignal() { ++count; }
    void onLabel(ControlBase* from) { lastLabel = from, ++count; }
    void onValue(int v) { values.push_back(v); }
    std::atomic<int> count{0};
    ControlBase* lastLabel = nullptr;
    std::vector<int> values;
};

class ControlsTest : public ::testing::Test
{
protected:
    void SetUp() override { uitest::useTestSkin(); }
};

TEST_F(ControlsTest, DisabledButtonDrawsItsDisabledLookAndIgnoresTheMouse)
{
    uitest::TestForm form;
    Button button, blank;
    Events events;
    uitest::FormThread ui(form, RECT{100, 100, 300, 200}, [&](FormBase& f, HWND) {
        button.Create(f, u"");
        button.SetSize(72, 25);
        button.SetMargins(10, 10, 0, 0);
        button.SetDisabled(TRUE);
        button.clicked.connect(&events, &Events::onSignal);
        blank.Create(f, u"");
        blank.SetImages("BtnNormal", "BtnHover", "BtnDown", "");
        blank.SetSize(72, 25);
        blank.SetMargins(100, 10, 0, 0);
        blank.SetDisabled(TRUE);
    });
    const POINT p = ui.screen(30, 20);
    Automation::moveMouse(p.x, p.y);
    Automation::click(p.x, p.y);
    Automation::waitIdle(ui.window());
    EXPECT_EQ(events.count, 0);
    EXPECT_TRUE(ui.describe().find(u"Button")->state.empty()) << "no hover, no press";
    EXPECT_EQ(ui.pixel(30, 20), uitest::colourOf(222));
    EXPECT_EQ(ui.pixel(130, 20), 0xFFFFFFu) << "an empty disabled picture draws no background";
}

TEST_F(ControlsTest, CheckBoxTogglesOnAClickInsideAndStillShowsHoverWhenDisabled)
{
    uitest::TestForm form;
    CheckBox box;
    Events events;
    uitest::FormThread ui(form, RECT{100, 100, 300, 200}, [&](FormBase& f, HWND) {
        box.Create(f, u"ab");
        box.SetMargins(10, 10, 0, 0);
        box.changed.connect(&events, &Events::onSignal);
    });
    const POINT in = ui.screen(15, 15), out = ui.screen(150, 80);
    Automation::click(in.x, in.y);
    Automation::waitIdle(ui.window());
    EXPECT_EQ(events.count, 1);
    EXPECT_EQ(ui.describe().find(u"CheckBox")->value("checked"), u"1");
    EXPECT_EQ(ui.pixel(15, 15), uitest::colourOf(219)) << "checked and hovered";

    Automation::moveMouse(in.x, in.y);
    Automation::press();
    Automation::moveMouse(out.x, out.y);
    Automation::release();
    Automation::waitIdle(ui.window());
    EXPECT_EQ(events.count, 1) << "released outside: no toggle";

    ui.call([&] { box.SetDisabled(TRUE); });
    Automation::moveMouse(in.x, in.y);
    Automation::waitIdle(ui.window());
    EXPECT_EQ(ui.describe().find(u"CheckBox")->value("hover"), u"1");
    Automation::click(in.x, in.y);
    Automation::waitIdle(ui.window());
    EXPECT_EQ(events.count, 1);
    EXPECT_EQ(ui.describe().find(u"CheckBox")->value("checked"), u"1");
}

TEST_F(ControlsTest, IconLabelMakesRoomForItsIconAndNamesItselfWhenClicked)
{
    uitest::TestForm form;
    IconLabel label, plain;
    Events events;
    uitest::FormThread ui(form, RECT{100, 100, 300, 200}, [&](FormBase& f, HWND) {
        label.Create(f, u"删除", "Btn_Delete");
        label.SetMargins(10, 10, 0, 0);
        label.clicked.connect(&events, &Events::onLabel);
        plain.Create(f, u"删除", "NoSuchIcon");
        plain.SetMargins(10, 40, 0, 0);
    });
    EXPECT_EQ(label.width, 24 + 16 + 5);
    EXPECT_EQ(plain.width, 24);
    const POINT p = ui.screen(12, 14);
    Automation::click(p.x, p.y);
    Automation::waitIdle(ui.window());
    EXPECT_EQ(events.count, 1);
    EXPECT_EQ(events.lastLabel, &label);
    ui.call([&] { label.SetDisabled(TRUE); });
    const COLORREF c = uitest::colourOf(244);
    const int grey = (306 * GetRValue(c) + 601 * GetGValue(c) + 117 * GetBValue(c)) >> 10;
    EXPECT_EQ(ui.pixel(15, 15), RGB(grey, grey, grey)) << "a disabled icon is drawn grey";
}

TEST_F(ControlsTest, LabelIsExactlyAsWideAsTheTextItDraws)
{
    uitest::TestForm form;
    Label label, bold;
    uitest::FormThread ui(form, RECT{100, 100, 300, 200}, [&](FormBase& f, HWND) {
        label.Create(f, u"上传abc");
        bold.font = DefaultFonts::Instance().boldFont;
        bold.Create(f, u"上传abc");
    });
    int normalWidth = 0, boldWidth = 0;
    ui.call([&] {
        normalWidth = Quendal::UI::MeasureText(ui.window(), u"上传abc", DefaultFonts::Instance().normalFont).cx;
        boldWidth = Quendal::UI::MeasureText(ui.window(), u"上传abc", DefaultFonts::Instance().boldFont).cx;
    });
    EXPECT_EQ(normalWidth, 42);
    EXPECT_EQ(label.bounds.right - label.bounds.left, normalWidth);
    EXPECT_EQ(bold.bounds.right - bold.bounds.left, boldWidth);
}

class TrackBarTest : public ::testing::Test
{};

TEST_F(TrackBarTest, ValuesAndThumbPositionsInA115PixelTrack)
{
    uitest::TestForm form;
    TrackBar slider;
    Events events;
    uitest::FormThread ui(form, RECT{100, 100, 300, 200}, [&](FormBase&, HWND window) {
        slider.Create(window, RECT{10, 10, 125, 40});
        slider.valueChanged.connect(&events, &Events::onValue);
    });
    EXPECT_EQ(slider.element.bounds.bottom, 15) << "height forced to 15";
    for (int pos : {0, 50, 100})
        EXPECT_EQ(slider.ValueAt(pos), pos);
    for (int v : {0, 50, 100}) {
        ui.call([&] { slider.SetValue(v); });
        EXPECT_EQ(slider.thumbPos, v);
    }
    ui.call([&] { slider.SetValue(250); });
    EXPECT_EQ(slider.GetValue(), 100) << "clamped";

    // Drag the thumb (now at 100) far past the left end, then past the right end.
    const POINT thumb = ui.screen(10 + 105, 17);
    Automation::moveMouse(thumb.x, thumb.y);
    Automation::press();
    Automation::moveMouse(thumb.x - 40, thumb.y);
    Automation::moveMouse(thumb.x - 400, thumb.y);
    Automation::waitIdle(ui.window());
    EXPECT_EQ(slider.thumbPos, 0);
    EXPECT_EQ(slider.GetValue(), 0);
    Automation::moveMouse(thumb.x + 400, thumb.y);
    Automation::release();
    Automation::waitIdle(ui.window());
    EXPECT_EQ(slider.thumbPos, 100);
    EXPECT_EQ(events.values, (std::vector<int>{60, 0, 100}));
    EXPECT_EQ(ui.describe().find(u"TrackBar")->value("value"), u"100");
}

TEST_F(TrackBarTest, ValueSurvivesRepeatedResizesAndSmallRangesStillMove)
{
    uitest::TestForm form;
    ExtTrackBar slider;
    uitest::FormThread ui(form, RECT{100, 100, 400, 200}, [&](FormBase& f, HWND window) {
        slider.Create(window, RECT{0, 0, 114, 15});
        slider.SetRange(-100, 100);
        slider.SetValue(33);
        slider.element.Attach(f);
    });
    for (int i = 0; i < 20; ++i) {
        const int w = 60 + (i * 37) % 200;
        ui.call([&] {
            slider.element.SetSize(w, 15);
            slider.element.Layout();
        });
        EXPECT_EQ(slider.GetValue(), 33) << "width " << w;
    }
    ui.call([&] {
        slider.element.SetSize(114, 15);
        slider.element.Layout();
    });
    EXPECT_EQ(slider.thumbPos, 67) << "(33 + 100) / 200 of the 100-pixel span, rounded";

    ui.call([&] {
        slider.SetRange(0, 3);
        slider.SetValue(2);
    });
    EXPECT_EQ(slider.thumbPos, 67) << "small ranges are not flattened to 0";
    EXPECT_EQ(slider.ValueAt(slider.thumbPos), 2);
}

} // namespace
