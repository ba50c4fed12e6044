#include "WinTestSupport.h"

#include "platform/kernel/Synch.h"
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


// A window on its own UI thread whose child reports a self-drawn part: the description holds
// the windows as the screen has them and what each window adds on its own thread.
TEST(Automation, DescribesWindowsAndTheirSelfDrawnParts)
{
    std::atomic<HWND> formHandle{nullptr};
    std::atomic<DWORD> answeredOn{0};
    std::thread ui([&] {
        HWND form = create(WS_POPUP | WS_VISIBLE, 100, 50, 200, 100, nullptr,
                           [](HWND, UINT m, WPARAM, LPARAM, LRESULT&) {
                               if (m == WM_DESTROY)
                                   PostQuitMessage(0);
                               return false;
                           });
        HWND child = create(WS_CHILD | WS_VISIBLE | WS_DISABLED, 10, 20, 50, 30, form,
                            [&](HWND, UINT m, WPARAM, LPARAM lp, LRESULT& r) {
                                if (m != WM_PICTAVO_DESCRIBE)
                                    return false;
                                answeredOn = GetCurrentThreadId();
                                auto* node = reinterpret_cast<pictavo::platform::AutomationNode*>(lp);
                                node->state["value"] = u"50";
                                pictavo::platform::AutomationNode part;
                                part.className = u"Button";
                                part.text = u"上传";
                                part.bounds = RECT{node->bounds.left + 2, node->bounds.top + 2, node->bounds.left + 20,
                                                   node->bounds.top + 12};
                                node->children.push_back(part);
                                r = TRUE;
                                return true;
                            });
        SetWindowLongPtrW(child, GWLP_ID, 7);
        SetWindowTextW(form, u"表单"); // last: the test looks for the form by this title
        formHandle = form;
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        answeredOn = answeredOn == GetCurrentThreadId() ? 1 : 2;
    });
    HWND form = Automation::waitForWindow(u"表单", {}, 5000);
    ASSERT_TRUE(form);
    auto tree = Automation::describe(form);
    EXPECT_EQ(tree.text, u"表单");
    EXPECT_EQ(tree.bounds.left, 100);
    ASSERT_EQ(tree.children.size(), 1u);
    const auto& child = tree.children[0];
    EXPECT_EQ(child.id, 7);
    EXPECT_TRUE(child.disabled);
    EXPECT_EQ(child.bounds.left, 110);
    EXPECT_EQ(child.bounds.top, 70);
    EXPECT_EQ(child.value("value"), u"50");
    const auto* part = tree.find(u"Button", u"上传");
    ASSERT_TRUE(part);
    EXPECT_EQ(part->bounds.left, 112);
    EXPECT_FALSE(tree.find(u"Button", u"取消"));
    PostMessageW(form, WM_CLOSE, 0, 0);
    ASSERT_TRUE(Automation::waitForGone(form, 5000));
    ui.join();
    EXPECT_EQ(answeredOn.load(), 1u) << "the window answers on its own thread";
    EXPECT_TRUE(Automation::describe(form).className.empty());
    destroyAll();
}

} // namespace
