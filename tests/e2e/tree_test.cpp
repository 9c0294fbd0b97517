// The folder tree as its user meets it: presses on its rows, pins that outlive the
// process, and a folder dragged out into a window of its own.
#include <gtest/gtest.h>

#include <algorithm>

#include "checks.h"
#include "driver.h"

using namespace e2e;

namespace {

// Describes the rows for a failure message: background, depth, head of each.
std::string describe_rows(HWND tree) {
    const snapshot_t s(tree);
    std::string text;
    for (int i = 0; i < tree_row_count(s); ++i) {
        const tree_row_t row = tree_row(s, i);
        text += "\n  row " + std::to_string(i) + ": " + row.background + ", depth " +
                std::to_string(row.depth) + (row.expanded ? " expanded" : "") +
                (row.solid_head ? ", pinned head" : "");
    }
    return text.empty() ? "no rows" : text;
}

// Waits until the tree shows `rows` rows and `check` holds for what it shows.
template <typename F> bool wait_for_tree(HWND tree, int rows, F check) {
    return wait_until([&] {
        const snapshot_t s(tree);
        return tree_row_count(s) == rows && check(s);
    });
}

bool row_is(const snapshot_t& s, int row, const char* background, int depth) {
    const tree_row_t look = tree_row(s, row);
    return look.background == background && look.depth == depth;
}

bool click_pin(HWND tree, int row) {
    return click(tree, client_rect(tree).right - 11, 20 * row + 10);
}

// Inside the name of a row at that depth, which begins 20 pixels right of its triangle.
int name_x(int depth) {
    return 10 * depth + 30;
}

} // namespace

TEST(Tree, GlyphListsTheDesktopsFoldersAndANamePressBrowsesThere) {
    const auto desktop_folders = child_folders({});
    ASSERT_FALSE(desktop_folders.empty());
    // A folder whose listing tells it from the desktop's, so the browser's move shows.
    const int desktop_items = folder_item_count({});
    const auto target =
        std::find_if(desktop_folders.begin(), desktop_folders.end(), [&](const item_list& f) {
            const int items = folder_item_count(f);
            return items >= 0 && items != desktop_items;
        });
    ASSERT_NE(target, desktop_folders.end());
    const int target_row = 1 + int(target - desktop_folders.begin());
    const int rows = 1 + int(desktop_folders.size());
    delete_settings();

    app_t app;
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    HWND tree = find_panes(window).tree;
    ASSERT_TRUE(tree);

    // The desktop alone, shown and not yet opened.
    EXPECT_TRUE(wait_for_tree(tree, 1, [](const snapshot_t& s) {
        const tree_row_t root = tree_row(s, 0);
        return root.background == "current" && root.depth == 0 && !root.expanded &&
               !root.solid_head;
    })) << describe_rows(tree);

    // A click on its triangle lists its folders one level down.
    ASSERT_TRUE(click(tree, 7, 10));
    EXPECT_TRUE(wait_for_tree(tree, rows, [&](const snapshot_t& s) {
        if (!tree_row(s, 0).expanded || !row_is(s, 0, "current", 0)) return false;
        for (int i = 1; i < rows; ++i)
            if (!row_is(s, i, "plain", 1) || tree_row(s, i).expanded) return false;
        return true;
    })) << describe_rows(tree);

    // A press on a name sends the browser there; the tree marks that row instead.
    ASSERT_TRUE(click(tree, name_x(1), 20 * target_row + 10));
    expect_browser_shows(window, *target);
    EXPECT_TRUE(wait_for_tree(tree, rows, [&](const snapshot_t& s) {
        return row_is(s, 0, "plain", 0) && row_is(s, target_row, "current", 1);
    })) << describe_rows(tree);

    const settings_image_t saved = decode_settings(close_and_read(app, window));
    ASSERT_TRUE(saved.valid);
    EXPECT_TRUE(same_folder(saved.folder, *target));
}

