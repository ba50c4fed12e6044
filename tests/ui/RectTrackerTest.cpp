#include "ui/RectTracker.h"

#include <gtest/gtest.h>

namespace {

bool same(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

} // namespace

TEST(RectTracker, WithoutAProfileValueHandlesAreFourPixelsAndTheMinimumIsEight)
{
    RectTracker t(RECT{10, 10, 110, 90}, 81);
    EXPECT_EQ(t.handleSize, 4);
    EXPECT_EQ(t.minWidth, 8);
    EXPECT_EQ(t.minHeight, 8);
    EXPECT_EQ(t.HandleSize(), 4);
    // Handles outside plus the outline: four pixels of band on every side.
    EXPECT_TRUE(same(t.TrueRect(), RECT{6, 6, 114, 94}));
}

TEST(RectTracker, HitTestFindsCornersEdgesAndTheInterior)
{
    RectTracker t(RECT{10, 10, 110, 90}, 81);
    EXPECT_EQ(t.HitTest(POINT{7, 7}), 0);
    EXPECT_EQ(t.HitTest(POINT{112, 7}), 1);
    EXPECT_EQ(t.HitTest(POINT{112, 92}), 2);
    EXPECT_EQ(t.HitTest(POINT{7, 92}), 3);
    EXPECT_EQ(t.HitTest(POINT{59, 7}), 4);
    EXPECT_EQ(t.HitTest(POINT{112, 49}), 5);
    EXPECT_EQ(t.HitTest(POINT{59, 92}), 6);
    EXPECT_EQ(t.HitTest(POINT{7, 49}), 7);
    EXPECT_EQ(t.HitTest(POINT{50, 50}), RectTracker::hitMiddle);
    EXPECT_EQ(t.HitTest(POINT{9, 30}), RectTracker::hitMiddle) << "the outline counts as inside";
    EXPECT_EQ(t.HitTest(POINT{7, 30}), RectTracker::hitNothing) << "band between handles";
    EXPECT_EQ(t.HitTest(POINT{200, 200}), RectTracker::hitNothing);
}

TEST(RectTracker, MiddleHandlesOnlyOnSidesLongEnoughForThem)
{
    RectTracker t(RECT{0, 0, 17, 100}, 81);
    // 17 - 3 x 4 = 5: top and bottom middles appear; 100 leaves room on the sides too.
    EXPECT_EQ(t.HandleMask(), 0xFFu);
    t.rect = RECT{0, 0, 16, 16};
    EXPECT_EQ(t.HandleMask(), 0x0Fu);
    t.rect = RECT{0, 0, 16, 100};
    EXPECT_EQ(t.HandleMask(), 0xAFu);
}

TEST(RectTracker, AnInvertedRectangleMirrorsItsHandles)
{
    // Drawn from the bottom-right: what shows as the top-left corner moves right and bottom.
    RectTracker t(RECT{110, 90, 10, 10}, 81);
    EXPECT_EQ(t.HitTest(POINT{7, 7}), 2);
    EXPECT_EQ(t.HitTest(POINT{112, 7}), 3);
    EXPECT_EQ(t.HitTest(POINT{59, 7}), 6);
    EXPECT_EQ(t.HitTest(POINT{7, 49}), 5);
    t.rect = RECT{110, 10, 10, 90};
    EXPECT_EQ(t.HitTest(POINT{7, 7}), 1);
    EXPECT_EQ(t.HitTest(POINT{7, 92}), 2);
    EXPECT_TRUE(same(t.TrueRect(), RECT{6, 6, 114, 94}));
}

TEST(RectTracker, TheMovingEdgeGivesWayToTheMinimumSize)
{
    RectTracker t(RECT{}, 81);
    RECT r{100, 100, 103, 150};
    t.AdjustRect(5, r);
    EXPECT_TRUE(same(r, RECT{100, 100, 108, 150}));
    r = RECT{100, 100, 97, 102};
    t.AdjustRect(2, r);
    EXPECT_TRUE(same(r, RECT{100, 100, 92, 108})) << "an inverted edge is pushed further its own way";
    r = RECT{100, 100, 103, 103};
    t.AdjustRect(0, r);
    EXPECT_TRUE(same(r, RECT{95, 95, 103, 103}));
    r = RECT{100, 100, 102, 102};
    t.AdjustRect(RectTracker::hitMiddle, r);
    EXPECT_TRUE(same(r, RECT{100, 100, 102, 102})) << "moving keeps the size it has";
}

TEST(RectTracker, HandlesInsideShrinkOnSmallRectanglesAndOtherStylesHitAsInterior)
{
    RectTracker inside(RECT{0, 0, 6, 40}, RectTracker::resizeInside | RectTracker::solidLine);
    EXPECT_EQ(inside.HandleSize(), 3);
    EXPECT_TRUE(same(inside.TrueRect(), RECT{-1, -1, 7, 41}));
    RectTracker plain(RECT{0, 0, 50, 50}, RectTracker::dottedLine);
    EXPECT_EQ(plain.HitTest(POINT{0, 0}), RectTracker::hitMiddle);
    EXPECT_EQ(plain.HitTest(POINT{-1, -1}), RectTracker::hitMiddle);
    EXPECT_EQ(plain.HitTest(POINT{-2, -2}), RectTracker::hitNothing);
    RectTracker hatched(RECT{10, 10, 50, 50}, RectTracker::hatchedBorder);
    EXPECT_TRUE(same(hatched.TrueRect(), RECT{7, 7, 53, 53}));
    EXPECT_EQ(hatched.HitTest(POINT{8, 30}), RectTracker::hitMiddle) << "the hatched band moves the rectangle";
}
