// zelvon.exe started as a user starts it, checked through its windows, its pixels, its
// exit code and the settings file it leaves behind.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <sstream>
#include <string>

#include "checks.h"
#include "driver.h"

using namespace e2e;

namespace {

constexpr COLORREF BAR_GREY = RGB(230, 230, 230);

// The panes of a window whose splitter is laid out at `bar`, in client coordinates.
void expect_layout(HWND window, int bar) {
    const RECT client = client_rect(window);
    const LONG w = client.right, h = client.bottom;
    const panes_t panes = find_panes(window);
    ASSERT_TRUE(panes.tree && panes.address && panes.browser);
    EXPECT_EQ(rect_in_parent(panes.tree), (RECT{0, 0, bar, h}));
    EXPECT_EQ(rect_in_parent(panes.address), (RECT{bar + 4, 0, w, 20}));
    EXPECT_EQ(rect_in_parent(panes.browser), (RECT{bar + 4, 20, w, h}));
}

// Where the panes stand, for a drag's failure.
std::string panes_at(HWND window) {
    return "the tree ends at " + std::to_string(rect_in_parent(find_panes(window).tree).right);
}

// Where the bar is not painted exactly over columns bar .. bar + 3: the first pixel
// that differs, or an empty text. Its neighbours are looked at on the bottom line only,
// where the panes beside it draw no rows.
std::string bar_mismatch(HWND window, int bar) {
    const RECT client = client_rect(window);
    const int bottom = client.bottom - 1;
    auto differs = [&](int x, int y, bool on_bar) -> std::string {
        const COLORREF pixel = client_pixel(window, x, y);
        if ((pixel == BAR_GREY) == on_bar) return {};
        std::ostringstream out;
        out << "pixel (" << x << ", " << y << ") is " << std::hex << pixel;
        return out.str();
    };
    for (int y : {0, bottom / 2, bottom})
        for (int x = bar; x < bar + 4; ++x)
            if (auto text = differs(x, y, true); !text.empty()) return text;
    for (int x : {bar - 1, bar + 4})
        if (x >= 0 && x < client.right)
            if (auto text = differs(x, bottom, false); !text.empty()) return text;
    return {};
}

void expect_bar_at(HWND window, int bar) {
    wait_until([&] { return bar_mismatch(window, bar).empty(); });
    EXPECT_EQ(bar_mismatch(window, bar), "") << "bar at " << bar;
}

} // namespace

TEST(FreshStart, OneWindowWithItsPanesAndBarSavesTheDesktopOnClose) {
    delete_settings();
    app_t app;
    ASSERT_TRUE(app.started());
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    EXPECT_EQ(app.main_windows().size(), 1u);

    const RECT outer = window_rect(window);
    EXPECT_EQ(outer.right - outer.left, 1024);
    EXPECT_EQ(outer.bottom - outer.top, 768);
    expect_layout(window, 300);
    expect_bar_at(window, 300);
    expect_browser_shows(window, {});

    const auto saved = close_and_read(app, window);
    EXPECT_TRUE(holds_state(saved, encode_settings(300, outer, {})));
}

TEST(Folder, ArgumentIsShownSavedAndRestoredWithTheWindowAndSplitter) {
    const auto windows_folder = parse_path(L"C:\\windows");
    ASSERT_FALSE(windows_folder.empty());
    ASSERT_NE(folder_item_count(windows_folder), folder_item_count({}));
    delete_settings();

    RECT placed{};
    std::vector<std::uint8_t> first_save;
    {
        app_t app(L"C:\\windows");
        HWND window = app.wait_for_window();
        ASSERT_TRUE(window);
        expect_browser_shows(window, windows_folder);
        // Away from the defaults, so that a restore that keeps them shows.
        SetWindowPos(window, nullptr, 60, 50, 900, 700, SWP_NOZORDER | SWP_NOACTIVATE);
        ASSERT_TRUE(drag(window, {302, 200}, {180, 200}, beside(window, 180))) << panes_at(window);
        placed = window_rect(window);
        ASSERT_EQ(placed, (RECT{60, 50, 960, 750}));
        first_save = close_and_read(app, window);
    }
    const settings_image_t saved = decode_settings(first_save);
    ASSERT_TRUE(saved.valid);
    EXPECT_TRUE(same_folder(saved.folder, windows_folder));
    EXPECT_EQ(saved.split, 180);
    EXPECT_EQ(saved.rect, placed);

    app_t app;
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    EXPECT_EQ(window_rect(window), placed);
    expect_layout(window, 180);
    expect_browser_shows(window, windows_folder);
    // The same state again (the trailer counts the saves).
    EXPECT_TRUE(holds_state(close_and_read(app, window),
                            encode_settings(saved.split, saved.rect, saved.folder)));
}

