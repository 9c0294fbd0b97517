// Main windows follow the system's theme while they run, and keep their list's view: in the
// file, across navigations, and in the windows opened from them.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <vector>

#include "app/process.h"
#include "tests/support/dib.h"
#include "tests/support/main_window_fixture.h"
#include "ui/address/address_view.h"
#include "ui/tree/tree_view.h"

namespace {

theme_t test_theme;
theme_t read_test_theme() {
    return test_theme;
}

HWND list_of(const main_window_t* window) {
    HWND view = nullptr;
    if (!window->ebe->view || FAILED(window->ebe->view->GetWindow(&view))) return nullptr;
    return FindWindowExW(view, nullptr, WC_LISTVIEWW, nullptr);
}

// The grounds of a window's parts, as they show.
struct look_t {
    std::uint32_t tree, bar, splitter, list;
    bool operator==(const look_t&) const = default;
};

look_t look_of(const main_window_t* window) {
    RECT tree{}, bar{}, list{};
    GetClientRect(window->tree->handle, &tree);
    GetClientRect(window->address->handle, &bar);
    const HWND list_window = list_of(window);
    GetClientRect(list_window, &list);
    return {shown_pixel(window->tree->handle, 50, tree.bottom - 5),
            shown_pixel(window->address->handle, bar.right - 5, 10),
            shown_pixel(window->handle, window->split_pixels() + 1, 300),
            shown_pixel(list_window, list.right - 5, list.bottom - 5)};
}

UINT mode_of(const main_window_t* window) {
    Microsoft::WRL::ComPtr<IFolderView> view;
    UINT mode = 0;
    if (window->ebe->view && SUCCEEDED(window->ebe->view.As(&view)))
        view->GetCurrentViewMode(&mode);
    return mode;
}

// What the user does with the list's menu.
void set_mode(const main_window_t* window, UINT mode) {
    Microsoft::WRL::ComPtr<IFolderView> view;
    ASSERT_TRUE(window->ebe->view && SUCCEEDED(window->ebe->view.As(&view)));
    ASSERT_EQ(view->SetCurrentViewMode(mode), S_OK);
}

class MainWindowLookTest : public main_window_fixture_t {
protected:
    void SetUp() override {
        main_window_fixture_t::SetUp();
        test_theme = {};
        g_read_theme = read_test_theme;
    }
    void TearDown() override {
        main_window_fixture_t::TearDown();
        g_read_theme = read_theme;
    }

    // What the system says to every top-level window when apps switch between light and
    // dark, or (`colours`) when its colours change, high contrast among them.
    static void switch_to(const theme_t& theme, bool colours = false) {
        test_theme = theme;
        for (main_window_t* window : g_session.main_windows)
            if (colours)
                SendMessageW(window->handle, WM_SYSCOLORCHANGE, 0, 0);
            else
                SendMessageW(window->handle, WM_SETTINGCHANGE, 0,
                             reinterpret_cast<LPARAM>(L"ImmersiveColorSet"));
    }
};

TEST_F(MainWindowLookTest, EveryWindowFollowsTheThemeWhileRunningAndLightIsExactlyAsItWas) {
    main_window_t* first = open();
    main_window_t* second = open();
    const look_t light = look_of(first);
    EXPECT_EQ(look_of(second), light);

    switch_to({theme_kind_t::dark, {}});
    for (const main_window_t* window : {first, second}) {
        const look_t dark = look_of(window);
        EXPECT_LT(luminance(dark.tree), 64);
        EXPECT_LT(luminance(dark.bar), 64);
        EXPECT_LT(luminance(dark.splitter), 96);
        EXPECT_LT(luminance(dark.list), 64) << "the list asked to follow";
        // The desktop's row is the current one: its glyph is light on it.
        EXPECT_GT(luminance(shown_pixel(window->tree->handle, 6, 12)), 192);
    }
    // The path box: past its text, its ground is the bar's.
    first->address->open_editor();
    RECT box{};
    GetClientRect(first->address->edit, &box);
    EXPECT_EQ(shown_pixel(first->address->edit, box.right - 5, box.bottom / 2), look_of(first).bar);
    first->address->close_editor();

    switch_to({theme_kind_t::light, {}});
    EXPECT_EQ(look_of(first), light);
    EXPECT_EQ(look_of(second), light);

    // High contrast comes with the system's colours changed.
    const system_colours_t c{RGB(16, 32, 48),  RGB(240, 224, 208), RGB(32, 128, 240),
                             RGB(255, 255, 0), RGB(64, 80, 96),    RGB(128, 128, 0)};
    switch_to({theme_kind_t::high_contrast, c}, true);
    const look_t contrast = look_of(first);
    EXPECT_EQ(contrast.tree, rgb_of(c.window));
    EXPECT_EQ(contrast.bar, rgb_of(c.window));
    EXPECT_TRUE(contrast.splitter == rgb_of(c.window_text) ||
                contrast.splitter == rgb_of(c.button_face))
        << std::hex << contrast.splitter;
}

// A window's view once its browser has shown a folder after `before`.
bool view_changes(const main_window_t* window, const IShellView* before) {
    return pump_until([&] { return window->ebe->view && window->ebe->view.Get() != before; });
}

TEST_F(MainWindowLookTest, TheListsViewGoesWithTheWindowToNewFoldersNewWindowsAndTheNextStart) {
    main_window_t* first = open();
    ASSERT_TRUE(pump_until([&] { return first->ebe->view != nullptr; }));
    set_mode(first, FVM_DETAILS);
    // Another folder: a view made anew, which starts as the user left the last one.
    const IShellView* before = first->ebe->view.Get();
    ITEMIDLIST* windows = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_WINDOWS, &windows), S_OK);
    const task_idlist owned(windows);
    first->go_to(windows);
    ASSERT_TRUE(view_changes(first, before));
    EXPECT_EQ(mode_of(first), UINT(FVM_DETAILS));

    // A window opened from it (Ctrl+N, a hand-over, the tree's menu).
    main_window_t* second = open_cascaded(first, windows);
    ASSERT_TRUE(view_changes(second, nullptr));
    EXPECT_EQ(mode_of(second), UINT(FVM_DETAILS));
    set_mode(second, FVM_LIST);
    // A folder dragged out of the first window's tree.
    open_window_at(first, POINT{200, 200});
    main_window_t* dragged = g_session.main_windows.back();
    ASSERT_TRUE(view_changes(dragged, nullptr));
    EXPECT_EQ(mode_of(dragged), UINT(FVM_DETAILS));
    close(dragged);

    first->save_settings();
    g_session.settle();
    const bytes_t file = settings_bytes();

    // The next start: every window with its own view.
    close(second);
    close(first);
    ASSERT_TRUE(g_session.main_windows.empty());
    take_quits();
    reset_settings(file);
    ASSERT_TRUE(restore_every_window());
    ASSERT_EQ(g_session.main_windows.size(), 2u);
    for (const main_window_t* window : g_session.main_windows)
        ASSERT_TRUE(view_changes(window, nullptr));
    EXPECT_EQ(mode_of(g_session.main_windows[0]), UINT(FVM_DETAILS));
    EXPECT_EQ(mode_of(g_session.main_windows[1]), UINT(FVM_LIST));

    // A start of one window, from the file's first window.
    while (!g_session.main_windows.empty()) close(g_session.main_windows.back());
    take_quits();
    reset_settings(file);
    main_window_t* again = open();
    ASSERT_TRUE(view_changes(again, nullptr));
    EXPECT_EQ(mode_of(again), UINT(FVM_DETAILS));
}

} // namespace
