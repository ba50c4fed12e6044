#include "forms/ImageEditForm.h"

#include "image/ImageBridges.h"
#include "platform/win/Automation.h"
#include "platform/win/Dialog.h"
#include "ui/ListViewPostItem.h"
#include "ui/SetUpSkin.h"

#include "support/Pictures.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

using pictavo::platform::Automation;
using pictavo::platform::AutomationNode;

namespace {

constexpr COLORREF kRed = 0xC02020, kYellow = 0xE0A020, kGreen = 0x30A040, kBlue = 0x2060C0;

// Quarters of different colours (0xRRGGBB), so crops and turns show where they came from.
GpBitmap* makePicture(int w, int h, BYTE alpha = 0xFF)
{
    return pictavo::test::filledBitmap(w, h, [&](int x, int y) {
        const bool right = x >= w / 2, bottom = y >= h / 2;
        const uint32_t rgb = right ? (bottom ? kBlue : kYellow) : (bottom ? kGreen : kRed);
        return (uint32_t{alpha} << 24) | rgb;
    });
}

// Every pixel different, so a band handled twice or not at all shows.
GpBitmap* makeGradient(int w, int h)
{
    return pictavo::test::filledBitmap(w, h, [](int x, int y) {
        return 0xFF000000u | (uint32_t(x * 7 + y) & 0xFF) << 16 | (uint32_t(y * 3) & 0xFF) << 8 |
               (uint32_t(x ^ y) & 0xFF);
    });
}

// Pixels of the tile that differ from the image (top-down rows), or -1 when the sizes differ.
long differences(ListViewPostItem& tile, const CxImage& expected)
{
    CxImage shown;
    tile.lock.Lock();
    CopyBitmapInto(tile.image, shown);
    tile.lock.Unlock();
    if (shown.GetWidth() != expected.GetWidth() || shown.GetHeight() != expected.GetHeight())
        return -1;
    long n = 0;
    for (LONG y = 0; y < LONG(shown.GetHeight()); ++y)
        for (LONG x = 0; x < LONG(shown.GetWidth()); ++x) {
            const RGBQUAD a = shown.PixelColour(x, y, false), b = expected.PixelColour(x, y, false);
            n += a.rgbRed != b.rgbRed || a.rgbGreen != b.rgbGreen || a.rgbBlue != b.rgbBlue;
        }
    return n;
}

SIZE sizeOf(ListViewPostItem& tile)
{
    UINT w = 0, h = 0;
    tile.lock.Lock();
    GdipGetImageWidth(tile.image, &w);
    GdipGetImageHeight(tile.image, &h);
    tile.lock.Unlock();
    return SIZE{static_cast<LONG>(w), static_cast<LONG>(h)};
}

// 0xAARRGGBB of one pixel of the tile's picture.
uint32_t pixelOf(ListViewPostItem& tile, int x, int y)
{
    tile.lock.Lock();
    GpRect one{x, y, 1, 1};
    BitmapData data{};
    uint32_t v = 0;
    if (GdipBitmapLockBits(tile.image, &one, ImageLockModeRead, PixelFormat32bppARGB, &data) == Ok) {
        std::memcpy(&v, data.Scan0, 4);
        GdipBitmapUnlockBits(tile.image, &data);
    }
    tile.lock.Unlock();
    return v;
}

// Scaling averages: a flat quarter may come out a unit darker per channel.
bool near(uint32_t argb, uint32_t expected)
{
    for (int shift = 0; shift < 32; shift += 8) {
        const int a = static_cast<int>((argb >> shift) & 0xFF), b = static_cast<int>((expected >> shift) & 0xFF);
        if (std::abs(a - b) > 2)
            return false;
    }
    return true;
}

POINT centreOf(const RECT& r)
{
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

int numberOf(const AutomationNode& node, const std::string& key)
{
    const std::u16string v = node.value(key);
    return std::stoi(std::string(v.begin(), v.end()));
}

// The window opened modally on a UI thread of its own; the test thread is the person.
class EditSession
{
public:
    explicit EditSession(ListViewPostItem& tile)
    {
        thread_ = std::thread([this, &tile] {
            SetUpSkin();
            {
                ImageEditForm form(tile);
                result_ = form.DoModal(nullptr);
            }
            ReleaseSkin();
            done_ = true;
        });
        dialog_ = Automation::waitForWindow(u"编辑图片", {}, 10000);
        if (dialog_)
            Automation::waitIdle(dialog_);
    }
    ~EditSession()
    {
        if (!done_ && dialog_)
            Automation::pressKey(VK_ESCAPE);
        thread_.join();
    }
    HWND dialog() const { return dialog_; }
    bool closed() { return pictavo::test::waitFor([this] { return done_.load(); }); }

    AutomationNode tree()
    {
        Automation::waitIdle(dialog_);
        return Automation::describe(dialog_);
    }
    AutomationNode canvas()
    {
        const AutomationNode t = tree();
        const AutomationNode* c = t.find(u"ImageEditor");
        return c ? *c : AutomationNode{};
    }
    SIZE picture()
    {
        const AutomationNode c = canvas();
        return SIZE{numberOf(c, "pictureWidth"), numberOf(c, "pictureHeight")};
    }
    // A control of the class whose top-left corner is at (dx, dy) in the window.
    AutomationNode at(std::u16string_view cls, int dx, int dy)
    {
        RECT w{};
        Automation::windowRect(dialog_, w);
        const AutomationNode t = tree();
        const AutomationNode* found = nullptr;
        std::function<void(const AutomationNode&)> walk = [&](const AutomationNode& n) {
            if (n.className == cls && n.bounds.left - w.left == dx && n.bounds.top - w.top == dy)
                found = &n;
            for (const auto& c : n.children)
                walk(c);
        };
        walk(t);
        return found ? *found : AutomationNode{};
    }
    void click(std::u16string_view button)
    {
        const AutomationNode t = tree();
        const AutomationNode* b = t.find(u"Button", button);
        ASSERT_TRUE(b) << "no button " << std::string(button.begin(), button.end());
        const POINT p = centreOf(b->bounds);
        Automation::click(p.x, p.y);
        Automation::waitIdle(dialog_);
    }
    // "确定" or "取消": the window goes, so there is no idle state to wait for.
    void finish(std::u16string_view button)
    {
        const AutomationNode t = tree();
        const AutomationNode* b = t.find(u"Button", button);
        ASSERT_TRUE(b);
        const POINT p = centreOf(b->bounds);
        Automation::click(p.x, p.y);
        EXPECT_TRUE(Automation::waitForGone(dialog_, 5000));
    }
    void clickResize()
    {
        const POINT p = centreOf(at(u"Button", 322, 26).bounds);
        Automation::click(p.x, p.y);
        Automation::waitIdle(dialog_);
    }
    // Screen point of a point of the canvas's client area.
    POINT onCanvas(int x, int y)
    {
        const AutomationNode c = canvas();
        return POINT{c.bounds.left + x, c.bounds.top + y};
    }
    void drag(POINT from, POINT to, int button = VK_LBUTTON)
    {
        Automation::moveMouse(from.x, from.y);
        Automation::press(button);
        Automation::moveMouse((from.x + to.x) / 2, (from.y + to.y) / 2);
        Automation::moveMouse(to.x, to.y);
        Automation::release(button);
        Automation::waitIdle(dialog_);
    }
    void typeInto(const AutomationNode& box, std::u16string_view text)
    {
        const POINT p = centreOf(box.bounds);
        Automation::click(p.x, p.y);
        Automation::keyDown(VK_CONTROL);
        Automation::pressKey('A');
        Automation::keyUp(VK_CONTROL);
        Automation::pressKey(VK_DELETE);
        Automation::typeText(text);
        Automation::waitIdle(dialog_);
    }
    INT_PTR result() const { return result_; }

private:
    std::thread thread_;
    HWND dialog_ = nullptr;
    std::atomic<bool> done_{false};
    INT_PTR result_ = -99;
};

class EditWindow : public ::testing::Test
{
protected:
    void SetUp() override { useTile(3000, 2000); }
    void TearDown() override { EXPECT_FALSE(Automation::waitForWindow(u"编辑图片", {}, 0)); }
    void useTile(int w, int h, BYTE alpha = 0xFF)
    {
        GpBitmap* picture = makePicture(w, h, alpha);
        tile.SetImage(picture);
        GdipDisposeImage(picture);
    }
    ListViewPostItem tile;
};

} // namespace

TEST_F(EditWindow, OpensFittedToTheCanvasWithBothBarsOffUntilActualPixels)
{
    EditSession s(tile);
    ASSERT_TRUE(s.dialog());
    RECT w{};
    ASSERT_TRUE(Automation::windowRect(s.dialog(), w));
    EXPECT_EQ(w.right - w.left, 800);
    EXPECT_EQ(w.bottom - w.top, 600);
    EXPECT_EQ(w.left, (1280 - 800) / 2);
    EXPECT_EQ(w.top, (760 - 600) / 2);

    AutomationNode c = s.canvas();
    EXPECT_EQ(c.bounds.left - w.left, 79);
    EXPECT_EQ(c.bounds.top - w.top, 52);
    EXPECT_EQ(c.bounds.right - c.bounds.left, 714);
    EXPECT_EQ(c.bounds.bottom - c.bounds.top, 515);
    EXPECT_EQ(s.picture().cx, 714);
    EXPECT_EQ(s.picture().cy, 476);
    EXPECT_EQ(c.value("hbar"), u"disabled");
    EXPECT_EQ(c.value("vbar"), u"disabled");
    EXPECT_EQ(c.value("viewWidth"), u"714");
    EXPECT_EQ(c.value("viewHeight"), u"515");
    // The size boxes show what is shown, so there is nothing to resize yet.
    EXPECT_EQ(s.at(u"Editor", 114, 30).text, u"714");
    EXPECT_EQ(s.at(u"Editor", 192, 30).text, u"476");
    EXPECT_TRUE(s.at(u"Button", 322, 26).disabled);

    s.click(u"实际像素");
    c = s.canvas();
    EXPECT_EQ(s.picture().cx, 3000);
    EXPECT_EQ(s.picture().cy, 2000);
    EXPECT_EQ(c.value("hbar"), u"enabled");
    EXPECT_EQ(c.value("vbar"), u"enabled");
    EXPECT_EQ(c.value("viewWidth"), u"697");
    EXPECT_EQ(c.value("viewHeight"), u"498");

    s.click(u"适合尺寸");
    c = s.canvas();
    EXPECT_EQ(s.picture().cx, 714);
    EXPECT_EQ(c.value("hbar"), u"disabled");
    EXPECT_EQ(c.value("viewWidth"), u"714");
    s.finish(u"取消");
    EXPECT_TRUE(s.closed());
}

TEST_F(EditWindow, OkStoresTheShownPictureAndCancelOnASecondOpeningLeavesIt)
{
    {
        EditSession s(tile);
        ASSERT_TRUE(s.dialog());
        s.finish(u"确定");
        EXPECT_TRUE(s.closed());
        EXPECT_EQ(s.result(), 0);
    }
    EXPECT_EQ(sizeOf(tile).cx, 714);
    EXPECT_EQ(sizeOf(tile).cy, 476);
    EXPECT_TRUE(near(pixelOf(tile, 10, 10), 0xFF000000 | kRed)) << std::hex << pixelOf(tile, 10, 10);
    EXPECT_TRUE(near(pixelOf(tile, 700, 470), 0xFF000000 | kBlue)) << std::hex << pixelOf(tile, 700, 470);
    {
        EditSession s(tile);
        ASSERT_TRUE(s.dialog());
        s.click(u"旋转图片");
        s.click(u"左旋");
        EXPECT_EQ(s.picture().cx, 476);
        s.finish(u"取消");
        EXPECT_TRUE(s.closed());
    }
    EXPECT_EQ(sizeOf(tile).cx, 714);
    EXPECT_TRUE(near(pixelOf(tile, 10, 10), 0xFF000000 | kRed)) << std::hex << pixelOf(tile, 10, 10);
}

TEST_F(EditWindow, AQuarterTurnKeepsThePicturesAlpha)
{
    useTile(300, 200, 0x80);
    {
        EditSession s(tile);
        ASSERT_TRUE(s.dialog());
        EXPECT_EQ(s.picture().cx, 300) << "a picture smaller than the canvas opens as it is";
        s.click(u"旋转图片");
        s.click(u"右旋");
        s.finish(u"确定");
        EXPECT_TRUE(s.closed());
    }
    EXPECT_EQ(sizeOf(tile).cx, 200);
    EXPECT_EQ(sizeOf(tile).cy, 300);
    // Turned right, the old bottom-left (green) quarter is now top-left.
    EXPECT_EQ(pixelOf(tile, 5, 5), 0x80000000 | kGreen);
}

TEST_F(EditWindow, ARectangleDrawnBackwardsCropsTheSameAsForwards)
{
    const int origin = (515 - 476) / 2;
    for (bool backwards : {true, false}) {
        useTile(3000, 2000);
        EditSession s(tile);
        ASSERT_TRUE(s.dialog());
        const POINT a = s.onCanvas(420, 300), b = s.onCanvas(320, 230);
        if (backwards)
            s.drag(a, b);
        else
            s.drag(b, a);
        EXPECT_EQ(s.canvas().value("tracker"), u"320,230,420,300");
        if (backwards) {
            auto shot = Automation::picture(s.dialog());
            ASSERT_TRUE(shot);
            Automation::savePng(shot, PICTAVO_BINARY_DIR "/edit-window-before-crop.png");
            auto at = [&](int x, int y) {
                const uint8_t* p = shot->pixels() + (y * shot->width() + x) * 4;
                return RGB(p[2], p[1], p[0]);
            };
            // The frame and the handles in the tracker's colour, the picture around it.
            EXPECT_EQ(at(79 + 370, 52 + 229), COLORREF(0xCA7D0A));
            EXPECT_EQ(at(79 + 316, 52 + 226), COLORREF(0xCA7D0A));
            EXPECT_EQ(at(79 + 10, 52 + 10), COLORREF(0xC0C0C0)) << "canvas background above the picture";
        }
        s.click(u"裁剪图片");
        EXPECT_EQ(s.picture().cx, 100);
        EXPECT_EQ(s.picture().cy, 70);
        EXPECT_EQ(s.canvas().value("tracker"), u"0,0,0,0");
        EXPECT_EQ(s.at(u"Editor", 114, 30).text, u"100");
        if (backwards) {
            auto shot = Automation::picture(s.dialog());
            ASSERT_TRUE(shot);
            Automation::savePng(shot, PICTAVO_BINARY_DIR "/edit-window-after-crop.png");
        }
        s.finish(u"确定");
        EXPECT_TRUE(s.closed());
        // The crop straddled the picture's middle (357, 238): all four quarters remain.
        EXPECT_EQ(sizeOf(tile).cx, 100);
        EXPECT_TRUE(near(pixelOf(tile, 0, 0), 0xFF000000 | kRed)) << std::hex << pixelOf(tile, 0, 0);
        EXPECT_TRUE(near(pixelOf(tile, 99, 0), 0xFF000000 | kYellow)) << std::hex << pixelOf(tile, 99, 0);
        EXPECT_TRUE(near(pixelOf(tile, 0, 69), 0xFF000000 | kGreen)) << std::hex << pixelOf(tile, 0, 69);
        EXPECT_TRUE(near(pixelOf(tile, 99, 69), 0xFF000000 | kBlue)) << std::hex << pixelOf(tile, 99, 69);
        // The middle is at picture (357, 238), so 37 columns and 238 - (230 - origin) rows in.
        EXPECT_TRUE(near(pixelOf(tile, 36, 0), 0xFF000000 | kRed)) << std::hex << pixelOf(tile, 36, 0);
        EXPECT_TRUE(near(pixelOf(tile, 37, 0), 0xFF000000 | kYellow)) << std::hex << pixelOf(tile, 37, 0);
        EXPECT_TRUE(near(pixelOf(tile, 0, 238 - (230 - origin) - 1), 0xFF000000 | kRed)) << std::hex << pixelOf(tile, 0, 238 - (230 - origin) - 1);
        EXPECT_TRUE(near(pixelOf(tile, 0, 238 - (230 - origin)), 0xFF000000 | kGreen)) << std::hex << pixelOf(tile, 0, 238 - (230 - origin));
    }
}

TEST_F(EditWindow, BrightnessAfterACropStartsAgainFromTheWholePicture)
{
    EditSession s(tile);
    ASSERT_TRUE(s.dialog());
    s.drag(s.onCanvas(100, 100), s.onCanvas(200, 200));
    s.click(u"裁剪图片");
    EXPECT_EQ(s.picture().cx, 100);
    s.click(u"调整亮度");
    const AutomationNode slider = s.at(u"ExtTrackBar", 119, 31);
    ASSERT_TRUE(slider.visible);
    EXPECT_EQ(slider.value("value"), u"0");
    // The thumb sits in the middle; ten pixels right.
    const POINT thumb{slider.bounds.left + 54 + 7, slider.bounds.top + 7};
    s.drag(thumb, POINT{thumb.x + 10, thumb.y});
    const int value = numberOf(s.at(u"ExtTrackBar", 119, 31), "value");
    EXPECT_GT(value, 0);
    EXPECT_EQ(s.at(u"Editor", 242, 30).text, std::u16string(u"") + [&] {
        const std::string t = std::to_string(value);
        return std::u16string(t.begin(), t.end());
    }());
    EXPECT_EQ(s.picture().cx, 3000);
    EXPECT_EQ(s.picture().cy, 2000);
    EXPECT_EQ(s.canvas().value("hbar"), u"enabled");
    const uint32_t brighter = 0xFF000000u | uint32_t(0xC0 + value) << 16 | uint32_t(0x20 + value) << 8 |
                              uint32_t(0x20 + value);
    auto shot = Automation::picture(s.dialog());
    ASSERT_TRUE(shot);
    const uint8_t* p = shot->pixels() + ((52 + 10) * shot->width() + 79 + 10) * 4;
    EXPECT_EQ(uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0], brighter) << "the view";
    // A crop now keeps the brighter pixels.
    s.click(u"调整尺寸");
    s.drag(s.onCanvas(20, 20), s.onCanvas(60, 60));
    s.click(u"裁剪图片");
    EXPECT_EQ(s.picture().cx, 40);
    s.finish(u"确定");
    EXPECT_TRUE(s.closed());
    EXPECT_EQ(sizeOf(tile).cx, 40);
    EXPECT_EQ(pixelOf(tile, 5, 5), brighter);
}

