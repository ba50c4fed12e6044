#include "WinTestSupport.h"

#include "platform/gfx/Bitmap.h"
#include "platform/kernel/Tick.h"
#include "platform/win/Automation.h"
#include "platform/win/Display.h"
#include "platform/win/WindowHooks.h"

#include "support/TempDir.h"
#include "support/WaitFor.h"
#include "support/Xvfb.h"
#include <SDL.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <unistd.h>

using namespace wintest;
using namespace pictavo::platform;

namespace {


TEST(SdlDisplay, RealWindowsTakeClicksAndTypedTextAndShowTheirPicture)
{
    if (!std::filesystem::exists("/usr/bin/Xvfb") || !std::filesystem::exists("/usr/bin/xdotool") ||
        !std::filesystem::exists("/usr/bin/import"))
        GTEST_SKIP() << "Xvfb, xdotool or ImageMagick's import is missing: the SDL2 display is not tested";
    pictavo::test::Xvfb x(90 + getpid() % 400);
    if (!x.ready())
        GTEST_SKIP() << "Xvfb did not start";
    setenv("DISPLAY", x.name().c_str(), 1);

    std::atomic<HWND> box{nullptr};
    std::atomic<int> chose{-1};
    std::mutex dropMutex;
    std::vector<std::u16string> dropped;
    HWND dropTarget = nullptr;
    std::thread ui([&] {
        chose = static_cast<int>(startDisplay(DisplayKind::Sdl));
        setFileDropHandler([&](HWND target, POINT, const std::vector<std::u16string>& files) {
            std::lock_guard lk(dropMutex);
            dropTarget = target;
            dropped = files;
        });
        HWND form = create(WS_POPUP | WS_VISIBLE, 100, 100, 300, 120, nullptr,
                           [](HWND, UINT m, WPARAM, LPARAM, LRESULT&) {
                               if (m == WM_DESTROY)
                                   PostQuitMessage(0);
                               return false;
                           });
        SetWindowTextW(form, u"SDL e2e");
        box = create(WS_CHILD | WS_VISIBLE, 10, 10, 200, 30, form, typingBox(20));
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        stopDisplay();
    });
    HWND form = Automation::waitForWindow(u"SDL e2e", {}, 5000);
    ASSERT_TRUE(form);
    ASSERT_EQ(chose, static_cast<int>(DisplayKind::Sdl));
    Sleep(300); // let the window be mapped
    EXPECT_EQ(x.run("xdotool mousemove 150 120 click 1"), 0);
    using std::chrono::milliseconds;
    EXPECT_TRUE(pictavo::test::waitFor([&] { return GetFocus() == box.load(); }, milliseconds(5000)));
    EXPECT_EQ(x.run("xdotool type --delay 50 'ab图'"), 0);
    EXPECT_TRUE(
        pictavo::test::waitFor([&] { return Automation::windowText(box) == u"ab图"; }, milliseconds(5000)))
        << "typed text arrived";

    Automation::picture(form);
    Sleep(200);
    pictavo::test::TempDir dir;
    const auto shot = dir.file("screen.png").string();
    ASSERT_EQ(x.run("import -window root " + shot), 0);
    auto picture = Bitmap::fromFile(shot);
    ASSERT_TRUE(picture && picture->pixels());
    auto rgb = [&](int px, int py) {
        const uint8_t* p = picture->pixels() + (py * picture->width() + px) * 4;
        return RGB(p[2], p[1], p[0]);
    };
    EXPECT_EQ(rgb(115, 115), RGB(220, 0, 0)) << "three characters: a 60-pixel red bar";
    EXPECT_EQ(rgb(175, 115), RGB(0, 160, 0));

    // Files from the desktop come one by one between a begin and a complete event, without a
    // position: one drop at the pointer.
    auto push = [](Uint32 type, const char* file) {
        SDL_Event e{};
        e.type = type;
        e.drop.file = file ? SDL_strdup(file) : nullptr;
        SDL_PushEvent(&e);
    };
    push(SDL_DROPBEGIN, nullptr);
    push(SDL_DROPFILE, "/tmp/一.jpg");
    push(SDL_DROPFILE, "/tmp/two.png");
    push(SDL_DROPCOMPLETE, nullptr);
    EXPECT_TRUE(pictavo::test::waitFor(
        [&] {
            std::lock_guard lk(dropMutex);
            return !dropped.empty();
        },
        milliseconds(5000)));
    {
        std::lock_guard lk(dropMutex);
        EXPECT_EQ(dropped, (std::vector<std::u16string>{u"/tmp/一.jpg", u"/tmp/two.png"}));
        EXPECT_EQ(dropTarget, box.load());
    }

    PostMessageW(form, WM_CLOSE, 0, 0);
    ui.join();
    EXPECT_EQ(currentDisplay(), DisplayKind::Headless);
    destroyAll();
}

} // namespace
