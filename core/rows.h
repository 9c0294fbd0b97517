#pragma once
// The tree's row arithmetic, apart from windows and the shell: which nodes get a row,
// which rows are on the page (with pinned and current rows held at its edges), and
// where scrolling and the wheel take the position. Nodes need `parent`, `expanded`,
// `pinned` and `current`.
#include <cstddef>
#include <vector>

constexpr int ROW_HEIGHT = 20;
constexpr int INDENT = 10;

// A pinned or current node is always listed, and so is the root; any other node when
// its parent is expanded and listed.
template <class Node> bool node_is_shown(const Node* node) {
    for (; node; node = node->parent) {
        if (node->pinned || node->current || !node->parent) return true;
        if (!node->parent->expanded) return false;
    }
    return false;
}

// Fills `page` with the rows from position p for a page of R rows, then lets pinned
// and current rows above the page pile up at its top, and those below at its bottom
// (the bottom pile overwriting the top one where both reach).
template <class Node>
void fill_page_rows(const std::vector<Node*>& visible, int p, int R, std::vector<Node*>& page) {
    const int n = static_cast<int>(visible.size());
    page.clear();
    for (int b = p; b < p + R && b < n; ++b) page.push_back(visible[b]);
    const auto sticky = [&](int j) { return visible[j]->pinned || visible[j]->current; };
    const int count = static_cast<int>(page.size());
    if (p > 0) {
        // The bound grows with every row placed, so a sticky row that was covered is
        // picked up again further down.
        for (int i = 0, j = 0; i < count && j < p + i && j < n; ++j)
            if (sticky(j)) page[i++] = visible[j];
    }
    if (n - 1 >= p + R) {
        for (int j = n - 1, k = count - 1, s = 0; k >= 0 && j >= p + R - s && j >= 0; --j)
            if (sticky(j)) {
                page[k--] = visible[j];
                ++s;
            }
    }
}

// The scroll bar's upper end for n rows and a page of R.
inline int scroll_max(std::size_t n, int R) {
    const int max = static_cast<int>(n) - R;
    return max < 0 ? 0 : max;
}

// The position a scroll-bar request leads to; `thumb` is the position the thumb
// codes carry.
int scroll_request(int code, int p, int max, int thumb);

// The wheel: one row per notch of 120, away from the user scrolling up. Deltas of less
// than a notch (precision touchpads send many small ones) add up until they make one.
struct wheel_t {
    int rest = 0; // turned and not yet a whole notch
    int position(int p, int delta, int max);
};
