#include "ui/address/address_view.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <oleacc.h>
#include <shlwapi.h>
#include <wrl/client.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/process.h"
#include "tests/support/dib.h"
#include "tests/support/test_host.h"
#include "tests/support/win_test_support.h"

namespace {

using box_t = std::array<int, 4>;    // x, y, width, height
using edges_t = std::array<LONG, 4>; // left, top, right, bottom

constexpr std::uint32_t WHITE = 0xFFFFFF;
constexpr std::uint32_t BLACK = 0x000000;

edges_t edges(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

// Where a window lies in its parent's client area.
box_t placed(HWND child, HWND parent) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

Microsoft::WRL::ComPtr<IShellFolder> desktop_folder() {
    Microsoft::WRL::ComPtr<IShellFolder> desktop;
    SHGetDesktopFolder(&desktop);
    return desktop;
}

task_idlist parse_path(const wchar_t* path) {
    ITEMIDLIST* list = nullptr;
    const HRESULT hr = desktop_folder()->ParseDisplayName(
        nullptr, nullptr, const_cast<wchar_t*>(path), nullptr, &list, nullptr);
    task_idlist owned(list);
    if (hr != S_OK) owned.reset();
    return owned;
}

task_idlist computer_folder() {
    ITEMIDLIST* list = nullptr;
    SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &list);
    return task_idlist(list);
}

// The list with its terminator, as bytes.
bytes_t whole_list(const void* list) {
    bytes_t bytes = idlist_items(list);
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

// The first `items` items of a list, terminated.
bytes_t prefix_of(const void* list, std::size_t items) {
    const auto* p = static_cast<const std::uint8_t*>(list);
    bytes_t bytes(p, p + idlist_prefix_length(list, items));
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

std::wstring display_name(const void* list) {
    STRRET name{};
    wchar_t* text = nullptr;
    const auto* pidl = static_cast<const ITEMIDLIST*>(list);
    if (FAILED(desktop_folder()->GetDisplayNameOf(pidl, SHGDN_NORMAL, &name))) return L"?failed";
    StrRetToStrW(&name, pidl, &text);
    const std::wstring out = text ? text : L"";
    CoTaskMemFree(text);
    return out;
}

// What the bar's own measuring call gives, from a DC of our own with the same font.
RECT measured(const std::wstring& name) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, g_font.get());
    RECT r{0, 0, 0, 24};
    DrawTextW(dc, name.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_VCENTER);
    SelectObject(dc, old);
    DeleteDC(dc);
    return r;
}

struct model_t {
    std::vector<std::wstring> names;
    std::vector<edges_t> rects;
    bool operator==(const model_t& other) const {
        return names == other.names && rects == other.rects;
    }
};

std::ostream& operator<<(std::ostream& out, const model_t& m) {
    for (std::size_t i = 0; i < m.names.size() || i < m.rects.size(); ++i) {
        out << "\n  ";
        if (i < m.names.size())
            for (wchar_t c : m.names[i]) out << (c < 128 ? char(c) : '?');
        if (i < m.rects.size())
            out << " (" << m.rects[i][0] << ", " << m.rects[i][1] << ", " << m.rects[i][2] << ", "
                << m.rects[i][3] << ")";
    }
    return out;
}

model_t model_of(const address_view_t* view) {
    model_t m;
    for (const task_string& name : view->names) m.names.push_back(name ? name.get() : L"(null)");
    for (const RECT& r : view->rects) m.rects.push_back(edges(r));
    return m;
}

// Every prefix named through the desktop, measured, and laid out 16 pixels apart.
model_t expected_model(const ITEMIDLIST* list) {
    model_t m;
    LONG x = 0;
    for (std::size_t k = 1; k <= idlist_count(list); ++k) {
        const bytes_t prefix = prefix_of(list, k);
        const std::wstring name = display_name(prefix.data());
        const LONG w = measured(name).right;
        m.names.push_back(name);
        m.rects.push_back({x, 0, x + w, 24});
        x += w + 16;
    }
    return m;
}

// A list at the very end of a read-only page with an inaccessible page after it: whoever
// is handed it can neither write it nor read past its terminator.
struct guarded_list_t {
    std::uint8_t* base = nullptr;
    const ITEMIDLIST* list = nullptr;
    std::size_t size = 0;