TEST(Tree, PinIsSavedAtOnceAndListedUnderCollapsedFoldersAfterARestart) {
    const auto system32 = parse_path(L"C:\\windows\\system32");
    const int depth = item_count(system32);
    ASSERT_GE(depth, 2);
    const auto subfolders = child_folders(system32);
    ASSERT_FALSE(subfolders.empty());
    const int rows = 2 + int(subfolders.size());
    delete_settings();

    {
        app_t app(L"C:\\windows\\system32");
        HWND window = app.wait_for_window();
        ASSERT_TRUE(window);
        HWND tree = find_panes(window).tree;

        // Nothing between the closed desktop and the folder shown, at its own depth.
        EXPECT_TRUE(wait_for_tree(tree, 2, [&](const snapshot_t& s) {
            return row_is(s, 0, "plain", 0) && row_is(s, 1, "current", depth);
        })) << describe_rows(tree);

        ASSERT_TRUE(click(tree, 10 * depth + 7, 30));
        ASSERT_TRUE(wait_for_tree(tree, rows, [&](const snapshot_t& s) {
            return tree_row(s, 1).expanded && row_is(s, 2, "plain", depth + 1) &&
                   !tree_row(s, 2).solid_head;
        })) << describe_rows(tree);

        const ULONGLONG before_pin = settings_written();
        ASSERT_TRUE(click_pin(tree, 2));
        EXPECT_TRUE(wait_for_tree(tree, rows, [&](const snapshot_t& s) {
            return row_is(s, 2, "pinned", depth + 1) && tree_row(s, 2).solid_head &&
                   !tree_row(s, 1).solid_head;
        })) << describe_rows(tree);

        // Ended before any other save could come: what the file holds, the press wrote.
        EXPECT_TRUE(wait_for_save(before_pin));
        app.kill();
    }
    const auto after_pin = read_settings().value_or(std::vector<std::uint8_t>{});
    const settings_image_t saved = decode_settings(after_pin);
    ASSERT_TRUE(saved.valid);
    EXPECT_TRUE(same_folder(saved.folder, system32));
    EXPECT_EQ(saved.pin_count, 1);
    ASSERT_EQ(saved.pins.size(), 1u);
    EXPECT_TRUE(same_folder(saved.pins[0], subfolders[0]));

    app_t app;
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    HWND tree = find_panes(window).tree;
    // The folder shown, closed, and the pin below it.
    EXPECT_TRUE(wait_for_tree(tree, 3, [&](const snapshot_t& s) {
        return row_is(s, 0, "plain", 0) && row_is(s, 1, "current", depth) &&
               !tree_row(s, 1).expanded && row_is(s, 2, "pinned", depth + 1) &&
               tree_row(s, 2).solid_head;
    })) << describe_rows(tree);

    // Away from its parent the pin stays, with none of the folders above it.
    ASSERT_TRUE(click(tree, name_x(0), 10));
    expect_browser_shows(window, {});
    EXPECT_TRUE(wait_for_tree(tree, 2, [&](const snapshot_t& s) {
        return row_is(s, 0, "current", 0) && row_is(s, 1, "pinned", depth + 1) &&
               tree_row(s, 1).solid_head;
    })) << describe_rows(tree);

    const settings_image_t last = decode_settings(close_and_read(app, window));
    ASSERT_TRUE(last.valid);
    EXPECT_TRUE(last.folder.empty());
    EXPECT_TRUE(same_folders(last.pins, saved.pins));
}

