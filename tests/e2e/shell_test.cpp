// The tree's folders have their shell menu, with the tree's own items on top.
#include <gtest/gtest.h>

#include "checks.h"
#include "driver.h"

using namespace e2e;

namespace {

// The pop-up menu the process shows, null while none shows.
HWND shown_menu(const app_t& app) {
    return shown_window(app.id(), L"#32768");
}

// Where the item that Down lit begins, from the menu's pixels: -1 while none is lit. A
// hand presses Enter only once it sees the right one lit: keys pressed before the menu
// takes them are lost.
int lit_top(HWND menu) {
    const snapshot_t shot(menu);
    const COLORREF lit[] = {GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_MENUHILIGHT)};
    for (int y = 0; y < shot.height(); ++y)
        if (const COLORREF c = shot.at(shot.width() / 2, y); c == lit[0] || c == lit[1]) return y;
    return -1;
}

// Down, each time seeing the light move down, until the item `downs` presses reach; then
// Enter.
bool choose(HWND menu, int downs) {
    for (int i = 0, was = -1; i < downs; ++i) {
        // A Down pressed as the menu comes up may reach the window under it instead: a hand
        // that sees no light move presses again.
        bool moved = false;
        for (int tries = 0; tries < 3 && !moved; ++tries) {
            press_keys({VK_DOWN});
            moved = wait_until([&] { return lit_top(menu) > was; }, 1500);
        }
        if (!moved) return false;
        was = lit_top(menu);
    }
    press_keys({VK_RETURN});
    return true;
}

} // namespace

TEST(ShellMenu, ARowsMenuHoldsTheFoldersVerbsAndOpensAWindowOnItOrPinsIt) {
    const auto windows = parse_path(L"C:\\windows");
    const int depth = item_count(windows);
    delete_settings();
    app_t app(L"C:\\windows");
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    expect_browser_shows(window, windows);
    HWND tree = find_panes(window).tree;
    const int name_x = 10 * depth + 40;

    ASSERT_TRUE(right_click(tree, name_x, 30));
    HWND menu = nullptr;
    ASSERT_TRUE(wait_until([&] { return (menu = shown_menu(app)) != nullptr; }));
    // The folder's own verbs below the tree's two items: far more than two rows.
    const RECT r = window_rect(menu);
    EXPECT_GT(r.bottom - r.top, 6 * GetSystemMetrics(SM_CYMENU));
    ASSERT_TRUE(choose(menu, 1)); // "Open in new window"
    ASSERT_TRUE(wait_until([&] { return app.main_windows().size() == 2; }));
    // Gone before the next is looked for: keys pressed at a menu that is closing are lost.
    ASSERT_TRUE(wait_until([&] { return shown_menu(app) == nullptr; }));
    HWND opened = app.main_windows()[0] == window ? app.main_windows()[1] : app.main_windows()[0];
    expect_browser_shows(opened, windows);
    EXPECT_GT(window_rect(opened).top, window_rect(window).top) << "cascaded from its source";

    // On, in the new window: it lies over the first one's tree, offset from it.
    // (Raised: the menu's owner may take the activation back as the menu closes.)
    tree = find_panes(opened).tree;
    SetWindowPos(opened, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ASSERT_TRUE(wait_until([&] {
        return WindowFromPoint(screen_point(tree, name_x, 30)) == tree &&
               tree_row(snapshot_t(tree), 1).depth == depth;
    }));
    ASSERT_TRUE(right_click(tree, name_x, 30));
    ASSERT_TRUE(wait_until([&] { return (menu = shown_menu(app)) != nullptr; }));
    ASSERT_TRUE(choose(menu, 2)); // "Pin"
    EXPECT_TRUE(wait_until([&] { return tree_row(snapshot_t(tree), 1).solid_head; }));

    const settings_image_t saved = decode_settings(close_all_and_read(app));
    EXPECT_TRUE(same_folders(saved.pins, {windows}));
}
