#include "win/fill.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <utility>

#include "tests/support/dib.h"

namespace {

using pixels_t = std::set<std::pair<int, int>>;

// A 40-pixel square to paint into, cleared to black.
struct surface_t : dib_t {
    static constexpr int SIZE = 40;

    surface_t() : dib_t(SIZE, SIZE) { clear(); }

    void clear() {
        GdiFlush();
        std::fill(bits, bits + SIZE * SIZE, 0u);
    }
    // 0xRRGGBB; the fourth byte is not a colour.
    std::uint32_t at(int x, int y) {
        GdiFlush();
        return bits[y * SIZE + x] & 0xFFFFFF;
    }
    pixels_t painted() {
        pixels_t out;
        for (int y = 0; y < SIZE; ++y)
            for (int x = 0; x < SIZE; ++x)
                if (at(x, y)) out.insert({x, y});
        return out;
    }
};

pixels_t block(int left, int top, int right, int bottom) {
    pixels_t out;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) out.insert({x, y});
    return out;
}

constexpr color_t WHITE{1.0f, 1.0f, 1.0f};
constexpr color_t BLACK{0.0f, 0.0f, 0.0f};

std::uint32_t rgb(int r, int g, int b) {
    return std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | std::uint32_t(b);
}

} // namespace

TEST(FillRect, CoversLeftAndTopButNotRightAndBottom) {
    surface_t s;
    const struct {
        RECT rect;
        pixels_t expected;
    } cases[] = {
        {{7, 3, 8, 13}, block(7, 3, 8, 13)},       // one column, as the tree's row edges
        {{2, 9, 30, 10}, block(2, 9, 30, 10)},     // one row
        {{3, 4, 11, 9}, block(3, 4, 11, 9)},       // a block
        {{-5, -2, 3, 4}, block(0, 0, 3, 4)},       // partly left of and above the surface
        {{35, 36, 60, 70}, block(35, 36, 40, 40)}, // partly past the far edges
        {{12, 12, 12, 20}, {}},                    // no width
    };
    for (const auto& c : cases) {
        s.clear();
        gradient_rect(s.dc, c.rect, WHITE, WHITE);
        EXPECT_EQ(s.painted(), c.expected)
            << c.rect.left << "," << c.rect.top << " - " << c.rect.right << "," << c.rect.bottom;
    }
}

TEST(FillRect, GivesTheFixedEightBitValuesOfEachChannel) {
    surface_t s;
    const struct {
        float value;
        int shown;
    } greys[] = {{0.0f, 0}, {0.5f, 127}, {0.7f, 179}, {0.9f, 230}, {0.95f, 243}, {1.0f, 255}};
    for (const auto& g : greys) {
        s.clear();
        const color_t c{g.value, g.value, g.value};
        gradient_rect(s.dc, {0, 0, 8, 8}, c, c);
        EXPECT_EQ(s.at(0, 0), rgb(g.shown, g.shown, g.shown)) << g.value;
        EXPECT_EQ(s.at(7, 7), rgb(g.shown, g.shown, g.shown)) << g.value;
    }

    // Each float goes to its own channel.
    s.clear();
    const color_t mixed{0.5f, 0.7f, 0.9f};
    gradient_rect(s.dc, {0, 0, 8, 8}, mixed, mixed);
    EXPECT_EQ(s.at(4, 4), rgb(127, 179, 230));
}

TEST(FillRect, RunsVerticallyFromTheTopColourToTheBottomColour) {
    surface_t s;
    gradient_rect(s.dc, {0, 0, 10, 32}, BLACK, WHITE);
    EXPECT_EQ(s.at(0, 0), 0u);
    std::uint32_t previous = 0;
    for (int y = 0; y < 32; ++y) {
        const std::uint32_t row = s.at(0, y);
        for (int x = 1; x < 10; ++x) ASSERT_EQ(s.at(x, y), row) << x << "," << y;
        EXPECT_GE(row & 0xFF, previous & 0xFF) << y;
        previous = row;
    }
    EXPECT_GT(previous & 0xFF, 200u);
}

TEST(FillTriangle, FillsTheTriangleWithoutItsRightCorner) {
    surface_t s;
    fill_triangle(s.dc, WHITE, pack_point(5, 5), pack_point(5, 15), pack_point(10, 10));
    const pixels_t painted = s.painted();
    EXPECT_EQ(painted.size(), 25u);
    for (const auto& [x, y] : painted) {
        EXPECT_GE(x, 5);
        EXPECT_LT(x, 10) << "the corner column is never filled";
        EXPECT_GE(y, 5);
        EXPECT_LE(y, 15);
        EXPECT_EQ(s.at(x, y), 0xFFFFFFu);
    }

    s.clear();
    fill_triangle(s.dc, {0.5f, 0.7f, 0.9f}, pack_point(5, 5), pack_point(5, 15),
                  pack_point(10, 10));
    EXPECT_EQ(s.painted(), painted);
    EXPECT_EQ(s.at(6, 10), rgb(127, 179, 230));
}

TEST(FillTriangle, UnpacksNegativeCoordinates) {
    surface_t s;
    fill_triangle(s.dc, WHITE, pack_point(5, 5), pack_point(5, 15), pack_point(10, 10));
    const pixels_t reference = s.painted();

    // The same triangle, 20 pixels up and left in logical coordinates.
    s.clear();
    SetViewportOrgEx(s.dc, 20, 20, nullptr);
    fill_triangle(s.dc, WHITE, pack_point(-15, -15), pack_point(-15, -5), pack_point(-10, -10));
    SetViewportOrgEx(s.dc, 0, 0, nullptr);
    EXPECT_EQ(s.painted(), reference);

    // Only partly on the surface: a triangle whose left corners lie far outside.
    s.clear();
    fill_triangle(s.dc, WHITE, pack_point(-300, -20), pack_point(-300, 60), pack_point(8, 20));
    const pixels_t partly = s.painted();
    EXPECT_FALSE(partly.empty());
    for (const auto& [x, y] : partly) EXPECT_LT(x, 8) << y;
    EXPECT_TRUE(partly.count({0, 20}));
}

TEST(FillHelpers, LeaveTheSelectedObjectsAndModesAlone) {
    surface_t s;
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    HPEN pen = CreatePen(PS_SOLID, 3, RGB(4, 5, 6));
    HGDIOBJ old_brush = SelectObject(s.dc, brush);
    HGDIOBJ old_pen = SelectObject(s.dc, pen);
    SetBkMode(s.dc, TRANSPARENT);
    SetROP2(s.dc, R2_XORPEN);

    const UINT kinds[] = {OBJ_BRUSH, OBJ_PEN, OBJ_FONT, OBJ_BITMAP, OBJ_PAL};
    HGDIOBJ before[std::size(kinds)];
    for (std::size_t i = 0; i < std::size(kinds); ++i) before[i] = GetCurrentObject(s.dc, kinds[i]);

    gradient_rect(s.dc, {1, 1, 20, 20}, BLACK, WHITE);
    fill_triangle(s.dc, WHITE, pack_point(5, 5), pack_point(5, 15), pack_point(10, 10));

    for (std::size_t i = 0; i < std::size(kinds); ++i)
        EXPECT_EQ(GetCurrentObject(s.dc, kinds[i]), before[i]) << "object kind " << kinds[i];
    EXPECT_EQ(GetBkMode(s.dc), TRANSPARENT);
    EXPECT_EQ(GetROP2(s.dc), R2_XORPEN);

    SelectObject(s.dc, old_brush);
    SelectObject(s.dc, old_pen);
    DeleteObject(brush);
    DeleteObject(pen);
}
