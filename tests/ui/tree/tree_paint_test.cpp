#include "ui/tree/tree_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/dib.h"
#include "tests/support/fake_shell.h"
#include "tests/support/tree_fixture.h"
#include "tests/support/win_test_support.h"

namespace {

constexpr int WHITE = 255, LIGHT = 243, PALE = 230, MID = 179, DARK = 127, BLACK = 0;

enum class look_t { plain, current, pinned, current_pinned };

// The row background at column x and line dy (0 to 19) of a row, the edges drawn in
// their order: a later edge wins where two meet.
int background(look_t look, int x, int dy, int right) {
    switch (look) {
    case look_t::plain:
        return WHITE;
    case look_t::current:
    case look_t::current_pinned:
        if (x == right - 1) return PALE;
        if (dy == 19) return MID;
        if (dy == 0 || x == 0) return LIGHT;
        return PALE;
    case look_t::pinned:
        if (x == right - 1) return WHITE; // outside the row box
        if (x == right - 2 || dy == 19) return DARK;
        if (dy == 0 || x == 0) return PALE;
        return MID;
    }
    return -1;
}

// How deep a pixel's centre lies inside a triangle: the least distance to its three
// edges, negative outside.
double depth_in_triangle(const double (&t)[3][2], double px, double py) {
    const double area =
        (t[1][0] - t[0][0]) * (t[2][1] - t[0][1]) - (t[1][1] - t[0][1]) * (t[2][0] - t[0][0]);
    double least = 1e9;
    for (int i = 0; i < 3; ++i) {
        const double* a = t[i];
        const double* b = t[(i + 1) % 3];
        const double ex = b[0] - a[0], ey = b[1] - a[1];
        double d = (ex * (py - a[1]) - ey * (px - a[0])) / std::hypot(ex, ey);
        if (area < 0) d = -d;
        least = std::min(least, d);
    }
    return least;
}

struct row_t {
    int depth = 0;
    bool expanded = false;
    look_t look = look_t::plain;
    const wchar_t* name = nullptr;
};

// The one grey a pixel of a row may have, or two when the glyph's edge runs through the
// pixel's centre, where the rasteriser's rule decides.
struct expect_t {
    int one, other;
};

expect_t expected_pixel(const row_t& row, int x, int dy, int right) {
    const bool pinned = row.look == look_t::pinned || row.look == look_t::current_pinned;
    const auto in = [&](int l, int t, int r, int b) {
        return l <= x && x < r && t <= dy && dy < b;
    };
    // The pin mark, drawn last: head, stem, then a hollow head's inside.
    if (!pinned && in(right - 15, 4, right - 7, 13)) return {WHITE, WHITE};
    if (in(right - 16, 3, right - 6, 14) || in(right - 13, 3, right - 9, 19)) return {BLACK, BLACK};
    const int under = background(row.look, x, dy, right);
    const int X = 10 * row.depth;
    const double collapsed[3][2] = {{X + 5.0, 5}, {X + 5.0, 15}, {X + 10.0, 10}};
    const double expanded[3][2] = {{X + 14.0, 6}, {X + 6.0, 14}, {X + 14.0, 14}};
    const double inside = depth_in_triangle(row.expanded ? expanded : collapsed, x + 0.5, dy + 0.5);
    if (inside > 0.25) return {BLACK, BLACK};
    if (inside > -0.25) return {BLACK, under};
    return {under, under};
}

class TreePaintTest : public tree_fixture_t {
protected:
    std::vector<std::unique_ptr<tree_node_t>> nodes; // the painted rows; never in the tree

    void SetUp() override { set_client_size(200, 200); }

    void set_client_size(int width, int height) {
        RECT outer, client;
        GetWindowRect(tree->handle, &outer);
        GetClientRect(tree->handle, &client);
        tree->resize(width + (outer.right - outer.left) - client.right, height);
        GetClientRect(tree->handle, &client);
        ASSERT_EQ(client.right, width);
        ASSERT_EQ(client.bottom, height);
    }