    explicit guarded_list_t(const bytes_t& bytes) : size(bytes.size()) {
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        const std::size_t page = info.dwPageSize;
        base = static_cast<std::uint8_t*>(
            VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        std::uint8_t* at = base + page - size;
        std::memcpy(at, bytes.data(), size);
        DWORD old = 0;
        VirtualProtect(base, page, PAGE_READONLY, &old);
        VirtualProtect(base + page, page, PAGE_NOACCESS, &old);
        list = reinterpret_cast<const ITEMIDLIST*>(at);
    }
    ~guarded_list_t() { VirtualFree(base, 0, MEM_RELEASE); }
    guarded_list_t(const guarded_list_t&) = delete;
    guarded_list_t& operator=(const guarded_list_t&) = delete;

    bytes_t bytes() const {
        const auto* p = reinterpret_cast<const std::uint8_t*>(list);
        return bytes_t(p, p + size);
    }
};

// The bar's off-screen image, copied out so that every pixel reads exactly.
picture_t bar_picture(const address_view_t* view) {
    BITMAP bm{};
    GetObjectW(GetCurrentObject(view->surface.mem_dc, OBJ_BITMAP), sizeof bm, &bm);
    return picture_t(view->surface.mem_dc, bm.bmWidth, bm.bmHeight);
}

// The bar as painted, its text excepted: white, with a black arrowhead pointing right in
// the 16-pixel gap after every segment, the last one included; or in a theme's ground and
// ink (0xRRGGBB).
void expect_bar_painted(const address_view_t* view, std::uint32_t ground = WHITE,
                        std::uint32_t ink = BLACK) {
    const picture_t s = bar_picture(view);
    ASSERT_FALSE(s.pixels.empty()) << "no image to read";
    // Segments that gave way to the marker are not drawn; the marker's text is left out.
    const std::size_t first = view->first_shown;
    const auto in_text = [&](int x, int y) {
        if (first > 0 && x < MARKER_WIDTH && y < SEGMENT_HEIGHT) return true;
        for (std::size_t i = first; i < view->rects.size(); ++i) {
            const RECT& r = view->rects[i];
            if (r.left <= x && x < r.right && r.top <= y && y < r.bottom) return true;
        }
        return false;
    };
    const auto arrow_after = [&](int x, int y) -> int {
        for (std::size_t i = first; i < view->rects.size(); ++i) {
            const RECT& r = view->rects[i];
            if (r.right + 5 <= x && x < r.right + 10 && 5 <= y && y <= 15) return r.right;
        }
        return -1;
    };
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) {
            if (in_text(x, y)) continue;
            const std::uint32_t pixel = s.at(x, y);
            if (arrow_after(x, y) >= 0) {
                EXPECT_TRUE(pixel == ink || pixel == ground)
                    << std::hex << pixel << std::dec << " at " << x << "," << y;
            } else {
                ASSERT_EQ(pixel, ground) << "at " << x << "," << y;
            }
        }

    const auto on_bar = [&](int x, int y) { return 0 <= x && x < s.width && y < s.height; };
    for (std::size_t i = first; i < view->rects.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "segment " << i);
        const int R = view->rects[i].right;
        const std::pair<int, int> inside[] = {{5, 10}, {6, 10}, {7, 10}, {8, 10}, {5, 8},
                                              {5, 12}, {6, 9},  {6, 11}, {7, 9},  {7, 11}};
        for (const auto& [dx, dy] : inside)
            if (on_bar(R + dx, dy)) {
                EXPECT_EQ(s.at(R + dx, dy), ink) << "R+" << dx << "," << dy;
            }
    }

