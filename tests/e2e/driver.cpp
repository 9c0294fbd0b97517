#include "driver.h"

#include <commctrl.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "tests/support/dib.h"

namespace e2e {

namespace {

// The driver reads zelvon's rectangles and pixels, and points at them, as they are on the
// screen: a process unaware of the scale would be shown a scaled-down picture of a window
// that is aware of it (as Windows and Wine 10 do).
const bool dpi_aware = [] {
    using set_context_t = BOOL(WINAPI*)(HANDLE);
    const auto set_context = reinterpret_cast<set_context_t>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32"), "SetProcessDpiAwarenessContext")));
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    return set_context && set_context(reinterpret_cast<HANDLE>(-4));
}();

std::int32_t get_i32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(p[0] | p[1] << 8 | p[2] << 16 |
                                     static_cast<std::uint32_t>(p[3]) << 24);
}

std::wstring class_name(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring title(HWND window) {
    wchar_t text[64] = L"";
    GetWindowTextW(window, text, 64);
    return text;
}

// The shell's desktop folder, with COM ready on this thread for what it hands out.
IShellFolder* desktop_folder() {
    static const HRESULT com = CoInitialize(nullptr);
    (void)com;
    IShellFolder* desktop = nullptr;
    SHGetDesktopFolder(&desktop);
    return desktop;
}

// The bytes of a terminated list's items, the terminator left out.
std::size_t list_length(const std::uint8_t* p) {
    std::size_t length = 0;
    for (std::uint16_t cb; (cb = std::uint16_t(p[length] | p[length + 1] << 8)) != 0;) length += cb;
    return length;
}

// The folder with these absolute items (the desktop for none), or null.
IShellFolder* bind_folder(const item_list& folder) {
    IShellFolder* desktop = desktop_folder();
    if (!desktop || folder.empty()) return desktop;
    item_list list = folder;
    list.resize(list.size() + 2, 0);
    IShellFolder* bound = nullptr;
    desktop->BindToObject(reinterpret_cast<ITEMIDLIST*>(list.data()), nullptr,
                          IID_PPV_ARGS(&bound));
    desktop->Release();
    return bound;
}

std::wstring program_folder() {
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L"\\/"));
}

} // namespace

std::wstring settings_path() {
    wchar_t folder[MAX_PATH] = L"";
    SHGetSpecialFolderPathW(nullptr, folder, CSIDL_APPDATA, FALSE);
    return std::wstring(folder) + L"\\zelvon.sav";
}

ULONGLONG settings_written() {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(settings_path().c_str(), GetFileExInfoStandard, &data)) return 0;
    return ULONGLONG(data.ftLastWriteTime.dwHighDateTime) << 32 |
           data.ftLastWriteTime.dwLowDateTime;
}

bool wait_for_save(ULONGLONG since) {
    const std::wstring backup = settings_path() + L".bak";
    return wait_until([&] {
        return settings_written() != since &&
               GetFileAttributesW(backup.c_str()) == INVALID_FILE_ATTRIBUTES;
    });
}

void delete_settings() {
    DeleteFileW(settings_path().c_str());
    DeleteFileW((settings_path() + L".bak").c_str());
}

