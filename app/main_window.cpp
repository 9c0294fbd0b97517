#include "app/main_window.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "app/app.h"
#include "app/ebe.h"
#include "app/settings_file.h"
#include "app/single_instance.h"
#include "core/handover.h"
#include "core/layout.h"
#include "core/placement.h"
#include "core/settings_format.h"
#include "fault/fatal.h"
#include "ui/address/address_view.h"
#include "ui/tree/tree_view.h"
#include "win/fill.h"
#include "win/window_class.h"

namespace {

int client_width(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    return r.right;
}

} // namespace

main_window_t* main_window_t::open(const ITEMIDLIST* folder) {
    // From WM_NCCREATE on, the window owns the object; it is freed at WM_NCDESTROY.
    return std::unique_ptr<main_window_t>(new main_window_t(folder)).release();
}

main_window_t::main_window_t(const ITEMIDLIST* folder) {
    // No background brush: the panes and the bar cover the whole client area.
    register_class(L"main_window", window_proc, LoadIconW(GetModuleHandleW(nullptr), L"ZELVON"),
                   nullptr, 4);
    CreateWindowExW(0, L"main_window", L"zelvon", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                    1024, 768, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    fatal_check(handle != nullptr, fatal_sites::main_window);

    const pane_host_t host{
        [this](const ITEMIDLIST* folder) { go_to(folder); },
        [this](const ITEMIDLIST* folder, bool pinned) { on_pin_changed(folder, pinned); },
        [this](const ITEMIDLIST* from, const ITEMIDLIST* to) { on_pin_moved(from, to); },
        open_window_at,
        [this](const ITEMIDLIST* folder) { open_cascaded(this, folder); },
    };
    tree = std::make_unique<tree_view_t>(handle, g_font.get(), host);
    address = std::make_unique<address_view_t>(handle, g_font.get(), host);
    if (const int scale = window_dpi(handle); scale != BASE_DPI) use_dpi(scale);

    fatal_check(SUCCEEDED(CoCreateInstance(CLSID_ExplorerBrowser, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_PPV_ARGS(&eb))),
                fatal_sites::browser);
    RECT initial{300, 20, 1000, 768};
    FOLDERSETTINGS folder_settings{static_cast<UINT>(FVM_AUTO), 0};
    eb->Initialize(handle, &initial, &folder_settings);

    ebe = make_com<ebe_t>(this);
    eb->Advise(ebe.Get(), &ebe->cookie);

    HWND browser_window = nullptr;
    fatal_check(SUCCEEDED(IUnknown_GetWindow(eb.Get(), &browser_window)),
                fatal_sites::browser_window);
    SetWindowLongW(browser_window, GWL_STYLE,
                   GetWindowLongW(browser_window, GWL_STYLE) & ~WS_BORDER);
    // From here on the window lays itself out and saves: every pane exists.
    eb_handle = browser_window;

    main_windows.push_back(this);

    if (settings_file_size() != 0)
        load_settings(folder);
    else if (folder)
        go_to(folder);
    else
        browse_to_desktop();

    ShowWindow(handle, restore_maximized ? SW_SHOWMAXIMIZED : SW_SHOW);
}

main_window_t::~main_window_t() = default;

void main_window_t::on_destroy() {
    auto self = std::find(main_windows.begin(), main_windows.end(), this);
    if (self != main_windows.end()) main_windows.erase(self);
    // The browser lets go of the sink before the panes the sink calls go with the object,
    // and is torn down (its view and windows) before the last reference goes.
    if (eb && ebe) eb->Unadvise(ebe->cookie);
    if (eb) eb->Destroy();
    eb.Reset();
    ebe.Reset();
    eb_handle = nullptr; // nothing is laid out or saved any more
    if (main_windows.empty()) PostQuitMessage(0);
}

namespace {

// Whether a list names something other than a folder: a file.
bool names_a_file(const ITEMIDLIST* list) {
    if (list->mkid.cb == 0) return false;
    Microsoft::WRL::ComPtr<IShellFolder> parent;
    const ITEMIDLIST* child = nullptr;
    if (FAILED(SHBindToParent(list, IID_PPV_ARGS(&parent), &child))) return false;
    SFGAOF attributes = SFGAO_FOLDER;
    return SUCCEEDED(parent->GetAttributesOf(1, &child, &attributes)) &&
           !(attributes & SFGAO_FOLDER);
}

// Whether a folder of the file system is known to be gone (not one on a share: asking
// could wait on the network).
bool is_gone(const ITEMIDLIST* list) {
    wchar_t path[MAX_PATH] = L"";
    if (!SHGetPathFromIDListW(list, path) || (path[0] == L'\\' && path[1] == L'\\')) return false;
    return GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES;
}

} // namespace

void main_window_t::go_to(const ITEMIDLIST* list) {
    std::size_t items = idlist_count(list);
    select_after.reset();
    // A file: its folder, the file selected once the folder shows.
    if (names_a_file(list)) {
        const ITEMIDLIST* last = list;
        for (std::size_t i = 1; i < items; ++i)
            last = reinterpret_cast<const ITEMIDLIST*>(reinterpret_cast<const BYTE*>(last) +
                                                       last->mkid.cb);
        select_after = idlist_copy(last);
        --items;
    }
    // A folder gone since (deleted, its drive unplugged): the nearest one still there.
    task_idlist target = idlist_prefix(list, items);
    while (target && target->mkid.cb != 0 && is_gone(target.get()))
        target = idlist_prefix(target.get(), idlist_count(target.get()) - 1);
    if (target) eb->BrowseToIDList(target.get(), 0);
}

void main_window_t::use_dpi(int scale) {
    dpi = scale;
    font.reset(scale == BASE_DPI ? nullptr : create_ui_font(scale));
    HFONT ui = font ? font.get() : g_font.get();
    tree->set_dpi(dpi, ui);
    address->set_dpi(dpi, ui);
}

void main_window_t::browse_to_desktop() {
    ITEMIDLIST* desktop = nullptr;
    SHGetKnownFolderIDList(FOLDERID_Desktop, 0, nullptr, &desktop);
    const task_idlist owned(desktop);
    eb->BrowseToIDList(owned.get(), 0);
}

LRESULT CALLBACK main_window_t::window_proc(HWND window, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
    return forward_message<main_window_t>(window, message, wparam, lparam);
}

void main_window_t::layout() {
    RECT client;
    GetClientRect(handle, &client);
    const main_layout_t l = layout_main_window(client.right, client.bottom, split_pixels(), dpi);
    tree->resize(l.tree.width, l.tree.height);
    address->resize(l.address.width, l.address.x);
    MoveWindow(eb_handle, l.browser.x, l.browser.y, l.browser.width, l.browser.height, TRUE);
}

LRESULT main_window_t::on_message(UINT message, WPARAM wparam, LPARAM lparam) {
    // Before the constructor has made every pane, and after the window is destroyed, only
    // the default handling applies.
    if (!eb_handle) return DefWindowProcW(handle, message, wparam, lparam);
    const int x = static_cast<short>(LOWORD(lparam));
    switch (message) {
    case WM_SIZE:
        layout();
        save_settings();
        return 0;
    case WM_MOVE:
        save_settings();
        break;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(handle, &ps);
        RECT client;
        GetClientRect(handle, &client);
        const pane_rect_t b =
            layout_main_window(client.right, client.bottom, split_pixels(), dpi).bar;
        const color_t grey{0.9f, 0.9f, 0.9f};
        gradient_rect(dc, RECT{b.x, b.y, b.x + b.width, b.y + b.height}, grey, grey);
        EndPaint(handle, &ps);
        break;
    }
    case WM_CLOSE:
        DestroyWindow(handle);
        return 0;
    case WM_DESTROY:
        on_destroy();
        break;
    case WM_MOUSEMOVE:
        if (on_splitter(x, split_pixels(), client_width(handle), dpi)) {
            TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, handle, 0};
            _TrackMouseEvent(&tme);
            SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
        }
        if (dragging) {
            split = unscaled(splitter_in_reach(x, client_width(handle), dpi), dpi);
            SendMessageW(handle, WM_SIZE, 0, 0);
        }
        break;
    case WM_LBUTTONDOWN:
        if (on_splitter(x, split_pixels(), client_width(handle), dpi)) {
            dragging = true;
            SetCapture(handle);
        }
        break;
    case WM_LBUTTONUP:
        if (dragging) {
            dragging = false;
            ReleaseCapture();
            save_settings();
        }
        break;
    case WM_MOUSELEAVE:
        SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
        break;
    case WM_DPICHANGED: {
        // Moved to a monitor of another scale: the suggested rectangle, new fonts and
        // surfaces, and the splitter at the same width in 96-DPI units.
        use_dpi(LOWORD(wparam));
        const RECT& r = *reinterpret_cast<const RECT*>(lparam);
        SetWindowPos(handle, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        // Laid out again also when the rectangle stays as it was.
        layout();
        InvalidateRect(handle, nullptr, TRUE);
        return 0;
    }
    case WM_SETTINGCHANGE:
        // The shell's own settings (hidden files among them) for the tree to read again.
        tree->settings_changed();
        break;
    case WM_SAVE_FAILED:
        say_save_failed(handle);
        return 0;
    case WM_NEW_WINDOW: {
        // The handed-over folder, when it names one, is the new window's one navigation.
        const task_idlist handed = wparam != 0 ? receive_handover(this) : nullptr;
        open_cascaded(this, handed.get());
        break;
    }
    }
    return DefWindowProcW(handle, message, wparam, lparam);
}

