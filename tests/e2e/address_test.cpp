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

DWORD selection(HWND edit) {
    DWORD_PTR range = 0;
    SendMessageTimeoutW(edit, EM_GETSEL, 0, 0, SMTO_NORMAL, WAIT_MS, &range);
    return DWORD(range);
}

// Typed on the keyboard over the editor's whole text, once the editor has the keys.
testing::AssertionResult type_over(HWND edit, const std::wstring& text) {
    if (!wait_until([&] { return focus_of(edit) == edit; }))
        return testing::AssertionFailure() << "the editor never took the keys";
    DWORD_PTR result = 0;
    SendMessageTimeoutW(edit, EM_SETSEL, 0, -1, SMTO_NORMAL, WAIT_MS, &result);
    type_text(text);
    return testing::AssertionSuccess();
}

bool same_path(const std::wstring& a, const std::wstring& b) {
    return lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

// Opens the editor by a click right of the last segment; true once it shows.
bool click_past_the_segments(HWND bar, HWND edit) {
    return click(bar, client_rect(bar).right - 5, 10) &&
           wait_until([&] { return IsWindowVisible(edit) && focus_of(edit) == edit; });
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

    ASSERT_TRUE(click(panes.address, 5, 10));
    expect_every_pane_shows(window, panes, computer);

    // The computer has no path of its own to edit; a text that names nothing stays in the
    // box to be put right, and Escape gives up.
    HWND edit = find_child(panes.address, L"EDIT");
    ASSERT_TRUE(edit);
    ASSERT_TRUE(click_past_the_segments(panes.address, edit));
    EXPECT_EQ(window_text(edit), L"");
    const std::wstring wrong = L"C:\\windoes\\no_such_folder";
    ASSERT_TRUE(type_over(edit, wrong));
    press_keys({VK_RETURN});
    // Enter leaves the text without a line break, and selects it whole to be typed over.
    EXPECT_TRUE(wait_until([&] { return selection(edit) == DWORD(MAKELONG(0, wrong.size())); }));
    EXPECT_EQ(window_text(edit), wrong);
    EXPECT_TRUE(IsWindowVisible(edit));
    press_keys({VK_ESCAPE});
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
    ASSERT_TRUE(click_past_the_segments(panes.address, edit));
    EXPECT_EQ(rect_in_parent(edit).left, 0);
    EXPECT_EQ(rect_in_parent(edit).right, client_rect(panes.address).right);
    EXPECT_PRED2(same_path, window_text(edit), L"C:\\windows");
    EXPECT_EQ(focus_of(window), edit);

    // Typing alone goes nowhere; Enter does.
    ASSERT_TRUE(type_over(edit, L"C:\\windows\\system32"));
    ASSERT_TRUE(wait_until([&] { return window_text(edit) == L"C:\\windows\\system32"; }));
    EXPECT_TRUE(IsWindowVisible(edit));
    EXPECT_EQ(browser_item_count(panes.browser), folder_item_count(windows));
    press_keys({VK_RETURN});
    EXPECT_TRUE(wait_until([&] { return !IsWindowVisible(edit); }));
    expect_every_pane_shows(window, panes, system32);

    const settings_image_t saved = decode_settings(close_and_read(app, window));
    ASSERT_TRUE(saved.valid);
    EXPECT_TRUE(same_folder(saved.folder, system32));
}
