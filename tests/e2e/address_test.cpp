// The address bar as its user meets it: a segment per item of the folder shown, clicks
// that browse every pane, and the editor for a typed path.
#include <gtest/gtest.h>

#include <string>

#include "checks.h"
#include "driver.h"

using namespace e2e;

namespace {

// Waits until the bar shows as many arrowheads as the folder has items.
void expect_segments_for(HWND bar, const item_list& folder) {
    const int expected = item_count(folder);
    wait_until([&] { return arrowhead_count(snapshot_t(bar)) == expected; });
    EXPECT_EQ(arrowhead_count(snapshot_t(bar)), expected);
}

// Waits until the tree lists the closed desktop and the folder shown below it, at the
// folder's depth, and nothing else.
void expect_tree_marks(HWND tree, const item_list& folder) {
    const int depth = item_count(folder);
    auto marked = [&] {
        const snapshot_t s(tree);
        const tree_row_t root = tree_row(s, 0), current = tree_row(s, 1);
        return tree_row_count(s) == 2 && root.background == "plain" && root.depth == 0 &&
               current.background == "current" && current.depth == depth;
    };
    wait_until(marked);
    EXPECT_TRUE(marked()) << "the current folder's row at depth " << depth;
}

// The browser, the bar and the tree all show the folder.
void expect_every_pane_shows(HWND window, const panes_t& panes, const item_list& folder) {
    expect_browser_shows(window, folder);
    expect_segments_for(panes.address, folder);
    expect_tree_marks(panes.tree, folder);
}

// Keys as the keyboard delivers them, through the process's message queue: the text
// replaces the editor's, and a line break stands for Enter.
void type(HWND edit, const std::wstring& text) {
    PostMessageW(edit, EM_SETSEL, 0, -1);
    for (wchar_t c : text) PostMessageW(edit, WM_CHAR, c, 1);
}

bool same_path(const std::wstring& a, const std::wstring& b) {
    return lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

// Opens the editor by a click right of the last segment.
void click_past_the_segments(HWND bar) {
    send_click(bar, client_rect(bar).right - 5, 10);
}

} // namespace

TEST(AddressBar, FirstSegmentTakesEveryPaneToTheComputerWhereTheEditorOpensEmpty) {
    const auto windows = parse_path(L"C:\\windows");
    const auto computer = computer_folder();
    ASSERT_EQ(item_count(computer), 1);
    ASSERT_GE(item_count(windows), 2);
    ASSERT_NE(folder_item_count(computer), folder_item_count(windows));
    delete_settings();

    app_t app(L"C:\\windows");
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    const panes_t panes = find_panes(window);
    expect_every_pane_shows(window, panes, windows);

    send_click(panes.address, 5, 10);
    expect_every_pane_shows(window, panes, computer);

    // The computer has no path of its own to edit; a text that names nothing stays in the
    // box to be put right, and Escape gives up.
    HWND edit = find_child(panes.address, L"EDIT");
    ASSERT_TRUE(edit);
    click_past_the_segments(panes.address);
    EXPECT_TRUE(IsWindowVisible(edit));
    EXPECT_EQ(window_text(edit), L"");
    type(edit, L"C:\\windoes\\no_such_folder\r");
    // The line break arrives last; what it leaves is the text without it.
    EXPECT_TRUE(wait_until([&] { return window_text(edit) == L"C:\\windoes\\no_such_folder"; }));
    EXPECT_TRUE(IsWindowVisible(edit));
    PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_TRUE(wait_until([&] { return !IsWindowVisible(edit); }));
    ASSERT_TRUE(app.sync(window));
    EXPECT_EQ(browser_item_count(panes.browser), folder_item_count(computer));
    expect_segments_for(panes.address, computer);
    expect_tree_marks(panes.tree, computer);
    EXPECT_EQ(app.main_windows().size(), 1u);

    const settings_image_t saved = decode_settings(close_and_read(app, window));
    ASSERT_TRUE(saved.valid);
    EXPECT_TRUE(same_folder(saved.folder, computer));
}

TEST(AddressBar, EditorHoldsThePathAndEnterTakesEveryPaneToTheTypedFolder) {
    const auto windows = parse_path(L"C:\\windows");
    const auto system32 = parse_path(L"C:\\windows\\system32");
    ASSERT_NE(folder_item_count(windows), folder_item_count(system32));
    delete_settings();

    app_t app(L"C:\\windows");
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    const panes_t panes = find_panes(window);
    HWND edit = find_child(panes.address, L"EDIT");
    ASSERT_TRUE(edit);
    expect_segments_for(panes.address, windows);
    EXPECT_FALSE(IsWindowVisible(edit));

    // Covering the bar, with the folder's path, ready for keys.
    click_past_the_segments(panes.address);
    EXPECT_TRUE(IsWindowVisible(edit));
    EXPECT_EQ(rect_in_parent(edit).left, 0);
    EXPECT_EQ(rect_in_parent(edit).right, client_rect(panes.address).right);
    EXPECT_PRED2(same_path, window_text(edit), L"C:\\windows");
    EXPECT_EQ(focus_of(window), edit);

    // Typing alone goes nowhere; Enter does.
    type(edit, L"C:\\windows\\system32");
    ASSERT_TRUE(wait_until([&] { return window_text(edit) == L"C:\\windows\\system32"; }));
    EXPECT_TRUE(IsWindowVisible(edit));
    EXPECT_EQ(browser_item_count(panes.browser), folder_item_count(windows));
    PostMessageW(edit, WM_CHAR, L'\r', 1);
    EXPECT_TRUE(wait_until([&] { return !IsWindowVisible(edit); }));
    expect_every_pane_shows(window, panes, system32);

    const settings_image_t saved = decode_settings(close_and_read(app, window));
    ASSERT_TRUE(saved.valid);
    EXPECT_TRUE(same_folder(saved.folder, system32));
}
