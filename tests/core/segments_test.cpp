#include "core/segments.h"

#include <gtest/gtest.h>

namespace {

bool operator==(const segment_rect_t& a, const segment_rect_t& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(Segments, LaidOutLeftToRightSixteenPixelsApart) {
    const auto rects = layout_segments({60, 45, 80});
    ASSERT_EQ(rects.size(), 3u);
    EXPECT_TRUE((rects[0] == segment_rect_t{0, 0, 60, 24}));
    EXPECT_TRUE((rects[1] == segment_rect_t{76, 0, 121, 24}));
    EXPECT_TRUE((rects[2] == segment_rect_t{137, 0, 217, 24}));
    EXPECT_TRUE(layout_segments({}).empty()); // the desktop has no segments
    // An empty name is a segment of no width; the next one still starts 16 further.
    const auto empty = layout_segments({0, 10});
    EXPECT_TRUE((empty[0] == segment_rect_t{0, 0, 0, 24}));
    EXPECT_EQ(empty[1].left, 16);
    // Nothing is shortened, however far past the bar the segments go.
    std::vector<int> wide(40, 200);
    EXPECT_EQ(layout_segments(wide).back().left, 39 * 216);
}

TEST(Segments, HitsIncludeLeftAndTopEdgesOnly) {
    const auto rects = layout_segments({60, 45});
    EXPECT_EQ(segment_at(rects, 0, 0), 0);
    EXPECT_EQ(segment_at(rects, 59, 23), 0);
    EXPECT_EQ(segment_at(rects, 60, 5), -1); // the right edge
    EXPECT_EQ(segment_at(rects, 65, 5), -1); // the gap with its arrowhead
    EXPECT_EQ(segment_at(rects, 76, 5), 1);
    EXPECT_EQ(segment_at(rects, 121, 5), -1);
    EXPECT_EQ(segment_at(rects, 300, 5), -1); // past the last
    EXPECT_EQ(segment_at(rects, 10, 24), -1); // the bottom edge
    EXPECT_EQ(segment_at(rects, 10, -1), -1);
    EXPECT_EQ(segment_at({}, 0, 0), -1);
    EXPECT_EQ(segment_at(layout_segments({0}), 0, 0), -1); // no width, no hit
}

TEST(Segments, ALineBreakTurnsTheTextIntoAPath) {
    EXPECT_FALSE(typed_path(u""));
    EXPECT_FALSE(typed_path(u"C:\\windows")); // still typing
    EXPECT_EQ(typed_path(u"C:\\windows\r\n"), u"C:\\windows");
    EXPECT_EQ(typed_path(u"C:\\win\r\ndows"), u"C:\\windows"); // joined across the break
    EXPECT_EQ(typed_path(u"\r\nC:\\\n"), u"C:\\");
    EXPECT_EQ(typed_path(u"\r\n"), u""); // nothing but a break: parsed as an empty text
}

} // namespace

namespace {

TEST(Segments, WhenTheyDoNotFitTheLeadingOnesGiveWayBehindAMarker) {
    const auto rects = layout_segments({60, 45, 80, 200});
    // All fit with room to spare: nothing moves.
    const segment_fit_t all = fit_segments(rects, 600, 16, 24, 40);
    EXPECT_FALSE(all.marker);
    EXPECT_EQ(all.first, 0u);
    // 400 wide: the last two (80 and 200, and their gaps) fit after the marker, not three.
    const segment_fit_t some = fit_segments(rects, 400, 16, 24, 40);
    EXPECT_TRUE(some.marker);
    EXPECT_EQ(some.first, 2u);
    EXPECT_EQ(rects[2].left - some.shift, 24);
    // Too narrow for even the last: it is still the one shown, right after the marker.
    const segment_fit_t last = fit_segments(rects, 100, 16, 24, 40);
    EXPECT_EQ(last.first, 3u);
    EXPECT_EQ(rects[3].left - last.shift, 24);
}

} // namespace
