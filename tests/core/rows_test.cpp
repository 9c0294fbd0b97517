#include "core/rows.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

namespace {

struct node {
    node* parent = nullptr;
    bool expanded = false, pinned = false, current = false;
    char id = '?';
};

// Visible rows from a string: one node per character, '*' pinned, '@' current,
// anything else plain. The page comes back as a string of ids.
struct rows {
    std::deque<node> nodes;
    std::vector<node*> visible;

    explicit rows(const std::string& spec) {
        char id = 'a';
        for (char c : spec) {
            nodes.push_back({nullptr, false, c == '*', c == '@', id++});
            visible.push_back(&nodes.back());
        }
    }
    std::string page(int p, int R) const {
        std::vector<node*> out;
        fill_page_rows(visible, p, R, out);
        std::string ids;
        for (node* n : out) ids += n->id;
        return ids;
    }
};

TEST(Rows, APageShowsTheRowsFromThePosition) {
    const rows r("........");
    EXPECT_EQ(r.page(0, 3), "abc");
    EXPECT_EQ(r.page(6, 3), "gh");
    EXPECT_EQ(r.page(8, 3), ""); // past the end after a collapse: an empty page
    EXPECT_EQ(r.page(20, 3), "");
    EXPECT_EQ(r.page(2, 0), ""); // a pane lower than a row
    EXPECT_EQ(rows("..").page(0, 5), "ab");
}

TEST(Rows, StickyRowsAboveThePagePileUpAtItsTop) {
    // b and d are pinned, position 5: both hold the first two slots.
    EXPECT_EQ(rows(".*.*......").page(5, 4), "bdhi");
    // A current row counts as pinned.
    EXPECT_EQ(rows("..@.......").page(5, 3), "cgh");
    // A covered sticky row is picked up further down: f is pinned and would be covered
    // by b, so it moves one slot on.
    EXPECT_EQ(rows(".*...*....").page(5, 3), "bfh");
    // More sticky rows above than slots: the first ones in tree order win.
    EXPECT_EQ(rows("***...").page(4, 2), "ab");
}

TEST(Rows, StickyRowsBelowThePagePileUpAtItsBottom) {
    // At position 0, a pinned row far below lands in the last slot.
    EXPECT_EQ(rows(".........*").page(0, 3), "abj");
    // The last in tree order is at the bottom.
    EXPECT_EQ(rows("......*..*").page(0, 4), "abgj");
    // With a one-row page and sticky rows above and below, the one below wins.
    EXPECT_EQ(rows("*....*").page(3, 1), "f");
    // A sticky row inside the page is not moved.
    EXPECT_EQ(rows(".*........").page(0, 3), "abc");
}

TEST(Rows, OnlyPinnedCurrentAndOpenedRowsAreShown) {
    node root, a, b, c;
    a.parent = &root;
    b.parent = &a;
    c.parent = &b;
    EXPECT_TRUE(node_is_shown(&root));
    EXPECT_FALSE(node_is_shown(&a));
    root.expanded = true;
    EXPECT_TRUE(node_is_shown(&a));
    EXPECT_FALSE(node_is_shown(&c));
    c.pinned = true; // under collapsed ancestors, still listed
    EXPECT_TRUE(node_is_shown(&c));
    c.pinned = false;
    c.current = true;
    EXPECT_TRUE(node_is_shown(&c));
    // A pinned node's children are listed only when it is expanded.
    node d;
    d.parent = &c;
    EXPECT_FALSE(node_is_shown(&d));
    c.expanded = true;
    EXPECT_TRUE(node_is_shown(&d));
    // An expanded parent that is itself hidden hides its children.
    root.expanded = false;
    a.expanded = true;
    EXPECT_FALSE(node_is_shown(&b));
}

TEST(Rows, ScrollRangeAndRequests) {
    EXPECT_EQ(scroll_max(3, 10), 0);
    EXPECT_EQ(scroll_max(30, 10), 20);
    EXPECT_EQ(scroll_max(7, 0), 7);

    const int max = 20;
    EXPECT_EQ(scroll_request(0, 0, max, 0), 0); // line up at the top
    EXPECT_EQ(scroll_request(0, 5, max, 0), 4);
    EXPECT_EQ(scroll_request(1, 18, max, 0), 19);
    EXPECT_EQ(scroll_request(1, 19, max, 0), 20); // line down reaches the last row
    EXPECT_EQ(scroll_request(1, 20, max, 0), 20);
    EXPECT_EQ(scroll_request(2, 1, max, 0), 0);   // page up, not below 0
    EXPECT_EQ(scroll_request(3, 19, max, 0), 20); // page down, not past the end
    EXPECT_EQ(scroll_request(4, 3, max, 12), 12);
    EXPECT_EQ(scroll_request(5, 3, max, 13), 13);
    EXPECT_EQ(scroll_request(6, 9, max, 0), 0);
    EXPECT_EQ(scroll_request(7, 9, max, 0), 20);
    EXPECT_EQ(scroll_request(8, 9, max, 0), 9); // end of scroll and beyond: unchanged
}

TEST(Rows, TheWheelMovesARowANotchAndAddsUpSmallerTurns) {
    wheel_t wheel;
    EXPECT_EQ(wheel.position(5, 120, 20), 4);
    EXPECT_EQ(wheel.position(5, -240, 20), 7);
    EXPECT_EQ(wheel.position(0, 360, 20), 0);
    EXPECT_EQ(wheel.position(19, -1200, 20), 20);
    // A touchpad's small steps: nothing until they make a notch, then a row, the rest kept.
    EXPECT_EQ(wheel.position(5, 50, 20), 5);
    EXPECT_EQ(wheel.position(5, 50, 20), 5);
    EXPECT_EQ(wheel.position(5, 50, 20), 4);
    EXPECT_EQ(wheel.position(4, 90, 20), 3);
    // Turning back drops what was left over the other way.
    EXPECT_EQ(wheel.position(3, -100, 20), 3);
    EXPECT_EQ(wheel.position(3, -20, 20), 4);
}

} // namespace
