#include "forms/ImageViewForm.h"

#include "Biz/ConfigMgr.h"
#include "platform/kernel/Message.h"
#include "platform/kernel/Synch.h"
#include "platform/win/Automation.h"
#include "platform/win/Display.h"
#include "support/Pictures.h"
#include "support/WaitFor.h"
#include "support/Xvfb.h"

#include "support/PlainWindow.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>

using pictavo::platform::Automation;
using pictavo::platform::DisplayKind;
using pictavo::platform::startDisplay;
using pictavo::platform::stopDisplay;

namespace {

using pictavo::test::plainWindow;

// A picture whose quarters differ, so a shot shows orientation and scaling.
GpBitmap* makePicture(int w, int h)
{
    return pictavo::test::filledBitmap(w, h, [&](int x, int y) {
        const bool right = x >= w / 2, bottom = y >= h / 2;
        return right ? (bottom ? 0xFF2060C0u : 0xFFE0A020u) : (bottom ? 0xFF30A040u : 0xFFC02020u);
    });
}

std::atomic<int> g_open{0};

// The preview's UI thread: opens it (and optionally another window), then pumps messages.
class PreviewThread
{
public:
    explicit PreviewThread(GpBitmap* picture, bool withOtherWindow = false)
    {
        std::promise<void> ready;
        thread_ = std::thread([&] {
            threadId_ = GetCurrentThreadId();
            if (withOtherWindow)
                other_ = plainWindow(0, 0, 100, 100);
            preview_ = (new ImageViewForm(picture))->Show();
            ready.set_value();
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            if (preview_ && IsWindow(preview_))
                DestroyWindow(preview_);
            if (other_)
                DestroyWindow(other_);
        });
        ready.get_future().wait();
    }
    ~PreviewThread()
    {
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }
    HWND preview() const { return preview_; }
    HWND other() const { return other_; }
    RECT rect() const
    {
        RECT r{};
        Automation::windowRect(preview_, r);
        return r;
    }

private:
    std::thread thread_;
    DWORD threadId_ = 0;
    HWND preview_ = nullptr;
    HWND other_ = nullptr;
};

class Preview : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        ImageViewForm::SetModuleHold([] { ++g_open; }, [] { --g_open; });
    }
    void SetUp() override
    {
        ConfigMgr::Instance()->SetViewWidth(488);
        ConfigMgr::Instance()->SetViewHeight(324);
    }
    void TearDown() override
    {
        ConfigMgr::Instance()->SetViewWidth(488);
        ConfigMgr::Instance()->SetViewHeight(324);
        EXPECT_EQ(g_open.load(), 0) << "a preview object outlived its window";
    }
};

SIZE previewOf(int w, int h)
{
    GpBitmap* picture = makePicture(w, h);
    PreviewThread ui(picture);
    GdipDisposeImage(picture);
    const RECT r = ui.rect();
    return SIZE{r.right - r.left, r.bottom - r.top};
}

} // namespace

TEST_F(Preview, FitsTheLongerSideIntoTheDefaultBox)
{
    struct Case { int w, h; LONG cx, cy; };
    for (const Case& c : {Case{4000, 3000, 488, 366}, Case{1000, 2000, 162, 324}, Case{600, 500, 487, 406},
                          Case{300, 200, 300, 200}}) {
        const SIZE s = previewOf(c.w, c.h);
        EXPECT_EQ(s.cx, c.cx) << c.w << " x " << c.h;
        EXPECT_EQ(s.cy, c.cy) << c.w << " x " << c.h;
    }
}

TEST_F(Preview, IsCentredOnTheWorkAreaAndShowsItsOwnCopyOfThePicture)
{
    GpBitmap* picture = makePicture(4000, 3000);
    PreviewThread ui(picture);
    // The tile may free its picture while the preview is open.
    GdipDisposeImage(picture);
    const RECT r = ui.rect();
    EXPECT_EQ(r.left, (1280 - 488) / 2);
    EXPECT_EQ(r.top, (760 - 366) / 2);
    ASSERT_TRUE(Automation::waitIdle(ui.preview()));
    auto shot = Automation::picture(ui.preview());
    ASSERT_TRUE(shot);
    Automation::savePng(shot, PICTAVO_BINARY_DIR "/image-view-4000x3000.png");
    auto at = [&](int x, int y) {
        const uint8_t* p = shot->pixels() + (y * shot->width() + x) * 4;
        return RGB(p[2], p[1], p[0]);
    };
    EXPECT_EQ(at(10, 10), RGB(0xC0, 0x20, 0x20));
    EXPECT_EQ(at(478, 10), RGB(0xE0, 0xA0, 0x20));
    EXPECT_EQ(at(10, 355), RGB(0x30, 0xA0, 0x40));
    EXPECT_EQ(at(478, 355), RGB(0x20, 0x60, 0xC0));
}