    // Whatever the font, a named segment wholly on the bar shows some ink inside it.
    for (std::size_t i = first; i < view->names.size(); ++i) {
        const RECT& r = view->rects[i];
        if (!view->names[i] || !*view->names[i].get() || r.right > s.width) continue;
        bool shows = false;
        for (int y = std::max<LONG>(r.top, 0); y < std::min<LONG>(r.bottom, s.height); ++y)
            for (int x = r.left; x < std::min<LONG>(r.right, s.width); ++x)
                shows = shows || s.at(x, y) != ground;
        EXPECT_TRUE(shows) << "segment " << i << " shows no text";
    }
}

class AddressTest : public testing::Test {
protected:
    test_host_t home;
    std::unique_ptr<address_view_t> pane;
    address_view_t* view = nullptr;

    void SetUp() override {
        // What a window does with a browse: its browser reports the folder, and the bar
        // follows it.
        home.after_browse = [this](const ITEMIDLIST* list) { view->set_folder(list); };
        pane = std::make_unique<address_view_t>(home.parent, g_font.get(), home.host());
        view = pane.get();
    }

    bool shows(const bytes_t& items) const {
        return view->pidl && idlist_items(view->pidl.get()) == items;
    }

    // The bar on a folder, as the window's browser would report it.
    void browse(const ITEMIDLIST* list) {
        view->set_folder(list);
        ASSERT_TRUE(shows(idlist_items(list)));
    }

    bool editing() const { return (GetWindowLongW(view->edit, GWL_STYLE) & WS_VISIBLE) != 0; }

    std::wstring editor_text() const {
        wchar_t text[1024] = L"";
        GetWindowTextW(view->edit, text, 1024);
        return text;
    }

    void click(int x, int y) { view->on_message(WM_LBUTTONDOWN, 0, MAKELPARAM(WORD(x), WORD(y))); }

    // Editor text arriving as the control announces it.
    void type(const std::wstring& text) {
        SetWindowTextW(view->edit, text.c_str());
        SendMessageW(view->handle, WM_COMMAND, MAKEWPARAM(1, EN_UPDATE),
                     reinterpret_cast<LPARAM>(view->edit));
    }

    // A click just past the last segment's arrowhead, or anywhere on an empty bar.
    void open_editor() {
        click(view->rects.empty() ? 10 : view->rects.back().right + 30, 10);
        ASSERT_TRUE(editing());
    }
};

TEST_F(AddressTest, SetFolderNamesAndMeasuresOneSegmentPerItem) {
    for (const wchar_t* path : {L"C:\\windows", L"C:\\windows\\system32"}) {
        SCOPED_TRACE(testing::Message() << "path " << (path[11] ? "system32" : "windows"));
        const task_idlist parsed = parse_path(path);
        ASSERT_TRUE(parsed);
        const model_t expected = expected_model(parsed.get());
        ASSERT_GE(expected.names.size(), 2u);
        for (std::size_t i = 0; i < expected.names.size(); ++i) {
            EXPECT_FALSE(expected.names[i].empty()) << i;
            EXPECT_GT(expected.rects[i][2], expected.rects[i][0]) << i;
        }
        // Read-only with nothing readable after it: a write or an overread ends the run.
        const bytes_t before = whole_list(parsed.get());
        const guarded_list_t caller(before);

        open_editor();
        view->set_folder(caller.list);
        EXPECT_FALSE(editing());
        EXPECT_EQ(model_of(view), expected);
        EXPECT_EQ(whole_list(view->pidl.get()), before);
        EXPECT_EQ(caller.bytes(), before);

        // Again, with the same result; the names of the segments it shares with what the
        // bar showed are the ones it had (the shell is not asked again).
        std::vector<const wchar_t*> before_names;
        for (const task_string& name : view->names) before_names.push_back(name.get());
        view->set_folder(caller.list);
        EXPECT_EQ(model_of(view), expected);
        for (std::size_t i = 0; i < before_names.size(); ++i)
            EXPECT_EQ(view->names[i].get(), before_names[i]) << i;
    }

    const std::uint8_t desktop[2] = {0, 0};
    view->set_folder(reinterpret_cast<const ITEMIDLIST*>(desktop));
    EXPECT_EQ(model_of(view), model_t{});
    ASSERT_TRUE(view->pidl);
    EXPECT_EQ(whole_list(view->pidl.get()), bytes_t({0, 0}));
}