TEST(Folder, MisspeltArgumentLeavesTheRestoredFolder) {
    const auto windows_folder = parse_path(L"C:\\windows");
    const auto saved = encode_settings(250, RECT{40, 30, 840, 630}, windows_folder);
    write_settings(saved);
    app_t app(L"C:\\windoes\\no_such_folder");
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    expect_browser_shows(window, windows_folder);
    EXPECT_TRUE(holds_state(close_and_read(app, window), saved));
}

TEST(Folder, OnlyTheFirstOfTwoArgumentsCounts) {
    // Both name folders, so taking the second, or both as one path, would show.
    const auto program_files = parse_path(L"C:\\Program Files");
    ASSERT_FALSE(program_files.empty());
    ASSERT_FALSE(parse_path(L"C:\\windows\\system32").empty());
    write_settings(encode_settings(250, RECT{40, 30, 840, 630}, parse_path(L"C:\\windows")));

    app_t app(L"\"C:\\Program Files\" C:\\windows\\system32");
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    const settings_image_t saved = decode_settings(close_and_read(app, window));
    ASSERT_TRUE(saved.valid);
    EXPECT_TRUE(same_folder(saved.folder, program_files));
}

TEST(Splitter, DragMovesThePanesAndIsSaved) {
    delete_settings();
    app_t app;
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);

    ASSERT_TRUE(drag(window, {303, 400}, {120, 400}, beside(window, 120))) << panes_at(window);
    expect_layout(window, 120);
    expect_bar_at(window, 120);

    // A press just beside the bar, in the browser, starts no drag: the bar is still there
    // for the next one, whose move shows that the window has dealt with the first.
    ASSERT_TRUE(drag(window, {124, 400}, {200, 400}));
    ASSERT_TRUE(drag(window, {121, 400}, {140, 400}, beside(window, 140))) << panes_at(window);
    expect_layout(window, 140);

    EXPECT_EQ(decode_settings(close_and_read(app, window)).split, 140);
}

TEST(Splitter, StaysWithinReachPastEitherEdge) {
    // A file saved with the bar left of the window, as an unguarded drag would leave it; the
    // window off the screen's edges, so the pointer can go past both of its own.
    write_settings(encode_settings(-50, RECT{100, 50, 1124, 818}, {}));
    app_t app;
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    const int w = client_rect(window).right;
    expect_layout(window, 0);

    ASSERT_TRUE(drag(window, {1, 300}, {w + 100, 300}, beside(window, w - 4))) << panes_at(window);
    expect_layout(window, w - 4);
    expect_bar_at(window, w - 4);

    ASSERT_TRUE(drag(window, {w - 2, 300}, {-50, 300}, beside(window, 0))) << panes_at(window);
    expect_layout(window, 0);
    expect_bar_at(window, 0);

    ASSERT_TRUE(drag(window, {3, 300}, {150, 300}, beside(window, 150))) << panes_at(window);
    expect_layout(window, 150);

    EXPECT_EQ(decode_settings(close_and_read(app, window)).split, 150);
}

