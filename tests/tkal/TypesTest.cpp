#include "tkal/Types.h"

#include <gtest/gtest.h>

TEST(Rect, IntersectionKeepsTheOverlapOrNothing) {
    TKAL::Rect a{0, 0, 100, 50};
    TKAL::Rect b{-10, 20, 30, 100};
    TKAL::Rect r = TKAL::intersect(a, b);
    EXPECT_EQ(r.x, 0);
    EXPECT_EQ(r.y, 20);
    EXPECT_EQ(r.w, 20);
    EXPECT_EQ(r.h, 30);

    TKAL::Rect apart = TKAL::intersect(a, TKAL::Rect{200, 0, 10, 10});
    EXPECT_EQ(apart.w, 0);
    EXPECT_EQ(apart.h, 10);
}