    RECT client() const {
        RECT r;
        GetClientRect(tree->handle, &r);
        return r;
    }

    // The rows painted as the pane paints its page, in a pane of its client size: in a
    // palette, with the keyboard's frame on row `focus` and the drop's on row `framed`
    // (-1: none).
    picture_t paint(const std::vector<row_t>& rows, const palette_t& palette = light_palette(),
                    int focus = -1, int framed = -1) {
        nodes.clear();
        std::vector<const tree_node_t*> page;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            tree_node_t& n = *nodes.emplace_back(std::make_unique<tree_node_t>());
            n.depth = rows[i].depth;
            n.expanded = rows[i].expanded;
            n.current = rows[i].look == look_t::current || rows[i].look == look_t::current_pinned;
            n.pinned = rows[i].look == look_t::pinned || rows[i].look == look_t::current_pinned;
            n.name = new_task_string(rows[i].name);
            page.push_back(&n);
        }
        const RECT r = client();
        dib_t surface(r.right, r.bottom);
        SelectObject(surface.dc, g_font.get());
        SetBkMode(surface.dc, TRANSPARENT);
        paint_rows(surface.dc, r.right, r.bottom, BASE_DPI, page,
                   focus >= 0 ? page[std::size_t(focus)] : nullptr,
                   framed >= 0 ? page[std::size_t(framed)]->id : 0, palette);
        return picture_t(surface.dc, r.right, r.bottom);
    }

    // Every pixel of row i as the row's shapes leave it; a named row's name box is
    // left out, since fonts differ.
    void expect_row(const picture_t& p, int i, const row_t& row) {
        const int right = p.width;
        std::ostringstream wrong;
        int count = 0;
        for (int dy = 0; dy < 20; ++dy)
            for (int x = 0; x < right; ++x) {
                if (row.name && 10 * row.depth + 20 <= x && x < right - 22) continue;
                const expect_t e = expected_pixel(row, x, dy, right);
                const int got = p.grey(x, 20 * i + dy);
                if (got == e.one || got == e.other) continue;
                if (count++ < 8)
                    wrong << " (" << x << "," << 20 * i + dy << ") is " << got << " not " << e.one
                          << (e.one != e.other ? " or " + std::to_string(e.other) : "") << ";";
            }
        EXPECT_EQ(count, 0) << "row " << i << ":" << wrong.str();
    }

    // The second row's box read at a few points, independently of expect_row's model: its
    // top and left edges, its inside and its bottom edge.
    static void expect_second_row_box(const picture_t& p, int top_left, int inside, int bottom) {
        EXPECT_EQ(p.grey(100, 20), top_left) << "top edge";
        EXPECT_EQ(p.grey(0, 30), top_left) << "left edge";
        EXPECT_EQ(p.grey(100, 30), inside) << "inside";
        EXPECT_EQ(p.grey(100, 39), bottom) << "bottom edge";
    }

    void expect_white_below(const picture_t& p, int rows) {
        int count = 0;
        for (int y = 20 * rows; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) count += p.grey(x, y) != WHITE;
        EXPECT_EQ(count, 0) << "pixels that are not white below row " << rows;
    }
};

TEST_F(TreePaintTest, AnEmptyPageIsPlainWhite) {
    paint({{0, false, look_t::current}, {1, true, look_t::pinned}, {2}});
    const picture_t p = paint({});
    expect_white_below(p, 0);
    // The pane paints its page anew (here, laid out again) and invalidates the whole of it
    // for the copy to the screen.
    ValidateRect(tree->handle, nullptr);
    const RECT before = client();
    tree->resize(before.right, before.bottom);
    RECT update{};
    ASSERT_TRUE(GetUpdateRect(tree->handle, &update, FALSE));
    const RECT r = client();
    EXPECT_TRUE(EqualRect(&update, &r));
}

