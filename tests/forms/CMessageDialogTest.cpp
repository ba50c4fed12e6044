#include "forms/CMessageDialog.h"

#include "platform/win/Automation.h"
#include "platform/win/Dialog.h"
#include "ui/SetUpSkin.h"

#include "support/PlainWindow.h"

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <thread>

using pictavo::platform::Automation;
using pictavo::platform::AutomationNode;

namespace {

using pictavo::test::plainWindow;

// Shows the dialog modally on a UI thread of its own; the test thread is the user.
class ModalThread
{
public:
    ModalThread(std::u16string caption, std::u16string text, bool withOwner = false)
    {
        thread_ = std::thread([=, this] {
            SetUpSkin();
            HWND owner = nullptr;
            if (withOwner)
                owner = plainWindow(100, 50, 600, 400);
            CMessageDialog dialog;
            if (!caption.empty())
                dialog.SetCaption(caption);
            dialog.SetText(text);
            result_.set_value(dialog.DoModal(owner));
            if (owner)
                DestroyWindow(owner);
            ReleaseSkin();
        });
    }
    ~ModalThread()
    {
        if (thread_.joinable())
            thread_.join();
    }
    INT_PTR result()
    {
        auto f = result_.get_future();
        if (f.wait_for(std::chrono::seconds(10)) != std::future_status::ready)
            return -99;
        return f.get();
    }

private:
    std::promise<INT_PTR> result_;
    std::thread thread_;
};

POINT centreOf(const RECT& r)
{
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// The dialog's buttons in creation order: OK, Cancel, close.
std::vector<const AutomationNode*> buttons(const AutomationNode& tree)
{
    std::vector<const AutomationNode*> found;
    for (const AutomationNode& child : tree.children)
        if (child.className == u"Button")
            found.push_back(&child);
    return found;
}

} // namespace

TEST(MessageDialog, ShowsCaptionAndTextWithButtonsWhereTheSkinPutsThem)
{
    ModalThread ui(u"上传错误", u"获取图片数据失败。", true);
    HWND dialog = Automation::waitForWindow(u"上传错误", {}, 5000);
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(Automation::waitIdle(dialog));
    RECT r{};
    ASSERT_TRUE(Automation::windowRect(dialog, r));
    EXPECT_EQ(r.right - r.left, 384);
    EXPECT_EQ(r.bottom - r.top, 174);
    // Centred on its owner at (100, 50) 600 x 400.
    EXPECT_EQ(r.left, 100 + (600 - 384) / 2);
    EXPECT_EQ(r.top, 50 + (400 - 174) / 2);

    const AutomationNode tree = Automation::describe(dialog);
    const AutomationNode* label = tree.find(u"Label");
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text, u"获取图片数据失败。");
    EXPECT_EQ(label->bounds.left - r.left, 100);
    EXPECT_EQ(label->bounds.top - r.top, 72);
    const auto b = buttons(tree);
    ASSERT_EQ(b.size(), 3u);
    EXPECT_EQ(b[0]->bounds.left - r.left, 257);
    EXPECT_EQ(b[1]->bounds.left - r.left, 318);
    EXPECT_EQ(b[0]->bounds.top - r.top, 141);
    EXPECT_EQ(b[1]->bounds.right - b[1]->bounds.left, 51);
    EXPECT_EQ(b[2]->bounds.right, r.right - 14);
    EXPECT_EQ(b[2]->bounds.top - r.top, 12);
    EXPECT_EQ(b[2]->bounds.bottom - b[2]->bounds.top, 15);

    auto shot = Automation::picture(dialog);
    ASSERT_TRUE(shot);
    Automation::savePng(shot, PICTAVO_BINARY_DIR "/message-dialog.png");
    auto at = [&](int x, int y) {
        const uint8_t* p = shot->pixels() + (y * shot->width() + x) * 4;
        return RGB(p[2], p[1], p[0]);
    };
    // The skinned frame is there: border, body and button band.
    EXPECT_EQ(at(0, 100), RGB(0xD8, 0xD8, 0xD8));
    EXPECT_EQ(at(40, 100), RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(at(40, 160), RGB(0xF3, 0xF3, 0xF3));
    Automation::pressKey(VK_RETURN);
    EXPECT_EQ(ui.result(), IDOK);
}

TEST(MessageDialog, WithoutACaptionSaysPromptMessage)
{
    ModalThread ui(u"", u"上传列表为空，请选择文件");
    HWND dialog = Automation::waitForWindow(u"提示消息", {}, 5000);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(Automation::windowText(dialog), u"提示消息");
    EXPECT_TRUE(Automation::describe(dialog).find(u"Label", u"上传列表为空，请选择文件"));
    Automation::pressKey(VK_ESCAPE);
    EXPECT_EQ(ui.result(), IDCANCEL);
}

TEST(MessageDialog, AnswersOneOnlyForOk)
{
    struct Case { int button; INT_PTR expected; };
    for (const Case& c : {Case{0, IDOK}, Case{1, IDCANCEL}, Case{2, IDCANCEL}}) {
        ModalThread ui(u"取消上传", u"照片正在上传中，确定取消上传吗？");
        HWND dialog = Automation::waitForWindow(u"取消上传", {}, 5000);
        ASSERT_TRUE(dialog);
        ASSERT_TRUE(Automation::waitIdle(dialog));
        const AutomationNode tree = Automation::describe(dialog);
        const auto b = buttons(tree);
        ASSERT_EQ(b.size(), 3u);
        const POINT p = centreOf(b[c.button]->bounds);
        Automation::click(p.x, p.y);
        EXPECT_EQ(ui.result(), c.expected) << "button " << c.button;
        EXPECT_TRUE(Automation::waitForGone(dialog, 5000));
    }
}