TEST(Tree, NameDraggedOutOpensAWindowAtThePointerOnThatFolderWithTheSamePins) {
    const auto system32 = parse_path(L"C:\\windows\\system32");
    const int depth = item_count(system32);
    const auto subfolders = child_folders(system32);
    ASSERT_FALSE(subfolders.empty());
    ASSERT_NE(folder_item_count(subfolders[0]), folder_item_count({}));
    write_settings(encode_settings(300, RECT{0, 0, 1024, 768}, {}, {system32}));

    app_t app;
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    HWND tree = find_panes(window).tree;
    ASSERT_TRUE(wait_for_tree(tree, 2, [&](const snapshot_t& s) {
        return row_is(s, 0, "current", 0) && row_is(s, 1, "pinned", depth);
    })) << describe_rows(tree);
    ASSERT_TRUE(click(tree, 10 * depth + 7, 30));
    ASSERT_TRUE(wait_for_tree(tree, 2 + int(subfolders.size()), [&](const snapshot_t& s) {
        return row_is(s, 2, "plain", depth + 1);
    })) << describe_rows(tree);

    // Pressed on the name, carried off the window, let go there.
    const POINT to{window_rect(window).right + 40, window_rect(window).top + 60};
    POINT to_in_tree = to;
    ScreenToClient(tree, &to_in_tree);
    ASSERT_TRUE(drag(tree, {name_x(depth + 1), 50}, to_in_tree));

    ASSERT_TRUE(wait_until([&] { return app.main_windows().size() == 2; }));
    const auto windows = app.main_windows();
    HWND dragged = windows[0] == window ? windows[1] : windows[0];
    ASSERT_TRUE(app.sync(dragged));
    // At the pointer, moved only as far as it takes to lie whole on the screen.
    const RECT placed = window_rect(dragged);
    EXPECT_EQ(placed.top, to.y);
    EXPECT_EQ(placed.left,
              std::min<LONG>(to.x, GetSystemMetrics(SM_CXSCREEN) - (placed.right - placed.left)));
    EXPECT_LE(placed.right, GetSystemMetrics(SM_CXSCREEN));
    expect_browser_shows(dragged, subfolders[0]);
    HWND dragged_tree = find_panes(dragged).tree;
    EXPECT_TRUE(wait_for_tree(dragged_tree, 3, [&](const snapshot_t& s) {
        return row_is(s, 0, "plain", 0) && row_is(s, 1, "pinned", depth) &&
               tree_row(s, 1).solid_head && row_is(s, 2, "current", depth + 1);
    })) << describe_rows(dragged_tree);
    // The pressed window went there too.
    expect_browser_shows(window, subfolders[0]);

    const settings_image_t saved = decode_settings(close_all_and_read(app));
    ASSERT_TRUE(saved.valid);
    EXPECT_TRUE(same_folder(saved.folder, subfolders[0]));
    EXPECT_TRUE(same_folders(saved.pins, {system32}));
}

// A file-system folder's IDs carry its write time: writing into a pinned folder must
// not lose its pin at the next start, nor drop it from the file at the next save.
TEST(Tree, PinOfAFolderWrittenIntoSinceItWasSavedIsKept) {
    const std::wstring path = L"C:\\zelvon_pinned";
    CreateDirectoryW(path.c_str(), nullptr);
    const auto pinned = parse_path(path.c_str());
    ASSERT_FALSE(pinned.empty());
    write_settings(encode_settings(300, RECT{0, 0, 1024, 768}, {}, {pinned}));
    // As a file written into it the day after would leave it.
    HANDLE folder =
        CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    FILETIME written{};
    GetFileTime(folder, nullptr, nullptr, &written);
    ULARGE_INTEGER t{{written.dwLowDateTime, written.dwHighDateTime}};
    t.QuadPart += 24ull * 3600 * 10000000;
    written = {t.LowPart, t.HighPart};
    SetFileTime(folder, nullptr, nullptr, &written);
    CloseHandle(folder);
    ASSERT_NE(parse_path(path.c_str()), pinned);

    app_t app;
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    HWND tree = find_panes(window).tree;
    EXPECT_TRUE(wait_for_tree(tree, 2, [&](const snapshot_t& s) {
        return row_is(s, 0, "current", 0) && row_is(s, 1, "pinned", item_count(pinned));
    })) << describe_rows(tree);
    const settings_image_t saved = decode_settings(close_and_read(app, window));
    EXPECT_TRUE(same_folders(saved.pins, {pinned}));
    RemoveDirectoryW(path.c_str());
}