bool main_window_t::on_shortcut(const MSG& msg) {
    if (msg.message == WM_XBUTTONUP) {
        // The mouse's back and forward buttons, over any pane.
        const bool back = GET_XBUTTON_WPARAM(msg.wParam) == XBUTTON1;
        eb->BrowseToIDList(nullptr, back ? SBSP_NAVIGATEBACK : SBSP_NAVIGATEFORWARD);
        return true;
    }
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    const WPARAM key = msg.wParam;
    // The path box keeps the keys it uses itself while it is being typed in.
    if (msg.hwnd == address->edit && address->editor_wants(key)) return false;
    const bool alt = GetKeyState(VK_MENU) < 0, ctrl = GetKeyState(VK_CONTROL) < 0,
               shift = GetKeyState(VK_SHIFT) < 0;
    const bool plain = !alt && !ctrl;
    if (alt && !ctrl && (key == VK_LEFT || key == VK_RIGHT || key == VK_UP)) {
        eb->BrowseToIDList(nullptr, key == VK_LEFT    ? SBSP_NAVIGATEBACK
                                    : key == VK_RIGHT ? SBSP_NAVIGATEFORWARD
                                                      : SBSP_PARENT);
        return true;
    }
    if ((alt && !ctrl && key == 'D') || (ctrl && !alt && key == 'L') || (plain && key == VK_F4)) {
        address->open_editor();
        return true;
    }
    if (plain && !shift && key == VK_F5) {
        refresh();
        return true;
    }
    if (ctrl && !alt && key == 'N') {
        open_cascaded(this, ebe->folder.get());
        return true;
    }
    if (ctrl && !alt && key == 'W') {
        PostMessageW(handle, WM_CLOSE, 0, 0);
        return true;
    }
    if (plain && (key == VK_TAB || key == VK_F6)) {
        focus_next(shift);
        return true;
    }
    return false;
}