TEST_F(AddressTest, ANewBarHoldsTheComputerFolderMeasuredAsItCame) {
    const task_idlist computer = computer_folder();
    ASSERT_TRUE(computer);
    const std::wstring name = display_name(computer.get());

    const auto owned = std::make_unique<address_view_t>(home.parent, g_font.get(), home.host());
    address_view_t* fresh = owned.get();
    EXPECT_FALSE(GetWindowLongW(fresh->edit, GWL_STYLE) & WS_VISIBLE);
    ASSERT_TRUE(fresh->pidl);
    EXPECT_EQ(whole_list(fresh->pidl.get()), whole_list(computer.get()));
    // The one rectangle keeps the measured bottom; only later folders are 24 high.
    model_t expected;
    expected.names = {name};
    expected.rects = {edges(measured(name))};
    EXPECT_EQ(model_of(fresh), expected);
    expect_bar_painted(fresh);
}

TEST_F(AddressTest, PaintsAWhiteBarWithAnArrowheadAfterEverySegment) {
    const std::uint8_t desktop[2] = {0, 0};
    view->set_folder(reinterpret_cast<const ITEMIDLIST*>(desktop));
    ASSERT_TRUE(view->rects.empty());
    expect_bar_painted(view);

    for (const task_idlist& list : {computer_folder(), parse_path(L"C:\\windows\\system32")}) {
        ASSERT_TRUE(list);
        view->set_folder(list.get());
        ASSERT_FALSE(view->rects.empty());
        // Room for the whole last gap, so every arrowhead is on the bitmap.
        RECT client{};
        GetClientRect(view->handle, &client);
        const int needed = view->rects.back().right + 16;
        if (client.right < needed) view->resize(needed + 40, 304);
        expect_bar_painted(view);
    }
}

// A bar left alone holds no pixels of its own; shown again, it draws them as they were.
TEST_F(AddressTest, ABarLeftAloneLetsItsPixelsGoAndPaintsThemAgainWhenShown) {
    const task_idlist list = parse_path(L"C:\\windows\\system32");
    ASSERT_TRUE(list);
    view->set_folder(list.get());
    UpdateWindow(view->handle);
    const picture_t before = bar_picture(view);
    pump_for(3500);
    EXPECT_FALSE(view->surface.has_pixels());

    InvalidateRect(view->handle, nullptr, FALSE);
    UpdateWindow(view->handle);
    ASSERT_TRUE(view->surface.has_pixels());
    EXPECT_EQ(bar_picture(view).pixels, before.pixels);
}

