#include "EditTestHost.h"

#include <cstring>

namespace {

std::u16string clipboardText()
{
    std::u16string text;
    if (!OpenClipboard(nullptr))
        return u"<busy>";
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const char16_t*>(GlobalLock(h));
        GlobalUnlock(h);
    }
    CloseClipboard();
    return text;
}

void putOnClipboard(std::u16string_view text)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * 2);
    auto* p = static_cast<char16_t*>(GlobalLock(h));
    std::memcpy(p, text.data(), text.size() * 2);
    p[text.size()] = 0;
    GlobalUnlock(h);
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, h), h);
    CloseClipboard();
}

std::pair<int, int> selection(ControlHost& host, HWND edit)
{
    DWORD from = 0, to = 0;
    host.settle();
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    return {static_cast<int>(from), static_cast<int>(to)};
}

TEST(Edit, NumericFieldTakesOnlyTypedDigitsAndBeepsAtTheRest)
{
    ControlHost host;
    HWND edit = host.create(u"Edit", WS_BORDER | ES_NUMBER | ES_AUTOHSCROLL, 10, 10, 120, 20, 7);
    ASSERT_TRUE(edit);
    ControlHost::clickAt(ControlHost::centre(edit));
    const int beeps = Automation::beeps();
    Automation::typeText(u"1a2-3 b");
    EXPECT_EQ(host.text(edit), u"123");
    EXPECT_EQ(host.count(edit, EN_CHANGE), 3);
    EXPECT_EQ(host.count(edit, EN_UPDATE), 3);
    EXPECT_EQ(Automation::beeps() - beeps, 4);

    // Pasted text is held to the same rule: the whole paste is refused.
    putOnClipboard(u"45x");
    ControlHost::chord(VK_CONTROL, 'V');
    EXPECT_EQ(host.text(edit), u"123");
    putOnClipboard(u"45");
    ControlHost::chord(VK_CONTROL, 'V');
    EXPECT_EQ(host.text(edit), u"12345");
    // The program may still put anything there.
    host.send(edit, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(u"-"));
    EXPECT_EQ(host.text(edit), u"12345-");
}

TEST(Edit, ShiftArrowsSelectAndTypingReplacesTheSelection)
{
    ControlHost host;
    HWND edit = host.create(u"Edit", WS_BORDER | ES_AUTOHSCROLL, 10, 10, 200, 20, 8);
    host.send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"hello world"));
    EXPECT_EQ(host.notes(edit), (std::vector<WORD>{EN_UPDATE, EN_CHANGE})) << "a program's text is announced too";
    ControlHost::clickAt(ControlHost::centre(edit));
    Automation::pressKey(VK_END);
    Automation::keyDown(VK_SHIFT);
    for (int i = 0; i < 5; ++i)
        Automation::pressKey(VK_LEFT);
    Automation::keyUp(VK_SHIFT);
    auto node = host.describe(edit);
    EXPECT_EQ(node.value("selStart"), u"6");
    EXPECT_EQ(node.value("selEnd"), u"11");
    host.clearNotes();
    Automation::typeText(u"there");
    EXPECT_EQ(host.text(edit), u"hello there");
    EXPECT_EQ(host.count(edit, EN_CHANGE), 5);

    // Home, then Shift+Ctrl+Right takes the first word and its space; Delete removes it.
    Automation::pressKey(VK_HOME);
    Automation::keyDown(VK_SHIFT);
    ControlHost::chord(VK_CONTROL, VK_RIGHT);
    Automation::keyUp(VK_SHIFT);
    EXPECT_EQ(selection(host, edit), std::make_pair(0, 6));
    Automation::pressKey(VK_DELETE);
    EXPECT_EQ(host.text(edit), u"there");
    // Backspace at the start changes nothing; Ctrl+A selects everything; Ctrl+Z brings back the word.
    Automation::pressKey(VK_BACK);
    EXPECT_EQ(host.text(edit), u"there");
    ControlHost::chord(VK_CONTROL, 'A');
    EXPECT_EQ(selection(host, edit), std::make_pair(0, 5));
    ControlHost::chord(VK_CONTROL, 'Z');
    EXPECT_EQ(host.text(edit), u"hello there");

    // EM_SETSEL: (0, -1) is everything, -1 as the start drops the selection.
    host.send(edit, EM_SETSEL, 0, -1);
    EXPECT_EQ(selection(host, edit), std::make_pair(0, 11));
    host.send(edit, EM_SETSEL, 4, 2);
    EXPECT_EQ(selection(host, edit), std::make_pair(2, 4));
    EXPECT_EQ(host.describe(edit).value("caret"), u"2") << "the caret sits at the end given last";
    host.send(edit, EM_SETSEL, static_cast<WPARAM>(-1), 0);
    EXPECT_EQ(selection(host, edit), std::make_pair(2, 2));
}

