#include "WinTestSupport.h"

#include "platform/win/Automation.h"

#include <gtest/gtest.h>

using namespace wintest;
using pictavo::platform::Automation;

namespace {

class NonClient : public ::testing::Test
{
protected:
    void TearDown() override
    {
        Automation::moveMouse(0, 0);
        pump();
        destroyAll();
    }
};

struct Scrolls
{
    std::vector<std::pair<int, int>> seen; // (code, position word)
};

// A list-like window: 100 lines, 10 on a page, scrolled as a list scrolls itself.
HWND scroller(Scrolls& s)
{
    HWND h = create(WS_POPUP | WS_VISIBLE | WS_VSCROLL, 300, 300, 100, 100, nullptr,
                    [&s](HWND hwnd, UINT m, WPARAM w, LPARAM, LRESULT&) {
                        if (m != WM_VSCROLL)
                            return false;
                        s.seen.emplace_back(LOWORD(w), HIWORD(w));
                        int pos = GetScrollPos(hwnd, SB_VERT);
                        switch (LOWORD(w)) {
                        case SB_LINEDOWN:
                            ++pos;
                            break;
                        case SB_LINEUP:
                            --pos;
                            break;
                        case SB_PAGEDOWN:
                            pos += 10;
                            break;
                        case SB_THUMBPOSITION:
                            pos = HIWORD(w);
                            break;
                        }
                        SetScrollPos(hwnd, SB_VERT, pos, TRUE);
                        return true;
                    });
    SCROLLINFO si{sizeof si, SIF_ALL, 0, 99, 10, 0, 0};
    SetScrollInfo(h, SB_VERT, &si, TRUE);
    pump();
    return h;
}

TEST_F(NonClient, ScrollBarArrowsPointTheWayTheyScroll)
{
    Scrolls s;
    HWND h = scroller(s);
    auto pic = Automation::picture(h);
    ASSERT_TRUE(pic);
    auto dark = [&](int x, int y) { return pic->pixels()[(y * pic->width() + x) * 4] < 0x80; };
    const int size = GetSystemMetrics(SM_CXVSCROLL);
    const int cx = (100 - size + 100) / 2, up = size / 2, down = (100 - size + 100) / 2;
    EXPECT_TRUE(dark(cx, up - 2) && !dark(cx - 1, up - 2)) << "the up arrow's tip is at its top";
    EXPECT_TRUE(dark(cx - 3, up + 1));
    EXPECT_TRUE(dark(cx, down + 1) && !dark(cx - 1, down + 1)) << "the down arrow's tip is at its bottom";
    EXPECT_TRUE(dark(cx - 3, down - 2));
}

TEST_F(NonClient, ScrollBarArrowsTrackAndThumbSendTheStandardCodes)
{
    Scrolls s;
    HWND h = scroller(s);
    RECT client;
    GetClientRect(h, &client);
    EXPECT_EQ(client.right, 100 - GetSystemMetrics(SM_CXVSCROLL));

    Automation::click(390, 392); // down arrow
    pump();
    EXPECT_EQ(s.seen, (std::vector<std::pair<int, int>>{{SB_LINEDOWN, 0}, {SB_ENDSCROLL, 0}}));
    EXPECT_EQ(GetScrollPos(h, SB_VERT), 1);

    s.seen.clear();
    Automation::click(390, 360); // the track below the thumb
    pump();
    EXPECT_EQ(s.seen, (std::vector<std::pair<int, int>>{{SB_PAGEDOWN, 0}, {SB_ENDSCROLL, 0}}));
    EXPECT_EQ(GetScrollPos(h, SB_VERT), 11);

    // Drag the thumb from its grip to half-way along the free track.
    SetScrollPos(h, SB_VERT, 0, TRUE);
    s.seen.clear();
    Automation::moveMouse(390, 321);
    Automation::press();
    Automation::moveMouse(390, 335);
    Automation::moveMouse(390, 350);
    Automation::release();
    pump();
    ASSERT_GE(s.seen.size(), 3u);
    EXPECT_EQ(s.seen[s.seen.size() - 3].first, SB_THUMBTRACK);
    EXPECT_EQ(s.seen[s.seen.size() - 2], std::make_pair(SB_THUMBPOSITION, 45));
    EXPECT_EQ(s.seen.back().first, SB_ENDSCROLL);
    EXPECT_EQ(GetScrollPos(h, SB_VERT), 45);
    EXPECT_EQ(GetCapture(), nullptr);

    // The picture shows the thumb where the position says.
    auto pic = Automation::picture(h);
    ASSERT_TRUE(pic);
    auto grey = [&](int x, int y) { return pic->pixels()[(y * pic->width() + x) * 4]; };
    EXPECT_EQ(grey(90, 17 + 29 + 2), 0xC2);
    EXPECT_EQ(grey(90, 20), 0xF0) << "the track above the thumb";
}

TEST_F(NonClient, ScrollPositionsStayInsideTheRangeAndUnneededBarsGoOrDisable)
{
    Scrolls s;
    HWND h = scroller(s);
    EXPECT_EQ(SetScrollPos(h, SB_VERT, 500, FALSE), 0);
    EXPECT_EQ(GetScrollPos(h, SB_VERT), 90) << "the last page starts at max - page + 1";
    SetScrollPos(h, SB_VERT, -5, FALSE);
    EXPECT_EQ(GetScrollPos(h, SB_VERT), 0);

    // Everything fits: with disable-no-scroll the bar stays, greyed, and answers no clicks.
    SCROLLINFO fits{sizeof fits, SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL, 0, 9, 10, 0, 0};
    SetScrollInfo(h, SB_VERT, &fits, TRUE);
    EXPECT_TRUE(GetWindowLongW(h, GWL_STYLE) & WS_VSCROLL);
    s.seen.clear();
    Automation::click(390, 392);
    pump();
    EXPECT_TRUE(s.seen.empty());

    // Without it the bar goes and the client area grows.
    clearLog();
    fits.fMask = SIF_RANGE | SIF_PAGE;
    SetScrollInfo(h, SB_VERT, &fits, TRUE);
    EXPECT_FALSE(GetWindowLongW(h, GWL_STYLE) & WS_VSCROLL);
    RECT client;
    GetClientRect(h, &client);
    EXPECT_EQ(client.right, 100);
    ASSERT_FALSE(sequence({WM_SIZE}).empty());

    // Disabled arrows: the other one still works.
    SCROLLINFO si{sizeof si, SIF_ALL, 0, 99, 10, 0, 0};
    SetScrollInfo(h, SB_VERT, &si, TRUE);
    EnableScrollBar(h, SB_VERT, ESB_DISABLE_RTDN);
    s.seen.clear();
    Automation::click(390, 392);
    Automation::click(390, 302);
    pump();
    EXPECT_EQ(s.seen, (std::vector<std::pair<int, int>>{{SB_LINEUP, 0}, {SB_ENDSCROLL, 0}}));
}

TEST_F(NonClient, SizingLoopHonoursTheMinimumAndReportsEachStep)
{
    std::vector<RECT> sizing;
    HWND h = create(WS_POPUP | WS_VISIBLE | WS_THICKFRAME, 500, 100, 200, 150, nullptr,
                    [&](HWND, UINT m, WPARAM w, LPARAM l, LRESULT&) {
                        if (m == WM_GETMINMAXINFO) {
                            reinterpret_cast<MINMAXINFO*>(l)->ptMinTrackSize = {120, 100};
                            return true;
                        }
                        if (m == WM_SIZING) {
                            EXPECT_EQ(w, static_cast<WPARAM>(WMSZ_BOTTOMRIGHT));
                            sizing.push_back(*reinterpret_cast<RECT*>(l));
                        }
                        return false;
                    });
    pump();
    clearLog();
    Automation::moveMouse(699, 249);
    Automation::press();
    Automation::moveMouse(649, 229);
    Automation::moveMouse(520, 110);
    Automation::release();
    pump();
    ASSERT_EQ(sizing.size(), 2u);
    EXPECT_EQ(sizing[0].right, 650);
    EXPECT_EQ(sizing[0].bottom, 230);
    EXPECT_EQ(sizing[1].right, 620) << "stopped at the minimum width";
    EXPECT_EQ(sizing[1].bottom, 200);
    RECT r;
    GetWindowRect(h, &r);
    EXPECT_EQ(r.left, 500);
    EXPECT_EQ(r.right, 620);
    EXPECT_EQ(r.bottom, 200);
    auto sizes = log();
    LPARAM lastSize = 0;
    for (const Logged& l : sizes)
        if (l.message == WM_SIZE)
            lastSize = l.lParam;
    EXPECT_EQ(lastSize, MAKELPARAM(120 - 8, 100 - 8));
    EXPECT_EQ(sequence({WM_ENTERSIZEMOVE, WM_EXITSIZEMOVE}),
              (std::vector<UINT>{WM_ENTERSIZEMOVE, WM_EXITSIZEMOVE}));
    EXPECT_EQ(GetCapture(), nullptr);

    // The left edge moves the left side only.
    sizing.clear();
    setHandler(h, {});
    Automation::moveMouse(501, 150);
    Automation::press();
    Automation::moveMouse(481, 150);
    Automation::release();
    pump();
    GetWindowRect(h, &r);
    EXPECT_EQ(r.left, 480);
    EXPECT_EQ(r.right, 620);
}

} // namespace