TEST_F(EditWindow, TheResizeButtonFollowsTheSizeBoxesAndTheCheckBoxChoosesTheResize)
{
    EditSession s(tile);
    ASSERT_TRUE(s.dialog());
    auto resizeEnabled = [&] { return !s.at(u"Button", 322, 26).disabled; };
    EXPECT_FALSE(resizeEnabled());
    s.typeInto(s.at(u"Editor", 114, 30), u"357");
    EXPECT_TRUE(resizeEnabled());
    s.typeInto(s.at(u"Editor", 114, 30), u"714");
    EXPECT_FALSE(resizeEnabled());
    s.typeInto(s.at(u"Editor", 192, 30), u"100");
    EXPECT_TRUE(resizeEnabled());
    s.typeInto(s.at(u"Editor", 192, 30), u"");
    EXPECT_FALSE(resizeEnabled()) << "an empty box is no size";

    // Checked (the default): the whole picture fitted into the box, shape kept.
    s.typeInto(s.at(u"Editor", 114, 30), u"357");
    s.typeInto(s.at(u"Editor", 192, 30), u"476");
    s.clickResize();
    EXPECT_EQ(s.picture().cx, 357);
    EXPECT_EQ(s.picture().cy, 238);
    EXPECT_EQ(s.at(u"Editor", 192, 30).text, u"238");
    EXPECT_FALSE(resizeEnabled());

    // Unchecked: exactly the size asked for.
    const AutomationNode box = *s.tree().find(u"CheckBox", u"约束比例");
    EXPECT_EQ(box.value("checked"), u"1");
    Automation::click(box.bounds.left + 7, box.bounds.top + 7);
    Automation::waitIdle(s.dialog());
    EXPECT_NE(s.tree().find(u"CheckBox", u"约束比例")->value("checked"), u"1");
    s.typeInto(s.at(u"Editor", 114, 30), u"300");
    s.typeInto(s.at(u"Editor", 192, 30), u"300");
    s.clickResize();
    EXPECT_EQ(s.picture().cx, 300);
    EXPECT_EQ(s.picture().cy, 300);
}