TEST(Edit, PastesCopiesAndCutsCjkTextThroughTheClipboard)
{
    ControlHost host;
    HWND edit = host.create(u"Edit", WS_BORDER | ES_AUTOHSCROLL, 10, 10, 200, 20, 9);
    ControlHost::clickAt(ControlHost::centre(edit));
    putOnClipboard(u"图片上传\r\n第二行");
    ControlHost::chord(VK_CONTROL, 'V');
    EXPECT_EQ(host.text(edit), u"图片上传") << "a single line takes the text up to its line break";
    EXPECT_EQ(host.count(edit, EN_CHANGE), 1);

    Automation::keyDown(VK_SHIFT);
    Automation::pressKey(VK_LEFT);
    Automation::pressKey(VK_LEFT);
    Automation::keyUp(VK_SHIFT);
    ControlHost::chord(VK_CONTROL, 'C');
    host.settle();
    EXPECT_EQ(clipboardText(), u"上传");
    ControlHost::chord(VK_SHIFT, VK_DELETE); // cut
    EXPECT_EQ(host.text(edit), u"图片");
    EXPECT_EQ(clipboardText(), u"上传");
    Automation::pressKey(VK_HOME);
    ControlHost::chord(VK_SHIFT, VK_INSERT); // paste
    EXPECT_EQ(host.text(edit), u"上传图片");

    // A character outside the basic plane moves and deletes as one.
    putOnClipboard(u"\U00020000");
    ControlHost::chord(VK_CONTROL, 'V');
    EXPECT_EQ(host.text(edit), u"上传\U00020000图片");
    Automation::pressKey(VK_BACK);
    EXPECT_EQ(host.text(edit), u"上传图片");
}

TEST(Edit, LimitsTextAndReportsWhenItIsFull)
{
    ControlHost host;
    HWND edit = host.create(u"Edit", WS_BORDER | ES_AUTOHSCROLL, 10, 10, 200, 20, 10);
    host.send(edit, EM_LIMITTEXT, 4);
    EXPECT_EQ(host.send(edit, EM_GETLIMITTEXT), 4);
    ControlHost::clickAt(ControlHost::centre(edit));
    const int beeps = Automation::beeps();
    Automation::typeText(u"123456");
    EXPECT_EQ(host.text(edit), u"1234");
    EXPECT_EQ(host.count(edit, EN_MAXTEXT), 2);
    EXPECT_EQ(host.count(edit, EN_CHANGE), 4);
    EXPECT_EQ(Automation::beeps() - beeps, 2);

    // A paste over a selection takes what fits, never half of a surrogate pair.
    host.send(edit, EM_SETSEL, 1, 3);
    putOnClipboard(u"a\U00020000b");
    ControlHost::chord(VK_CONTROL, 'V');
    EXPECT_EQ(host.text(edit), u"1a4");
    EXPECT_EQ(host.count(edit, EN_MAXTEXT), 3);

    // A program's WM_SETTEXT is not limited; EM_REPLACESEL is.
    host.send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"123456789"));
    EXPECT_EQ(host.text(edit), u"123456789");
    host.send(edit, EM_LIMITTEXT, 0);
    EXPECT_GT(host.send(edit, EM_GETLIMITTEXT), 1000000);
}

