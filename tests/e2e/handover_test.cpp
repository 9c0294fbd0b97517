// Later starts of zelvon: each hands its path to the running process, which opens one
// more window, and ends with 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>

#include "checks.h"
#include "driver.h"

using namespace e2e;

namespace {

std::vector<HWND> windows_added(const app_t& app, const std::vector<HWND>& before) {
    std::vector<HWND> added;
    for (HWND window : app.main_windows())
        if (std::find(before.begin(), before.end(), window) == before.end())
            added.push_back(window);
    return added;
}

// Starts zelvon again with the arguments; the start must end with 0 and leave one more
// window in the running process, which is returned.
HWND hand_over(const app_t& running, const std::wstring& arguments) {
    const auto before = running.main_windows();
    app_t later(arguments);
    EXPECT_EQ(later.wait_for_exit(), std::optional<DWORD>(0)) << arguments;
    // Made once the start has been let go.
    std::vector<HWND> added;
    wait_until([&] {
        added = windows_added(running, before);
        return added.size() == 1 && IsWindowVisible(added[0]);
    });
    EXPECT_EQ(added.size(), 1u) << arguments;
    if (added.size() != 1) return nullptr;
    EXPECT_TRUE(IsWindowVisible(added[0]));
    EXPECT_TRUE(running.sync(added[0]));
    return added[0];
}

// The process shows nothing but its main windows: no message about a bad path.
void expect_only_main_windows(const app_t& app) {
    const auto mains = app.main_windows();
    for (HWND window : top_level_windows(app.id())) {
        if (!IsWindowVisible(window)) continue;
        EXPECT_NE(std::find(mains.begin(), mains.end(), window), mains.end())
            << "an extra window of class " << class_of(window) << ": " << window_text(window);
    }
}

// Folders of 1 to n files, told apart by the browser's count; gone with the object.
class numbered_folders_t {
public:
    explicit numbered_folders_t(int n) {
        for (int k = 1; k <= n; ++k) {
            const std::wstring folder = L"C:\\zelvon_handover_" + std::to_wstring(k);
            CreateDirectoryW(folder.c_str(), nullptr);
            for (int f = 0; f < k; ++f) {
                const std::wstring file = folder + L"\\file" + std::to_wstring(f) + L".txt";
                CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                        nullptr));
            }
            paths.push_back(folder);
        }
    }
    ~numbered_folders_t() {
        for (std::size_t k = 0; k < paths.size(); ++k) {
            for (std::size_t f = 0; f <= k; ++f)
                DeleteFileW((paths[k] + L"\\file" + std::to_wstring(f) + L".txt").c_str());
            RemoveDirectoryW(paths[k].c_str());
        }
    }
    numbered_folders_t(const numbered_folders_t&) = delete;
    numbered_folders_t& operator=(const numbered_folders_t&) = delete;

    std::vector<std::wstring> paths;
};

} // namespace

