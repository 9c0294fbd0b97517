#pragma once
// Checks that several end-to-end cases share: what the browser shows, and closing a
// process the way its user does.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <vector>

#include "driver.h"

inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline void PrintTo(const RECT& r, std::ostream* out) {
    *out << "(" << r.left << ", " << r.top << ")-(" << r.right << ", " << r.bottom << ")";
}

namespace e2e {

constexpr UINT WM_NEW_WINDOW = 0x800A;

// Whether the panes stand beside a bar at `bar`: what the hand dragging it watches for.
inline std::function<bool()> beside(HWND window, int bar) {
    return [window, bar] {
        const panes_t panes = find_panes(window);
        return rect_in_parent(panes.tree).right == bar &&
               rect_in_parent(panes.browser).left == bar + 4;
    };
}

// Somewhere in the tree that is no row: the focus goes there and nothing else happens.
inline bool focus_tree(HWND tree) {
    return click(tree, 60, client_rect(tree).bottom - 4) &&
           wait_until([&] { return focus_of(tree) == tree; });
}

// Folders are told apart by the names they parse from, not by their item IDs, which
// carry the folder's times and so change whenever something is written into it.
inline testing::AssertionResult same_folder(const item_list& actual, const item_list& expected) {
    const std::wstring a = parsing_name(actual), e = parsing_name(expected);
    if (!e.empty() && a == e) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "the folder is \"" << a << "\", not \"" << e << "\"";
}

inline testing::AssertionResult same_folders(const std::vector<item_list>& actual,
                                             const std::vector<item_list>& expected) {
    if (actual.size() != expected.size())
        return testing::AssertionFailure() << actual.size() << " folders, not " << expected.size();
    for (std::size_t i = 0; i < actual.size(); ++i)
        if (auto same = same_folder(actual[i], expected[i]); !same) return same;
    return testing::AssertionSuccess();
}

// The browser lists as many items as the folder holds (the desktop for none); the
// folders the cases tell apart hold different numbers of items.
inline void expect_browser_shows(HWND window, const item_list& folder) {
    const int expected = folder_item_count(folder);
    ASSERT_GE(expected, 0);
    HWND browser = find_panes(window).browser;
    wait_until([&] { return browser_item_count(browser) == expected; });
    EXPECT_EQ(browser_item_count(browser), expected);
}

// The file holds exactly `state` (the window, its folder and the pins), followed by
// whatever zelvon keeps where older readers never look.
inline testing::AssertionResult holds_state(const std::vector<std::uint8_t>& file,
                                            const std::vector<std::uint8_t>& state) {
    if (file.size() >= state.size() && std::equal(state.begin(), state.end(), file.begin()))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "the file does not begin with the state expected";
}

// Closes the window and returns what the process saved, after checking it ended well.
inline std::vector<std::uint8_t> close_and_read(app_t& app, HWND window) {
    app.close(window);
    EXPECT_EQ(app.wait_for_exit(), std::optional<DWORD>(0));
    return read_settings().value_or(std::vector<std::uint8_t>{});
}

// Ends the process as the system does at log-off, its windows open (they are told the
// session ends, then the process is ended), and returns what it saved: every window stays
// in the file.
inline std::vector<std::uint8_t> end_session_and_read(app_t& app) {
    for (HWND window : app.main_windows()) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, WAIT_MS,
                            &result);
        SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, WAIT_MS,
                            &result);
    }
    app.kill();
    return read_settings().value_or(std::vector<std::uint8_t>{});
}

// Closes every window of the process, which then ends, and returns what it saved.
inline std::vector<std::uint8_t> close_all_and_read(app_t& app) {
    for (HWND window : app.main_windows()) app.close(window);
    EXPECT_EQ(app.wait_for_exit(), std::optional<DWORD>(0));
    return read_settings().value_or(std::vector<std::uint8_t>{});
}

} // namespace e2e
