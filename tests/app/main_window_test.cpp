#include "app/main_window.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <vector>

#include "ui/address/address_view.h"
#include "app/session.h"
#include "app/startup.h"
#include "app/ebe.h"
#include "app/settings_file.h"
#include "core/settings_format.h"
#include "tests/support/imports.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/win_test_support.h"
#include "ui/tree/tree_view.h"

namespace {

using box_t = std::array<int, 4>; // x, y, width, height

box_t box(const RECT& r) {
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

RECT window_rect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

// Where a pane lies in the main window's client area.
box_t placed(HWND pane, HWND main) {
    RECT r = window_rect(pane);
    MapWindowPoints(HWND_DESKTOP, main, reinterpret_cast<POINT*>(&r), 2);
    return box(r);
}

RECT client_rect(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return r;
}

task_idlist parse_path(const wchar_t* path) {
    Microsoft::WRL::ComPtr<IShellFolder> desktop;
    SHGetDesktopFolder(&desktop);
    ITEMIDLIST* list = nullptr;
    const HRESULT hr = desktop->ParseDisplayName(nullptr, nullptr, const_cast<wchar_t*>(path),
                                                 nullptr, &list, nullptr);
    task_idlist owned(list);
    if (hr != S_OK) owned.reset();
    return owned;
}

bool shows(const main_window_t* window, const bytes_t& items) {
    return window->ebe->folder && idlist_items(window->ebe->folder.get()) == items;
}

LPARAM at_x(int x) {
    return MAKELPARAM(static_cast<WORD>(x), 40);
}

// The file as this window saves it while nothing is pinned.
void expect_file_holds(const main_window_t* window, const bytes_t& folder) {
    const bytes_t file = settings_bytes();
    ASSERT_GE(file.size(), 32 + folder.size());
    EXPECT_EQ(i32_at(file, 0), 100);
    EXPECT_EQ(i32_at(file, 4), window->split);
    const RECT r = window_rect(window->handle);
    EXPECT_EQ((box_t{i32_at(file, 8), i32_at(file, 12), i32_at(file, 16), i32_at(file, 20)}),
              (box_t{r.left, r.top, r.right, r.bottom}));
    EXPECT_EQ(i32_at(file, 24), static_cast<std::int32_t>(folder.size()));
    EXPECT_EQ(bytes_t(file.begin() + 28, file.begin() + 28 + folder.size()), folder);
    EXPECT_EQ(i32_at(file, 28 + folder.size()), 0) << "pin count";
}

class MainWindowTest : public main_window_fixture_t {
protected:
    // The panes where the window's current split and client size put them.
    static void expect_layout(const main_window_t* window) {
        const RECT client = client_rect(window->handle);
        const int w = client.right, h = client.bottom;
        const int s = std::clamp(window->split, 0, w - 4);
        SCOPED_TRACE(testing::Message()
                     << "client " << w << "x" << h << ", split " << window->split);
        EXPECT_EQ(placed(window->tree->handle, window->handle), (box_t{0, 0, s, h}));
        EXPECT_EQ(placed(window->address->handle, window->handle),
                  (box_t{s + 4, 0, w - s - 4, 20}));
        EXPECT_EQ(placed(window->eb_handle, window->handle), (box_t{s + 4, 20, w - s - 4, h - 20}));
    }
};

TEST_F(MainWindowTest, OpensOnTheDesktopAsA1024By768Window) {
    main_window_t* window = open();
    ASSERT_TRUE(window->ebe->folder);

    wchar_t text[64] = L"";
    GetClassNameW(window->handle, text, 64);
    EXPECT_EQ(std::wstring(text), L"main_window");
    GetWindowTextW(window->handle, text, 64);
    EXPECT_EQ(std::wstring(text), L"zelvon");
    const RECT r = window_rect(window->handle);
    EXPECT_EQ(r.right - r.left, 1024);
    EXPECT_EQ(r.bottom - r.top, 768);
    EXPECT_TRUE(IsWindowVisible(window->handle));
    EXPECT_EQ(g_session.main_windows, std::vector<main_window_t*>{window});

    EXPECT_EQ(window->split, 300);
    EXPECT_FALSE(window->dragging);
    EXPECT_TRUE(IsChild(window->handle, window->tree->handle));
    EXPECT_TRUE(IsChild(window->handle, window->address->handle));
    EXPECT_TRUE(IsChild(window->handle, window->eb_handle));
    EXPECT_EQ(GetWindowLongW(window->eb_handle, GWL_STYLE) & WS_BORDER, 0);

    // The desktop is the empty list, in the sink and in the address bar.
    EXPECT_EQ(idlist_items(window->ebe->folder.get()), bytes_t{});
    EXPECT_EQ(idlist_items(window->address->pidl.get()), bytes_t{});
    expect_layout(window);

    window->save_settings();
    expect_file_holds(window, {});
    const bytes_t file = settings_bytes();
    const auto saved = decode_settings(file.data(), file.size());
    ASSERT_TRUE(saved);
    EXPECT_FALSE(saved->trailer.maximized);
}

TEST_F(MainWindowTest, LaysOutThePanesForEverySizeAndSplit) {
    main_window_t* window = open();
    const struct {
        int width, height; // outer size
        int split;
        bool from_right; // split counted from the client width
    } cases[] = {
        {1024, 768, 300, false}, {800, 600, 0, false},     {640, 480, 120, false},
        {640, 480, -1, false},   {500, 400, -250, false},  {500, 400, -4, true},
        {500, 400, -3, true},    {500, 400, 0, true},      {500, 400, 5000, false},
        {300, 200, 150, false},  {1200, 900, 1000, false},
    };
    for (const auto& c : cases) {
        SetWindowPos(window->handle, nullptr, 0, 0, c.width, c.height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        window->split = c.from_right ? client_rect(window->handle).right + c.split : c.split;
        SendMessageW(window->handle, WM_SIZE, 0, 0);
        expect_layout(window);
        g_session.flush(); // a layout is written once the window is still
        expect_file_holds(window, {});
    }
}

TEST_F(MainWindowTest, DraggingTheBarKeepsItWithinReach) {
    main_window_t* window = open();
    const int w = client_rect(window->handle).right;

    // Only a press on the bar itself starts a drag.
    for (int x : {299 - 1, 304, 305}) {
        SendMessageW(window->handle, WM_LBUTTONDOWN, MK_LBUTTON, at_x(x));
        EXPECT_FALSE(window->dragging) << x;
    }
    SendMessageW(window->handle, WM_LBUTTONDOWN, MK_LBUTTON, at_x(303));
    ASSERT_TRUE(window->dragging);
    const std::uint64_t writes = g_session.writes;

    SendMessageW(window->handle, WM_MOUSEMOVE, MK_LBUTTON, at_x(120));
    EXPECT_EQ(window->split, 120);
    expect_layout(window);

    SendMessageW(window->handle, WM_MOUSEMOVE, MK_LBUTTON, at_x(-40));
    EXPECT_EQ(window->split, 0);
    expect_layout(window);

    SendMessageW(window->handle, WM_MOUSEMOVE, MK_LBUTTON, at_x(w + 60));
    EXPECT_EQ(window->split, w - 4);
    expect_layout(window);

    SendMessageW(window->handle, WM_MOUSEMOVE, MK_LBUTTON, at_x(200));
    SendMessageW(window->handle, WM_LBUTTONUP, 0, at_x(200));
    EXPECT_FALSE(window->dragging);
    EXPECT_EQ(window->split, 200);
    expect_file_holds(window, {});
    EXPECT_EQ(g_session.writes, writes + 1) << "one drag, one write";

    // Moves after the release leave the bar where it is.
    SendMessageW(window->handle, WM_MOUSEMOVE, 0, at_x(50));
    EXPECT_EQ(window->split, 200);
}

TEST_F(MainWindowTest, BrowserNavigationReachesTheSinkAndTheFile) {
    main_window_t* window = open();
    const task_idlist windows = parse_path(L"C:\\windows");
    ASSERT_TRUE(windows);
    const bytes_t items = idlist_items(windows.get());
    ASSERT_FALSE(items.empty());

    window->eb->BrowseToIDList(windows.get(), 0);
    ASSERT_TRUE(pump_until([&] { return shows(window, items); }));
    EXPECT_EQ(idlist_items(window->address->pidl.get()), items);
    expect_file_holds(window, items);
    // The view the message loop offers messages to.
    EXPECT_TRUE(pump_until([&] { return window->ebe->view != nullptr; }));
    const std::size_t longer = settings_bytes().size();

    // Back on the desktop the save is shorter; what lies past it stays.
    window->browse_to_desktop();
    ASSERT_TRUE(pump_until([&] { return shows(window, {}); }));
    expect_file_holds(window, {});
    EXPECT_EQ(settings_bytes().size(), longer);
}

TEST_F(MainWindowTest, RestoresSplitRectangleAndFolderFromTheFile) {
    const task_idlist windows = parse_path(L"C:\\windows");
    ASSERT_TRUE(windows);
    const bytes_t items = idlist_items(windows.get());

    const RECT rect{40, 50, 840, 650};
    bytes_t file = settings_header(123, rect);
    append_record(file, items);
    put_le32(file, 0);
    // Left behind by a longer save: never read, never cut.
    const bytes_t tail(16, 0xEE);
    file.insert(file.end(), tail.begin(), tail.end());
    reset_settings(file);

    main_window_t* window = main_window_t::open();
    ASSERT_TRUE(pump_until([&] { return shows(window, items); }));
    pump_for(100);
    EXPECT_EQ(window->split, 123);
    EXPECT_EQ(box(window_rect(window->handle)), box(rect));
    expect_layout(window);
    // The saves that follow the load write back what was read, and then the trailer.
    const bytes_t now = settings_bytes();
    const std::size_t read = file.size() - tail.size();
    ASSERT_GE(now.size(), file.size());
    EXPECT_EQ(bytes_t(now.begin(), now.begin() + read), bytes_t(file.begin(), file.begin() + read));
}

TEST_F(MainWindowTest, RestoredBarPastTheRightEdgeIsLaidOutWithinReach) {
    const RECT rect{10, 10, 610, 410};
    bytes_t file = settings_header(5000, rect);
    append_record(file, {});
    put_le32(file, 0);
    reset_settings(file);

    main_window_t* window = open();
    ASSERT_TRUE(window->ebe->folder);
    pump_for(100);
    EXPECT_EQ(window->split, 5000);
    EXPECT_EQ(box(window_rect(window->handle)), box(rect));
    EXPECT_EQ(idlist_items(window->ebe->folder.get()), bytes_t{});
    expect_layout(window);

    // The bar where it is drawn can be grabbed and dragged back.
    const int bar = client_rect(window->handle).right - 4;
    SendMessageW(window->handle, WM_LBUTTONDOWN, MK_LBUTTON, at_x(bar + 3));
    EXPECT_TRUE(window->dragging);
    SendMessageW(window->handle, WM_MOUSEMOVE, MK_LBUTTON, at_x(250));
    SendMessageW(window->handle, WM_LBUTTONUP, 0, at_x(250));
    EXPECT_EQ(window->split, 250);
    expect_layout(window);
}

TEST_F(MainWindowTest, DamagedFilesRestoreNothingHarmful) {
    const RECT rect{30, 40, 730, 540};
    const auto with_record = [&](std::uint32_t length, const bytes_t& items, bool pins = true) {
        bytes_t out = settings_header(222, rect);
        put_le32(out, length);
        out.insert(out.end(), items.begin(), items.end());
        if (pins) put_le32(out, 0);
        return out;
    };
    const bytes_t valid = with_record(0, {});
    bytes_t wrong_magic = valid;
    wrong_magic[0] = 101;
    // A count far beyond the records that follow, the one record there damaged.
    bytes_t huge_pins = with_record(0, {}, false);
    put_le32(huge_pins, 0x7FFFFFFF);
    put_le32(huge_pins, 4);
    put_le32(huge_pins, 1);
    bytes_t negative_pins = with_record(0, {}, false);
    put_le32(negative_pins, 0xFFFFFFFF);

    const struct {
        const char* name;
        bytes_t bytes;
        bool header_restored;
    } cases[] = {
        {"wrong magic", wrong_magic, false},
        {"cut at 10 bytes", bytes_t(valid.begin(), valid.begin() + 10), false},
        {"cut inside the rectangle", bytes_t(valid.begin(), valid.begin() + 23), false},
        {"record length 0xFFFFFFFF", with_record(0xFFFFFFFF, {}, false), true},
        {"item count 1", with_record(6, {1, 0, 0, 0, 0, 0}), true},
        {"item count 0", with_record(6, {0, 0, 'a', 'b', 'c', 'd'}), true},
        {"item count past the record", with_record(6, {0x20, 0, 'a', 'b', 'c', 'd'}), true},
        {"item count 0xFFFF", with_record(4, {0xFF, 0xFF, 'a', 'b'}), true},
        {"second item count past the record", with_record(8, {4, 0, 'a', 'b', 9, 0, 'c', 'd'}),
         true},
        {"lone byte after the items", with_record(5, {4, 0, 'a', 'b', 7}), true},
        {"pin count 0x7FFFFFFF", huge_pins, true},
        {"pin count -1", negative_pins, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reset_settings(c.bytes);
        main_window_t* window = open();
        pump_for(50);
        ASSERT_EQ(g_session.main_windows, std::vector<main_window_t*>{window});
        ASSERT_TRUE(window->ebe->folder) << "no navigation";
        EXPECT_EQ(idlist_items(window->ebe->folder.get()), bytes_t{}) << "not on the desktop";
        EXPECT_EQ(idlist_items(window->address->pidl.get()), bytes_t{});
        if (c.header_restored) {
            EXPECT_EQ(window->split, 222);
            EXPECT_EQ(box(window_rect(window->handle)), box(rect));
        } else {
            EXPECT_EQ(window->split, 300);
            const RECT r = window_rect(window->handle);
            EXPECT_EQ(r.right - r.left, 1024);
            EXPECT_EQ(r.bottom - r.top, 768);
        }
        expect_layout(window);
        // What is written back names a folder that exists.
        expect_file_holds(window, {});
        close(window);
        pump_for(20);
        EXPECT_EQ(take_quits(), 1);
    }
}

TEST_F(MainWindowTest, ClosingRemovesTheWindowAndOnlyTheLastOneQuits) {
    main_window_t* a = open();
    main_window_t* b = open();
    main_window_t* c = open();
    EXPECT_EQ(g_session.main_windows, (std::vector<main_window_t*>{a, b, c}));
    const HWND a_handle = a->handle, b_handle = b->handle, c_handle = c->handle;

    close(b);
    EXPECT_EQ(g_session.main_windows, (std::vector<main_window_t*>{a, c}));
    EXPECT_FALSE(IsWindow(b_handle));
    pump_for(100);
    EXPECT_EQ(take_quits(), 0);

    close(a);
    EXPECT_EQ(g_session.main_windows, std::vector<main_window_t*>{c});
    EXPECT_FALSE(IsWindow(a_handle));
    EXPECT_TRUE(IsWindowVisible(c_handle));
    pump_for(100);
    EXPECT_EQ(take_quits(), 0);

    close(c);
    EXPECT_TRUE(g_session.main_windows.empty());
    EXPECT_FALSE(IsWindow(c_handle));
    pump_for(100);
    EXPECT_EQ(take_quits(), 1);
}

} // namespace

namespace {

TEST_F(MainWindowTest, AFailedNavigationPutsBarTreeAndFileBackWhereTheBrowserIs) {
    main_window_t* window = open();
    ASSERT_TRUE(pump_until([&] { return window->ebe->shown != nullptr; }));
    const task_idlist windows = parse_path(L"C:\\windows");
    ASSERT_TRUE(windows);

    window->ebe->OnNavigationPending(windows.get());
    ASSERT_EQ(idlist_items(window->address->pidl.get()), idlist_items(windows.get()));
    window->ebe->OnNavigationFailed(windows.get());

    EXPECT_EQ(idlist_items(window->address->pidl.get()), bytes_t{});
    EXPECT_TRUE(window->tree->model().root().current);
    expect_file_holds(window, {});
}

TEST_F(MainWindowTest, KeysGoToTheListOnlyWhileItHasTheFocusAndOnlyItsOwnWindows) {
    main_window_t* a = open();
    main_window_t* b = open();
    ASSERT_TRUE(pump_until([&] { return a->ebe->view && b->ebe->view; }));
    const auto key_to = [](HWND target) { return MSG{target, WM_KEYDOWN, VK_DELETE, 0, 0, {}}; };
    HWND a_list = nullptr;
    a->ebe->view->GetWindow(&a_list);
    ASSERT_TRUE(a_list);

    SetFocus(a->tree->handle);
    EXPECT_EQ(view_for_message(key_to(a->tree->handle)), nullptr) << "typed in the tree";
    SetFocus(a_list);
    ASSERT_TRUE(IsChild(a->eb_handle, GetFocus()) || GetFocus() == a->eb_handle);
    EXPECT_EQ(view_for_message(key_to(GetFocus())), a->ebe->view.Get());
    EXPECT_EQ(view_for_message(key_to(b->tree->handle)), nullptr) << "another window's";
    EXPECT_EQ(view_for_message(key_to(nullptr)), nullptr) << "a thread message";
}

TEST_F(MainWindowTest, ClosingTearsTheBrowserDownBeforeLettingItGo) {
    main_window_t* window = open();
    ASSERT_TRUE(pump_until([&] { return window->ebe->view != nullptr; }));
    const Microsoft::WRL::ComPtr<IExplorerBrowser> browser = window->eb;
    close(window);
    pump_for(20);
    // Torn down, the browser has let its view go; merely released, it would hold it still
    // for whoever else holds the browser.
    Microsoft::WRL::ComPtr<IShellView> view;
    EXPECT_FALSE(SUCCEEDED(browser->GetCurrentView(IID_PPV_ARGS(&view))));
}

} // namespace

namespace {

TEST_F(MainWindowTest, AWindowOpenedOnAFolderNavigatesOnceSoBackLeadsNowhere) {
    const task_idlist windows = parse_path(L"C:\\windows");
    ASSERT_TRUE(windows);
    // Saved on the desktop: a restore followed by a second navigation would leave the
    // desktop behind in the history.
    main_window_t* first = open();
    first->save_settings();
    close(first);
    take_quits();

    main_window_t* window = main_window_t::open(windows.get());
    const bytes_t items = idlist_items(windows.get());
    ASSERT_TRUE(pump_until([&] { return shows(window, items) && window->ebe->shown; }));
    window->eb->BrowseToIDList(nullptr, SBSP_NAVIGATEBACK);
    pump_for(300);
    EXPECT_TRUE(shows(window, items));
}

} // namespace

namespace {

TEST_F(MainWindowTest, MovedToAMonitorOfAnotherScaleTheWindowLaysItselfOutAtThatScale) {
    main_window_t* window = open();
    ASSERT_EQ(window->dpi, 96);
    RECT suggested{100, 50, 1500, 950};
    SendMessageW(window->handle, WM_DPICHANGED, MAKEWPARAM(144, 144),
                 reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(box(window_rect(window->handle)), box(suggested));
    EXPECT_EQ(window->split, 300) << "the same width in 96-DPI units";
    const RECT client = client_rect(window->handle);
    const int w = client.right, h = client.bottom;
    EXPECT_EQ(placed(window->tree->handle, window->handle), (box_t{0, 0, 450, h}));
    EXPECT_EQ(placed(window->address->handle, window->handle), (box_t{456, 0, w - 456, 30}));
    EXPECT_EQ(placed(window->eb_handle, window->handle), (box_t{456, 30, w - 456, h - 30}));
    LOGFONTW font{};
    GetObjectW(window->font.get(), sizeof font, &font);
    EXPECT_EQ(font.lfHeight, 27);
    EXPECT_EQ(window->tree->px(ROW_HEIGHT), 30);
    // And back.
    SendMessageW(window->handle, WM_DPICHANGED, MAKEWPARAM(96, 96),
                 reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(placed(window->address->handle, window->handle).at(3), 20);
    EXPECT_FALSE(window->font);
}

} // namespace

TEST_F(MainWindowTest, AFileCutMidwayIsReadFromTheBackupWrittenBeforeIt) {
    close_window(open_settled_window());
    const bytes_t saved = settings_bytes();
    ASSERT_TRUE(decode_settings(saved.data(), saved.size())->has_trailer);
    // Whole, it leaves no backup to shadow a file an older version writes later.
    EXPECT_EQ(GetFileAttributesW((g_session.settings_path + L".bak").c_str()),
              INVALID_FILE_ATTRIBUTES);
    const auto cut_with_backup = [&](std::size_t file_size, std::size_t backup_size) {
        reset_settings(bytes_t(saved.begin(), saved.begin() + file_size));
        HANDLE backup = CreateFileW((g_session.settings_path + L".bak").c_str(), GENERIC_WRITE, 0,
                                    nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(backup, saved.data(), DWORD(backup_size), &written, nullptr);
        CloseHandle(backup);
        return bytes_t(saved.begin(), saved.begin() + file_size);
    };

    cut_with_backup(saved.size() / 2, saved.size());
    EXPECT_EQ(g_session.read(), saved);
    // A backup cut too is no better: the file is read as it is.
    const bytes_t cut = cut_with_backup(saved.size() / 3, saved.size() / 4);
    EXPECT_EQ(g_session.read(), cut);
}

namespace {

// Fonts selected into each DC and deleted while selected, seen as the program's code
// calls the system.
std::map<HDC, HGDIOBJ> selected_fonts;
int deleted_while_selected = 0;
decltype(&SelectObject) real_select = nullptr;
decltype(&DeleteObject) real_delete = nullptr;
decltype(&DeleteDC) real_delete_dc = nullptr;

HGDIOBJ WINAPI noting_select(HDC dc, HGDIOBJ object) {
    if (GetObjectType(object) == OBJ_FONT) selected_fonts[dc] = object;
    return real_select(dc, object);
}

BOOL WINAPI noting_delete(HGDIOBJ object) {
    if (GetObjectType(object) == OBJ_FONT)
        for (const auto& [dc, font] : selected_fonts) deleted_while_selected += font == object;
    return real_delete(object);
}

BOOL WINAPI noting_delete_dc(HDC dc) {
    selected_fonts.erase(dc);
    return real_delete_dc(dc);
}

TEST_F(MainWindowTest, FontsOfEveryScaleGoWithTheWindowAndNoneIsDeletedWhileSelected) {
    real_select = reinterpret_cast<decltype(real_select)>(
        replace_import("gdi32.dll", "SelectObject", reinterpret_cast<void*>(&noting_select)));
    real_delete = reinterpret_cast<decltype(real_delete)>(
        replace_import("gdi32.dll", "DeleteObject", reinterpret_cast<void*>(&noting_delete)));
    real_delete_dc = reinterpret_cast<decltype(real_delete_dc)>(
        replace_import("gdi32.dll", "DeleteDC", reinterpret_cast<void*>(&noting_delete_dc)));
    ASSERT_TRUE(real_select && real_delete && real_delete_dc);
    const auto gdi_objects = [] { return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); };
    const auto change_dpi = [](main_window_t* window, int dpi) {
        RECT r = window_rect(window->handle);
        SendMessageW(window->handle, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                     reinterpret_cast<LPARAM>(&r));
    };
    close(open()); // what a first window leaves cached
    pump_for(100);
    const DWORD rest = gdi_objects();

    main_window_t* window = open();
    change_dpi(window, 144);
    const HFONT old = window->font.get();
    change_dpi(window, 120);
    EXPECT_EQ(GetObjectType(old), 0u) << "the font of the scale left is deleted";
    change_dpi(window, 96);
    close(window);
    pump_for(100);
    EXPECT_EQ(gdi_objects(), rest) << "after two changes of scale";

    window = open();
    change_dpi(window, 144);
    close(window);
    pump_for(100);
    EXPECT_EQ(gdi_objects(), rest) << "after a window at 144 DPI";
    // A system that refuses to delete a font still selected keeps it for good.
    EXPECT_EQ(deleted_while_selected, 0);
    replace_import("gdi32.dll", "SelectObject", reinterpret_cast<void*>(real_select));
    replace_import("gdi32.dll", "DeleteObject", reinterpret_cast<void*>(real_delete));
    replace_import("gdi32.dll", "DeleteDC", reinterpret_cast<void*>(real_delete_dc));
}

} // namespace

namespace {

// Where main windows are made, as the system is asked to make them.
std::vector<RECT> made_at;

LRESULT CALLBACK note_creation(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTW* cs = reinterpret_cast<CBT_CREATEWNDW*>(lparam)->lpcs;
        wchar_t name[32] = L"";
        GetClassNameW(HWND(wparam), name, 32);
        if (std::wstring(name) == L"main_window")
            made_at.push_back({cs->x, cs->y, cs->x + cs->cx, cs->y + cs->cy});
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

TEST_F(MainWindowTest, ARestoredWindowIsMadeWhereItWasSavedNotMovedThere) {
    // Moved there from another monitor, it would take that one's scale on the way.
    const RECT rect{40, 50, 840, 650};
    bytes_t file = settings_header(250, rect);
    append_record(file, {});
    put_le32(file, 0);
    reset_settings(file);
    made_at.clear();
    HHOOK hook = SetWindowsHookExW(WH_CBT, note_creation, nullptr, GetCurrentThreadId());
    main_window_t* window = open();
    UnhookWindowsHookEx(hook);
    ASSERT_EQ(made_at.size(), 1u);
    EXPECT_EQ(box(made_at[0]), box(rect));
    EXPECT_EQ(box(window_rect(window->handle)), box(rect));
}

} // namespace