void write_settings(const std::vector<std::uint8_t>& bytes) {
    DeleteFileW((settings_path() + L".bak").c_str());
    HANDLE file =
        CreateFileW(settings_path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::optional<std::vector<std::uint8_t>> read_settings(DWORD timeout_ms) {
    HANDLE file = INVALID_HANDLE_VALUE;
    wait_until(
        [&] {
            file =
                CreateFileW(settings_path().c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
            return file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION;
        },
        timeout_ms);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::vector<std::uint8_t> bytes(GetFileSize(file, nullptr));
    DWORD read = 0;
    if (!bytes.empty()) ReadFile(file, bytes.data(), DWORD(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

settings_image_t decode_settings(const std::vector<std::uint8_t>& bytes) {
    settings_image_t s;
    std::size_t pos = 0;
    auto i32 = [&](std::int32_t& value) {
        if (bytes.size() - pos < 4) return false;
        value = get_i32(bytes.data() + pos);
        pos += 4;
        return true;
    };
    auto record = [&](item_list* items) {
        std::int32_t length = 0;
        if (!i32(length) || bytes.size() - pos < static_cast<std::uint32_t>(length)) return false;
        if (items) items->assign(bytes.begin() + pos, bytes.begin() + pos + length);
        pos += static_cast<std::uint32_t>(length);
        return true;
    };
    std::int32_t magic = 0, edges[4] = {};
    if (!i32(magic) || magic != 100 || !i32(s.split)) return s;
    for (auto& edge : edges)
        if (!i32(edge)) return s;
    s.rect = {edges[0], edges[1], edges[2], edges[3]};
    if (!record(&s.folder) || !i32(s.pin_count) || s.pin_count < 0) return s;
    for (std::int32_t i = 0; i < s.pin_count; ++i)
        if (!record(&s.pins.emplace_back())) return s;
    s.valid = true;
    return s;
}

void put_i32(std::vector<std::uint8_t>& bytes, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(std::uint8_t(v >> shift));
}

std::vector<std::uint8_t> encode_settings(std::int32_t split, const RECT& rect,
                                          const item_list& folder,
                                          const std::vector<item_list>& pins) {
    std::vector<std::uint8_t> bytes;
    auto record = [&](const item_list& items) {
        put_i32(bytes, std::int32_t(items.size()));
        bytes.insert(bytes.end(), items.begin(), items.end());
    };
    put_i32(bytes, 100);
    put_i32(bytes, split);
    for (LONG edge : {rect.left, rect.top, rect.right, rect.bottom}) put_i32(bytes, edge);
    record(folder);
    put_i32(bytes, std::int32_t(pins.size()));
    for (const item_list& pin : pins) record(pin);
    return bytes;
}

std::vector<std::uint8_t> parse_path(const wchar_t* path) {
    IShellFolder* desktop = desktop_folder();
    if (!desktop) return {};
    ITEMIDLIST* list = nullptr;
    std::wstring name = path;
    const HRESULT hr =
        desktop->ParseDisplayName(nullptr, nullptr, name.data(), nullptr, &list, nullptr);
    desktop->Release();
    std::vector<std::uint8_t> items;
    if (hr == S_OK && list) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(list);
        items.assign(p, p + list_length(p));
    }
    CoTaskMemFree(list);
    return items;
}

int folder_item_count(const std::vector<std::uint8_t>& folder) {
    IShellFolder* shell_folder = bind_folder(folder);
    if (!shell_folder) return -1;
    IEnumIDList* items = nullptr;
    int count = -1;
    if (shell_folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &items) == S_OK) {
        count = 0;
        ITEMIDLIST* item = nullptr;
        for (ULONG got = 0; items->Next(1, &item, &got) == S_OK; ++count) CoTaskMemFree(item);
        items->Release();
    }
    shell_folder->Release();
    return count;
}

std::vector<item_list> child_folders(const item_list& folder) {
    std::vector<item_list> children;
    IShellFolder* shell_folder = bind_folder(folder);
    if (!shell_folder) return children;
    IEnumIDList* items = nullptr;
    if (shell_folder->EnumObjects(nullptr, SHCONTF_FOLDERS, &items) == S_OK) {
        ITEMIDLIST* item = nullptr;
        for (ULONG got = 0; items->Next(1, &item, &got) == S_OK && item;) {
            item_list child = folder;
            const auto* p = reinterpret_cast<const std::uint8_t*>(item);
            child.insert(child.end(), p, p + list_length(p));
            children.push_back(std::move(child));
            CoTaskMemFree(item);
        }
        items->Release();
    }
    shell_folder->Release();
    return children;
}

std::wstring parsing_name(const item_list& folder) {
    IShellFolder* desktop = desktop_folder();
    if (!desktop) return {};
    item_list list = folder;
    list.resize(list.size() + 2, 0);
    auto* pidl = reinterpret_cast<ITEMIDLIST*>(list.data());
    STRRET name{};
    std::wstring result;
    if (SUCCEEDED(desktop->GetDisplayNameOf(pidl, SHGDN_FORPARSING, &name))) {
        auto ansi = [&](const char* text) {
            wchar_t wide[MAX_PATH] = L"";
            MultiByteToWideChar(CP_ACP, 0, text, -1, wide, MAX_PATH);
            result = wide;
        };
        if (name.uType == STRRET_WSTR) {
            result = name.pOleStr ? name.pOleStr : L"";
            CoTaskMemFree(name.pOleStr);
        } else if (name.uType == STRRET_CSTR) {
            ansi(name.cStr);
        } else if (name.uType == STRRET_OFFSET) {
            ansi(reinterpret_cast<const char*>(list.data()) + name.uOffset);
        }
    }
    desktop->Release();
    return result;
}

int item_count(const item_list& list) {
    int count = 0;
    for (std::size_t at = 0; at + 1 < list.size();) {
        const std::size_t cb = std::size_t(list[at] | list[at + 1] << 8);
        if (cb < 2) break;
        at += cb;
        ++count;
    }
    return count;
}

item_list computer_folder() {
    ITEMIDLIST* list = nullptr;
    SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &list);
    if (!list) return {};
    const auto* p = reinterpret_cast<const std::uint8_t*>(list);
    item_list items(p, p + list_length(p));
    CoTaskMemFree(list);
    return items;
}

int browser_item_count(HWND browser) {
    HWND list = nullptr;
    EnumChildWindows(
        browser,
        [](HWND child, LPARAM found) -> BOOL {
            if (class_name(child) != WC_LISTVIEWW) return TRUE;
            *reinterpret_cast<HWND*>(found) = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&list));
    DWORD_PTR count = 0;
    if (!list || !SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, WAIT_MS, &count))
        return -1;
    return static_cast<int>(count);
}

panes_t find_panes(HWND main_window) {
    panes_t panes;
    for (HWND child = GetWindow(main_window, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring name = class_name(child);
        if (name == L"tree_view")
            panes.tree = child;
        else if (name == L"address_view")
            panes.address = child;
        else if (!panes.browser)
            panes.browser = child;
        else
            return {}; // more than one unknown child: nothing to tell the browser by
    }
    return panes;
}

RECT window_rect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

RECT client_rect(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return r;
}

RECT rect_in_parent(HWND child) {
    RECT r = window_rect(child);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

COLORREF client_pixel(HWND window, int x, int y) {
    POINT p{x, y};
    ClientToScreen(window, &p);
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return colour;
}

snapshot_t::snapshot_t(HWND window) {
    const RECT client = client_rect(window);
    width_ = client.right;
    height_ = client.bottom;
    if (width_ <= 0 || height_ <= 0) return;
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    HDC screen = GetDC(nullptr);
    pixels_ = copy_pixels(screen, origin.x, origin.y, width_, height_);
    ReleaseDC(nullptr, screen);
}

COLORREF snapshot_t::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || pixels_.empty()) return CLR_INVALID;
    const std::uint32_t p = pixels_[std::size_t(y) * std::size_t(width_) + std::size_t(x)];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

int grey_level(COLORREF colour) {
    if (colour == CLR_INVALID) return -1;
    const int r = GetRValue(colour);
    return r == GetGValue(colour) && r == GetBValue(colour) ? r : -1;
}

namespace {

constexpr int BLACK = 0, DARK = 127, MID = 179, PALE = 230, LIGHT = 243, WHITE = 255;

// Whether the triangle of a row (top y) stands at x0, collapsed or expanded; text
// begins 20 pixels right of it, so the pixels looked at are the glyph's own.
bool collapsed_glyph_at(const snapshot_t& s, int x0, int y) {
    auto black = [&](int x, int dy) { return grey_level(s.at(x0 + x, y + dy)) == BLACK; };
    return black(5, 10) && black(8, 10) && !black(3, 10) && !black(12, 10) && !black(5, 3);
}

bool expanded_glyph_at(const snapshot_t& s, int x0, int y) {
    auto black = [&](int x, int dy) { return grey_level(s.at(x0 + x, y + dy)) == BLACK; };
    return black(12, 12) && black(13, 9) && !black(7, 8) && !black(16, 12);
}

} // namespace

tree_row_t tree_row(const snapshot_t& s, int row) {
    const int right = s.width(), y = 20 * row;
    auto g = [&](int x, int dy) { return grey_level(s.at(x, y + dy)); };
    tree_row_t look;
    look.present = g(right - 16, 5) == BLACK && g(right - 11, 17) == BLACK;
    if (!look.present) return look;
    look.solid_head = g(right - 11, 8) == BLACK;
    // Between the name's box and the pin mark nothing but the background is drawn.
    const int body = g(right - 19, 10), top = g(right - 19, 0), left = g(0, 10),
              bottom = g(right - 19, 19);
    if (body == WHITE && top == WHITE && bottom == WHITE)
        look.background = "plain";
    else if (body == PALE && top == LIGHT && left == LIGHT && bottom == MID &&
             g(right - 1, 10) == PALE)
        look.background = "current";
    else if (body == MID && top == PALE && left == PALE && bottom == DARK &&
             g(right - 2, 10) == DARK)
        look.background = "pinned";
    else
        look.background = "body " + std::to_string(body) + " top " + std::to_string(top) +
                          " left " + std::to_string(left) + " bottom " + std::to_string(bottom);
    for (int depth = 0; 10 * depth + 20 <= right - 22; ++depth) {
        if (collapsed_glyph_at(s, 10 * depth, y) || expanded_glyph_at(s, 10 * depth, y)) {
            look.depth = depth;
            look.expanded = expanded_glyph_at(s, 10 * depth, y);
            break;
        }
    }
    return look;
}

int tree_row_count(const snapshot_t& s) {
    int rows = 0;
    while (20 * (rows + 1) <= s.height() && tree_row(s, rows).present) ++rows;
    return rows;
}

int arrowhead_count(const snapshot_t& s) {
    // An arrowhead fills (R + 5, 5), (R + 5, 15), (R + 10, 10) inside the 16-pixel gap
    // after a segment ending at R; x0 is R + 5. Its margins in the gap are white.
    auto g = [&](int x, int y) { return grey_level(s.at(x, y)); };
    int count = 0;
    for (int x0 = 2; x0 + 8 < s.width(); ++x0)
        if (g(x0, 6) == BLACK && g(x0, 10) == BLACK && g(x0, 13) == BLACK &&
            g(x0 + 2, 10) == BLACK && g(x0 + 3, 10) == BLACK && g(x0 - 2, 10) == WHITE &&
            g(x0, 3) == WHITE && g(x0, 17) == WHITE && g(x0 + 6, 10) == WHITE &&
            g(x0 + 8, 10) == WHITE)
            ++count;
    return count;
}

namespace {

GUITHREADINFO thread_info(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info;
}

} // namespace

HWND focus_of(HWND window) {
    return thread_info(window).hwndFocus;
}

HWND capture_of(HWND window) {
    return thread_info(window).hwndCapture;
}

HWND find_child(HWND parent, const wchar_t* name) {
    return FindWindowExW(parent, nullptr, name, nullptr);
}

std::wstring class_of(HWND window) {
    return class_name(window);
}

std::wstring window_text(HWND window) {
    // Asked of the window itself: a control keeps its own text, which the system's copy
    // of a foreign window's title does not follow.
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, WAIT_MS, &length))
        return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_NORMAL, WAIT_MS, &copied);
    text.resize(copied);
    return text;
}