TEST(Handover, StartWithoutAPathAddsAWindowAsSavedAndEnds) {
    const auto windows = parse_path(L"C:\\windows");
    const RECT saved_rect{40, 30, 840, 630};
    write_settings(encode_settings(250, saved_rect, windows));
    app_t first;
    ASSERT_TRUE(first.wait_for_window());

    HWND added = hand_over(first, L"");
    ASSERT_TRUE(added);
    EXPECT_EQ(first.main_windows().size(), 2u);
    EXPECT_EQ(process_count(L"zelvon.exe"), 1);
    // Down and right of the window it was handed to, the same size, whole on the screen.
    const RECT from = window_rect(first.main_windows()[0] == added ? first.main_windows()[1]
                                                                   : first.main_windows()[0]);
    const RECT r = window_rect(added);
    EXPECT_GT(r.left, from.left);
    EXPECT_EQ(r.left - from.left, r.top - from.top);
    EXPECT_EQ(r.right - r.left, saved_rect.right - saved_rect.left);
    EXPECT_EQ(r.bottom - r.top, saved_rect.bottom - saved_rect.top);
    EXPECT_LE(r.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_LE(r.bottom, GetSystemMetrics(SM_CYSCREEN));
    expect_browser_shows(added, windows);

    EXPECT_TRUE(same_folder(decode_settings(close_all_and_read(first)).folder, windows));
}

TEST(Handover, PathIsShownInTheAddedWindowWhenItNamesAFolderAndDroppedSilentlyOtherwise) {
    const auto windows = parse_path(L"C:\\windows");
    const auto program_files = parse_path(L"C:\\Program Files");
    ASSERT_NE(folder_item_count(windows), folder_item_count({}));
    ASSERT_NE(folder_item_count(program_files), folder_item_count(windows));
    delete_settings();
    app_t first;
    HWND desktop_window = first.wait_for_window();
    ASSERT_TRUE(desktop_window);

    HWND added = hand_over(first, L"C:\\windows");
    ASSERT_TRUE(added);
    expect_browser_shows(added, windows);
    expect_browser_shows(desktop_window, {});

    // Restored from the file, the next window shows that the file names the folder.
    HWND unnamed = hand_over(first, L"C:\\windoes\\no_such_folder");
    ASSERT_TRUE(unnamed);
    expect_browser_shows(unnamed, windows);
    expect_only_main_windows(first);

    // Only the first of two is handed over.
    HWND first_of_two = hand_over(first, L"\"C:\\Program Files\" C:\\windows\\system32");
    ASSERT_TRUE(first_of_two);
    expect_browser_shows(first_of_two, program_files);

    EXPECT_EQ(first.main_windows().size(), 4u);
    EXPECT_EQ(process_count(L"zelvon.exe"), 1);
    EXPECT_TRUE(same_folder(decode_settings(end_session_and_read(first)).folder, program_files));
}

TEST(Handover, EightStartsAtOnceEachOpenAWindowOnTheirOwnFolder) {
    const numbered_folders_t folders(8);
    std::vector<int> expected;
    for (const std::wstring& path : folders.paths)
        expected.push_back(folder_item_count(parse_path(path.c_str())));
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(std::adjacent_find(expected.begin(), expected.end()), expected.end());
    ASSERT_GE(expected.front(), 1);
    delete_settings();
    app_t first;
    HWND window = first.wait_for_window();
    ASSERT_TRUE(window);

    std::vector<std::unique_ptr<app_t>> later;
    for (const std::wstring& path : folders.paths) later.push_back(std::make_unique<app_t>(path));
    for (auto& start : later) EXPECT_EQ(start->wait_for_exit(), std::optional<DWORD>(0));

    std::vector<HWND> added;
    wait_until([&] {
        added = windows_added(first, {window});
        return added.size() == 8 && std::all_of(added.begin(), added.end(), IsWindowVisible);
    });
    ASSERT_EQ(added.size(), 8u);
    auto shown = [&] {
        std::vector<int> counts;
        for (HWND w : added) counts.push_back(browser_item_count(find_panes(w).browser));
        std::sort(counts.begin(), counts.end());
        return counts;
    };
    wait_until([&] { return shown() == expected; });
    EXPECT_EQ(shown(), expected);
    EXPECT_EQ(process_count(L"zelvon.exe"), 1);

    close_all_and_read(first);
}

TEST(Handover, ForeignBlockWithoutATerminatorIsReadNoFurtherThanItsEnd) {
    delete_settings();
    app_t first;
    HWND window = first.wait_for_window();
    ASSERT_TRUE(window);

    // A block of the hand-over's name, full of 'A' to its last byte.
    HANDLE block = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                      L"zelvn_shared_memory");
    ASSERT_TRUE(block);
    ASSERT_NE(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    auto* units = static_cast<char16_t*>(MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, 0));
    ASSERT_TRUE(units);
    std::fill(units, units + 4096 / 2, u'A');
    UnmapViewOfFile(units);

    DWORD_PTR result = 0;
    EXPECT_TRUE(SendMessageTimeoutW(window, WM_NEW_WINDOW, 5, 0, SMTO_NORMAL, WAIT_MS, &result));
    EXPECT_EQ(result, 1u) << "taken";
    CloseHandle(block);
    EXPECT_TRUE(first.running());
    std::vector<HWND> added;
    wait_until([&] {
        added = windows_added(first, {window});
        return added.size() == 1 && IsWindowVisible(added[0]);
    });
    ASSERT_EQ(added.size(), 1u);
    expect_browser_shows(added[0], {});
    expect_only_main_windows(first);

    close_all_and_read(first);
}

namespace {

// A window of zelvon's class and title that is not a finished zelvon window: hidden (one
// still being built), or shown but answering nothing to the hand-over. Served by a thread
// of its own while the object lives.
class look_alike_t {
public:
    explicit look_alike_t(bool shown) {
        HANDLE made = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this, shown, made] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"main_window";
            RegisterClassW(&wc);
            window_ = CreateWindowExW(0, L"main_window", L"zelvon", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                      100, nullptr, nullptr, wc.hInstance, nullptr);
            if (shown) ShowWindow(window_, SW_SHOWNOACTIVATE);
            thread_id_ = GetCurrentThreadId();
            SetEvent(made);
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
            DestroyWindow(window_);
        });
        WaitForSingleObject(made, WAIT_MS);
        CloseHandle(made);
    }
    ~look_alike_t() {
        PostThreadMessageW(thread_id_, WM_QUIT, 0, 0);
        thread_.join();
    }
    look_alike_t(const look_alike_t&) = delete;
    look_alike_t& operator=(const look_alike_t&) = delete;

private:
    std::thread thread_;
    HWND window_ = nullptr;
    DWORD thread_id_ = 0;
};

} // namespace

TEST(Handover, AWindowThatOnlyLooksLikeARunningZelvonDoesNotTakeTheStart) {
    for (const bool shown : {false, true}) {
        SCOPED_TRACE(shown ? "shown, answering nothing" : "hidden, as one still being built");
        delete_settings();
        const look_alike_t look_alike(shown);
        app_t app(L"C:\\windows");
        HWND window = app.wait_for_window();
        ASSERT_TRUE(window) << "the start was handed to a window that did not take it";
        expect_browser_shows(window, parse_path(L"C:\\windows"));
        close_and_read(app, window);
    }
}
