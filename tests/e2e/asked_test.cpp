// Where the user asked to go: a file's folder, the nearest folder still there, a path
// relative to where zelvon was started.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checks.h"
#include "driver.h"

using namespace e2e;

namespace {

void make_file(const wchar_t* path) {
    CloseHandle(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}

// C:\zask holding one file.
struct ask_folder_t {
    ask_folder_t() {
        CreateDirectoryW(L"C:\\zask", nullptr);
        make_file(L"C:\\zask\\file.txt");
    }
    ~ask_folder_t() {
        DeleteFileW(L"C:\\zask\\file.txt");
        RemoveDirectoryW(L"C:\\zask\\gone");
        RemoveDirectoryW(L"C:\\zask");
    }
};

// Started with `arguments`, the window shows `folder`, and the file keeps it.
void expect_start_shows(const std::wstring& arguments, const item_list& folder,
                        const std::wstring& working_folder = L"") {
    app_t app(arguments, zelvon_path(), working_folder);
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    expect_browser_shows(window, folder);
    EXPECT_TRUE(same_folder(decode_settings(close_and_read(app, window)).folder, folder))
        << arguments;
}

} // namespace

TEST(AskedFor, AFilesPathOpensItsFolderAndOnlyTheFolderIsSaved) {
    const ask_folder_t ask;
    delete_settings();
    expect_start_shows(L"C:\\zask\\file.txt", parse_path(L"C:\\zask"));
}

TEST(AskedFor, ASavedFolderThatWentOpensTheNearestOneStillThere) {
    const ask_folder_t ask;
    CreateDirectoryW(L"C:\\zask\\gone", nullptr);
    const item_list gone = parse_path(L"C:\\zask\\gone");
    ASSERT_FALSE(gone.empty());
    RemoveDirectoryW(L"C:\\zask\\gone");
    write_settings(encode_settings(300, RECT{0, 0, 1024, 768}, gone));
    expect_start_shows(L"", parse_path(L"C:\\zask"));
}

TEST(AskedFor, RelativePathsAreTakenFromTheFolderZelvonWasStartedIn) {
    delete_settings();
    expect_start_shows(L".", parse_path(L"C:\\windows"), L"C:\\windows");
    expect_start_shows(L"..", parse_path(L"C:\\windows"), L"C:\\windows\\system32");
    expect_start_shows(L"system32", parse_path(L"C:\\windows\\system32"), L"C:\\windows");

    // Handed over to a process started elsewhere.
    app_t first;
    HWND window = first.wait_for_window();
    ASSERT_TRUE(window);
    app_t later(L"system32", zelvon_path(), L"C:\\windows");
    ASSERT_EQ(later.wait_for_exit(), std::optional<DWORD>(0));
    ASSERT_TRUE(wait_until([&] { return first.main_windows().size() == 2; }));
    HWND added =
        first.main_windows()[0] == window ? first.main_windows()[1] : first.main_windows()[0];
    expect_browser_shows(added, parse_path(L"C:\\windows\\system32"));
    close_all_and_read(first);
}

TEST(AskedFor, ADeepFolderKeepsItsOwnSegmentWholeAndTheBarsEndStillOpensTheEditor) {
    std::wstring deep = L"C:\\zdeep";
    std::vector<std::wstring> made{deep};
    CreateDirectoryW(deep.c_str(), nullptr);
    for (int level = 1; level <= 5; ++level) {
        deep += L"\\a folder with a rather long name, level " + std::to_wstring(level);
        CreateDirectoryW(deep.c_str(), nullptr);
        made.push_back(deep);
    }
    const item_list folder = parse_path(deep.c_str());
    delete_settings();
    {
        app_t app(L"\"" + deep + L"\"");
        HWND window = app.wait_for_window();
        ASSERT_TRUE(window);
        expect_browser_shows(window, folder);
        HWND bar = find_panes(window).address;
        // Fewer arrowheads than segments: the leading ones gave way; the last stays.
        EXPECT_TRUE(wait_until([&] {
            const int shown = arrowhead_count(snapshot_t(bar));
            return shown >= 1 && shown < item_count(folder);
        }));
        // The bar's right end is bar, not a segment: it opens the editor on the path.
        HWND editor = find_child(bar, L"Edit");
        ASSERT_TRUE(click(bar, client_rect(bar).right - 5, 10));
        EXPECT_TRUE(wait_until([&] { return IsWindowVisible(editor) != FALSE; }));
        EXPECT_EQ(window_text(editor), deep);
        close_and_read(app, window);
    }
    for (auto it = made.rbegin(); it != made.rend(); ++it) RemoveDirectoryW(it->c_str());
}