void main_window_t::focus_next(bool backwards) {
    const HWND focus = GetFocus();
    enum { TREE, BOX, LIST } pane = TREE;
    if (focus == address->edit || focus == address->handle)
        pane = BOX;
    else if (focus && (focus == eb_handle || IsChild(eb_handle, focus)))
        pane = LIST;
    else if (focus != tree->handle)
        pane = backwards ? TREE : LIST; // nowhere in particular: the tree comes next
    const int next = (pane + (backwards ? 2 : 1)) % 3;
    if (pane == BOX) address->close_editor();
    if (next == TREE) {
        SetFocus(tree->handle);
    } else if (next == BOX) {
        address->open_editor();
    } else {
        HWND view = nullptr;
        if (ebe->view && SUCCEEDED(ebe->view->GetWindow(&view))) SetFocus(view);
        if (ebe->view) ebe->view->UIActivate(SVUIA_ACTIVATE_FOCUS);
    }
}

void main_window_t::refresh() {
    tree->model().refresh_shown();
    if (ebe->view) ebe->view->Refresh();
}

namespace {

screen_rect_t work_area_near(const RECT& r) {
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &mi);
    return {mi.rcWork.left, mi.rcWork.top, mi.rcWork.right, mi.rcWork.bottom};
}

void move_to(HWND window, const screen_rect_t& r) {
    MoveWindow(window, int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top), TRUE);
}

} // namespace

