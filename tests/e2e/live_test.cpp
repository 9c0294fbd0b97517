// The tree follows the file system by itself: folders made, renamed and deleted by
// another program show without any input.
#include <gtest/gtest.h>

#include <string>

#include "checks.h"
#include "driver.h"

using namespace e2e;

namespace {

// Deletes a folder and whatever it came to hold.
void remove_tree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName, inner = path + L"\\" + name;
            if (name == L"." || name == L"..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(inner);
            else
                DeleteFileW(inner.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

// A folder of the test's own, gone again with the object.
struct scratch_folder_t {
    std::wstring path;
    explicit scratch_folder_t(std::wstring at) : path(std::move(at)) {
        remove_tree(path);
        CreateDirectoryW(path.c_str(), nullptr);
    }
    ~scratch_folder_t() { remove_tree(path); }
};

bool tree_rows_become(HWND tree, int rows, DWORD ms) {
    return wait_until([&] { return tree_row_count(snapshot_t(tree)) == rows; }, ms);
}

} // namespace

TEST(LiveTree, FoldersMadeRenamedOrDeletedOutsideShowWithoutInput) {
    const scratch_folder_t live(L"C:\\zlive");
    CreateDirectoryW(L"C:\\zlive\\alpha", nullptr);
    const auto folder = parse_path(L"C:\\zlive");
    const int depth = item_count(folder);
    delete_settings();
    app_t app(L"C:\\zlive");
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    HWND tree = find_panes(window).tree;
    ASSERT_TRUE(tree_rows_become(tree, 2, WAIT_MS)); // the desktop, and the folder shown
    ASSERT_TRUE(click(tree, 10 * depth + 7, 30));
    ASSERT_TRUE(tree_rows_become(tree, 3, WAIT_MS)); // alpha

    // Made outside: it shows without any input (how soon, scripts/bench tells).
    ASSERT_TRUE(CreateDirectoryW(L"C:\\zlive\\beta", nullptr));
    EXPECT_TRUE(tree_rows_become(tree, 4, 3000));

    // Pinned, then renamed outside: still there and pinned.
    ASSERT_TRUE(click(tree, client_rect(tree).right - 11, 70));
    ASSERT_TRUE(wait_until([&] { return tree_row(snapshot_t(tree), 3).background == "pinned"; }));
    // Taken in once the pin has followed the new name into the file.
    const ULONGLONG before_rename = settings_written();
    ASSERT_TRUE(MoveFileW(L"C:\\zlive\\beta", L"C:\\zlive\\gamma"));
    EXPECT_TRUE(wait_for_save(before_rename));
    EXPECT_EQ(tree_row_count(snapshot_t(tree)), 4);
    EXPECT_EQ(tree_row(snapshot_t(tree), 3).background, "pinned");

    // Deleted outside: its row goes.
    ASSERT_TRUE(RemoveDirectoryW(L"C:\\zlive\\alpha"));
    EXPECT_TRUE(tree_rows_become(tree, 3, 3000));

    // The pin followed the new name into the file.
    const settings_image_t saved = decode_settings(close_and_read(app, window));
    EXPECT_TRUE(same_folders(saved.pins, {parse_path(L"C:\\zlive\\gamma")}));
}

TEST(LiveTree, TheFolderShownDeletedOutsideTakesEveryPaneToItsParent) {
    const scratch_folder_t live(L"C:\\zlive2");
    CloseHandle(
        CreateFileW(L"C:\\zlive2\\one.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    CreateDirectoryW(L"C:\\zlive2\\inner", nullptr);
    const auto parent = parse_path(L"C:\\zlive2");
    delete_settings();
    app_t app(L"C:\\zlive2\\inner");
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    expect_browser_shows(window, parse_path(L"C:\\zlive2\\inner"));

    ASSERT_TRUE(RemoveDirectoryW(L"C:\\zlive2\\inner"));
    expect_browser_shows(window, parent);
    const settings_image_t saved = decode_settings(close_and_read(app, window));
    EXPECT_TRUE(same_folder(saved.folder, parent));
}