TEST_F(AddressTest, ResizePlacesBarAndEditorAndKeepsTheSegments) {
    const task_idlist list = parse_path(L"C:\\windows\\system32");
    ASSERT_TRUE(list);
    view->set_folder(list.get());
    const model_t model = model_of(view);

    const std::pair<int, int> sizes[] = {{500, 310}, {120, 0}, {1400, 40}, {1, 7}};
    for (const auto& [width, x] : sizes) {
        SCOPED_TRACE(testing::Message() << width << " at " << x);
        view->resize(width, x);
        EXPECT_EQ(placed(view->handle, home.parent), (box_t{x, 0, width, 20}));
        EXPECT_EQ(placed(view->edit, view->handle), (box_t{0, 0, width, 240}));
        if (model.rects.back()[2] + SEGMENT_GAP + CLICK_ROOM <= width) {
            EXPECT_EQ(model_of(view), model) << "room for all: they stay as they were";
        } else {
            // The leading ones gave way; the last is whole right after the marker, or as
            // whole as the bar allows.
            EXPECT_GT(view->first_shown, 0u);
            EXPECT_EQ(view->rects[view->first_shown].left, MARKER_WIDTH);
            if (view->first_shown + 1 < view->rects.size())
                EXPECT_LE(view->rects.back().right + SEGMENT_GAP + CLICK_ROOM, width);
        }
        BITMAP bm{};
        ASSERT_TRUE(GetObjectW(view->surface.mem_bitmap, sizeof bm, &bm));
        EXPECT_EQ(bm.bmWidth, width);
        EXPECT_EQ(bm.bmHeight, 20);
        EXPECT_EQ(GetCurrentObject(view->surface.mem_dc, OBJ_BITMAP), view->surface.mem_bitmap);
        expect_bar_painted(view);
    }

    // No bitmap can be that size; the bar must live on and paint again afterwards.
    for (int width : {0, -1, -500}) {
        view->resize(width, 100);
        BITMAP bm{};
        EXPECT_TRUE(GetObjectW(view->surface.mem_bitmap, sizeof bm, &bm)) << width;
        EXPECT_EQ(GetCurrentObject(view->surface.mem_dc, OBJ_BITMAP), view->surface.mem_bitmap)
            << width;
        view->paint();
        pump_for(20);
    }
    view->resize(700, 304);
    EXPECT_EQ(placed(view->handle, home.parent), (box_t{304, 0, 700, 20}));
    expect_bar_painted(view);
}

TEST_F(AddressTest, AClickOnASegmentBrowsesToThatPrefix) {
    const task_idlist target = parse_path(L"C:\\windows\\system32");
    ASSERT_TRUE(target);
    const std::size_t count = idlist_count(target.get());
    ASSERT_GE(count, 2u);
    for (std::size_t i = 0; i < count; ++i) {
        // Its left and top edges are on it, and so are its last column and the bar's last row.
        for (bool far_corner : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << "segment " << i << (far_corner ? ", far" : ", near") << " corner");
            browse(target.get());
            ASSERT_EQ(view->rects.size(), count);
            const RECT r = view->rects[i];
            ASSERT_GT(r.right, r.left);
            const bytes_t prefix = prefix_of(target.get(), i + 1);
            const bytes_t items(prefix.begin(), prefix.end() - 2);
            home.browsed.clear();
            if (far_corner)
                click(r.right - 1, 19);
            else
                click(r.left, 0);
            EXPECT_FALSE(editing());
            EXPECT_EQ(home.browsed, std::vector<bytes_t>{prefix});
            EXPECT_TRUE(shows(items));
        }
    }
}

TEST_F(AddressTest, AClickOutsideEverySegmentOpensTheEditorOnThePath) {
    const task_idlist target = parse_path(L"C:\\windows\\system32");
    ASSERT_TRUE(target);
    browse(target.get());
    const bytes_t items = idlist_items(target.get());

    std::vector<std::pair<int, int>> points;
    for (const RECT& r : view->rects) {
        points.push_back({r.right, 0});       // the right edge is not the segment's
        points.push_back({r.right, 10});      //
        points.push_back({r.right + 7, 10});  // on the arrowhead
        points.push_back({r.right + 13, 3});  // in the gap after it
        points.push_back({r.right + 15, 19}); // the gap's last column
    }
    points.push_back({view->rects.back().right + 200, 10});
    points.push_back({view->rects[0].left, 24}); // the bottom edge is not the segment's

    for (const auto& [x, y] : points) {
        SCOPED_TRACE(testing::Message() << "click at " << x << "," << y);
        ShowWindow(view->edit, SW_HIDE);
        SetWindowTextW(view->edit, L"left over");
        SetFocus(home.parent);
        click(x, y);
        EXPECT_TRUE(editing());
        EXPECT_EQ(editor_text(), L"C:\\windows\\system32");
        EXPECT_EQ(GetFocus(), view->edit);
    }
    EXPECT_TRUE(home.browsed.empty()) << "a click beside the segments navigated";
    EXPECT_TRUE(shows(items));
}