void open_window_at(POINT at) {
    main_window_t* window = main_window_t::open();
    window->load_settings();
    // Where it was dropped, whatever the settings say, but whole on the screen.
    if (IsZoomed(window->handle)) ShowWindow(window->handle, SW_RESTORE);
    RECT r;
    GetWindowRect(window->handle, &r);
    const RECT dropped{at.x, at.y, at.x + r.right - r.left, at.y + r.bottom - r.top};
    const screen_rect_t placed{dropped.left, dropped.top, dropped.right, dropped.bottom};
    move_to(window->handle, whole_in(placed, work_area_near(dropped)));
}

main_window_t* open_cascaded(const main_window_t* source, const ITEMIDLIST* folder) {
    main_window_t* window = main_window_t::open(folder);
    if (IsZoomed(source->handle)) return window;
    // Down and right of its source, the way windows cascade, so that it is seen to come.
    RECT r;
    GetWindowRect(source->handle, &r);
    const int step = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYSIZEFRAME);
    OffsetRect(&r, step, step);
    const screen_rect_t work = work_area_near(r);
    screen_rect_t next{r.left, r.top, r.right, r.bottom};
    // Past the screen's edge the cascade starts again at the work area's corner.
    if (next.right > work.right || next.bottom > work.bottom)
        next = {work.left, work.top, work.left + (r.right - r.left), work.top + (r.bottom - r.top)};
    move_to(window->handle, whole_in(next, work));
    return window;
}

bool restore_every_window() {
    const std::vector<std::uint8_t> bytes = read_settings_file();
    const auto saved = decode_settings(bytes.data(), bytes.size());
    if (!saved || saved->trailer.windows.size() < 2) return false;
    for (const window_record_t& record : saved->trailer.windows) {
        const task_idlist folder = record.folder ? idlist_from_bytes(*record.folder) : nullptr;
        main_window_t* window = main_window_t::open(folder ? folder.get() : nullptr);
        window->restore_record(record);
    }
    return true;
}

namespace {

// The window's rectangle as it is when neither minimised nor maximised, in screen
// coordinates, and whether it is (or, minimised, comes back) maximised. A minimised
// window's own rectangle is a strip, or off every screen.
struct placement_t {
    RECT normal;
    bool maximized;
};

placement_t normal_placement(HWND window) {
    const bool zoomed = IsZoomed(window), iconic = IsIconic(window);
    if (!zoomed && !iconic) {
        // As it stands: the placement's copy is not kept up to date by every system.
        RECT r;
        GetWindowRect(window, &r);
        return {r, false};
    }
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    GetWindowPlacement(window, &wp);
    // The normal rectangle is in the coordinates of the monitor's work area.
    RECT r = wp.rcNormalPosition;
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    if (GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &mi))
        OffsetRect(&r, mi.rcWork.left - mi.rcMonitor.left, mi.rcWork.top - mi.rcMonitor.top);
    return {r, zoomed || (wp.flags & WPF_RESTORETOMAXIMIZED)};
}

// Where a saved rectangle comes back: as saved when it shows on a monitor at a usable
// size, otherwise whole on the nearest monitor's work area.
RECT restored_rect(const std::int32_t (&saved)[4]) {
    const screen_rect_t s{saved[0], saved[1], saved[2], saved[3]};
    const RECT r{saved[0], saved[1], saved[2], saved[3]};
    const bool on_a_monitor = r.right > r.left && r.bottom > r.top &&
                              MonitorFromRect(&r, MONITOR_DEFAULTTONULL) != nullptr;
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &mi);
    const screen_rect_t work{mi.rcWork.left, mi.rcWork.top, mi.rcWork.right, mi.rcWork.bottom};
    const screen_rect_t placed = restored_window_rect(s, on_a_monitor, work);
    return {LONG(placed.left), LONG(placed.top), LONG(placed.right), LONG(placed.bottom)};
}

} // namespace

void main_window_t::save_settings() {
    const placement_t placement = normal_placement(handle);
    const RECT& r = placement.normal;
    std::vector<std::uint8_t> image;
    image.reserve(512);
    put_i32(image, SETTINGS_MAGIC);
    put_i32(image, split);
    for (LONG edge : {r.left, r.top, r.right, r.bottom}) put_i32(image, edge);
    write_pidl_record(image, ebe->folder.get());
    put_i32(image, static_cast<std::int32_t>(g_pins.folders.size()));
    for (const byte_list& pin : g_pins.folders) write_pidl_record(image, pin.data());
    settings_trailer_t trailer{.maximized = placement.maximized, .windows = {}};
    // Every window open, oldest first, for a start to bring them all back.
    for (const main_window_t* window : main_windows) {
        const placement_t p = normal_placement(window->handle);
        window_record_t record{window->split,
                               {p.normal.left, p.normal.top, p.normal.right, p.normal.bottom},
                               p.maximized,
                               std::nullopt};
        if (window->ebe && window->ebe->folder)
            record.folder = idlist_bytes(window->ebe->folder.get());
        trailer.windows.push_back(std::move(record));
    }
    write_trailer(image, trailer);
    // Kept in memory until a save gets through: each save writes the whole state. Said
    // once, not at every save while the disk stays full.
    if (write_settings_file(image)) {
        g_unsaved.clear();
        return;
    }
    if (g_unsaved.empty()) {
        g_save_failure_unsaid = true;
        PostMessageW(handle, WM_SAVE_FAILED, 0, 0);
    }
    g_unsaved = std::move(image);
}

