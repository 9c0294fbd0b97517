// Things a user meets: where the keys go after the path box, Tab at a folder with nothing
// below it, a window handed over to one that is minimised, a settings file another program
// holds for a moment.
#include <gtest/gtest.h>

#include <string>

#include "checks.h"
#include "driver.h"

using namespace e2e;

TEST(PathBox, TheKeysGoBackToThePaneTheyCameFromAndTabAtALeafTypesNoTab) {
    const auto windows = parse_path(L"C:\\windows");
    delete_settings();
    app_t app(L"C:\\windows");
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    expect_browser_shows(window, windows);
    const panes_t panes = find_panes(window);
    ASSERT_TRUE(focus_tree(panes.tree));

    // Escape: the box closes and the keys are the tree's again.
    press_keys({VK_CONTROL, 'L'});
    HWND editor = find_child(panes.address, L"Edit");
    ASSERT_TRUE(wait_until([&] { return focus_of(window) == editor; }));
    press_keys({VK_ESCAPE});
    EXPECT_TRUE(wait_until([&] { return focus_of(window) == panes.tree; })) << "after Escape";

    // Tab completes a folder with no subfolders, and only the name goes in; Enter goes there.
    press_keys({VK_CONTROL, 'L'});
    ASSERT_TRUE(wait_until([&] { return focus_of(window) == editor; }));
    type_text(L"C:\\windows\\Fon");
    ASSERT_TRUE(wait_until([&] { return window_text(editor) == L"C:\\windows\\Fon"; }));
    press_keys({VK_TAB});
    EXPECT_TRUE(wait_until([&] { return window_text(editor) == L"C:\\windows\\Fonts\\"; }))
        << "the box holds \"" << window_text(editor) << "\"";
    press_keys({VK_RETURN});
    expect_browser_shows(window, parse_path(L"C:\\windows\\Fonts"));
    EXPECT_TRUE(wait_until([&] { return focus_of(window) == panes.tree; })) << "after Enter";
    close_and_read(app, window);
}

TEST(Handover, AWindowHandedToAMinimisedOneOpensWholeBesideWhereItStood) {
    delete_settings();
    app_t app(L"C:\\windows");
    HWND first = app.wait_for_window();
    ASSERT_TRUE(first);
    const RECT normal = window_rect(first);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(first, WM_SYSCOMMAND, SC_MINIMIZE, 0, SMTO_NORMAL, WAIT_MS, &result);
    ASSERT_TRUE(wait_until([&] { return IsIconic(first) != FALSE; }));

    app_t later(L"C:\\windows\\system32");
    EXPECT_EQ(later.wait_for_exit(), std::optional<DWORD>(0));
    HWND added = nullptr;
    ASSERT_TRUE(wait_until([&] {
        for (HWND w : app.main_windows())
            if (w != first && IsWindowVisible(w)) added = w;
        return added != nullptr;
    }));
    // Placed beside its source once it is made.
    EXPECT_TRUE(wait_until([&] { return window_rect(added).top > normal.top; }))
        << "below where its source stood";
    const RECT r = window_rect(added);
    EXPECT_EQ(r.right - r.left, normal.right - normal.left) << "as wide as its source";
    EXPECT_EQ(r.bottom - r.top, normal.bottom - normal.top);
    close_all_and_read(app);
}

TEST(SecondStart, ASettingsFileAnotherProgramHoldsForAMomentIsWaitedFor) {
    delete_settings();
    write_settings(encode_settings(300, RECT{0, 0, 1024, 768}, parse_path(L"C:\\windows")));
    // Held as a scanner or a backup program holds a file it reads: not shared.
    HANDLE held =
        CreateFileW(settings_path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    app_t app;
    Sleep(1500);
    CloseHandle(held);
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window) << "the start ended at the file";
    expect_browser_shows(window, parse_path(L"C:\\windows"));
    for (HWND other : top_level_windows(app.id()))
        EXPECT_NE(class_of(other), L"err_dlg") << "a report of a failed start";
    close_and_read(app, window);
}
