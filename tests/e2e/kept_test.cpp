// What a user set up comes back whatever happened meanwhile: a window minimised or
// maximised when it closed, a pin made in another window, a start that collided with
// another, a report closed any way.
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "checks.h"
#include "driver.h"

using namespace e2e;

namespace {

void system_command(HWND window, WPARAM command) {
    PostMessageW(window, WM_SYSCOMMAND, command, 0);
}

} // namespace

TEST(Placement, AWindowClosedMinimisedOrMaximisedComesBackAsItWasShown) {
    delete_settings();
    RECT placed{};
    {
        app_t app;
        HWND window = app.wait_for_window();
        ASSERT_TRUE(window);
        SetWindowPos(window, nullptr, 60, 50, 900, 700, SWP_NOZORDER | SWP_NOACTIVATE);
        placed = window_rect(window);
        system_command(window, SC_MINIMIZE);
        ASSERT_TRUE(wait_until([&] { return IsIconic(window) != FALSE; }));
        const settings_image_t saved = decode_settings(close_and_read(app, window));
        EXPECT_EQ(saved.rect, placed) << "not the minimised window's strip";
    }
    {
        app_t app;
        HWND window = app.wait_for_window();
        ASSERT_TRUE(window);
        EXPECT_FALSE(IsIconic(window));
        EXPECT_EQ(window_rect(window), placed);
        system_command(window, SC_MAXIMIZE);
        ASSERT_TRUE(wait_until([&] { return IsZoomed(window) != FALSE; }));
        EXPECT_EQ(decode_settings(close_and_read(app, window)).rect, placed);
    }
    app_t app;
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    EXPECT_TRUE(IsZoomed(window));
    system_command(window, SC_RESTORE);
    // Wine 10 may report the window restored a moment before it has its normal size.
    wait_until([&] { return !IsZoomed(window) && window_rect(window) == placed; });
    EXPECT_FALSE(IsZoomed(window));
    EXPECT_EQ(window_rect(window), placed);
    close_and_read(app, window);
}

TEST(Placement, ARectangleOnNoScreenComesWholeOntoTheScreen) {
    write_settings(encode_settings(250, RECT{5000, 4000, 5800, 4600}, {}));
    app_t app;
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    const RECT r = window_rect(window);
    EXPECT_EQ(r.right - r.left, 800);
    EXPECT_EQ(r.bottom - r.top, 600);
    EXPECT_GE(r.left, 0);
    EXPECT_GE(r.top, 0);
    EXPECT_LE(r.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_LE(r.bottom, GetSystemMetrics(SM_CYSCREEN));
    close_and_read(app, window);
}

TEST(Pins, APinMadeInOneWindowShowsInTheOtherAndOutlivesItsSaves) {
    const auto system32 = parse_path(L"C:\\windows\\system32");
    const auto subfolders = child_folders(system32);
    ASSERT_FALSE(subfolders.empty());
    const int depth = item_count(system32);
    delete_settings();
    app_t app(L"C:\\windows\\system32");
    HWND a = app.wait_for_window();
    ASSERT_TRUE(a);
    app_t later(L"C:\\windows");
    ASSERT_EQ(later.wait_for_exit(), std::optional<DWORD>(0));
    ASSERT_TRUE(wait_until([&] { return app.main_windows().size() == 2; }));
    HWND b = app.main_windows()[0] == a ? app.main_windows()[1] : app.main_windows()[0];
    ASSERT_TRUE(app.sync(b));

    // In A: open the folder shown (row 1) and pin its first subfolder (row 2).
    HWND tree_a = find_panes(a).tree;
    ASSERT_TRUE(click(tree_a, 10 * depth + 7, 30));
    // The children are listed off the window's thread: pin only once they show.
    ASSERT_TRUE(wait_until([&] {
        const snapshot_t s(tree_a);
        return tree_row_count(s) > 2 && tree_row(s, 2).depth == depth + 1;
    }));
    ASSERT_TRUE(click(tree_a, client_rect(tree_a).right - 11, 50));
    // Shown once the press has been dealt with, and so saved.
    ASSERT_TRUE(wait_until([&] { return tree_row(snapshot_t(tree_a), 2).background == "pinned"; }));

    // B shows it at once, and a navigation in B keeps it in the file.
    HWND tree_b = find_panes(b).tree;
    // A new window is offset from its source, and the click raised A over it.
    SetWindowPos(b, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_TRUE(wait_until([&] {
        const snapshot_t s(tree_b);
        for (int row = 0; row < tree_row_count(s); ++row)
            if (tree_row(s, row).background == "pinned" && tree_row(s, row).depth == depth + 1)
                return true;
        return false;
    }));
    ASSERT_TRUE(click(tree_b, 30, 10)); // B's desktop row: a navigation, and a save
    expect_browser_shows(b, {});
    // Ended with both open, the file is B's last save.
    const settings_image_t saved = decode_settings(end_session_and_read(app));
    ASSERT_TRUE(saved.valid);
    EXPECT_TRUE(saved.folder.empty()) << "B's save";
    EXPECT_TRUE(same_folders(saved.pins, {subfolders[0]}));
}

TEST(SecondStart, TwoStartsThatFindTheFileHeldByEachOtherEndInOneProcess) {
    delete_settings();
    // Held as a starting zelvon holds it before its window shows: each start finds it
    // held and the other start running.
    HANDLE held = CreateFileW(settings_path().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_ALWAYS, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    app_t a, b;
    Sleep(1500);
    CloseHandle(held);

    ASSERT_TRUE(wait_until([&] { return !a.running() || !b.running(); }, 20000));
    app_t& survivor = a.running() ? a : b;
    app_t& handed = a.running() ? b : a;
    EXPECT_EQ(handed.wait_for_exit(0), std::optional<DWORD>(0));
    EXPECT_TRUE(wait_until([&] { return survivor.main_windows().size() == 2; }));
    for (HWND window : top_level_windows(survivor.id()))
        EXPECT_NE(class_of(window), L"err_dlg") << "a report of a failed start";
    close_all_and_read(survivor);
}

TEST(SecondStart, ARunningCopyThatDoesNotAnswerIsReportedAndTheStartEnds) {
    delete_settings();
    // A window that looks like a running zelvon's, on a thread that never reads its queue.
    HWND hung = nullptr;
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread owner([&] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"main_window";
        RegisterClassW(&wc);
        hung = CreateWindowExW(0, L"main_window", L"zelvon", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                               nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ShowWindow(hung, SW_SHOWNOACTIVATE); // a running one's windows are shown
        WaitForSingleObject(release, INFINITE);
        DestroyWindow(hung);
    });
    ASSERT_TRUE(wait_until([&] { return hung != nullptr; }));

    app_t start;
    HWND box = nullptr;
    EXPECT_TRUE(
        wait_until([&] { return (box = shown_window(start.id(), L"#32770")) != nullptr; }, 20000));
    if (box) PostMessageW(box, WM_COMMAND, IDOK, 0);
    const auto code = start.wait_for_exit();
    ASSERT_TRUE(code);
    EXPECT_NE(*code, 0u);
    SetEvent(release);
    owner.join();
    CloseHandle(release);
}
