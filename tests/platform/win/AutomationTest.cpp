#include "WinTestSupport.h"

#include "platform/win/Automation.h"
#include "platform/win/WindowHooks.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace wintest;
using pictavo::platform::Automation;

namespace {

// A small form on its own UI thread: a text box that takes the focus when clicked and
// collects typed characters, painted green with a red bar as wide as its text.
TEST(Automation, UserThreadDrivesAFormOnItsUiThreadLikeAPerson)
{
    std::atomic<HWND> box{nullptr};
    std::vector<std::u16string> dropped;
    POINT dropPoint{};
    HWND dropTarget = nullptr;
    std::thread ui([&] {
        HWND form = create(WS_POPUP | WS_VISIBLE | WS_BORDER, 200, 200, 300, 120, nullptr,
                           [](HWND, UINT m, WPARAM, LPARAM, LRESULT&) {
                               if (m == WM_DESTROY)
                                   PostQuitMessage(0);
                               return false;
                           });
        SetWindowTextW(form, u"上传图片");
        HWND edit = create(WS_CHILD | WS_VISIBLE, 10, 10, 200, 30, form, typingBox(10));
        pictavo::platform::setFileDropHandler(
            [&](HWND target, POINT at, const std::vector<std::u16string>& files) {
                dropTarget = target;
                dropPoint = at;
                dropped = files;
            });
        box = edit;
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    });

    HWND form = Automation::waitForWindow(u"上传图片", u"recorder", 5000);
    ASSERT_TRUE(form);
    EXPECT_FALSE(Automation::waitForWindow(u"no such", {}, 20));
    Automation::click(220, 220);
    Automation::typeText(u"图片a");
    Automation::dropFiles(POINT{215, 235}, {u"/tmp/a.jpg", u"/tmp/b.png"});
    auto picture = Automation::picture(form);
    ASSERT_TRUE(picture);
    EXPECT_EQ(Automation::windowText(box), u"图片a");
    auto rgb = [&](int x, int y) {
        const uint8_t* p = picture->pixels() + (y * picture->width() + x) * 4;
        return RGB(p[2], p[1], p[0]);
    };
    EXPECT_EQ(rgb(1 + 10 + 5, 1 + 10 + 5), RGB(220, 0, 0));
    EXPECT_EQ(rgb(1 + 10 + 29, 1 + 10 + 5), RGB(220, 0, 0));
    EXPECT_EQ(rgb(1 + 10 + 31, 1 + 10 + 5), RGB(0, 160, 0)) << "three characters, thirty pixels";

    pictavo::test::TempDir dir;
    const auto path = dir.file("form.png").string();
    ASSERT_TRUE(Automation::savePng(picture, path));
    const auto png = pictavo::test::readFile(path);
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    auto screen = Automation::screen();
    ASSERT_TRUE(screen);
    const uint8_t* p = screen->pixels() + (211 * screen->width() + 215) * 4;
    EXPECT_EQ(RGB(p[2], p[1], p[0]), RGB(220, 0, 0)) << "the form sits on the screen at its place";

    PostMessageW(form, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Automation::waitForGone(form, 5000));
    ui.join();
    EXPECT_EQ(dropTarget, box.load());
    EXPECT_EQ(dropPoint.x, 4); // inside the form's one-pixel border
    EXPECT_EQ(dropPoint.y, 24);
    EXPECT_EQ(dropped, (std::vector<std::u16string>{u"/tmp/a.jpg", u"/tmp/b.png"}));
    destroyAll();
}

} // namespace