std::vector<HWND> top_level_windows(DWORD process_id) {
    struct search_t {
        DWORD id;
        std::vector<HWND> found;
    } search{process_id, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<search_t*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->id) s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND shown_window(DWORD process_id, const wchar_t* window_class) {
    for (HWND window : top_level_windows(process_id))
        if (class_of(window) == window_class && IsWindowVisible(window)) return window;
    return nullptr;
}

int process_count(const wchar_t* exe_name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    int count = 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        count += lstrcmpiW(entry.szExeFile, exe_name) == 0;
    CloseHandle(snapshot);
    return count;
}

POINT screen_point(HWND window, int x, int y) {
    POINT p{x, y};
    ClientToScreen(window, &p);
    return p;
}

namespace {

RECT virtual_screen() {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
            top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// The absolute coordinate that the system maps back onto `offset` of `length` pixels
// (it takes offset * length / 65536, rounded down).
LONG normalised(LONG offset, LONG length) {
    return LONG((LONGLONG(offset) * 65536 + length - 1) / length);
}

// A move to a screen point, or a button event there. Wine also turns what the display
// reports of the pointer's earlier moves into moves of its own, which may come late: a
// button event that finds the pointer elsewhere moves it back first, in the same event.
void mouse_input_at(POINT screen, DWORD flags = 0) {
    const RECT desk = virtual_screen();
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = normalised(screen.x - desk.left, desk.right - desk.left);
    input.mi.dy = normalised(screen.y - desk.top, desk.bottom - desk.top);
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    SendInput(1, &input, sizeof input);
}

// At wherever the pointer is.
void mouse_input(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

bool on_screen(POINT p) {
    const RECT screen = virtual_screen();
    return PtInRect(&screen, p) != FALSE;
}

POINT clamped_to_screen(POINT p) {
    const RECT screen = virtual_screen();
    return {std::clamp(p.x, screen.left, screen.right - 1),
            std::clamp(p.y, screen.top, screen.bottom - 1)};
}

bool lands_in(HWND window, POINT screen) {
    HWND hit = WindowFromPoint(screen);
    return hit && (hit == window || IsChild(window, hit));
}

DWORD thread_of(HWND window) {
    return GetWindowThreadProcessId(window, nullptr);
}

// Whether any of the points lies over a window of another thread than `window`'s.
bool leaves_thread(HWND window, const std::vector<POINT>& points) {
    for (POINT p : points)
        if (HWND hit = WindowFromPoint(p); !hit || thread_of(hit) != thread_of(window)) return true;
    return false;
}

// Between the steps of one gesture: long enough for each to be an event of its own.
void pause() {
    Sleep(20);
}

// Wine reports each move of the pointer once more, as the display tells the window's
// thread of it, and that thread reads the display only when it comes back for messages.
// Let it do so after each step of a drag: else the reports of earlier steps come after the
// last one and take the pointer back there.
void catch_up(HWND window) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, WAIT_MS, &result);
}

// The pointer on a client point of `window`, with nothing else there to take a press.
bool point_at(HWND window, POINT client) {
    if (!reachable(window, client)) return false;
    const POINT screen = screen_point(window, client.x, client.y);
    // Again when one of Wine's late moves took it away at once.
    if (wait_until([&] { return pointer_to(screen); }, 2000)) return true;
    POINT at{};
    GetCursorPos(&at);
    std::fprintf(stderr, "the pointer did not come to (%ld, %ld) of %ls %p but to (%ld, %ld)\n",
                 client.x, client.y, class_name(window).c_str(), static_cast<void*>(window), at.x,
                 at.y);
    return false;
}

bool click_with(HWND window, int x, int y, DWORD down, DWORD up) {
    if (!point_at(window, {x, y})) return false;
    const POINT at = screen_point(window, x, y);
    pause();
    mouse_input_at(at, down);
    pause();
    mouse_input_at(at, up);
    pause();
    return true;
}

} // namespace

bool pointer_to(POINT screen) {
    // Through the input queue, in order with the presses, as the mouse's own moves come.
    mouse_input_at(screen);
    POINT at{};
    return GetCursorPos(&at) && at.x == screen.x && at.y == screen.y;
}

void button_down() {
    mouse_input(MOUSEEVENTF_LEFTDOWN);
}

void button_up() {
    mouse_input(MOUSEEVENTF_LEFTUP);
}

bool reachable(HWND window, POINT client) {
    const POINT screen = screen_point(window, client.x, client.y);
    if (!on_screen(screen)) {
        std::fprintf(stderr, "(%ld, %ld) of %ls %p lies off the screen at (%ld, %ld)\n", client.x,
                     client.y, class_name(window).c_str(), static_cast<void*>(window), screen.x,
                     screen.y);
        return false;
    }
    if (lands_in(window, screen)) return true;
    // Real input goes to what the pointer is over: another window on top would take it.
    HWND top = GetAncestor(window, GA_ROOT);
    SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(top);
    if (wait_until([&] { return lands_in(window, screen); }, 5000)) return true;
    HWND hit = WindowFromPoint(screen);
    DWORD owner = 0;
    GetWindowThreadProcessId(hit, &owner);
    std::fprintf(stderr,
                 "(%ld, %ld) of %ls %p cannot be reached: %ls %p of process %lu lies over it\n",
                 client.x, client.y, class_name(window).c_str(), static_cast<void*>(window),
                 class_name(hit).c_str(), static_cast<void*>(hit), owner);
    return false;
}

bool click(HWND window, int x, int y) {
    return click_with(window, x, y, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
}

bool right_click(HWND window, int x, int y) {
    return click_with(window, x, y, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
}

bool drag(HWND window, POINT from, POINT to, const std::function<bool()>& there) {
    if (!point_at(window, from)) return false;
    const POINT start = screen_point(window, from.x, from.y),
                end = clamped_to_screen(screen_point(window, to.x, to.y));
    // A hand passes the points between; Wine may merge moves that come too close together.
    constexpr int STEPS = 6;
    std::vector<POINT> steps;
    for (int i = 1; i <= STEPS; ++i)
        steps.push_back(
            {start.x + (end.x - start.x) * i / STEPS, start.y + (end.y - start.y) * i / STEPS});
    // Input goes to the thread of the window under the pointer, unless one has taken the
    // capture by then: a move over another's window made before the pressed window has read
    // its press would go to that other window, and the release too. So such a drag waits
    // for the capture of an earlier one to go, and for its own press to take it.
    const bool leaves = leaves_thread(window, steps);
    if (leaves && !wait_until([&] { return capture_of(window) == nullptr; })) {
        std::fprintf(stderr, "%ls %p still holds the capture of an earlier press\n",
                     class_name(window).c_str(), static_cast<void*>(window));
        return false;
    }
    pause();
    mouse_input_at(start, MOUSEEVENTF_LEFTDOWN);
    if (leaves && !wait_until([&] { return capture_of(window) != nullptr; })) {
        std::fprintf(stderr, "the press at (%ld, %ld) of %ls %p took no capture to carry\n", from.x,
                     from.y, class_name(window).c_str(), static_cast<void*>(window));
        mouse_input_at(start, MOUSEEVENTF_LEFTUP);
        return false;
    }
    pause();
    for (POINT step : steps) {
        pointer_to(step);
        pause();
        catch_up(window);
    }
    // Let go once the window shows the pointer there, as a hand does. A late report of an
    // earlier step can still take the place of the last move before the window reads it:
    // then the pointer is moved there again.
    bool arrived = !there;
    for (const ULONGLONG give_up = GetTickCount64() + WAIT_MS;
         !arrived && GetTickCount64() < give_up;) {
        arrived = wait_until(there, 500);
        if (!arrived) {
            // By way of a pixel beside it: a move to where the pointer already stands is none.
            pointer_to({end.x + (start.x > end.x ? 1 : -1), end.y});
            pause();
            pointer_to(end);
            pause();
            catch_up(window);
        }
    }
    if (!arrived)
        std::fprintf(stderr, "the drag to (%ld, %ld) of %ls %p never showed there\n", to.x, to.y,
                     class_name(window).c_str(), static_cast<void*>(window));
    mouse_input_at(end, MOUSEEVENTF_LEFTUP);
    pause();
    return arrived;
}

bool to_front(HWND window) {
    HWND top = GetAncestor(window, GA_ROOT);
    if (GetForegroundWindow() != top) {
        SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetForegroundWindow(top);
    }
    if (wait_until([&] { return GetForegroundWindow() == top; }, 5000)) return true;
    std::fprintf(stderr, "%ls %p does not come to the front: %ls %p stays there\n",
                 class_name(top).c_str(), static_cast<void*>(top),
                 class_name(GetForegroundWindow()).c_str(),
                 static_cast<void*>(GetForegroundWindow()));
    return false;
}

void press_keys(std::initializer_list<WORD> chord) {
    std::vector<INPUT> inputs;
    for (WORD vk : chord) {
        INPUT down{};
        down.type = INPUT_KEYBOARD;
        down.ki.wVk = vk;
        inputs.push_back(down);
    }
    for (auto it = chord.end(); it != chord.begin();) {
        INPUT up{};
        up.type = INPUT_KEYBOARD;
        up.ki.wVk = *--it;
        up.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(up);
    }
    SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
    Sleep(50);
}

void type_text(const std::wstring& text) {
    std::vector<INPUT> inputs;
    for (wchar_t c : text)
        for (DWORD flags : {DWORD(KEYEVENTF_UNICODE), DWORD(KEYEVENTF_UNICODE | KEYEVENTF_KEYUP)}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = c;
            input.ki.dwFlags = flags;
            inputs.push_back(input);
        }
    SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
    Sleep(50);
}

std::wstring zelvon_path() {
    wchar_t path[MAX_PATH] = L"";
    const DWORD length = GetEnvironmentVariableW(L"ZELVON_EXE", path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) return path;
    return program_folder() + L"\\zelvon.exe";
}

app_t::app_t(const std::wstring& arguments, const std::wstring& exe,
             const std::wstring& working_folder) {
    // A window holding the capture during a drag takes every pointer move, also those
    // Wine makes up when the window under the real pointer changes: keep it off them all.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    const std::wstring folder =
        working_folder.empty() ? exe.substr(0, exe.find_last_of(L"\\/")) : working_folder;
    std::wstring command = L"\"" + exe + L"\"";
    if (!arguments.empty()) command += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info)) {
        std::fprintf(stderr, "starting %ls failed: error %lu\n", exe.c_str(), GetLastError());
        return;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
}

app_t::~app_t() {
    if (!process_) return;
    if (running()) {
        TerminateProcess(process_, 255);
        WaitForSingleObject(process_, WAIT_MS);
    }
    CloseHandle(process_);
}

std::vector<HWND> app_t::main_windows() const {
    struct search_t {
        DWORD id;
        std::vector<HWND> found;
    } search{id_, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<search_t*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->id && class_name(window) == L"main_window" &&
                title(window) == L"zelvon")
                s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND app_t::wait_for_window(DWORD timeout_ms) {
    HWND window = nullptr;
    wait_until(
        [&] {
            for (HWND found : main_windows())
                if (IsWindowVisible(found)) window = found;
            return window || !running();
        },
        timeout_ms);
    if (!window) return nullptr;
    WaitForInputIdle(process_, timeout_ms);
    return sync(window) ? window : nullptr;
}

bool app_t::sync(HWND window) const {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, WAIT_MS, &result) != 0;
}

void app_t::close(HWND window) const {
    PostMessageW(window, WM_CLOSE, 0, 0);
}

std::optional<DWORD> app_t::wait_for_exit(DWORD timeout_ms) {
    if (!process_ || WaitForSingleObject(process_, timeout_ms) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

void app_t::kill() {
    if (!process_) return;
    TerminateProcess(process_, 255);
    WaitForSingleObject(process_, WAIT_MS);
}

bool app_t::running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

} // namespace e2e