TEST(Edit, FieldWithoutHorizontalScrollingTakesOnlyWhatItShows)
{
    ControlHost host;
    // About five 6-pixel digits fit into a 36-pixel numeric box.
    HWND edit = host.create(u"Edit", ES_NUMBER, 10, 10, 36, 18, 11);
    ControlHost::clickAt(ControlHost::centre(edit));
    Automation::typeText(u"1234567890");
    const auto text = host.text(edit);
    EXPECT_GE(text.size(), 4u);
    EXPECT_LT(text.size(), 7u);
    EXPECT_GE(host.count(edit, EN_MAXTEXT), 1);
}

TEST(Edit, MouseSelectsByClickDragAndDoubleClick)
{
    ControlHost host;
    HWND edit = host.create(u"Edit", ES_AUTOHSCROLL, 10, 10, 300, 20, 12, u"abc defg hij");
    RECT r{};
    GetWindowRect(edit, &r);
    const int y = (r.top + r.bottom) / 2;
    // 6 pixels a character, text starting 2 pixels in.
    auto xOf = [&](int index) { return static_cast<int>(r.left) + 2 + 6 * index; };
    Automation::moveMouse(xOf(1), y);
    Automation::press();
    Automation::moveMouse(xOf(6), y);
    Automation::release();
    EXPECT_EQ(selection(host, edit), std::make_pair(1, 6));
    EXPECT_TRUE(host.describe(edit).focused);

    Automation::doubleClick(xOf(5) + 2, y);
    EXPECT_EQ(selection(host, edit), std::make_pair(4, 9)) << "the word and the space after it";
    // Shift+click extends from the anchor.
    Automation::click(xOf(0) + 1, y);
    Automation::keyDown(VK_SHIFT);
    Automation::click(xOf(3) + 1, y);
    Automation::keyUp(VK_SHIFT);
    EXPECT_EQ(selection(host, edit), std::make_pair(0, 3));
}

TEST(Edit, InputMethodShowsTheCompositionAndCommitsItAsOneChange)
{
    ControlHost host;
    HWND edit = host.create(u"Edit", WS_BORDER | ES_AUTOHSCROLL, 10, 10, 200, 20, 13, u"图");
    HWND number = host.create(u"Edit", WS_BORDER | ES_NUMBER, 10, 40, 200, 20, 14);
    ControlHost::clickAt(ControlHost::centre(edit));
    Automation::pressKey(VK_END);
    Automation::compose(u"pian");
    EXPECT_EQ(host.describe(edit).value("composition"), u"pian");
    Automation::compose(u"片");
    EXPECT_EQ(host.describe(edit).value("composition"), u"片");
    EXPECT_EQ(host.text(edit), u"图");
    EXPECT_EQ(host.count(edit, EN_CHANGE), 0);
    Automation::commitComposition();
    EXPECT_EQ(host.text(edit), u"图片");
    EXPECT_EQ(host.count(edit, EN_CHANGE), 1);
    EXPECT_TRUE(host.describe(edit).value("composition").empty());

    Automation::compose(u"shang");
    Automation::cancelComposition();
    EXPECT_EQ(host.text(edit), u"图片");

    // Committed CJK text in a numeric field beeps and changes nothing.
    ControlHost::clickAt(ControlHost::centre(number));
    const int beeps = Automation::beeps();
    Automation::commitComposition(u"五");
    host.settle();
    EXPECT_EQ(host.text(number), u"");
    EXPECT_EQ(Automation::beeps() - beeps, 1);
    Automation::typeText(u"中5");
    EXPECT_EQ(host.text(number), u"5");
}