namespace {

struct damaged_file_t {
    const char* name;
    std::vector<std::uint8_t> (*bytes)();
    std::int32_t split_after; // what survives of the file: 300 when nothing is restored
};

const RECT SAVED_RECT{20, 10, 820, 610};

std::vector<std::uint8_t> valid_windows_file() {
    return encode_settings(250, SAVED_RECT, parse_path(L"C:\\windows"));
}

std::vector<std::uint8_t> header_with_folder_length(std::uint32_t length) {
    auto bytes = encode_settings(250, SAVED_RECT, {});
    bytes.resize(24);
    put_i32(bytes, static_cast<std::int32_t>(length));
    return bytes;
}

const damaged_file_t damaged_files[] = {
    {"Garbage",
     [] {
         std::vector<std::uint8_t> bytes(200);
         std::uint32_t seed = 12345;
         for (auto& b : bytes) b = std::uint8_t((seed = seed * 1103515245 + 12345) >> 16);
         bytes[0] = 0x65; // not 100
         return bytes;
     },
     300},
    {"CutInsideTheHeader",
     [] {
         auto bytes = valid_windows_file();
         bytes.resize(10);
         return bytes;
     },
     300},
    {"FolderLengthOf4GbAtTheEnd", [] { return header_with_folder_length(0xFFFFFFFF); }, 250},
    {"FolderLengthOf4GbBeforeAPinCount",
     [] {
         auto bytes = header_with_folder_length(0xFFFFFFFF);
         put_i32(bytes, 0);
         return bytes;
     },
     250},
    {"ItemCountOfOne",
     [] {
         auto bytes = valid_windows_file();
         bytes[28] = 1; // the first item's count, low byte
         bytes[29] = 0;
         return bytes;
     },
     250},
    {"ItemCountPastTheRecord",
     [] {
         auto bytes = valid_windows_file();
         bytes[29] = std::uint8_t(bytes[29] + 0x10); // the first count, 4096 more
         return bytes;
     },
     250},
};

void PrintTo(const damaged_file_t& file, std::ostream* out) {
    *out << file.name;
}

class DamagedSettings : public testing::TestWithParam<damaged_file_t> {};

} // namespace

TEST_P(DamagedSettings, StartAtTheDesktopAndAreRewrittenWhole) {
    ASSERT_NE(folder_item_count({}), folder_item_count(parse_path(L"C:\\windows")));
    const auto damaged = GetParam().bytes();
    ASSERT_GE(damaged.size(), 10u);
    write_settings(damaged);

    app_t app;
    HWND window = app.wait_for_window();
    ASSERT_TRUE(window);
    expect_browser_shows(window, {});
    const auto saved = close_and_read(app, window);
    const settings_image_t image = decode_settings(saved);
    ASSERT_TRUE(image.valid);
    EXPECT_TRUE(image.folder.empty());
    EXPECT_EQ(image.pin_count, 0);
    EXPECT_EQ(image.split, GetParam().split_after);
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedSettings, testing::ValuesIn(damaged_files),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Closing, OneOfTwoWindowsLeavesTheProcessRunningTheLastEndsIt) {
    delete_settings();
    app_t app;
    HWND first = app.wait_for_window();
    ASSERT_TRUE(first);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(first, WM_NEW_WINDOW, 0, 0, SMTO_NORMAL, WAIT_MS, &result);
    ASSERT_TRUE(wait_until([&] {
        const auto windows = app.main_windows();
        return windows.size() == 2 && IsWindowVisible(windows[0]) && IsWindowVisible(windows[1]);
    }));
    const auto windows = app.main_windows();
    ASSERT_EQ(windows.size(), 2u);
    HWND second = windows[0] == first ? windows[1] : windows[0];

    app.close(first);
    ASSERT_TRUE(wait_until([&] { return !IsWindow(first); }));
    // The one left still takes input, which a process on its way out no longer reads.
    ASSERT_TRUE(drag(second, {301, 300}, {150, 300}, beside(second, 150))) << panes_at(second);
    expect_layout(second, 150);
    EXPECT_EQ(app.main_windows(), std::vector<HWND>{second});

    const auto saved = close_and_read(app, second);
    EXPECT_EQ(decode_settings(saved).split, 150);
}
