// The floor that zelvon is measured against: its figures mean something only while it
// shows what zelvon shows, in a window of the same size, and ends when asked as zelvon
// does.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/checks.h"

using namespace e2e;

namespace {

std::wstring floor_path() {
    const std::wstring zelvon = zelvon_path();
    return zelvon.substr(0, zelvon.find_last_of(L"\\/") + 1) + L"floor.exe";
}

// A visible top-level window of the process, not among `old`, whose list shows `items`.
HWND wait_listing(const app_t& app, int items, const std::vector<HWND>& old = {}) {
    HWND found = nullptr;
    wait_until([&] {
        for (HWND window : top_level_windows(app.id()))
            if (IsWindowVisible(window) && std::find(old.begin(), old.end(), window) == old.end() &&
                browser_item_count(window) == items)
                found = window;
        return found != nullptr || !app.running();
    });
    return found;
}

int shown_windows(const app_t& app) {
    const std::vector<HWND> all = top_level_windows(app.id());
    return int(std::count_if(all.begin(), all.end(), IsWindowVisible));
}

LONG width(const RECT& r) {
    return r.right - r.left;
}

LONG height(const RECT& r) {
    return r.bottom - r.top;
}

} // namespace

TEST(Floor, ListsCWindowsInOneWindowOfZelvonsSizeAndEndsOnClose) {
    const int items = folder_item_count(parse_path(L"C:\\windows"));
    ASSERT_GT(items, 0);
    delete_settings();
    app_t zelvon(L"C:\\windows");
    HWND zelvon_window = zelvon.wait_for_window();
    ASSERT_NE(zelvon_window, nullptr);
    const RECT zelvon_rect = window_rect(zelvon_window);
    zelvon.close(zelvon_window);
    ASSERT_EQ(zelvon.wait_for_exit(), std::optional<DWORD>(0));
    delete_settings();

    app_t floor(L"", floor_path());
    ASSERT_TRUE(floor.started());
    HWND window = wait_listing(floor, items);
    ASSERT_NE(window, nullptr) << "the floor did not list C:\\windows";
    EXPECT_EQ(shown_windows(floor), 1);
    EXPECT_EQ(width(window_rect(window)), width(zelvon_rect));
    EXPECT_EQ(height(window_rect(window)), height(zelvon_rect));
    floor.close(window);
    EXPECT_EQ(floor.wait_for_exit(), std::optional<DWORD>(0));
    EXPECT_FALSE(read_settings(0).has_value()) << "the floor keeps no settings file";
}

TEST(Floor, NewWindowMessageAddsAWindowOnTheFolderAndTheLastCloseEndsIt) {
    const int items = folder_item_count(parse_path(L"C:\\windows"));
    app_t floor(L"", floor_path());
    HWND first = wait_listing(floor, items);
    ASSERT_NE(first, nullptr);
    PostMessageW(first, WM_NEW_WINDOW, 0, 0);
    HWND second = wait_listing(floor, items, {first});
    ASSERT_NE(second, nullptr) << "no second window listed C:\\windows";

    floor.close(first);
    ASSERT_TRUE(wait_until([&] { return !IsWindow(first); }));
    EXPECT_TRUE(floor.sync(second));
    EXPECT_TRUE(floor.running()) << "the floor ended with a window still open";
    floor.close(second);
    EXPECT_EQ(floor.wait_for_exit(), std::optional<DWORD>(0));
}

TEST(Floor, ListsTheFolderGivenAndEndsAtOnceOnOneThatDoesNotExist) {
    const std::wstring folder = L"C:\\zelvon_floor_given";
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const wchar_t* name : {L"\\a.txt", L"\\b.txt", L"\\c.txt"})
        CloseHandle(CreateFileW((folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                0, nullptr));
    {
        app_t floor(folder, floor_path());
        HWND window = wait_listing(floor, 3);
        ASSERT_NE(window, nullptr) << "the floor did not list the folder given";
        floor.close(window);
        EXPECT_EQ(floor.wait_for_exit(), std::optional<DWORD>(0));
    }
    for (const wchar_t* name : {L"\\a.txt", L"\\b.txt", L"\\c.txt"})
        DeleteFileW((folder + name).c_str());
    RemoveDirectoryW(folder.c_str());

    // A bench run waits for a window that would never come: the floor must not linger.
    app_t missing(L"C:\\zelvon_floor_missing", floor_path());
    const std::optional<DWORD> code = missing.wait_for_exit();
    ASSERT_TRUE(code.has_value());
    EXPECT_NE(*code, 0u);
}