TEST(Edit, FocusChangesAndColoursAreAskedOfTheParent)
{
    ControlHost host;
    HWND first = host.create(u"Edit", WS_BORDER, 10, 10, 100, 20, 15);
    HWND second = host.create(u"Edit", WS_BORDER | ES_READONLY, 10, 40, 100, 20, 16, u"只读");
    ControlHost::clickAt(ControlHost::centre(first));
    Automation::typeText(u"x");
    ControlHost::clickAt(ControlHost::centre(second));
    host.settle();
    EXPECT_EQ(host.notes(first), (std::vector<WORD>{EN_SETFOCUS, EN_UPDATE, EN_CHANGE, EN_KILLFOCUS}));
    EXPECT_EQ(host.notes(second), (std::vector<WORD>{EN_SETFOCUS}));

    // A read-only field refuses typing with a beep, but a program may still replace its text.
    const int beeps = Automation::beeps();
    Automation::typeText(u"y");
    Automation::pressKey(VK_DELETE);
    EXPECT_EQ(host.text(second), u"只读");
    EXPECT_EQ(Automation::beeps() - beeps, 2);
    host.send(second, EM_SETSEL, 0, -1);
    host.send(second, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(u"新"));
    EXPECT_EQ(host.text(second), u"新");

    // The parent chooses the colours: a read-only field asks as static text.
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    host.answerColours(red, RGB(0, 0, 255));
    host.clearNotes();
    host.run([&] {
        InvalidateRect(first, nullptr, FALSE);
        InvalidateRect(second, nullptr, FALSE);
    });
    auto picture = Automation::picture(host.form());
    ASSERT_TRUE(picture);
    auto asks = host.colourAsks();
    EXPECT_NE(std::find(asks.begin(), asks.end(), WM_CTLCOLOREDIT), asks.end());
    EXPECT_NE(std::find(asks.begin(), asks.end(), WM_CTLCOLORSTATIC), asks.end());
    const uint8_t* p = picture->pixels() + ((10 + 1 + 2) * picture->width() + 10 + 90) * 4;
    EXPECT_EQ(RGB(p[2], p[1], p[0]), RGB(255, 0, 0)) << "the parent's brush fills the field";
    host.answerColours(nullptr, 0);
    DeleteObject(red);
}

TEST(Edit, PasswordFieldShowsMasksAndKeepsItsTextOffTheClipboard)
{
    ControlHost host;
    HWND edit = host.create(u"Edit", WS_BORDER | ES_PASSWORD | ES_AUTOHSCROLL, 10, 10, 200, 20, 17);
    putOnClipboard(u"before");
    ControlHost::clickAt(ControlHost::centre(edit));
    Automation::typeText(u"密码1");
    EXPECT_EQ(host.describe(edit).text, u"***");
    EXPECT_EQ(host.text(edit), u"密码1");
    ControlHost::chord(VK_CONTROL, 'A');
    ControlHost::chord(VK_CONTROL, 'C');
    ControlHost::chord(VK_CONTROL, 'X');
    host.settle();
    EXPECT_EQ(clipboardText(), u"before");
    EXPECT_EQ(host.text(edit), u"密码1");
}

TEST(Edit, MultiLineTakesReturnsAndMovesBetweenLines)
{
    ControlHost host;
    HWND edit = host.create(u"Edit", WS_BORDER | ES_MULTILINE | ES_WANTRETURN | ES_AUTOHSCROLL, 10, 10, 200, 80, 18);
    ControlHost::clickAt(ControlHost::centre(edit));
    Automation::typeText(u"abc");
    Automation::pressKey(VK_RETURN);
    Automation::typeText(u"de");
    EXPECT_EQ(host.text(edit), u"abc\r\nde");
    EXPECT_EQ(host.send(edit, EM_GETLINECOUNT), 2);
    Automation::pressKey(VK_UP);
    EXPECT_EQ(selection(host, edit), std::make_pair(2, 2));
    Automation::keyDown(VK_SHIFT);
    Automation::pressKey(VK_RIGHT);
    Automation::pressKey(VK_RIGHT);
    Automation::keyUp(VK_SHIFT);
    EXPECT_EQ(selection(host, edit), std::make_pair(2, 5)) << "a line break is one step";
    Automation::pressKey(VK_BACK);
    EXPECT_EQ(host.text(edit), u"abde");

    // Without horizontal scrolling long lines wrap at a space.
    HWND wrapped = host.create(u"Edit", ES_MULTILINE, 10, 100, 50, 80, 19, u"aaaa bbbb cccc");
    EXPECT_EQ(host.send(wrapped, EM_GETLINECOUNT), 3);
}

} // namespace
