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

// Three windows of their own folders, each somewhere of its own.
struct three_windows_t {
    std::vector<item_list> folders = {parse_path(L"C:\\windows"),
                                      parse_path(L"C:\\windows\\system32"),
                                      parse_path(L"C:\\Program Files")};
    std::vector<HWND> opened;
    std::vector<RECT> rects;

    void open(app_t& app) {
        HWND first = app.wait_for_window();
        ASSERT_TRUE(first);
        opened = {first};
        for (const wchar_t* path : {L"C:\\windows\\system32", L"\"C:\\Program Files\""}) {
            app_t later(path);
            ASSERT_EQ(later.wait_for_exit(), std::optional<DWORD>(0));
            ASSERT_TRUE(wait_until([&] { return app.main_windows().size() == opened.size() + 1; }));
            opened.push_back(other_than(app.main_windows(), opened));
        }
        for (std::size_t i = 0; i < opened.size(); ++i) expect_browser_shows(opened[i], folders[i]);
        for (int i = 0; i < 3; ++i) {
            SetWindowPos(opened[i], nullptr, 30 + 200 * i, 20 + 60 * i, 700 + 20 * i, 500,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            rects.push_back(window_rect(opened[i]));
        }
        ASSERT_TRUE(app.sync(opened[2]));
    }

    // The windows of a start: one where each of `expected` was, on its folder.
    void expect_back(app_t& app, const std::vector<std::size_t>& expected) {
        ASSERT_TRUE(app.wait_for_window());
        ASSERT_TRUE(wait_until([&] { return app.main_windows().size() == expected.size(); }));
        std::vector<RECT> back;
        for (HWND window : app.main_windows()) back.push_back(window_rect(window));
        for (std::size_t i : expected) {
            SCOPED_TRACE(i);
            const auto at = std::find(back.begin(), back.end(), rects[i]);
            ASSERT_NE(at, back.end()) << "no window where it was";
            expect_browser_shows(app.main_windows()[at - back.begin()], folders[i]);
        }
    }
};

TEST(Sessions, ThreeWindowsOpenAsTheProcessEndsComeBackAsThree) {
    delete_settings();
    three_windows_t three;
    {
        app_t app(L"C:\\windows");
        ASSERT_NO_FATAL_FAILURE(three.open(app));
        end_session_and_read(app);
    }
    app_t app;
    three.expect_back(app, {0, 1, 2});
    close_all_and_read(app);
}

TEST(Sessions, WindowsClosedWhileOthersStayLeaveTheSessionAndTheLastStays) {
    delete_settings();
    three_windows_t three;
    {
        app_t app(L"C:\\windows");
        ASSERT_NO_FATAL_FAILURE(three.open(app));
        // Ctrl+W in the first, then the third; the second is closed last.
        for (std::size_t i : {0, 2}) {
            SetForegroundWindow(three.opened[i]);
            ASSERT_TRUE(wait_until([&] { return GetForegroundWindow() == three.opened[i]; }));
            press_keys({VK_CONTROL, 'W'});
            ASSERT_TRUE(wait_until([&] { return !IsWindow(three.opened[i]); }));
        }
        app.close(three.opened[1]);
        EXPECT_EQ(app.wait_for_exit(), std::optional<DWORD>(0));
    }
    app_t app;
    three.expect_back(app, {1});
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

// Y: is a tiny volume in memory that the test command mounts where it can; filled to the
// last byte while the object lives.
class full_disk_t {
public:
    full_disk_t() {
        HANDLE filler =
            CreateFileW(L"Y:\\filler", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        std::vector<char> block(4096, 'x');
        for (DWORD written = 1; written;)
            if (!WriteFile(filler, block.data(), DWORD(block.size()), &written, nullptr)) break;
        for (DWORD written = 1; written;)
            if (!WriteFile(filler, block.data(), 1, &written, nullptr)) break;
        CloseHandle(filler);
    }
    ~full_disk_t() { room_again(); }
    full_disk_t(const full_disk_t&) = delete;
    full_disk_t& operator=(const full_disk_t&) = delete;
    static bool room_again() { return DeleteFileW(L"Y:\\filler"); }
};

TEST(Sessions, OnAFullDiskASaveGoesInPlaceAndOneWithoutRoomIsSaidAndMadeLater) {
    if (GetFileAttributesW(L"Y:\\") == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no small volume to fill (the test command mounts one as root)";
    CreateDirectoryW(L"Y:\\AppData", nullptr);
    const item_list pinned = parse_path(L"C:\\windows\\system32");
    const app_data_at_t moved(L"Y:\\AppData");
    {
        SCOPED_TRACE("no room for the backup");
        write_settings(
            encode_settings(300, RECT{0, 0, 1024, 768}, parse_path(L"C:\\windows"), {pinned}));
        app_t app;
        HWND window = app.wait_for_window();
        ASSERT_TRUE(window);
        expect_browser_shows(window, parse_path(L"C:\\windows"));
        const full_disk_t full;
        HWND tree = find_panes(window).tree;
        ASSERT_TRUE(click(tree, client_rect(tree).right - 11, 10)); // the desktop's pin
        ASSERT_TRUE(app.sync(window));
        Sleep(200);
        EXPECT_FALSE(shown_window(app.id(), L"#32770")) << "nothing to say";
        const settings_image_t saved = decode_settings(close_and_read(app, window));
        ASSERT_TRUE(saved.valid);
        EXPECT_TRUE(same_folders(saved.pins, {pinned, item_list{}})) << "written in place";
    }
    {
        SCOPED_TRACE("no room for the file");
        delete_settings();
        write_settings({});
        const full_disk_t full;
        app_t app;
        HWND window = app.wait_for_window();
        ASSERT_TRUE(window);
        HWND box = nullptr;
        EXPECT_TRUE(
            wait_until([&] { return (box = shown_window(app.id(), L"#32770")) != nullptr; }));
        std::wstring text;
        for (HWND part = nullptr; box && (part = FindWindowExW(box, part, L"Static", nullptr));)
            text += window_text(part);
        EXPECT_NE(text.find(L"zelvon.sav"), std::wstring::npos) << "which file";
        if (box) PostMessageW(box, WM_COMMAND, IDOK, 0);
        // With room again, the save that could not be made is made as the process ends.
        EXPECT_TRUE(full_disk_t::room_again());
        const settings_image_t saved = decode_settings(close_and_read(app, window));
        EXPECT_TRUE(saved.valid);
    }
    delete_settings();
}

namespace {

// Counts the saves made while it lives, as the folder of the settings file sees them: each
// save begins by making the backup beside the file.
class saves_seen_t {
public:
    saves_seen_t() {
        const std::wstring path = settings_path();
        folder_ =
            CreateFileW(path.substr(0, path.find_last_of(L'\\')).c_str(), FILE_LIST_DIRECTORY,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
        overlapped_.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        listen();
    }
    ~saves_seen_t() {
        CancelIo(folder_);
        CloseHandle(folder_);
        CloseHandle(overlapped_.hEvent);
    }
    saves_seen_t(const saves_seen_t&) = delete;
    saves_seen_t& operator=(const saves_seen_t&) = delete;

    // The saves seen so far, once nothing more has come for a moment.
    int count() {
        while (WaitForSingleObject(overlapped_.hEvent, 700) == WAIT_OBJECT_0) {
            DWORD size = 0;
            GetOverlappedResult(folder_, &overlapped_, &size, FALSE);
            for (const auto* entry = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(buffer_);
                 size;) {
                const std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
                saves_ += entry->Action == FILE_ACTION_ADDED && name == L"zelvon.sav.bak";
                if (!entry->NextEntryOffset) break;
                entry = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(
                    reinterpret_cast<const char*>(entry) + entry->NextEntryOffset);
            }
            listen();
        }
        return saves_;
    }

private:
    HANDLE folder_ = INVALID_HANDLE_VALUE;
    OVERLAPPED overlapped_{};
    alignas(DWORD) char buffer_[16384];
    int saves_ = 0;

    void listen() {
        ResetEvent(overlapped_.hEvent);
        ReadDirectoryChangesW(folder_, buffer_, sizeof buffer_, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME,
                              nullptr, &overlapped_, nullptr);
    }
};

} // namespace

TEST(Sessions, ADragOfTheSplitterAndAMoveOfTheWindowEachWriteTheFileOnce) {
    delete_settings();
    app_t app(L"C:\\windows");
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    expect_browser_shows(window, parse_path(L"C:\\windows"));
    saves_seen_t saves;
    ASSERT_EQ(saves.count(), 0);

    ASSERT_TRUE(drag(window, {302, 200}, {180, 200}, beside(window, 180)));
    EXPECT_EQ(saves.count(), 1) << "the splitter";

    // The caption pressed, the pointer moved in steps, let go.
    const RECT before = window_rect(window);
    const POINT caption{before.left + 200, before.top + GetSystemMetrics(SM_CYCAPTION) / 2 + 2};
    pointer_to(caption);
    button_down();
    for (int step = 1; step <= 10; ++step) {
        pointer_to(POINT{caption.x + 8 * step, caption.y + 5 * step});
        Sleep(20);
    }
    button_up();
    ASSERT_TRUE(wait_until([&] { return window_rect(window).left == before.left + 80; }));
    EXPECT_EQ(saves.count(), 2) << "the window";
    const settings_image_t saved = decode_settings(close_and_read(app, window));
    EXPECT_EQ(saved.split, 180);
    EXPECT_EQ(saved.rect.left, before.left + 80);
}

TEST(Sessions, AStartCutShortAsItsFirstWindowShowsLeavesEverySavedWindowInTheFile) {
    delete_settings();
    three_windows_t three;
    {
        app_t app(L"C:\\windows");
        ASSERT_NO_FATAL_FAILURE(three.open(app));
        end_session_and_read(app);
    }
    {
        app_t app;
        ASSERT_TRUE(wait_until([&] {
            for (HWND window : app.main_windows())
                if (IsWindowVisible(window)) return true;
            return false;
        }));
        app.kill();
    }
    const settings_image_t saved = decode_settings(read_settings().value_or(item_list{}));
    ASSERT_TRUE(saved.valid);
    app_t app;
    three.expect_back(app, {0, 1, 2});
    close_all_and_read(app);
}