TEST(EditWindowLimits, ResizeTargetsStayWithinWhatThePictureCanHold)
{
    const SIZE huge = ImageEditor::ClampToLimits(INT32_MAX, INT32_MAX);
    EXPECT_LE(uint64_t(huge.cx) * uint64_t(huge.cy) * 4, CXIMAGE_MAX_MEMORY);
    EXPECT_EQ(huge.cx, huge.cy) << "the shape is kept";
    const SIZE tall = ImageEditor::ClampToLimits(10, INT32_MAX);
    EXPECT_EQ(tall.cx, 10);
    EXPECT_LE(uint64_t(tall.cy) * 40, CXIMAGE_MAX_MEMORY);
    const SIZE none = ImageEditor::ClampToLimits(0, -5);
    EXPECT_EQ(none.cx, 1);
    EXPECT_EQ(none.cy, 1);
    const SIZE fine = ImageEditor::ClampToLimits(6000, 4000);
    EXPECT_EQ(fine.cx, 6000);
    EXPECT_EQ(fine.cy, 4000);
}

TEST_F(EditWindow, PageUpAtTenGoesToTheStart)
{
    EditSession s(tile);
    ASSERT_TRUE(s.dialog());
    s.click(u"实际像素");
    // The wheel goes to the focus: a click puts it on the canvas.
    const POINT p = s.onCanvas(300, 200);
    Automation::click(p.x, p.y);
    for (int i = 0; i < 10; ++i)
        Automation::wheel(-120);
    AutomationNode c = s.canvas();
    EXPECT_EQ(c.value("vpos"), u"10");
    EXPECT_EQ(c.value("origin"), u"0,-10");
    // What the bar sends for a click on its track above the thumb.
    PostMessageW(c.hwnd, WM_VSCROLL, SB_PAGEUP, 0);
    EXPECT_EQ(s.canvas().value("vpos"), u"0");
    for (int i = 0; i < 10; ++i)
        PostMessageW(c.hwnd, WM_HSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(s.canvas().value("hpos"), u"10");
    PostMessageW(c.hwnd, WM_HSCROLL, SB_PAGEUP, 0);
    EXPECT_EQ(s.canvas().value("hpos"), u"0");
    // Page down stops where the picture's last column reaches the view's edge.
    for (int i = 0; i < 6; ++i)
        PostMessageW(c.hwnd, WM_HSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(s.canvas().value("hpos"), u"2303");
}

TEST_F(EditWindow, EscapeOrARightClickWhileTrackingPutsTheRectangleBack)
{
    EditSession s(tile);
    ASSERT_TRUE(s.dialog());
    s.drag(s.onCanvas(100, 100), s.onCanvas(200, 200));
    ASSERT_EQ(s.canvas().value("tracker"), u"100,100,200,200");
    // The pointer shows what a press would move.
    const struct
    {
        int x, y;
        LPCWSTR cursor;
    } spots[] = {{97, 97, IDC_SIZENWSE}, {202, 97, IDC_SIZENESW}, {150, 97, IDC_SIZENS},
                 {97, 150, IDC_SIZEWE},  {150, 150, IDC_SIZEALL},  {300, 300, IDC_ARROW}};
    for (const auto& spot : spots) {
        const POINT p = s.onCanvas(spot.x, spot.y);
        Automation::moveMouse(p.x, p.y);
        Automation::waitIdle(s.dialog());
        EXPECT_EQ(Automation::cursor(), LoadCursorW(nullptr, spot.cursor)) << spot.x << "," << spot.y;
    }
    for (int way : {0, 1}) {
        // The bottom-right handle lies just outside the corner.
        const POINT handle = s.onCanvas(202, 202);
        Automation::moveMouse(handle.x, handle.y);
        Automation::press();
        Automation::moveMouse(handle.x + 30, handle.y + 20);
        EXPECT_EQ(s.canvas().value("tracker"), u"100,100,230,220");
        if (way == 0) {
            Automation::pressKey(VK_ESCAPE);
        } else {
            Automation::press(VK_RBUTTON);
            Automation::release(VK_RBUTTON);
        }
        Automation::waitIdle(s.dialog());
        EXPECT_EQ(s.canvas().value("tracker"), u"100,100,200,200") << (way ? "right click" : "Escape");
        Automation::release();
        EXPECT_TRUE(IsWindow(s.dialog())) << "Escape ends the tracking, not the window";
    }
    // Tracked to the end, the rectangle keeps its new size, never below the minimum.
    const POINT handle = s.onCanvas(202, 202);
    s.drag(handle, s.onCanvas(95, 95));
    const std::u16string r = s.canvas().value("tracker");
    EXPECT_EQ(r, u"92,92,100,100") << "the moving corner gives way at 8 x 8";
}

TEST_F(EditWindow, TheQualityPageShowsTheSliderOnlyForJpeg)
{
    EditSession s(tile);
    ASSERT_TRUE(s.dialog());
    s.click(u"质量优化");
    AutomationNode combo = s.at(u"ComboBox", 71, 29);
    EXPECT_TRUE(combo.visible);
    EXPECT_EQ(combo.text, u"请选择");
    EXPECT_FALSE(s.at(u"ExtTrackBar", 248, 31).visible);
    EXPECT_FALSE(s.tree().find(u"Button", u"应用")->visible);

    auto choose = [&](int index) {
        const POINT p = centreOf(s.at(u"ComboBox", 71, 29).bounds);
        Automation::click(p.x, p.y);
        HWND list = Automation::waitForWindow({}, u"ComboLBox", 2000);
        ASSERT_TRUE(list);
        const AutomationNode items = Automation::describe(list);
        const AutomationNode* item = nullptr;
        for (const auto& c : items.children)
            if (c.value("index") == std::u16string(1, u'0' + index))
                item = &c;
        ASSERT_TRUE(item);
        const POINT q = centreOf(item->bounds);
        Automation::click(q.x, q.y);
        Automation::waitForGone(list, 2000);
        Automation::waitIdle(s.dialog());
    };
    choose(2);
    EXPECT_EQ(s.at(u"ComboBox", 71, 29).text, u"PNG");
    EXPECT_FALSE(s.at(u"ExtTrackBar", 248, 31).visible);
    EXPECT_FALSE(s.at(u"Editor", 374, 29).visible);
    EXPECT_TRUE(s.tree().find(u"Button", u"应用")->visible);
    choose(1);
    EXPECT_TRUE(s.at(u"ExtTrackBar", 248, 31).visible);
    EXPECT_TRUE(s.at(u"Editor", 374, 29).visible);
    EXPECT_EQ(s.at(u"Editor", 374, 29).text, u"100");
    // Leaving the page hides all of it.
    s.click(u"旋转图片");
    EXPECT_FALSE(s.at(u"ExtTrackBar", 248, 31).visible);
    EXPECT_FALSE(s.at(u"ComboBox", 71, 29).visible);
}

TEST_F(EditWindow, UndoAfterEachToolBringsBackTheWholePicture)
{
    EditSession s(tile);
    ASSERT_TRUE(s.dialog());
    // The saturation starts from the whole picture too, so only its colours change.
    const std::vector<std::pair<std::function<void()>, LONG>> tools = {
        {[&] { s.click(u"旋转图片"); s.click(u"左旋"); }, 476},
        {[&] { s.click(u"调整尺寸"); s.drag(s.onCanvas(50, 50), s.onCanvas(90, 90)); s.click(u"裁剪图片"); }, 40},
        {[&] { s.click(u"调整尺寸"); s.typeInto(s.at(u"Editor", 114, 30), u"100"); s.clickResize(); }, 100},
        {[&] { s.click(u"调整尺寸"); s.click(u"适合尺寸"); }, 714},
        {[&] { s.click(u"饱和度"); s.click(u"调整"); }, 3000},
    };
    for (size_t i = 0; i < tools.size(); ++i) {
        tools[i].first();
        EXPECT_EQ(s.picture().cx, tools[i].second) << "tool " << i;
        s.click(u"撤消编辑");
        EXPECT_EQ(s.picture().cx, 3000) << "tool " << i;
        EXPECT_EQ(s.picture().cy, 2000) << "tool " << i;
        EXPECT_EQ(s.at(u"Editor", 114, 30).text, u"3000") << "tool " << i;
    }
}

TEST_F(EditWindow, EdgesResizeDownTo707By500AndMaximiseTakesTheScreen)
{
    EditSession s(tile);
    ASSERT_TRUE(s.dialog());
    RECT before{};
    Automation::windowRect(s.dialog(), before);
    // The left edge dragged far right stops at the minimum width, the right edge stays.
    s.drag(POINT{before.left + 1, before.top + 300}, POINT{before.left + 300, before.top + 300});
    RECT r{};
    Automation::windowRect(s.dialog(), r);
    EXPECT_EQ(r.right, before.right);
    EXPECT_EQ(r.right - r.left, 707);
    // The bottom-right corner dragged up and left stops at 707 x 500.
    s.drag(POINT{r.right - 5, r.bottom - 5}, POINT{r.right - 400, r.bottom - 400});
    Automation::windowRect(s.dialog(), r);
    EXPECT_EQ(r.right - r.left, 707);
    EXPECT_EQ(r.bottom - r.top, 500);
    AutomationNode c = s.canvas();
    EXPECT_EQ(c.bounds.right - c.bounds.left, 707 - 79 - 7);
    EXPECT_EQ(c.bounds.bottom - c.bounds.top, 500 - 52 - 33);

    const RECT max = s.tree().children.empty() ? RECT{} : r;
    (void)max;
    const AutomationNode t = s.tree();
    const AutomationNode* maximise = nullptr;
    for (const auto& n : t.children)
        if (n.className == u"Button" && n.bounds.right == r.right - 23)
            maximise = &n;
    ASSERT_TRUE(maximise);
    const POINT m = centreOf(maximise->bounds);
    Automation::click(m.x, m.y);
    Automation::waitIdle(s.dialog());
    Automation::windowRect(s.dialog(), r);
    EXPECT_EQ(s.tree().value("maximised"), u"1");
    EXPECT_EQ(r.right - r.left, 1280);
    c = s.canvas();
    EXPECT_EQ(c.bounds.right - c.bounds.left, 1280 - 79 - 7);
    // No edge sizing while maximised.
    s.drag(POINT{r.left + 1, r.top + 300}, POINT{r.left + 300, r.top + 300});
    RECT still{};
    Automation::windowRect(s.dialog(), still);
    EXPECT_EQ(still.right - still.left, 1280);
}

TEST_F(EditWindow, SlidersOnABigPictureGiveThePixelsOfTheImageOperations)
{
    // Large enough to be worked on in bands.
    GpBitmap* picture = makeGradient(1500, 1000);
    tile.SetImage(picture);
    int value = 0;
    {
        EditSession s(tile);
        ASSERT_TRUE(s.dialog());
        s.click(u"调整亮度");
        const AutomationNode slider = s.at(u"ExtTrackBar", 119, 31);
        const POINT thumb{slider.bounds.left + 54 + 7, slider.bounds.top + 7};
        s.drag(thumb, POINT{thumb.x - 20, thumb.y});
        value = numberOf(s.at(u"ExtTrackBar", 119, 31), "value");
        EXPECT_LT(value, 0);
        s.finish(u"确定");
        EXPECT_TRUE(s.closed());
    }
    CxImage expected;
    CopyBitmapInto(picture, expected);
    expected.AdjustLight(value, 0);
    EXPECT_EQ(differences(tile, expected), 0);

    tile.SetImage(picture);
    {
        EditSession s(tile);
        ASSERT_TRUE(s.dialog());
        s.click(u"饱和度");
        const AutomationNode slider = s.at(u"ExtTrackBar", 131, 31);
        EXPECT_EQ(slider.value("value"), u"0");
        const POINT thumb{slider.bounds.left + 54 + 7, slider.bounds.top + 7};
        s.drag(thumb, POINT{thumb.x - 200, thumb.y});
        EXPECT_EQ(s.at(u"ExtTrackBar", 131, 31).value("value"), u"-100");
        EXPECT_EQ(s.at(u"Editor", 254, 30).text, u"-100");
        s.click(u"调整");
        s.finish(u"确定");
        EXPECT_TRUE(s.closed());
    }
    CxImage grey;
    CopyBitmapInto(picture, grey);
    grey.Saturate(-100, 1);
    EXPECT_EQ(differences(tile, grey), 0);
    GdipDisposeImage(picture);
}

TEST_F(EditWindow, OnASmallScreenTheWindowTakesTheWorkAreaAndNoMore)
{
    Automation::setScreenSize(640, 480);
    {
        EditSession s(tile);
        ASSERT_TRUE(s.dialog());
        RECT r{};
        Automation::windowRect(s.dialog(), r);
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.top, 0);
        EXPECT_EQ(r.right - r.left, 640);
        EXPECT_EQ(r.bottom - r.top, 440);
        // The picture is fitted to the canvas the smaller window leaves (554 x 355); the fit's
        // single-precision factor truncates 355 to 354.
        EXPECT_EQ(s.picture().cy, 354);
        EXPECT_EQ(s.picture().cx, 532);
        s.finish(u"取消");
    }
    Automation::setScreenSize(1280, 800);
}
