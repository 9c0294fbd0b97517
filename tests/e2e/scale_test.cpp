// zelvon on a screen at 150 %: every length of the 96-DPI design scaled, and clicks land
// where the scaled shapes are drawn. Run in a prefix whose server started at 144 DPI.
#include <gtest/gtest.h>

#include "checks.h"
#include "driver.h"

using namespace e2e;

namespace {

int px(int length) {
    return (length * 144 + 48) / 96;
}

bool black(const snapshot_t& s, int x, int y) {
    return s.at(x, y) == RGB(0, 0, 0);
}

// How many lines of the bar's first segment hold ink: its text's height.
int text_height(HWND bar) {
    const snapshot_t s(bar);
    int lines = 0;
    for (int y = 0; y < s.height(); ++y) {
        bool ink = false;
        for (int x = 0; x < 40 && !ink; ++x) ink = s.at(x, y) != RGB(255, 255, 255);
        lines += ink;
    }
    return lines;
}

} // namespace

TEST(Scale, At150PercentEveryLengthIsScaledAndClicksLandOnTheScaledShapes) {
    const auto windows = parse_path(L"C:\\windows");
    const int depth = item_count(windows);
    // This case runs in a prefix of its own whose screen is at 144 DPI.
    delete_settings();
    app_t app(L"C:\\windows");
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    expect_browser_shows(window, windows);
    const panes_t panes = find_panes(window);

    // The bar 30 high, the splitter 6 wide, after a tree of 300 units.
    EXPECT_EQ(rect_in_parent(panes.address).bottom, 30);
    EXPECT_EQ(rect_in_parent(panes.tree).right, 450);
    EXPECT_EQ(rect_in_parent(panes.address).left, 456);
    // Taller than the whole cell of the font at 96 DPI.
    EXPECT_GT(text_height(panes.address), 18) << "text drawn larger";

    // Rows 30 apart: the pin marks' stems below their heads at 30 k + 24; where rows of 20
    // would have the second row's stem, the second row's hollow head.
    const int pin = client_rect(panes.tree).right - px(11);
    // (Once the tree has settled: under Wine 10 a first look now and then finds the second
    // row's head filled.)
    EXPECT_TRUE(wait_until([&] {
        const snapshot_t s(panes.tree);
        return black(s, pin, 24) && black(s, pin, 54) && !black(s, pin, 38);
    }));
    // A click on the scaled glyph of the folder shown opens it; one on the scaled pin
    // mark of the desktop's row pins it.
    ASSERT_TRUE(click(panes.tree, px(10) * depth + px(7), 30 + 15));
    EXPECT_TRUE(wait_until([&] { return black(snapshot_t(panes.tree), pin, 84); }))
        << "a third row";
    ASSERT_TRUE(click(panes.tree, pin, 15));
    EXPECT_TRUE(wait_until([&] {
        const snapshot_t s(panes.tree);
        return black(s, pin - px(3), px(8)); // the head filled in
    }));
    const settings_image_t saved = decode_settings(close_and_read(app, window));
    EXPECT_EQ(saved.split, 300) << "the split in 96-DPI units";
    EXPECT_EQ(saved.pins.size(), 1u);
}