TEST_F(TreePaintTest, ACurrentRowIsPaleWithLightTopAndLeftAndAHollowPin) {
    const row_t current{2, false, look_t::current};
    const picture_t p = paint({{0}, current});
    expect_row(p, 0, {0});
    expect_row(p, 1, current);
    expect_white_below(p, 2);
    const int right = p.width;
    expect_second_row_box(p, LIGHT, PALE, MID);
    EXPECT_EQ(p.grey(right - 1, 20), PALE) << "the column right of the row box";
    EXPECT_EQ(p.grey(right - 11, 30), WHITE) << "a hollow pin is white inside, not pale";
}

TEST_F(TreePaintTest, APinnedRowIsMidWithDarkBottomAndRightEdgesAndASolidPin) {
    const row_t pinned{1, true, look_t::pinned};
    const picture_t p = paint({{0}, pinned, {0}});
    expect_row(p, 0, {0});
    expect_row(p, 1, pinned);
    expect_row(p, 2, {0});
    expect_white_below(p, 3);
    const int right = p.width;
    expect_second_row_box(p, PALE, MID, DARK);
    EXPECT_EQ(p.grey(right - 2, 25), DARK);
    EXPECT_EQ(p.grey(right - 1, 25), WHITE);
    EXPECT_EQ(p.grey(right - 11, 30), BLACK);
}

TEST_F(TreePaintTest, ACurrentPinnedRowHasTheCurrentLookAndASolidPin) {
    const row_t both{3, true, look_t::current_pinned};
    const picture_t p = paint({both});
    expect_row(p, 0, both);
    expect_white_below(p, 1);
    EXPECT_EQ(p.grey(100, 10), PALE);
    EXPECT_EQ(p.grey(p.width - 11, 10), BLACK);
}

TEST_F(TreePaintTest, GlyphsPointRightWhenCollapsedAndDownRightWhenExpanded) {
    const std::vector<row_t> rows = {
        {0, false, look_t::plain},  {0, true, look_t::plain},   {3, false, look_t::current},
        {3, true, look_t::current}, {7, false, look_t::pinned}, {7, true, look_t::pinned},
    };
    const picture_t p = paint(rows);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "row " << i);
        expect_row(p, int(i), rows[i]);
        // The collapsed triangle covers 25 pixels, x from X + 5 to X + 9: its tip at
        // X + 10 is a corner, not a pixel. The expanded one covers 28, rows Y + 7 to
        // Y + 13 of one to seven pixels ending at X + 13: its right and bottom edges,
        // x = X + 14 and y = Y + 14, are not painted.
        const int X = 10 * rows[i].depth, Y = 20 * int(i);
        int black = 0, on_far_edges = 0;
        for (int y = Y + 1; y < Y + 19; ++y)
            for (int x = X + 1; x < X + 19; ++x) {
                if (p.grey(x, y) != BLACK) continue;
                ++black;
                on_far_edges +=
                    rows[i].expanded ? x >= X + 14 || y >= Y + 14 || y <= Y + 6 : x >= X + 10;
            }
        EXPECT_EQ(black, rows[i].expanded ? 28 : 25);
        EXPECT_EQ(on_far_edges, 0);
    }
}

TEST_F(TreePaintTest, TheNameKeepsOutOfTheGlyphAndPinZones) {
    const wchar_t* long_name =
        L"A folder name far too long to fit in the row it is drawn in, WWWWWWWWWWWWWWWW";
    const std::vector<row_t> looks = {{1, false, look_t::plain, long_name},
                                      {2, true, look_t::current, long_name},
                                      {1, false, look_t::pinned, long_name}};
    const picture_t named = paint(looks);
    for (std::size_t i = 0; i < looks.size(); ++i) expect_row(named, int(i), looks[i]);
    expect_white_below(named, 3);
    // The name did draw, or the test would show nothing.
    const picture_t blank = paint({{1}, {2, true, look_t::current}, {1, false, look_t::pinned}});
    int differ = 0;
    for (std::size_t k = 0; k < named.pixels.size(); ++k)
        differ += named.pixels[k] != blank.pixels[k];
    EXPECT_GT(differ, 0);
}