TEST_F(Preview, StaysWithinTheWorkAreaWhateverBoxThePageSets)
{
    ConfigMgr::Instance()->SetViewWidth(65535);
    ConfigMgr::Instance()->SetViewHeight(1);
    for (auto [w, h] : {std::pair{4000, 3000}, std::pair{1000, 2000}, std::pair{65535, 1}}) {
        const SIZE s = previewOf(w, h);
        EXPECT_GE(s.cx, 1);
        EXPECT_GE(s.cy, 1);
        EXPECT_LE(s.cx, 1280) << w << " x " << h;
        EXPECT_LE(s.cy, 760) << w << " x " << h;
    }
    // Landscape still takes the whole width it is given, shrunk to the screen's height.
    const SIZE wide = previewOf(4000, 3000);
    EXPECT_EQ(wide.cy, 760);
}

TEST_F(Preview, ClosesAtAClickAndDeletesItself)
{
    GpBitmap* picture = makePicture(300, 200);
    PreviewThread ui(picture);
    GdipDisposeImage(picture);
    EXPECT_EQ(g_open.load(), 1);
    const RECT r = ui.rect();
    Automation::click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    EXPECT_TRUE(Automation::waitForGone(ui.preview(), 5000));
    EXPECT_TRUE(pictavo::test::waitFor([] { return g_open.load() == 0; }));
}

TEST_F(Preview, ClosesWhenTheFocusGoesElsewhere)
{
    GpBitmap* picture = makePicture(600, 500);
    {
        PreviewThread ui(picture, true);
        ASSERT_TRUE(IsWindow(ui.preview()));
        Automation::click(50, 50); // the other window, outside the preview
        EXPECT_TRUE(Automation::waitForGone(ui.preview(), 5000));
    }
    {
        PreviewThread ui(picture);
        ASSERT_TRUE(IsWindow(ui.preview()));
        Automation::deactivate();
        EXPECT_TRUE(Automation::waitForGone(ui.preview(), 5000));
    }
    GdipDisposeImage(picture);
}

TEST_F(Preview, OfATileNotYetReadyIsOnePixelAndStillCloses)
{
    PreviewThread ui(nullptr);
    const RECT r = ui.rect();
    EXPECT_EQ(r.right - r.left, 1);
    EXPECT_EQ(r.bottom - r.top, 1);
    Automation::click(r.left, r.top);
    EXPECT_TRUE(Automation::waitForGone(ui.preview(), 5000));
}

TEST_F(Preview, OnX11ClosesWhenAnotherWindowTakesTheFocus)
{
    if (!std::filesystem::exists("/usr/bin/Xvfb") || !std::filesystem::exists("/usr/bin/xdotool"))
        GTEST_SKIP() << "Xvfb or xdotool is missing: the preview is not tried on X11";
    pictavo::test::Xvfb x(90 + getpid() % 400);
    if (!x.ready())
        GTEST_SKIP() << "Xvfb did not start";
    setenv("DISPLAY", x.name().c_str(), 1);

    GpBitmap* picture = makePicture(600, 500);
    std::atomic<HWND> preview{nullptr};
    std::atomic<int> chose{-1};
    DWORD threadId = 0;
    std::promise<void> ready;
    std::thread ui([&] {
        threadId = GetCurrentThreadId();
        chose = static_cast<int>(startDisplay(DisplayKind::Sdl));
        HWND other = plainWindow(0, 0, 200, 150);
        SetWindowTextW(other, u"other program");
        preview = (new ImageViewForm(picture))->Show();
        ready.set_value();
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (IsWindow(preview))
            DestroyWindow(preview);
        DestroyWindow(other);
        stopDisplay();
    });
    ready.get_future().wait();
    EXPECT_EQ(chose, static_cast<int>(DisplayKind::Sdl));
    EXPECT_TRUE(IsWindow(preview));
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // let the windows be mapped
    EXPECT_EQ(x.run("xdotool mousemove 60 60 click 1"), 0);
    EXPECT_TRUE(Automation::waitForGone(preview, 5000));
    PostThreadMessageW(threadId, WM_QUIT, 0, 0);
    ui.join();
    unsetenv("DISPLAY");
    GdipDisposeImage(picture);
}
