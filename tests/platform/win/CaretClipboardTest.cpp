#include "WinTestSupport.h"

#include "platform/kernel/Synch.h"
#include "platform/win/Automation.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

using namespace wintest;
using pictavo::platform::Automation;

namespace {

COLORREF pixel(HWND hwnd, int x, int y)
{
    HDC dc = GetDC(hwnd);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(hwnd, dc);
    return c;
}

TEST(Caret, InvertsThePixelsUnderItAndBlinks)
{
    HWND w = create(WS_POPUP | WS_VISIBLE, 50, 50, 100, 60);
    pump();
    const COLORREF paper = pixel(w, 5, 5);
    const COLORREF ink = paper ^ 0xFFFFFF;
    ASSERT_TRUE(CreateCaret(w, nullptr, 2, 10));
    ASSERT_TRUE(SetCaretPos(5, 5));
    EXPECT_EQ(pixel(w, 5, 5), paper) << "a new caret is hidden";
    ASSERT_TRUE(ShowCaret(w));
    EXPECT_EQ(pixel(w, 6, 14), ink);
    EXPECT_EQ(pixel(w, 7, 5), paper);
    // Hiding nests: two hides need two shows.
    HideCaret(w);
    HideCaret(w);
    ShowCaret(w);
    EXPECT_EQ(pixel(w, 5, 5), paper);
    ShowCaret(w);
    EXPECT_EQ(pixel(w, 5, 5), ink);
    SetCaretPos(20, 5);
    EXPECT_EQ(pixel(w, 5, 5), paper) << "moving takes it away from the old place";
    EXPECT_EQ(pixel(w, 20, 5), ink);
    POINT at{};
    EXPECT_TRUE(GetCaretPos(&at));
    EXPECT_EQ(at.x, 20);

    const UINT blink = GetCaretBlinkTime();
    SetCaretBlinkTime(30);
    SetCaretPos(30, 5);
    bool off = false, on = false;
    for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
         std::chrono::steady_clock::now() < until && !(off && on);) {
        pump();
        (pixel(w, 30, 5) == ink ? on : off) = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    SetCaretBlinkTime(blink);
    EXPECT_TRUE(off && on) << "the caret blinks on a timer";
    EXPECT_TRUE(DestroyCaret());
    EXPECT_EQ(pixel(w, 30, 5), paper);
    EXPECT_FALSE(ShowCaret(w));
    EXPECT_FALSE(CreateCaret(nullptr, nullptr, 1, 1));
    destroyAll();
}

TEST(Clipboard, OneThreadHoldsItAndItOwnsWhatItIsGiven)
{
    HGLOBAL h = GlobalAlloc(GHND, 8);
    EXPECT_FALSE(SetClipboardData(CF_UNICODETEXT, h)) << "not open";
    ASSERT_TRUE(OpenClipboard(nullptr));
    std::thread other([] { EXPECT_FALSE(OpenClipboard(nullptr)) << "held by another thread"; });
    other.join();
    ASSERT_TRUE(EmptyClipboard());
    std::memcpy(GlobalLock(h), u"粘贴", 4);
    GlobalUnlock(h);
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, h), h);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), h);
    EXPECT_TRUE(CloseClipboard());

    std::thread reader([] {
        ASSERT_TRUE(OpenClipboard(nullptr));
        HANDLE data = GetClipboardData(CF_UNICODETEXT);
        EXPECT_EQ(std::u16string(static_cast<const char16_t*>(GlobalLock(data))), u"粘贴");
        GlobalUnlock(data);
        EXPECT_TRUE(EmptyClipboard());
        EXPECT_FALSE(GetClipboardData(CF_UNICODETEXT));
        CloseClipboard();
    });
    reader.join();
    EXPECT_EQ(GlobalSize(h), 0u) << "emptying frees what the clipboard was given";
    EXPECT_FALSE(CloseClipboard());
    EXPECT_FALSE(SetClipboardData(CF_UNICODETEXT, reinterpret_cast<HANDLE>(0x12345)));
}

TEST(GlobalMemory, HandlesAreCheckedAndLocksCounted)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 16);
    ASSERT_TRUE(h);
    EXPECT_EQ(GlobalSize(h), 16u);
    auto* p = static_cast<uint8_t*>(GlobalLock(h));
    ASSERT_TRUE(p);
    EXPECT_EQ(p[15], 0);
    EXPECT_EQ(GlobalLock(h), p);
    EXPECT_TRUE(GlobalUnlock(h)) << "still locked once";
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_FALSE(GlobalUnlock(h)) << "not locked";
    EXPECT_EQ(GlobalFree(h), nullptr);
    EXPECT_EQ(GlobalFree(h), h) << "a freed handle is refused";
    EXPECT_FALSE(GlobalLock(h));
    EXPECT_FALSE(GlobalAlloc(GMEM_MOVEABLE, SIZE_T{1} << 40)) << "no unbounded allocation";
    HGLOBAL empty = GlobalAlloc(GMEM_FIXED, 0);
    EXPECT_TRUE(GlobalLock(empty));
    GlobalUnlock(empty);
    GlobalFree(empty);
    EXPECT_EQ(GetProfileIntW(u"windows", u"oleinplaceborderwidth", 4), 4u);
}

TEST(KeyState, GenericKeysAnswerForTheirSidesAndTheOtherWayRound)
{
    HWND w = create(WS_POPUP | WS_VISIBLE, 50, 50, 100, 60);
    pump();
    SetFocus(w);
    Automation::keyDown(VK_CONTROL);
    Automation::keyDown(VK_RSHIFT);
    Automation::waitIdle(w);
    pump();
    EXPECT_LT(GetKeyState(VK_LCONTROL), 0) << "a generic press counts as the left key";
    EXPECT_GE(GetKeyState(VK_RCONTROL), 0);
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    EXPECT_LT(GetKeyState(VK_RSHIFT), 0);
    EXPECT_GE(GetKeyState(VK_LSHIFT), 0);
    EXPECT_LT(GetAsyncKeyState(VK_LCONTROL), 0);
    Automation::keyUp(VK_CONTROL);
    Automation::keyUp(VK_RSHIFT);
    Automation::waitIdle(w);
    pump();
    EXPECT_GE(GetKeyState(VK_LCONTROL), 0);
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
    destroyAll();
}

} // namespace
