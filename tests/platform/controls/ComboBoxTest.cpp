#include "EditTestHost.h"

#include "support/TempDir.h"

#include <filesystem>

namespace {

HWND qualityCombo(ControlHost& host, int x = 10, int y = 10)
{
    HWND combo = host.create(u"ComboBox", CBS_DROPDOWNLIST, x, y, 90, 80, 21);
    for (const char16_t* item : {u"请选择", u"JPG", u"PNG", u"BMP"})
        host.send(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    host.send(combo, CB_SETCURSEL, 0);
    return combo;
}

const AutomationNode* item(const AutomationNode& list, int index)
{
    int seen = 0;
    for (const auto& child : list.children)
        if (child.className == u"ComboBoxItem" && seen++ == index)
            return &child;
    return nullptr;
}

POINT centreOf(const RECT& r)
{
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

TEST(ComboBox, MouseOpensTheListAndAClickPicksTheThirdEntry)
{
    ControlHost host;
    HWND combo = qualityCombo(host);
    EXPECT_TRUE(host.notes(combo).empty()) << "CB_SETCURSEL is the program's own choice";
    RECT r{};
    GetWindowRect(combo, &r);
    EXPECT_EQ(r.right - r.left, 90);
    EXPECT_LT(r.bottom - r.top, 30) << "the window keeps the field's height; the rest is the list's";

    ControlHost::clickAt(ControlHost::centre(combo));
    HWND list = Automation::waitForWindow({}, u"ComboLBox", 2000);
    ASSERT_TRUE(list);
    auto node = host.describe(combo);
    EXPECT_EQ(node.value("open"), u"1");
    EXPECT_EQ(node.value("selected"), u"0");
    auto listNode = Automation::describe(list);
    ASSERT_TRUE(item(listNode, 3));
    EXPECT_EQ(item(listNode, 2)->text, u"PNG");
    EXPECT_GE(listNode.bounds.top, r.bottom - 1) << "the list opens below the field";

    ControlHost::clickAt(centreOf(item(listNode, 2)->bounds));
    EXPECT_TRUE(Automation::waitForGone(list, 2000));
    node = host.describe(combo);
    EXPECT_EQ(node.value("open"), u"0");
    EXPECT_EQ(node.value("selected"), u"2");
    EXPECT_EQ(host.send(combo, CB_GETCURSEL), 2);
    EXPECT_EQ(host.text(combo), u"PNG");
    EXPECT_EQ(host.notes(combo),
              (std::vector<WORD>{CBN_SETFOCUS, CBN_DROPDOWN, CBN_SELENDOK, CBN_CLOSEUP, CBN_SELCHANGE}));
}

TEST(ComboBox, ClickOutsideOrEscapeClosesWithoutAChange)
{
    ControlHost host;
    HWND combo = qualityCombo(host);
    ControlHost::clickAt(ControlHost::centre(combo));
    HWND list = Automation::waitForWindow({}, u"ComboLBox", 2000);
    ASSERT_TRUE(list);
    // Hovering moves the highlight only.
    auto listNode = Automation::describe(list);
    const POINT over = centreOf(item(listNode, 3)->bounds);
    Automation::moveMouse(over.x, over.y);
    host.settle();
    EXPECT_EQ(item(Automation::describe(list), 3)->value("hot"), u"1");
    Automation::click(380, 240);
    EXPECT_TRUE(Automation::waitForGone(list, 2000));
    EXPECT_EQ(host.send(combo, CB_GETCURSEL), 0);
    EXPECT_EQ(host.notes(combo), (std::vector<WORD>{CBN_SETFOCUS, CBN_DROPDOWN, CBN_SELENDCANCEL, CBN_CLOSEUP}));

    host.clearNotes();
    ControlHost::clickAt(ControlHost::centre(combo));
    list = Automation::waitForWindow({}, u"ComboLBox", 2000);
    ASSERT_TRUE(list);
    Automation::pressKey(VK_DOWN);
    Automation::pressKey(VK_ESCAPE);
    EXPECT_TRUE(Automation::waitForGone(list, 2000));
    EXPECT_EQ(host.send(combo, CB_GETCURSEL), 0);
    EXPECT_EQ(host.notes(combo), (std::vector<WORD>{CBN_DROPDOWN, CBN_SELENDCANCEL, CBN_CLOSEUP}));
}

TEST(ComboBox, KeysChangeTheSelectionClosedAndOpenTheListWithAltDownOrF4)
{
    ControlHost host;
    HWND combo = qualityCombo(host);
    host.run([&] { SetFocus(combo); });
    host.clearNotes();
    Automation::pressKey(VK_DOWN);
    Automation::pressKey(VK_DOWN);
    Automation::pressKey(VK_UP);
    EXPECT_EQ(host.send(combo, CB_GETCURSEL), 1);
    EXPECT_EQ(host.describe(combo).value("open"), u"0");
    EXPECT_EQ(host.notes(combo), (std::vector<WORD>(3, CBN_SELCHANGE)));
    Automation::pressKey(VK_END);
    Automation::pressKey(VK_END);
    EXPECT_EQ(host.send(combo, CB_GETCURSEL), 3);
    EXPECT_EQ(host.count(combo, CBN_SELCHANGE), 4) << "no change, no notification";

    host.clearNotes();
    Automation::keyDown(VK_MENU);
    Automation::pressKey(VK_DOWN);
    Automation::keyUp(VK_MENU);
    HWND list = Automation::waitForWindow({}, u"ComboLBox", 2000);
    ASSERT_TRUE(list);
    Automation::pressKey(VK_UP);
    Automation::pressKey(VK_UP);
    EXPECT_EQ(host.send(combo, CB_GETCURSEL), 3) << "moving in the open list is not yet a choice";
    Automation::pressKey(VK_RETURN);
    EXPECT_TRUE(Automation::waitForGone(list, 2000));
    EXPECT_EQ(host.send(combo, CB_GETCURSEL), 1);
    EXPECT_EQ(host.notes(combo), (std::vector<WORD>{CBN_DROPDOWN, CBN_SELENDOK, CBN_CLOSEUP, CBN_SELCHANGE}));

    Automation::pressKey(VK_F4);
    list = Automation::waitForWindow({}, u"ComboLBox", 2000);
    ASSERT_TRUE(list);
    Automation::pressKey(VK_F4);
    EXPECT_TRUE(Automation::waitForGone(list, 2000));
    // A letter jumps to the next entry that starts with it.
    Automation::typeText(u"b");
    EXPECT_EQ(host.send(combo, CB_GETCURSEL), 3);
}

TEST(ComboBox, ListMessagesKeepTheSelectionOnItsItem)
{
    ControlHost host;
    HWND combo = host.create(u"ComboBox", CBS_DROPDOWNLIST | CBS_SORT, 10, 10, 90, 80, 22);
    for (const char16_t* s : {u"png", u"BMP", u"jpg"})
        host.send(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    WCHAR buffer[16] = {};
    EXPECT_EQ(host.send(combo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(buffer)), 3);
    EXPECT_EQ(std::u16string(buffer), u"BMP") << "sorted without regard to case";
    EXPECT_EQ(host.send(combo, CB_GETCURSEL), CB_ERR);
    EXPECT_EQ(host.send(combo, CB_SETCURSEL, 1), 1);
    EXPECT_EQ(host.send(combo, CB_SETITEMDATA, 1, 77), CB_OKAY);
    host.send(combo, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(u"请选择"));
    EXPECT_EQ(host.send(combo, CB_GETCURSEL), 2) << "the selected item moved down";
    EXPECT_EQ(host.send(combo, CB_GETITEMDATA, 2), 77);
    EXPECT_EQ(host.send(combo, CB_DELETESTRING, 0), 3);
    EXPECT_EQ(host.send(combo, CB_GETCURSEL), 1);
    EXPECT_EQ(host.send(combo, CB_DELETESTRING, 1), 2);
    EXPECT_EQ(host.send(combo, CB_GETCURSEL), CB_ERR) << "deleting the selected item clears the selection";
    EXPECT_EQ(host.send(combo, CB_GETLBTEXTLEN, 5), CB_ERR);
    EXPECT_EQ(host.send(combo, CB_INSERTSTRING, 9, reinterpret_cast<LPARAM>(u"x")), CB_ERR);
    EXPECT_EQ(host.send(combo, CB_SETCURSEL, 7), CB_ERR);
    EXPECT_EQ(host.send(combo, CB_SETITEMHEIGHT, 0, 20), CB_OKAY);
    EXPECT_EQ(host.send(combo, CB_GETITEMHEIGHT, 0), 20);
    EXPECT_EQ(host.send(combo, CB_SHOWDROPDOWN, TRUE), TRUE);
    EXPECT_EQ(host.send(combo, CB_GETDROPPEDSTATE), TRUE);
    EXPECT_EQ(host.send(combo, CB_RESETCONTENT), CB_OKAY);
    EXPECT_EQ(host.send(combo, CB_GETCOUNT), 0);
    host.send(combo, CB_SHOWDROPDOWN, FALSE);
    EXPECT_EQ(host.send(combo, CB_GETDROPPEDSTATE), FALSE);
    EXPECT_TRUE(host.notes(combo) == (std::vector<WORD>{CBN_DROPDOWN, CBN_CLOSEUP}));
}

// A form with a selected edit text and an open list, saved for a person to look at.
TEST(ComboBox, PictureOfAnEditAndAnOpenList)
{
    ControlHost host;
    HWND edit = host.create(u"Edit", WS_BORDER | ES_AUTOHSCROLL, 20, 20, 160, 20, 30, u"图片上传 upload");
    HWND number = host.create(u"Edit", WS_BORDER | ES_NUMBER, 20, 50, 36, 18, 31, u"100");
    HWND combo = qualityCombo(host, 200, 20);
    ASSERT_TRUE(edit && number && combo);
    ControlHost::clickAt(ControlHost::centre(edit));
    host.send(edit, EM_SETSEL, 5, 11);
    ControlHost::clickAt(ControlHost::centre(combo));
    HWND list = Automation::waitForWindow({}, u"ComboLBox", 2000);
    ASSERT_TRUE(list);
    auto listNode = Automation::describe(list);
    const POINT over = centreOf(item(listNode, 1)->bounds);
    Automation::moveMouse(over.x, over.y);
    host.settle();
    auto screen = Automation::screen();
    ASSERT_TRUE(screen);
    auto shot = screen->copyArea(ControlHost::kLeft, ControlHost::kTop, 400, 260);
    ASSERT_TRUE(shot);
    const std::string path = std::string(PICTAVO_BINARY_DIR) + "/edit-combo.png";
    EXPECT_TRUE(Automation::savePng(shot, path));
    auto rgb = [&](POINT p) {
        const uint8_t* px = screen->pixels() + (p.y * screen->width() + p.x) * 4;
        return RGB(px[2], px[1], px[0]);
    };
    EXPECT_EQ(rgb(POINT{over.x + 30, over.y}), RGB(0, 120, 215)) << "the entry under the pointer is highlighted";
    EXPECT_EQ(rgb(POINT{centreOf(item(listNode, 3)->bounds).x + 30, centreOf(item(listNode, 3)->bounds).y}),
              RGB(255, 255, 255));
    Automation::pressKey(VK_ESCAPE);
    EXPECT_TRUE(Automation::waitForGone(list, 2000));
}

} // namespace
