#include "WinTestSupport.h"

#include "platform/kernel/Tick.h"
#include "platform/win/Automation.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <thread>

using namespace wintest;
using pictavo::platform::Automation;
using pictavo::platform::Bitmap;

namespace {

using Painting = WindowTest;

COLORREF at(const std::shared_ptr<Bitmap>& picture, int x, int y)
{
    const uint8_t* p = picture->pixels() + (y * picture->width() + x) * 4;
    return RGB(p[2], p[1], p[0]);
}

// Fills the whole client area with one colour on every paint.
Handler filler(COLORREF colour, std::vector<RECT>* painted = nullptr)
{
    return [=](HWND hwnd, UINT m, WPARAM, LPARAM, LRESULT& r) {
        if (m == WM_ERASEBKGND) {
            r = 1;
            return true;
        }
        if (m != WM_PAINT)
            return false;
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (painted)
            painted->push_back(ps.rcPaint);
        RECT all;
        GetClientRect(hwnd, &all);
        HBRUSH brush = CreateSolidBrush(colour);
        FillRect(dc, &all, brush);
        DeleteObject(brush);
        EndPaint(hwnd, &ps);
        return true;
    };
}

TEST_F(Painting, InvalidationsMergeIntoOnePaintClippedToTheirBounds)
{
    std::vector<RECT> painted;
    HWND h = create(WS_POPUP | WS_VISIBLE, 0, 0, 100, 80, nullptr, filler(RGB(255, 0, 0), &painted));
    pump();
    ASSERT_EQ(painted.size(), 1u);
    EXPECT_EQ(painted[0].right, 100);
    auto pic = Automation::picture(h);
    EXPECT_EQ(at(pic, 50, 40), RGB(255, 0, 0));

    setHandler(h, filler(RGB(0, 0, 255), &painted));
    painted.clear();
    RECT a{10, 10, 20, 20}, b{30, 5, 40, 15};
    InvalidateRect(h, &a, FALSE);
    InvalidateRect(h, &b, FALSE);
    RECT update;
    EXPECT_TRUE(GetUpdateRect(h, &update, FALSE));
    pump();
    ASSERT_EQ(painted.size(), 1u);
    EXPECT_EQ(painted[0].left, 10);
    EXPECT_EQ(painted[0].top, 5);
    EXPECT_EQ(painted[0].right, 40);
    EXPECT_EQ(painted[0].bottom, 20);
    EXPECT_FALSE(GetUpdateRect(h, &update, FALSE));
    pic = Automation::picture(h);
    EXPECT_EQ(at(pic, 15, 15), RGB(0, 0, 255));
    EXPECT_EQ(at(pic, 5, 5), RGB(255, 0, 0)) << "outside the update area nothing changes";
    EXPECT_EQ(at(pic, 60, 60), RGB(255, 0, 0));

    // Validating the area before the paint leaves nothing to paint.
    painted.clear();
    InvalidateRect(h, &a, FALSE);
    ValidateRect(h, &a);
    pump();
    EXPECT_TRUE(painted.empty());
}

TEST_F(Painting, EraseComesFromBeginPaintAndTheClassBrushFillsByDefault)
{
    HWND h =
        create(WS_POPUP | WS_VISIBLE, 0, 0, 40, 40, nullptr, [](HWND hwnd, UINT m, WPARAM, LPARAM, LRESULT&) {
            if (m == WM_PAINT) {
                PAINTSTRUCT ps;
                BeginPaint(hwnd, &ps);
                EndPaint(hwnd, &ps);
                return true;
            }
            return false;
        });
    pump();
    clearLog();
    InvalidateRect(h, nullptr, TRUE);
    pump();
    EXPECT_EQ(sequence({WM_PAINT, WM_ERASEBKGND}), (std::vector<UINT>{WM_PAINT, WM_ERASEBKGND}));
    clearLog();
    InvalidateRect(h, nullptr, FALSE);
    pump();
    EXPECT_EQ(sequence({WM_PAINT, WM_ERASEBKGND}), (std::vector<UINT>{WM_PAINT}));
    EXPECT_EQ(at(Automation::picture(h), 20, 20), RGB(255, 255, 255));
}

TEST_F(Painting, ChildrenComposeOverTheirParentClippedToIt)
{
    HWND top =
        create(WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 100, 100, nullptr, filler(RGB(0, 255, 0)));
    HWND child = create(WS_CHILD | WS_VISIBLE, 80, 10, 50, 30, top, filler(RGB(255, 0, 0)));
    HWND grand = create(WS_CHILD | WS_VISIBLE, 5, 5, 10, 10, child, filler(RGB(0, 0, 255)));
    HWND hidden = create(WS_CHILD, 0, 50, 30, 30, top, filler(RGB(0, 0, 0)));
    pump();
    auto pic = Automation::picture(top);
    ASSERT_TRUE(pic);
    EXPECT_EQ(pic->width(), 100);
    EXPECT_EQ(at(pic, 5, 5), RGB(0, 255, 0));
    EXPECT_EQ(at(pic, 81, 11), RGB(255, 0, 0));
    EXPECT_EQ(at(pic, 99, 39), RGB(255, 0, 0)) << "child cut at the parent's edge";
    EXPECT_EQ(at(pic, 90, 20), RGB(0, 0, 255));
    EXPECT_EQ(at(pic, 10, 60), RGB(0, 255, 0)) << "hidden children are not drawn";

    // Moving the child shows the parent's retained picture where it was; no repaint needed.
    SetWindowPos(child, nullptr, 0, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    pic = Automation::picture(top);
    EXPECT_EQ(at(pic, 81, 11), RGB(0, 255, 0));
    EXPECT_EQ(at(pic, 1, 61), RGB(255, 0, 0));
    ShowWindow(hidden, SW_SHOW);
    pic = Automation::picture(top);
    EXPECT_EQ(at(pic, 10, 60), RGB(255, 0, 0)) << "older siblings stay on top, as dialog controls do";
    EXPECT_EQ(at(pic, 10, 55), RGB(0, 0, 0));
    (void)grand;
}

TEST_F(Painting, InvalidateFromAnotherThreadWakesTheOwner)
{
    std::vector<RECT> painted;
    HWND h = create(WS_POPUP | WS_VISIBLE, 0, 0, 30, 30, nullptr, filler(RGB(1, 2, 3), &painted));
    pump();
    painted.clear();
    const pid_t owner = gettid();
    std::thread other([&] {
        pictavo::test::waitUntilAsleep(owner);
        RECT r{1, 1, 2, 2};
        InvalidateRect(h, &r, FALSE);
    });
    MSG msg;
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
    DispatchMessageW(&msg);
    other.join();
    ASSERT_EQ(painted.size(), 1u);
    EXPECT_EQ(painted[0].left, 1);
}

TEST_F(Painting, GetDcDrawsIntoTheRetainedSurface)
{
    HWND h = create(WS_POPUP | WS_VISIBLE | WS_BORDER, 0, 0, 50, 50, nullptr, filler(RGB(9, 9, 9)));
    pump();
    HDC dc = GetDC(h);
    RECT r{0, 0, 10, 10};
    HBRUSH b = CreateSolidBrush(RGB(200, 100, 50));
    FillRect(dc, &r, b);
    DeleteObject(b);
    EXPECT_EQ(ReleaseDC(h, dc), 1);
    auto pic = Automation::picture(h);
    EXPECT_EQ(at(pic, 1, 1), RGB(200, 100, 50)) << "client origin sits inside the border";
    EXPECT_EQ(at(pic, 11, 11), RGB(9, 9, 9));
    EXPECT_NE(at(pic, 0, 0), RGB(200, 100, 50)) << "the border is the frame's";
}

} // namespace

namespace {

TEST_F(Painting, AWindowCanDrawItsOwnFrame)
{
    // An edit-like control: a one-pixel frame of its own, painted in its own colour.
    HWND top = create(WS_POPUP | WS_VISIBLE, 0, 0, 60, 60, nullptr, filler(RGB(255, 255, 255)));
    HWND edit = create(WS_CHILD | WS_VISIBLE, 10, 10, 30, 20, top,
                       [](HWND hwnd, UINT m, WPARAM, LPARAM l, LRESULT& r) {
                           if (m == WM_NCCALCSIZE) {
                               RECT& c = reinterpret_cast<NCCALCSIZE_PARAMS*>(l)->rgrc[0];
                               c.left += 1;
                               c.top += 1;
                               c.right -= 1;
                               c.bottom -= 1;
                               r = 0;
                               return true;
                           }
                           if (m == WM_NCPAINT) {
                               HDC dc = GetWindowDC(hwnd);
                               RECT all{0, 0, 30, 20};
                               HBRUSH b = CreateSolidBrush(RGB(0, 0, 200));
                               FillRect(dc, &all, b);
                               DeleteObject(b);
                               ReleaseDC(hwnd, dc);
                               return true;
                           }
                           return filler(RGB(0, 200, 0))(hwnd, m, 0, l, r);
                       });
    pump();
    RECT client;
    GetClientRect(edit, &client);
    EXPECT_EQ(client.right, 28);
    auto pic = Automation::picture(top);
    EXPECT_EQ(at(pic, 10, 10), RGB(0, 0, 200));
    EXPECT_EQ(at(pic, 39, 29), RGB(0, 0, 200));
    EXPECT_EQ(at(pic, 11, 11), RGB(0, 200, 0));
    EXPECT_EQ(at(pic, 40, 30), RGB(255, 255, 255));
    POINT p{0, 0};
    ClientToScreen(edit, &p);
    EXPECT_EQ(p.x, 11);
}

} // namespace
