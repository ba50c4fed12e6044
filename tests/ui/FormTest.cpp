#include "UiHarness.h"

#include "ui/Button.h"
#include "ui/CheckBox.h"
#include "ui/ComboBox.h"
#include "ui/Editor.h"
#include "ui/Icon.h"
#include "ui/IconLabel.h"
#include "ui/Label.h"
#include "ui/TrackBar.h"
#include "platform/controls/CommCtrl.h"

#include <gtest/gtest.h>

#include <atomic>

using pictavo::platform::Automation;
using pictavo::platform::AutomationNode;
using Quendal::UI::Controls::Button;
using Quendal::UI::Controls::CheckBox;

namespace {

struct Clicks : has_slots
{
    ~Clicks() override { disconnect_all(); }
    void onClick() { ++count; }
    std::atomic<int> count{0};
};

RECT rectOf(const AutomationNode& n)
{
    return n.bounds;
}

TEST(Anchor, RuleOnEachAxis)
{
    ControlBase e;
    e.SetMargins(10, 20, 30, 40);
    const RECT k{0, 0, 200, 100};
    e.SetAnchor(ControlBase::Left | ControlBase::Right | ControlBase::Bottom);
    RECT r = e.AnchoredRect(k, 50, 10);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.right, 170) << "stretched: the preferred width is ignored";
    EXPECT_EQ(r.top, 50);
    EXPECT_EQ(r.bottom, 60);
    e.SetAnchor(ControlBase::Right | ControlBase::CentreVertical);
    r = e.AnchoredRect(k, 50, 11);
    EXPECT_EQ(r.left, 120);
    EXPECT_EQ(r.top, 44) << "centred: margins of the axis do not count, (100 - 11) / 2 truncates";
    e.SetAnchor(0);
    r = e.AnchoredRect(RECT{0, 0, 3, 3}, 10, 10);
    EXPECT_EQ(r.left, -3) << "(3 - 10) / 2 truncates toward zero";
    EXPECT_EQ(r.top, -3);
}

class FormTest : public ::testing::Test
{
protected:
    void SetUp() override { uitest::useTestSkin(); }
};