void main_window_t::load_settings(const ITEMIDLIST* instead) {
    const std::vector<std::uint8_t> bytes = read_settings_file();
    if (bytes.empty()) return;
    const auto saved = decode_settings(bytes.data(), bytes.size());
    if (!saved) {
        // Nothing to restore: start where an empty file starts, so the first save
        // writes a folder that exists.
        if (instead)
            go_to(instead);
        else
            browse_to_desktop();
        return;
    }
    split = saved->split;
    restore_maximized = saved->trailer.maximized;
    restore_pins(saved->pins);
    if (instead) {
        go_to(instead);
    } else if (saved->folder) {
        const task_idlist folder = idlist_from_bytes(*saved->folder);
        go_to(folder.get());
    } else {
        browse_to_desktop();
    }
    const RECT r = restored_rect(saved->rect);
    MoveWindow(handle, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

void main_window_t::restore_record(const window_record_t& record) {
    split = record.split;
    const RECT r = restored_rect(record.rect);
    if (IsZoomed(handle)) ShowWindow(handle, SW_RESTORE);
    MoveWindow(handle, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    if (record.maximized) ShowWindow(handle, SW_MAXIMIZE);
    layout();
}

void main_window_t::restore_pins(const std::vector<byte_list>& saved) {
    if (!g_pins.loaded) {
        g_pins.folders = saved;
        g_pins.loaded = true;
    }
    const std::vector<pin_outcome_t> outcomes = tree->model().load_expanded(g_pins.folders);
    // What this tree learnt: a pin found under other IDs keeps those, in every window;
    // one whose folder is gone leaves every window; one out of reach for now stays.
    std::vector<byte_list> kept, gone;
    std::vector<std::pair<byte_list, byte_list>> moved;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        const byte_list& was = g_pins.folders[i];
        const byte_list& pin = outcomes[i].shown_as.empty() ? was : outcomes[i].shown_as;
        if (!outcomes[i].shown_as.empty() || outcomes[i].unreachable) {
            if (std::find(kept.begin(), kept.end(), pin) == kept.end()) kept.push_back(pin);
            if (pin != was) moved.emplace_back(was, pin);
        } else {
            gone.push_back(pin);
        }
    }
    g_pins.folders = std::move(kept);
    for (main_window_t* other : main_windows) {
        if (other == this) continue;
        for (const byte_list& pin : gone) other->tree->model().set_pin(as_idlist(pin), false);
        for (const auto& [was, now] : moved) {
            other->tree->model().set_pin(as_idlist(was), false);
            other->tree->model().set_pin(as_idlist(now), true);
        }
    }
}

void main_window_t::on_pin_moved(const ITEMIDLIST* from, const ITEMIDLIST* to) {
    const byte_list was = idlist_bytes(from), now = idlist_bytes(to);
    // In its place in the set, and once.
    std::erase(g_pins.folders, now);
    const auto at = std::find(g_pins.folders.begin(), g_pins.folders.end(), was);
    if (at != g_pins.folders.end())
        *at = now;
    else
        g_pins.folders.push_back(now);
    for (main_window_t* other : main_windows)
        if (other != this) {
            other->tree->model().set_pin(from, false);
            other->tree->model().set_pin(to, true);
        }
    save_settings();
}

void main_window_t::on_pin_changed(const ITEMIDLIST* folder, bool pinned) {
    const byte_list pin = idlist_bytes(folder);
    std::erase(g_pins.folders, pin);
    if (pinned) g_pins.folders.push_back(pin);
    for (main_window_t* other : main_windows)
        if (other != this) other->tree->model().set_pin(folder, pinned);
    save_settings();
}
