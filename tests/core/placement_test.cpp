#include "core/placement.h"

#include <gtest/gtest.h>

namespace {

const screen_rect_t work{0, 0, 1600, 970};

bool operator==(const screen_rect_t& a, const screen_rect_t& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(Placement, AUsableRectangleOnAMonitorStaysAsSavedEvenPastAnEdge) {
    for (const screen_rect_t r : {screen_rect_t{10, 20, 1034, 788}, {-300, 500, 700, 1300}})
        EXPECT_TRUE(restored_window_rect(r, true, work) == r);
}

TEST(Placement, AStripOrAFarAwayRectangleComesWholeOntoTheNearestWorkArea) {
    // The strip a minimised window leaves under Wine, at the bottom of the screen.
    EXPECT_TRUE(restored_window_rect({0, 946, 160, 970}, true, work) ==
                (screen_rect_t{0, 202, 1024, 970}));
    // Where Windows parks a minimised window.
    EXPECT_TRUE(restored_window_rect({-32000, -32000, -31840, -31976}, false, work) ==
                (screen_rect_t{0, 0, 1024, 768}));
    // Off every monitor, usable size: moved, size kept.
    EXPECT_TRUE(restored_window_rect({5000, 100, 5800, 700}, false, work) ==
                (screen_rect_t{800, 100, 1600, 700}));
    // Larger than the work area, or turned inside out by damage: it fits.
    EXPECT_TRUE(restored_window_rect({3000, 0, 6000, 2000}, false, work) == work);
    EXPECT_TRUE(restored_window_rect({2147483647, 0, -2147483647 - 1LL, 10}, true, work) ==
                (screen_rect_t{576, 0, 1600, 768}));
}

} // namespace