TEST_F(FormTest, AnchoredElementsFollowAResize)
{
    uitest::TestForm form;
    Button right, stretch, centred;
    uitest::FormThread ui(form, RECT{100, 100, 400, 300}, [&](FormBase& f, HWND) {
        right.Create(f, u"R");
        right.SetSize(60, 20);
        right.SetMargins(0, 0, 10, 10);
        right.SetAnchor(ControlBase::Right | ControlBase::Bottom);
        stretch.Create(f, u"S");
        stretch.SetSize(5, 20);
        stretch.SetMargins(10, 10, 10, 0);
        stretch.SetAnchor(ControlBase::Left | ControlBase::Right | ControlBase::Top);
        centred.Create(f, u"C");
        centred.SetSize(40, 20);
        centred.SetMargins(50, 50, 50, 50);
        centred.SetAnchor(0);
    });
    for (SIZE size : {SIZE{300, 200}, SIZE{500, 333}, SIZE{120, 90}}) {
        SetWindowPos(ui.window(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
        Automation::waitIdle(ui.window());
        const AutomationNode tree = ui.describe();
        const POINT o = ui.screen(0, 0);
        const RECT r = rectOf(*tree.find(u"Button", u"R"));
        EXPECT_EQ(r.right - o.x, size.cx - 10);
        EXPECT_EQ(r.bottom - o.y, size.cy - 10);
        const RECT s = rectOf(*tree.find(u"Button", u"S"));
        EXPECT_EQ(s.right - s.left, size.cx - 20);
        const RECT c = rectOf(*tree.find(u"Button", u"C"));
        EXPECT_EQ(c.left - o.x, (size.cx - 40) / 2);
        EXPECT_EQ(c.top - o.y, (size.cy - 20) / 2);
    }
}

TEST_F(FormTest, PressInsideReleaseOutsideEmitsNothingAndOnlyTheCapturingElementHearsIt)
{
    uitest::TestForm form;
    Button a, b;
    Clicks clicksA, clicksB;
    uitest::FormThread ui(form, RECT{100, 100, 400, 300}, [&](FormBase& f, HWND) {
        a.Create(f, u"A");
        a.SetSize(72, 25);
        a.SetMargins(10, 10, 0, 0);
        b.Create(f, u"B");
        b.SetSize(72, 25);
        b.SetMargins(150, 10, 0, 0);
        a.clicked.connect(&clicksA, &Clicks::onClick);
        b.clicked.connect(&clicksB, &Clicks::onClick);
    });
    const POINT pa = ui.screen(20, 20), pb = ui.screen(160, 20);
    Automation::moveMouse(pa.x, pa.y);
    Automation::press();
    Automation::waitIdle(ui.window());
    EXPECT_EQ(ui.describe().find(u"Button", u"A")->value("pressed"), u"1");
    EXPECT_EQ(ui.pixel(30, 20), uitest::colourOf(223)) << "pressed look";
    Automation::moveMouse(pb.x, pb.y);
    Automation::waitIdle(ui.window());
    EXPECT_EQ(ui.describe().find(u"Button", u"B")->value("hover"), u"") << "moves go to the capturing element";
    Automation::release();
    Automation::waitIdle(ui.window());
    EXPECT_EQ(clicksA.count, 0);
    EXPECT_EQ(clicksB.count, 0);
    const AutomationNode tree = ui.describe();
    EXPECT_TRUE(tree.find(u"Button", u"A")->state.empty()) << "back to the normal look";
    EXPECT_EQ(ui.pixel(30, 20), uitest::colourOf(225));

    Automation::click(pb.x, pb.y);
    Automation::waitIdle(ui.window());
    EXPECT_EQ(clicksB.count, 1);
}

TEST_F(FormTest, OverlappingElementsBothHearThePress)
{
    uitest::TestForm form;
    Button a, b;
    Clicks clicks;
    uitest::FormThread ui(form, RECT{100, 100, 300, 200}, [&](FormBase& f, HWND) {
        for (Button* btn : {&a, &b}) {
            btn->Create(f, u"");
            btn->SetSize(72, 25);
            btn->clicked.connect(&clicks, &Clicks::onClick);
        }
        a.SetMargins(10, 10, 0, 0);
        b.SetMargins(40, 20, 0, 0);
    });
    const POINT p = ui.screen(50, 25);
    Automation::moveMouse(p.x, p.y);
    Automation::press();
    Automation::waitIdle(ui.window());
    const AutomationNode tree = ui.describe();
    ASSERT_EQ(tree.children.size(), 2u);
    EXPECT_EQ(tree.children[0].value("pressed"), u"1");
    EXPECT_EQ(tree.children[1].value("pressed"), u"1");
    // The button-up goes to the last element that claimed the press.
    Automation::release();
    Automation::waitIdle(ui.window());
    EXPECT_EQ(clicks.count, 1);
}

TEST_F(FormTest, DragsByAnEmptySpotUntilMaximisedAndShowsSizingCursors)
{
    uitest::TestForm form;
    Button button;
    Clicks clicks;
    // The owner says where its edges are, as a resizable dialog does.
    auto edges = [](HWND h, UINT m, WPARAM, LPARAM l, LRESULT& r) -> BOOL {
        if (m != WM_NCHITTEST)
            return FALSE;
        POINT p{GET_X_LPARAM(l), GET_Y_LPARAM(l)};
        ScreenToClient(h, &p);
        r = p.x < 4 ? HTLEFT : HTCLIENT;
        return TRUE;
    };
    uitest::FormThread ui(form, RECT{200, 150, 500, 350}, [&](FormBase& f, HWND) {
        button.Create(f, u"B");
        button.SetSize(72, 25);
        button.SetMargins(100, 100, 0, 0);
        button.clicked.connect(&clicks, &Clicks::onClick);
    }, edges);
    RECT before{};
    Automation::windowRect(ui.window(), before);
    POINT p = ui.screen(20, 20);
    Automation::moveMouse(p.x, p.y);
    Automation::press();
    Automation::moveMouse(p.x + 10, p.y + 5);
    Automation::moveMouse(p.x + 37, p.y + 21);
    // Released over the button: the drag ends and the button hears nothing.
    const POINT overButton = ui.screen(110, 110);
    Automation::moveMouse(overButton.x, overButton.y);
    Automation::release();
    Automation::waitIdle(ui.window());
    RECT after{};
    Automation::windowRect(ui.window(), after);
    EXPECT_EQ(after.left - before.left, overButton.x - p.x);
    EXPECT_EQ(after.top - before.top, overButton.y - p.y);
    EXPECT_EQ(clicks.count, 0);

    POINT edge = ui.screen(1, 50);
    Automation::moveMouse(edge.x, edge.y);
    Automation::waitIdle(ui.window());
    EXPECT_EQ(Automation::cursor(), LoadCursorW(nullptr, IDC_SIZEWE));

    ui.call([&] { form.ToggleMaximise(); });
    Automation::waitIdle(ui.window());
    RECT maxRect{};
    Automation::windowRect(ui.window(), maxRect);
    EXPECT_EQ(maxRect.left, 0);
    EXPECT_EQ(maxRect.right - maxRect.left, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(ui.describe().value("maximised"), u"1");
    p = ui.screen(20, 20);
    Automation::moveMouse(p.x, p.y);
    Automation::press();
    Automation::moveMouse(p.x + 40, p.y + 40);
    Automation::release();
    edge = ui.screen(1, 50);
    Automation::moveMouse(edge.x, edge.y);
    Automation::waitIdle(ui.window());
    RECT still{};
    Automation::windowRect(ui.window(), still);
    EXPECT_EQ(still.left, maxRect.left) << "a maximised form does not drag";
    EXPECT_EQ(still.top, maxRect.top);
    EXPECT_EQ(Automation::cursor(), LoadCursorW(nullptr, IDC_ARROW));

    ui.call([&] { form.ToggleMaximise(); });
    Automation::waitIdle(ui.window());
    RECT restored{};
    Automation::windowRect(ui.window(), restored);
    EXPECT_EQ(restored.right - restored.left, after.right - after.left);
    EXPECT_EQ(ui.describe().value("maximised"), u"");
    p = ui.screen(20, 20);
    Automation::moveMouse(p.x, p.y);
    Automation::press();
    Automation::moveMouse(p.x + 5, p.y + 6);
    Automation::release();
    Automation::waitIdle(ui.window());
    RECT moved{};
    Automation::windowRect(ui.window(), moved);
    EXPECT_EQ(moved.left - restored.left, 5);
    EXPECT_EQ(moved.top - restored.top, 6);
}

// Native children report to the form; the element that owns the child gets it reflected.
TEST_F(FormTest, ReflectsNotificationsOfANativeChildToItsElement)
{
    struct Native : WindowImpl, WindowedElement::Owner
    {
        HWND CreateFor(HWND parentWindow) override
        {
            RegisterClass(u"ReflectProbe");
            return CreateImpl(u"ReflectProbe", parentWindow, RECT{0, 0, 20, 20}, u"", WS_CHILD | WS_VISIBLE);
        }
        BOOL ProcessWindowMessage(HWND, UINT m, WPARAM, LPARAM, LRESULT& r, DWORD) override
        {
            if (m < OCM__BASE)
                return FALSE;
            reflected.push_back(m - OCM__BASE);
            r = 0x1234;
            return TRUE;
        }
        std::vector<UINT> reflected;
        WindowedElement element{*this};
    };
    uitest::TestForm form;
    Native native;
    uitest::FormThread ui(form, RECT{100, 100, 200, 200}, [&](FormBase& f, HWND) { native.element.Attach(f); });
    std::vector<LRESULT> results;
    ui.call([&] {
        HWND child = native.m_hWnd;
        results.push_back(SendMessageW(ui.window(), WM_COMMAND, MAKEWPARAM(7, 1), reinterpret_cast<LPARAM>(child)));
        NMHDR header{child, 7, NM_CLICK};
        results.push_back(SendMessageW(ui.window(), WM_NOTIFY, 7, reinterpret_cast<LPARAM>(&header)));
        results.push_back(SendMessageW(ui.window(), WM_CTLCOLOREDIT, 0, reinterpret_cast<LPARAM>(child)));
        // A window no element owns is not reflected.
        results.push_back(SendMessageW(ui.window(), WM_COMMAND, 0, reinterpret_cast<LPARAM>(ui.window())));
    });
    EXPECT_EQ(native.reflected, (std::vector<UINT>{WM_COMMAND, WM_NOTIFY, WM_CTLCOLOREDIT}));
    EXPECT_EQ(results, (std::vector<LRESULT>{0x1234, 0x1234, 0x1234, 0}));
}

TEST_F(FormTest, ElementTreeIsReadableThroughTheAutomation)
{
    uitest::TestForm form;
    Button button;
    CheckBox check;
    Label label;
    TrackBar slider;
    ExtTrackBar extSlider;
    Quendal::UI::Controls::IconLabel tool;
    Quendal::UI::Controls::Icon icon;
    Editor field;
    ComboBox combo;
    uitest::FormThread ui(form, RECT{300, 200, 600, 400}, [&](FormBase& f, HWND window) {
        tool.Create(f, u"左转", "RotatioLeft");
        tool.SetMargins(150, 10, 0, 0);
        icon.Create(f);
        icon.imageName = "IcoInfo";
        icon.SetMargins(150, 40, 0, 0);
        extSlider.Create(window, RECT{150, 120, 265, 135});
        extSlider.SetValue(75);
        extSlider.element.Attach(f);
        field.Create(window, 150, 150, 60, 20);
        field.SetValue(7);
        field.element.Attach(f);
        combo.element.SetMargins(220, 150, 0, 0);
        combo.element.SetSize(70, 20);
        combo.element.Attach(f);
        button.Create(f, u"确定");
        button.SetSize(72, 25);
        button.SetMargins(10, 10, 0, 0);
        button.SetDisabled(TRUE);
        check.Create(f, u"全选");
        check.SetMargins(10, 50, 0, 0);
        check.SetChecked(TRUE);
        label.SetMargins(10, 80, 0, 0);
        label.Create(f, u"共 3 张");
        slider.Create(window, RECT{10, 120, 125, 135});
        slider.SetValue(40);
        slider.element.Attach(f);
    });
    const AutomationNode tree = ui.describe();
    const POINT o = ui.screen(0, 0);
    const AutomationNode* b = tree.find(u"Button");
    ASSERT_TRUE(b);
    EXPECT_EQ(b->text, u"确定");
    EXPECT_TRUE(b->disabled);
    EXPECT_TRUE(b->visible);
    EXPECT_EQ(b->bounds.left, o.x + 10);
    EXPECT_EQ(b->bounds.bottom, o.y + 35);
    const AutomationNode* c = tree.find(u"CheckBox", u"全选");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->value("checked"), u"1");
    EXPECT_EQ(c->bounds.bottom - c->bounds.top, 15);
    EXPECT_EQ(c->bounds.right - c->bounds.left, 24 + 15) << "two 12-pixel characters and the box";
    const AutomationNode* l = tree.find(u"Label", u"共 3 张");
    ASSERT_TRUE(l);
    EXPECT_EQ(l->bounds.top, o.y + 80);
    const AutomationNode* t = tree.find(u"TrackBar");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->value("value"), u"40");
    EXPECT_EQ(t->bounds.left, o.x + 10);
    EXPECT_EQ(t->bounds.bottom - t->bounds.top, 15);
    ASSERT_TRUE(tree.find(u"ExtTrackBar"));
    EXPECT_EQ(tree.find(u"ExtTrackBar")->value("value"), u"75");
    ASSERT_TRUE(tree.find(u"IconLabel", u"左转"));
    EXPECT_EQ(tree.find(u"IconLabel")->bounds.left, o.x + 150);
    ASSERT_TRUE(tree.find(u"Icon"));
    EXPECT_EQ(tree.find(u"Icon")->bounds.top, o.y + 40);
    ASSERT_TRUE(tree.find(u"Editor"));
    EXPECT_EQ(tree.find(u"Editor")->text, u"7");
    ASSERT_TRUE(tree.find(u"ComboBox"));
    EXPECT_EQ(tree.find(u"ComboBox")->bounds.left, o.x + 220);
}

} // namespace
