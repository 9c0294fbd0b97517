// zelvon from the keyboard, with real key presses: history, the path box, new windows
// and the tree.
#include <gtest/gtest.h>

#include <string>

#include "checks.h"
#include "driver.h"

using namespace e2e;

namespace {

bool bar_shows(HWND bar, int segments) {
    return wait_until([&] { return arrowhead_count(snapshot_t(bar)) == segments; });
}

std::wstring last_name(const item_list& folder) {
    const std::wstring path = parsing_name(folder);
    return path.substr(path.rfind(L'\\') + 1);
}

} // namespace

TEST(Keyboard, HistoryParentAndThePathBoxTakeEveryPaneWhereTheKeysSay) {
    const auto windows = parse_path(L"C:\\windows");
    const auto system32 = parse_path(L"C:\\windows\\system32");
    delete_settings();
    app_t app(L"C:\\windows");
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    expect_browser_shows(window, windows);
    const panes_t panes = find_panes(window);
    const int deep = item_count(system32);
    ASSERT_TRUE(focus_tree(panes.tree));

    press_keys({VK_CONTROL, 'L'});
    type_text(L"C:\\windows\\system32");
    press_keys({VK_RETURN});
    expect_browser_shows(window, system32);
    EXPECT_TRUE(bar_shows(panes.address, deep));

    press_keys({VK_MENU, VK_LEFT});
    expect_browser_shows(window, windows);
    EXPECT_TRUE(bar_shows(panes.address, deep - 1));
    press_keys({VK_MENU, VK_RIGHT});
    expect_browser_shows(window, system32);
    press_keys({VK_MENU, VK_UP});
    expect_browser_shows(window, windows);

    // Escape closes the box and leaves the bar as it was.
    press_keys({VK_CONTROL, 'L'});
    HWND editor = find_child(panes.address, L"Edit");
    ASSERT_TRUE(wait_until([&] { return IsWindowVisible(editor) != FALSE; }));
    type_text(L"C:\\nowhere at all");
    press_keys({VK_ESCAPE});
    EXPECT_TRUE(wait_until([&] { return !IsWindowVisible(editor); }));
    EXPECT_TRUE(bar_shows(panes.address, deep - 1));
    expect_browser_shows(window, windows);

    const settings_image_t saved = decode_settings(close_and_read(app, window));
    EXPECT_TRUE(same_folder(saved.folder, windows));
}

TEST(Keyboard, CtrlNOpensASecondWindowOnTheSameFolderAndCtrlWClosesIt) {
    const auto windows = parse_path(L"C:\\windows");
    delete_settings();
    app_t app(L"C:\\windows");
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    expect_browser_shows(window, windows);
    ASSERT_TRUE(focus_tree(find_panes(window).tree));

    press_keys({VK_CONTROL, 'N'});
    ASSERT_TRUE(wait_until([&] { return app.main_windows().size() == 2; }));
    HWND copy = app.main_windows()[0] == window ? app.main_windows()[1] : app.main_windows()[0];
    expect_browser_shows(copy, windows);

    ASSERT_TRUE(focus_tree(find_panes(copy).tree));
    press_keys({VK_CONTROL, 'W'});
    EXPECT_TRUE(wait_until([&] { return app.main_windows().size() == 1; }));
    EXPECT_TRUE(IsWindow(window));
    close_and_read(app, window);
}

TEST(Keyboard, TheTreeIsDrivenByArrowsEnterTypedNamesAndThePinKey) {
    const auto system32 = parse_path(L"C:\\windows\\system32");
    const auto subfolders = child_folders(system32);
    ASSERT_GE(subfolders.size(), 2u);
    // A folder whose name begins no other's, to be found by typing it.
    std::size_t sought = subfolders.size();
    for (std::size_t k = subfolders.size(); k-- > 1 && sought == subfolders.size();) {
        const std::wstring name = last_name(subfolders[k]);
        bool prefix = false;
        for (const auto& other : subfolders)
            prefix =
                prefix || (other != subfolders[k] &&
                           _wcsnicmp(last_name(other).c_str(), name.c_str(), name.size()) == 0);
        if (!prefix) sought = k;
    }
    ASSERT_LT(sought, subfolders.size());
    delete_settings();
    app_t app(L"C:\\windows\\system32");
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    expect_browser_shows(window, system32);
    ASSERT_TRUE(focus_tree(find_panes(window).tree));

    // The focus row starts on the folder shown: open it, go down to its first child.
    press_keys({VK_RIGHT});
    press_keys({VK_DOWN});
    press_keys({VK_RETURN});
    expect_browser_shows(window, subfolders[0]);

    // Back up to the parent, whose open listing shows again; the keys stayed in the tree.
    press_keys({VK_MENU, VK_UP});
    expect_browser_shows(window, system32);
    type_text(last_name(subfolders[sought]));
    press_keys({VK_CONTROL, 'P'});
    press_keys({VK_RETURN});
    expect_browser_shows(window, subfolders[sought]);

    const settings_image_t saved = decode_settings(close_and_read(app, window));
    EXPECT_TRUE(same_folder(saved.folder, subfolders[sought]));
    EXPECT_TRUE(same_folders(saved.pins, {subfolders[sought]}));
}