TEST_F(AddressTest, TheEditorOpensEmptyForAFolderWithoutAPath) {
    const task_idlist computer = computer_folder();
    ASSERT_TRUE(computer);
    browse(computer.get());
    ASSERT_EQ(view->rects.size(), 1u);
    SetWindowTextW(view->edit, L"left over");
    open_editor();
    EXPECT_EQ(editor_text(), L"");
    EXPECT_EQ(GetFocus(), view->edit);

    // The desktop has no segments: every click opens the editor, on its directory.
    wchar_t directory[MAX_PATH] = L"";
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, directory), S_OK);
    const std::uint8_t desktop[2] = {0, 0};
    browse(reinterpret_cast<const ITEMIDLIST*>(desktop));
    for (int x : {0, 5, 300}) {
        ShowWindow(view->edit, SW_HIDE);
        click(x, 10);
        EXPECT_TRUE(editing()) << x;
        EXPECT_EQ(editor_text(), directory) << x;
    }
}

TEST_F(AddressTest, EnterInTheEditorBrowsesToTheTypedPath) {
    const task_idlist windows = parse_path(L"C:\\windows");
    const task_idlist system32 = parse_path(L"C:\\windows\\system32");
    ASSERT_TRUE(windows && system32);
    browse(windows.get());

    open_editor();
    // Still typing: however far, nothing happens until a line break arrives.
    for (const wchar_t* text : {L"C:\\windows\\system", L"C:\\windows\\system32"}) {
        type(text);
        EXPECT_TRUE(editing());
    }
    pump_for(100);
    EXPECT_TRUE(shows(idlist_items(windows.get())));

    type(L"C:\\windows\\system32\r\n");
    EXPECT_FALSE(editing());
    EXPECT_TRUE(pump_until([&] { return shows(idlist_items(system32.get())); }));

    // A break in the middle is dropped and the two sides joined.
    open_editor();
    type(L"C:\\win\r\ndows");
    EXPECT_FALSE(editing());
    EXPECT_TRUE(pump_until([&] { return shows(idlist_items(windows.get())); }));
}

