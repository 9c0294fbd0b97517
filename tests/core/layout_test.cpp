#include "core/layout.h"

#include <gtest/gtest.h>

namespace {

void expect_rect(const pane_rect_t& r, int x, int y, int w, int h) {
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.y, y);
    EXPECT_EQ(r.width, w);
    EXPECT_EQ(r.height, h);
}

TEST(Layout, PanesSitAroundTheSplitter) {
    const main_layout_t l = layout_main_window(1008, 730, 300);
    expect_rect(l.tree, 0, 0, 300, 730);
    expect_rect(l.bar, 300, 0, 4, 730);
    expect_rect(l.address, 304, 0, 704, 20);
    expect_rect(l.browser, 304, 20, 704, 710);

    const main_layout_t narrow = layout_main_window(1008, 730, 120);
    expect_rect(narrow.tree, 0, 0, 120, 730);
    expect_rect(narrow.address, 124, 0, 884, 20);
}

TEST(Layout, TheBarStaysWithinReach) {
    // Dragged or restored past either edge, the bar is laid out at the edge.
    expect_rect(layout_main_window(800, 600, -50).tree, 0, 0, 0, 600);
    expect_rect(layout_main_window(800, 600, 5000).bar, 796, 0, 4, 600);
    expect_rect(layout_main_window(800, 600, 797).address, 800, 0, 0, 20);
    // A minimised window has no client area: nothing negative reaches the tree.
    expect_rect(layout_main_window(0, 0, 300).tree, 0, 0, 0, 0);
}

TEST(Layout, TheBarIsHitWhereItIsDrawn) {
    EXPECT_FALSE(on_splitter(299, 300, 1000));
    EXPECT_TRUE(on_splitter(300, 300, 1000));
    EXPECT_TRUE(on_splitter(303, 300, 1000));
    EXPECT_FALSE(on_splitter(304, 300, 1000));
    // A bar restored far outside is grabbed at the edge it was pulled back to.
    EXPECT_TRUE(on_splitter(0, -400, 1000));
    EXPECT_TRUE(on_splitter(999, 4000, 1000));
}

} // namespace

namespace {

TEST(Scale, LengthsScaleRoundedOneWayAndAreUnchangedAt96) {
    for (int n : {0, 1, 4, 5, 20, 24, -7, 1024}) EXPECT_EQ(scaled(n, 96), n);
    EXPECT_EQ(scaled(20, 144), 30);
    EXPECT_EQ(scaled(4, 144), 6);
    EXPECT_EQ(scaled(5, 144), 8); // 7.5: halves away from zero
    EXPECT_EQ(scaled(-5, 144), -8);
    EXPECT_EQ(scaled(10, 120), 13); // 12.5
    EXPECT_EQ(unscaled(450, 144), 300);
    EXPECT_EQ(unscaled(scaled(123, 168), 168), 123);
}

TEST(Layout, PanesAt150PercentScaleTheBarAndTheSplitterButNotTheSplit) {
    const main_layout_t l = layout_main_window(1500, 1100, 450, 144);
    EXPECT_EQ(l.bar.x, 450);
    EXPECT_EQ(l.bar.width, 6);
    EXPECT_EQ(l.address.x, 456);
    EXPECT_EQ(l.address.height, 30);
    EXPECT_EQ(l.browser.y, 30);
    EXPECT_EQ(splitter_in_reach(5000, 1500, 144), 1494);
    EXPECT_TRUE(on_splitter(455, 450, 1500, 144));
    EXPECT_FALSE(on_splitter(456, 450, 1500, 144));
}

} // namespace
