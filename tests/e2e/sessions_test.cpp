// Every window comes back, new windows are seen to come, and a save that cannot be made
// is said and loses nothing that was saved before.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checks.h"
#include "driver.h"

using namespace e2e;

namespace {

// zelvon's application-data folder moved elsewhere while the object lives.
class app_data_at_t {
public:
    explicit app_data_at_t(const std::wstring& folder) {
        RegCreateKeyExW(
            HKEY_CURRENT_USER,
            L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", 0,
            nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr);
        DWORD size = sizeof saved_;
        had_ = RegQueryValueExW(key_, L"AppData", nullptr, &type_, reinterpret_cast<BYTE*>(saved_),
                                &size) == ERROR_SUCCESS;
        set(folder.c_str(), REG_EXPAND_SZ);
    }
    ~app_data_at_t() {
        if (had_)
            set(saved_, type_);
        else
            RegDeleteValueW(key_, L"AppData");
        RegCloseKey(key_);
    }
    app_data_at_t(const app_data_at_t&) = delete;
    app_data_at_t& operator=(const app_data_at_t&) = delete;

private:
    HKEY key_ = nullptr;
    wchar_t saved_[MAX_PATH] = L"";
    DWORD type_ = REG_EXPAND_SZ;
    bool had_ = false;
    void set(const wchar_t* value, DWORD type) {
        RegSetValueExW(key_, L"AppData", 0, type, reinterpret_cast<const BYTE*>(value),
                       DWORD((wcslen(value) + 1) * sizeof(wchar_t)));
    }
};

HWND other_than(const std::vector<HWND>& windows, const std::vector<HWND>& known) {
    for (HWND w : windows)
        if (std::find(known.begin(), known.end(), w) == known.end()) return w;
    return nullptr;
}

} // namespace

TEST(Sessions, ThreeWindowsClosedOneByOneComeBackAsThree) {
    const std::vector<item_list> folders = {parse_path(L"C:\\windows"),
                                            parse_path(L"C:\\windows\\system32"),
                                            parse_path(L"C:\\Program Files")};
    delete_settings();
    std::vector<RECT> rects;
    {
        app_t app(L"C:\\windows");
        HWND first = app.wait_for_window();
        ASSERT_TRUE(first);
        std::vector<HWND> opened{first};
        for (const wchar_t* path : {L"C:\\windows\\system32", L"\"C:\\Program Files\""}) {
            app_t later(path);
            ASSERT_EQ(later.wait_for_exit(), std::optional<DWORD>(0));
            ASSERT_TRUE(wait_until([&] { return app.main_windows().size() == opened.size() + 1; }));
            opened.push_back(other_than(app.main_windows(), opened));
        }
        for (std::size_t i = 0; i < opened.size(); ++i) expect_browser_shows(opened[i], folders[i]);
        // Each somewhere of its own; the last move saves them all.
        for (int i = 0; i < 3; ++i) {
            SetWindowPos(opened[i], nullptr, 30 + 200 * i, 20 + 60 * i, 700 + 20 * i, 500,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            rects.push_back(window_rect(opened[i]));
        }
        ASSERT_TRUE(app.sync(opened[2]));
        for (HWND window : opened) app.close(window);
        EXPECT_EQ(app.wait_for_exit(), std::optional<DWORD>(0));
    }
    app_t app;
    ASSERT_TRUE(app.wait_for_window());
    ASSERT_TRUE(wait_until([&] { return app.main_windows().size() == 3; }));
    std::vector<RECT> back;
    for (HWND window : app.main_windows()) back.push_back(window_rect(window));
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const auto at = std::find(back.begin(), back.end(), rects[i]);
        ASSERT_NE(at, back.end()) << "no window where it was";
        expect_browser_shows(app.main_windows()[at - back.begin()], folders[i]);
    }
    close_all_and_read(app);
}

TEST(Sessions, AMissingApplicationDataFolderIsMade) {
    RemoveDirectoryW(L"C:\\zmissing\\AppData");
    RemoveDirectoryW(L"C:\\zmissing");
    const app_data_at_t moved(L"C:\\zmissing\\AppData");
    {
        app_t app;
        HWND window = app.wait_for_window();
        ASSERT_TRUE(window) << "no window: the report instead";
        app.close(window);
        EXPECT_EQ(app.wait_for_exit(), std::optional<DWORD>(0));
    }
    EXPECT_TRUE(decode_settings(read_settings().value_or(item_list{})).valid);
    delete_settings();
    RemoveDirectoryW(L"C:\\zmissing\\AppData");
    RemoveDirectoryW(L"C:\\zmissing");
}

TEST(Sessions, ASaveOnAFullDiskIsSaidAndLosesNoEarlierPin) {
    // Y: is a tiny volume in memory that the test command mounts where it can.
    if (GetFileAttributesW(L"Y:\\") == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no small volume to fill (the test command mounts one as root)";
    CreateDirectoryW(L"Y:\\AppData", nullptr);
    const item_list pinned = parse_path(L"C:\\windows\\system32");
    const app_data_at_t moved(L"Y:\\AppData");
    write_settings(
        encode_settings(300, RECT{0, 0, 1024, 768}, parse_path(L"C:\\windows"), {pinned}));
    for (const bool room_again : {false, true}) {
        SCOPED_TRACE(room_again ? "room again before the end" : "full to the end");
        app_t app;
        HWND window = app.wait_for_window();
        ASSERT_TRUE(window);
        expect_browser_shows(window, parse_path(L"C:\\windows"));

        // The volume filled to the last byte, the backup gone: a save has no room at all.
        DeleteFileW((settings_path() + L".bak").c_str());
        HANDLE filler =
            CreateFileW(L"Y:\\filler", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        std::vector<char> block(4096, 'x');
        for (DWORD written = 1; written;)
            if (!WriteFile(filler, block.data(), DWORD(block.size()), &written, nullptr)) break;
        for (DWORD written = 1; written;)
            if (!WriteFile(filler, block.data(), 1, &written, nullptr)) break;
        CloseHandle(filler);

        HWND tree = find_panes(window).tree;
        send_click(tree, client_rect(tree).right - 11, 10); // the desktop's pin
        HWND box = nullptr;
        EXPECT_TRUE(
            wait_until([&] { return (box = shown_window(app.id(), L"#32770")) != nullptr; }));
        if (box) PostMessageW(box, WM_COMMAND, IDOK, 0);
        // With room again, the save that could not be made is made as the process ends.
        if (room_again) EXPECT_TRUE(DeleteFileW(L"Y:\\filler"));
        app.close(window);
        EXPECT_EQ(app.wait_for_exit(), std::optional<DWORD>(0));
        const settings_image_t saved = decode_settings(read_settings().value_or(item_list{}));
        ASSERT_TRUE(saved.valid);
        if (room_again)
            EXPECT_TRUE(same_folders(saved.pins, {pinned, item_list{}}));
        else
            EXPECT_TRUE(same_folders(saved.pins, {pinned})) << "the pin saved before";
        DeleteFileW(L"Y:\\filler");
    }
    DeleteFileW(L"Y:\\filler");
    delete_settings();
}