TEST_F(AddressTest, TextThatNamesNothingKeepsTheEditorOpenWithItSelected) {
    const task_idlist windows = parse_path(L"C:\\windows");
    ASSERT_TRUE(windows);
    browse(windows.get());
    const model_t model = model_of(view);

    open_editor();
    type(L"C:\\no such folder\\anywhere\r\n");
    EXPECT_TRUE(editing());
    EXPECT_EQ(editor_text(), L"C:\\no such folder\\anywhere");
    DWORD from = 0, to = 0;
    SendMessageW(view->edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                 reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(to, editor_text().size());
    EXPECT_TRUE(home.browsed.empty());
    EXPECT_EQ(model_of(view), model);

    // Escape closes it and leaves the bar as it was.
    SendMessageW(view->edit, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_FALSE(editing());
    EXPECT_EQ(model_of(view), model);
    EXPECT_TRUE(home.browsed.empty());
}

TEST_F(AddressTest, ThePathBoxOpensSelectedTakesLongPathsAndCompletesSubfolders) {
    const task_idlist windows = parse_path(L"C:\\windows");
    ASSERT_TRUE(windows);
    browse(windows.get());
    open_editor();
    DWORD from = 1, to = 0;
    SendMessageW(view->edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                 reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(to, wcslen(L"C:\\windows")) << "all of the path selected";

    // Longer than MAX_PATH: blanks the parse ignores.
    std::wstring text = L"C:\\windows\\system32";
    text.resize(400, L' ');
    type(text + L"\r\n");
    EXPECT_FALSE(editing());
    ASSERT_EQ(home.browsed.size(), 1u);
    const task_idlist system32 = parse_path(L"C:\\windows\\system32");
    EXPECT_EQ(idlist_items(as_idlist(home.browsed[0])), idlist_items(system32.get()));

    // The drop-down lists the typed folder's subfolders that start with the tail, in any
    // case; Down and Enter take the first.
    browse(windows.get());
    open_editor();
    type(L"C:\\WINDOWS\\SYS");
    ASSERT_TRUE(IsWindowVisible(view->completions));
    ASSERT_FALSE(view->shown_names.empty());
    for (const std::wstring& name : view->shown_names)
        EXPECT_EQ(CompareStringOrdinal(name.c_str(), 3, L"sys", 3, TRUE), CSTR_EQUAL) << name;
    const std::wstring first = view->shown_names[0];
    SendMessageW(view->edit, WM_KEYDOWN, VK_DOWN, 0);
    SendMessageW(view->edit, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_FALSE(editing());
    ASSERT_EQ(home.browsed.size(), 2u);
    const task_idlist chosen = parse_path((L"C:\\windows\\" + first).c_str());
    EXPECT_EQ(idlist_items(as_idlist(home.browsed[1])), idlist_items(chosen.get()));

    // Tab completes to the folder and goes on to list its subfolders.
    open_editor();
    type(L"C:\\windows\\sys");
    ASSERT_TRUE(IsWindowVisible(view->completions));
    const std::wstring completed = view->shown_names[0];
    SendMessageW(view->edit, WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(editor_text(), L"C:\\windows\\" + completed + L"\\");
    EXPECT_TRUE(editing());
}

TEST_F(AddressTest, AScreenReaderSeesTheSegmentsAsButtonsWithTheirNames) {
    const task_idlist system32 = parse_path(L"C:\\windows\\system32");
    ASSERT_TRUE(system32);
    browse(system32.get());
    const LRESULT result = view->on_message(WM_GETOBJECT, 0, OBJID_CLIENT);
    Microsoft::WRL::ComPtr<IAccessible> bar;
    ASSERT_EQ(ObjectFromLresult(result, __uuidof(IAccessible), 0,
                                reinterpret_cast<void**>(bar.GetAddressOf())),
              S_OK);
    LONG count = 0;
    ASSERT_EQ(bar->get_accChildCount(&count), S_OK);
    ASSERT_EQ(count, LONG(view->names.size()));
    for (LONG i = 0; i < count; ++i) {
        VARIANT child{};
        child.vt = VT_I4;
        child.lVal = i + 1;
        BSTR name = nullptr;
        ASSERT_EQ(bar->get_accName(child, &name), S_OK);
        EXPECT_EQ(std::wstring(name), std::wstring(view->names[i].get()));
        SysFreeString(name);
        VARIANT role{};
        ASSERT_EQ(bar->get_accRole(child, &role), S_OK);
        EXPECT_EQ(role.lVal, ROLE_SYSTEM_PUSHBUTTON);
    }
    // Pressing the first through it browses there.
    VARIANT first{};
    first.vt = VT_I4;
    first.lVal = 1;
    EXPECT_EQ(bar->accDoDefaultAction(first), S_OK);
    ASSERT_EQ(home.browsed.size(), 1u);
    EXPECT_EQ(idlist_count(as_idlist(home.browsed[0])), 1u);
}

// ---- Other themes.

TEST_F(AddressTest, DarkAndHighContrastDrawTheBarsShapesInTheirGroundAndInk) {
    const system_colours_t c{RGB(16, 32, 48),  RGB(240, 224, 208), RGB(32, 128, 240),
                             RGB(255, 255, 0), RGB(64, 80, 96),    RGB(128, 128, 0)};
    const task_idlist windows = parse_path(L"C:\\windows");
    ASSERT_TRUE(windows);
    for (const theme_t& theme :
         {theme_t{theme_kind_t::dark, {}}, theme_t{theme_kind_t::high_contrast, c}}) {
        const palette_t palette = palette_of(theme);
        view->set_palette(palette);
        view->set_folder(windows.get());
        const std::uint32_t ground = rgb_of(to_colorref(palette.window));
        const std::uint32_t ink = rgb_of(to_colorref(palette.plain.ink));
        EXPECT_GT(std::abs(luminance(ink) - luminance(ground)), 128);
        expect_bar_painted(view, ground, ink);
    }
    view->set_palette(light_palette());
    expect_bar_painted(view);
}

} // namespace