TEST_F(TreePaintTest, InAVeryNarrowPaneGlyphAndPinOverlapAndNoNameIsDrawn) {
    // Right edge 24: pin head from x 8, name box from x 20 to x 2.
    set_client_size(24, 200);
    const std::vector<row_t> rows = {{0, false, look_t::plain, L"WWWWWWWW"},
                                     {0, true, look_t::pinned, L"WWWWWWWW"},
                                     {0, false, look_t::current, L"WWWWWWWW"}};
    const picture_t p = paint(rows);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        row_t checked = rows[i];
        checked.name = nullptr; // every pixel, the would-be name box too
        expect_row(p, int(i), checked);
    }
    expect_white_below(p, 3);
    EXPECT_EQ(p.grey(5, 10), BLACK) << "the glyph left of the pin head";
    EXPECT_EQ(p.grey(9, 10), WHITE) << "the hollow head over the glyph";
}

// ---- Other themes: the same shapes in other colours.

const std::vector<row_t> every_look = {{0, false, look_t::plain},
                                       {1, true, look_t::current},
                                       {2, false, look_t::pinned},
                                       {3, true, look_t::current_pinned},
                                       {2, false, look_t::plain}};

TEST_F(TreePaintTest, TheDarkThemeDrawsEveryLightShapeDarkWithLightInk) {
    const picture_t light = paint(every_look, light_palette(), 4, 4);
    const picture_t night = paint(every_look, palette_of({theme_kind_t::dark, {}}), 4, 4);
    // Within a row, pixels of one colour in the light look share one colour in the dark,
    // and pixels of two colours keep two: no shape lost, none merged into another.
    std::map<std::uint32_t, std::uint32_t> to_dark, to_light;
    int broken = 0;
    for (int y = 0; y < light.height; ++y) {
        if (y % 20 == 0) to_dark.clear(), to_light.clear();
        for (int x = 0; x < light.width; ++x) {
            const std::uint32_t l = light.at(x, y), d = night.at(x, y);
            if (y >= 80 && y < 100 && x >= 38 && x < light.width - 21) continue; // the focus
            broken += to_dark.emplace(l, d).first->second != d;
            broken += to_light.emplace(d, l).first->second != l;
        }
    }
    EXPECT_EQ(broken, 0);
    EXPECT_LT(luminance(night.at(100, 110)), 64) << "the ground";
    EXPECT_GT(luminance(night.at(night.width - 11, 17)), 192) << "a pin's stem";
}

TEST_F(TreePaintTest, UnderHighContrastEveryPixelIsASystemColourAndEveryStateShows) {
    // Colours no system would choose, so that none matches by chance; the buttons' face
    // is the window's, as in the black themes, so a pinned row cannot show by its fill.
    const system_colours_t c{RGB(16, 32, 48),  RGB(240, 224, 208), RGB(32, 128, 240),
                             RGB(255, 255, 0), RGB(16, 32, 48),    RGB(128, 128, 0)};
    const picture_t p = paint(every_look, palette_of({theme_kind_t::high_contrast, c}), 4, 4);
    const std::set<COLORREF> allowed = {c.window,         c.window_text, c.highlight,
                                        c.highlight_text, c.button_face, c.gray_text};
    const auto colour = [&](int x, int y) {
        const std::uint32_t rgb = p.at(x, y);
        return RGB(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF);
    };
    int other = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) other += !allowed.count(colour(x, y));
    EXPECT_EQ(other, 0) << "pixels of no system colour";
    EXPECT_EQ(colour(100, 30), c.highlight) << "the current row";
    int differ = 0;
    for (int x = 0; x < p.width; ++x)
        for (int dy = 0; dy < 20; ++dy) differ += colour(x, 40 + dy) != colour(x, dy);
    EXPECT_GT(differ, 20) << "a pinned row against a plain one";
    // The keyboard's frame and the drop's on the last row, solid where dots would vanish.
    EXPECT_EQ(colour(100, 81), c.window_text) << "the focus frame";
    EXPECT_EQ(colour(100, 80), c.window_text) << "the drop frame";
    EXPECT_EQ(colour(100, 90), c.window) << "inside them";
}

} // namespace
