#include "UiHarness.h"

#include "platform/controls/Controls.h"
#include "ui/ComboBox.h"
#include "ui/Editor.h"
#include "ui/TextEditor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

using pictavo::platform::Automation;
using pictavo::platform::AutomationNode;

namespace {

struct EditorEvents : has_slots
{
    ~EditorEvents() override { disconnect_all(); }
    void connect(Editor& e)
    {
        e.enterPressed.connect(this, &EditorEvents::onEnter);
        e.ctrlEnterPressed.connect(this, &EditorEvents::onCtrlEnter);
        e.escapePressed.connect(this, &EditorEvents::onEscape);
        e.upPressed.connect(this, &EditorEvents::onUp);
        e.downPressed.connect(this, &EditorEvents::onDown);
        e.textChanged.connect(this, &EditorEvents::onText);
        e.focusGained.connect(this, &EditorEvents::onFocus);
        e.focusLost.connect(this, &EditorEvents::onBlur);
    }
    void onEnter() { log += u"E"; }
    void onCtrlEnter() { log += u"C"; }
    void onEscape() { log += u"X"; }
    void onUp() { log += u"U"; }
    void onDown() { log += u"D"; }
    void onText() { ++changes; }
    void onFocus() { log += u"F"; }
    void onBlur() { log += u"B"; }
    std::u16string log;
    std::atomic<int> changes{0};
};

struct Selections : has_slots
{
    ~Selections() override { disconnect_all(); }
    void onSelect(int index) { picked.push_back(index); }
    std::vector<int> picked;
};

TEST(Editor, NumericFieldTakesDigitsKeepsUpAndDownAndReportsKeys)
{
    uitest::TestForm form;
    Editor field, other;
    EditorEvents events;
    uitest::FormThread ui(form, RECT{100, 100, 400, 250}, [&](FormBase& f, HWND) {
        field.element.SetMargins(20, 20, 0, 0);
        field.element.SetSize(80, 22);
        field.Attach(f);
        other.Create(f.GetHwnd(), 20, 80, 80, 22);
        other.element.Attach(f);
        events.connect(field);
    });
    const POINT in = ui.screen(40, 30);
    Automation::click(in.x, in.y);
    Automation::typeText(u"12a3");
    Automation::waitIdle(ui.window());
    EXPECT_EQ(Automation::windowText(field.m_hWnd), u"123") << "digits only";
    EXPECT_EQ(events.changes, 3);
    // Down would move the caret in a native edit; the field keeps it at the start.
    Automation::pressKey(VK_HOME);
    Automation::pressKey(VK_DOWN);
    Automation::pressKey(VK_UP);
    Automation::typeText(u"9");
    Automation::pressKey(VK_RETURN);
    Automation::keyDown(VK_CONTROL);
    Automation::pressKey(VK_RETURN);
    Automation::keyUp(VK_CONTROL);
    Automation::pressKey(VK_ESCAPE);
    const POINT elsewhere = ui.screen(40, 90);
    Automation::click(elsewhere.x, elsewhere.y);
    Automation::waitIdle(ui.window());
    EXPECT_EQ(Automation::windowText(field.m_hWnd), u"9123");
    EXPECT_EQ(events.log, u"FDUECXB");
    int value = -1;
    ui.call([&] { value = field.GetValue(); });
    EXPECT_EQ(value, 9123);
    ui.call([&] {
        field.SetValue(-42);
        value = field.GetValue();
    });
    EXPECT_EQ(value, -42);
    ui.call([&] {
        SetWindowTextW(field.m_hWnd, u"");
        value = field.GetValue();
    });
    EXPECT_EQ(value, 0);

    const AutomationNode tree = ui.describe();
    const AutomationNode* node = tree.find(u"Editor");
    ASSERT_TRUE(node);
    EXPECT_EQ(node->bounds.left, ui.screen(20, 20).x);
    EXPECT_EQ(ui.pixel(20, 20), 0xC8B8B5u) << "one-pixel border";
    EXPECT_EQ(ui.pixel(21, 21), 0xFFFFFFu) << "white body from the reflected colour message";
}

TEST(ComboBox, ReflectedSelectionChangeReachesTheSignal)
{
    uitest::TestForm form;
    ComboBox combo;
    Selections selections;
    uitest::FormThread ui(form, RECT{100, 100, 400, 300}, [&](FormBase& f, HWND) {
        combo.element.SetMargins(20, 20, 0, 0);
        combo.element.SetSize(90, 22);
        combo.element.Attach(f);
        for (const char16_t* item : {u"JPG", u"BMP", u"PNG"})
            SendMessageW(combo.m_hWnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        SendMessageW(combo.m_hWnd, CB_SETCURSEL, 0, 0);
        combo.selectionChanged.connect(&selections, &Selections::onSelect);
    });
    ui.call([&] { SetFocus(combo.m_hWnd); });
    Automation::pressKey(VK_DOWN);
    Automation::pressKey(VK_DOWN);
    Automation::pressKey(VK_UP);
    Automation::waitIdle(ui.window());
    EXPECT_EQ(selections.picked, (std::vector<int>{1, 2, 1}));
    const AutomationNode tree = ui.describe();
    ASSERT_TRUE(tree.find(u"ComboBox"));
    EXPECT_EQ(tree.find(u"ComboBox")->bounds.left, ui.screen(20, 20).x);
}

TEST(TextEditor, GreyTextOnWhatLiesBehindInAGreyBorder)
{
    uitest::TestForm form;
    form.background = RGB(0, 120, 0);
    TextEditor editor;
    // Its parent (a list tile) reflects the colour message back, as forms do for elements.
    auto reflect = [](HWND, UINT m, WPARAM w, LPARAM l, LRESULT& r) -> BOOL {
        if (m != WM_CTLCOLOREDIT)
            return FALSE;
        r = SendMessageW(reinterpret_cast<HWND>(l), OCM__BASE + m, w, l);
        return TRUE;
    };
    uitest::FormThread ui(form, RECT{100, 100, 300, 200}, [&](FormBase&, HWND window) {
        editor.Create(window, RECT{10, 10, 110, 30}, u"照片1");
    }, reflect);
    EXPECT_EQ(Automation::windowText(editor.m_hWnd), u"照片1");
    EXPECT_EQ(ui.pixel(10, 10), 0x646464u);
    EXPECT_EQ(ui.pixel(109, 29), 0x646464u);
    EXPECT_EQ(ui.pixel(100, 25), RGB(0, 120, 0)) << "transparent body";
    bool grey = false;
    for (int x = 12; x < 60 && !grey; ++x)
        for (int y = 12; y < 28 && !grey; ++y)
            grey = ui.pixel(x, y) == 0x828282u;
    EXPECT_TRUE(grey) << "text in 0x828282";
}

} // namespace
