#include "app/main_window.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "app/ebe.h"
#include "app/process.h"
#include "app/session.h"
#include "app/single_instance.h"
#include "core/handover.h"
#include "core/layout.h"
#include "fault/fatal.h"
#include "ui/address/address_view.h"
#include "ui/tree/tree_view.h"
#include "win/background.h"
#include "win/fill.h"
#include "win/volume.h"
#include "win/window_class.h"

namespace {

int client_width(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    return r.right;
}

} // namespace

main_window_t* main_window_t::open(const ITEMIDLIST* folder, const window_record_t* record,
                                   const list_view_t* view) {
    // Written once it stands where it belongs, with its folder.
    const saves_held_t held;
    // From WM_NCCREATE on, the window owns the object; it is freed at WM_NCDESTROY.
    return std::unique_ptr<main_window_t>(new main_window_t(folder, record, view)).release();
}

main_window_t::main_window_t(const ITEMIDLIST* folder, const window_record_t* record,
                             const list_view_t* view) {
    if (record || view) {
        list_view = view ? *view : record->view;
        list_view_given = true;
    }
    // No background brush: the panes and the bar cover the whole client area.
    register_class(L"main_window", window_proc, LoadIconW(GetModuleHandleW(nullptr), L"ZELVON"),
                   nullptr, 4);
    // Made where it is to stand: moved there from another monitor, it would take that
    // monitor's scale on the way and the size the system suggests for it.
    const RECT at = made_at(record);
    CreateWindowExW(0, L"main_window", L"zelvon", WS_OVERLAPPEDWINDOW, at.left, at.top,
                    at.right - at.left, at.bottom - at.top, nullptr, nullptr,
                    GetModuleHandleW(nullptr), this);
    fatal_check(handle != nullptr, fatal_sites::main_window);

    const pane_host_t host{
        [this](const ITEMIDLIST* folder) { go_to(folder); },
        [this](const ITEMIDLIST* folder, bool pinned) { on_pin_changed(folder, pinned); },
        [this](const ITEMIDLIST* from, const ITEMIDLIST* to) { on_pin_moved(from, to); },
        [this](POINT at) { open_window_at(this, at); },
        [this](const ITEMIDLIST* folder) { open_cascaded(this, folder); },
    };
    tree = std::make_unique<tree_view_t>(handle, g_font.get(), host);
    address = std::make_unique<address_view_t>(handle, g_font.get(), host);
    if (const int scale = window_dpi(handle); scale != BASE_DPI) use_dpi(scale);
    apply_theme();

    fatal_check(SUCCEEDED(CoCreateInstance(CLSID_ExplorerBrowser, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_PPV_ARGS(&eb))),
                fatal_sites::browser);
    RECT initial{300, 20, 1000, 768};
    FOLDERSETTINGS folder_settings{
        static_cast<UINT>(list_view.mode > 0 ? list_view.mode : FVM_AUTO), 0};
    eb->Initialize(handle, &initial, &folder_settings);

    ebe = make_com<ebe_t>();
    ebe->pending = [this](const ITEMIDLIST* pending) { on_navigation_pending(pending); };
    ebe->completed = [this] { on_navigation_complete(); };
    ebe->created = [this] { on_view_created(); };
    eb->Advise(ebe.Get(), &ebe->cookie);

    HWND browser_window = nullptr;
    fatal_check(SUCCEEDED(IUnknown_GetWindow(eb.Get(), &browser_window)),
                fatal_sites::browser_window);
    SetWindowLongW(browser_window, GWL_STYLE,
                   GetWindowLongW(browser_window, GWL_STYLE) & ~WS_BORDER);
    // From here on the window lays itself out and saves: every pane exists.
    eb_handle = browser_window;

    if (!g_session.describe)
        g_session.describe = [](const main_window_t* window) { return window->record(); };
    g_session.window_opened(this);

    if (!load_settings(folder)) {
        if (folder)
            go_to(folder);
        else
            browse_to_desktop();
    }

    ShowWindow(handle, restore_maximized ? SW_SHOWMAXIMIZED : SW_SHOW);
}

main_window_t::~main_window_t() = default;

void main_window_t::on_destroy() {
    // A view set since the last save is written with the window.
    if (keep_list_view()) g_session.save_soon(this);
    // Leaves the session while others stay; the last one stays in it, as it is now.
    g_session.window_closed(this);
    // The browser lets go of the sink before the panes the sink calls go with the object,
    // and is torn down (its view and windows) before the last reference goes.
    if (eb && ebe) eb->Unadvise(ebe->cookie);
    if (eb) eb->Destroy();
    eb.Reset();
    ebe.Reset();
    eb_handle = nullptr; // nothing is laid out or saved any more
}

void main_window_t::on_navigation_pending(const ITEMIDLIST* folder) {
    // Started from the tree or the bar, the keys stay there: the new view takes the focus
    // for itself when it shows.
    const HWND focus = GetFocus();
    keys_stay = focus && (focus == tree->handle || focus == address->handle) ? focus : nullptr;
    // The view going now tells how the user left the list; the next one starts so.
    keep_list_view();
    address->set_folder(folder);
    tree->model().show_folder(folder);
    save_settings();
}

void main_window_t::on_navigation_complete() {
    // A file asked for: its folder shows, the file selected in it.
    if (select_after) {
        if (ebe->view)
            ebe->view->SelectItem(select_after.get(), SVSI_SELECT | SVSI_FOCUSED |
                                                          SVSI_ENSUREVISIBLE | SVSI_DESELECTOTHERS);
        select_after.reset();
    }
    const HWND focus = GetFocus();
    if (keys_stay && IsWindow(keys_stay) && focus != keys_stay &&
        (focus == eb_handle || IsChild(eb_handle, focus)))
        SetFocus(keys_stay);
    keys_stay = nullptr;
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

// Where a list asks to go, as the volume tells: a file's folder, the file to select in it;
// for a folder gone since (deleted, its drive unplugged), the nearest one still there.
struct destination_t {
    byte_list folder; // empty: nowhere
    byte_list select; // one item; empty: none
};

destination_t destination_of(const ITEMIDLIST* list) {
    destination_t to;
    std::size_t items = idlist_count(list);
    if (names_a_file(list)) {
        const ITEMIDLIST* last = list;
        for (std::size_t i = 1; i < items; ++i)
            last = reinterpret_cast<const ITEMIDLIST*>(reinterpret_cast<const BYTE*>(last) +
                                                       last->mkid.cb);
        to.select = idlist_bytes(last);
        --items;
    }
    task_idlist target = idlist_prefix(list, items);
    while (target && target->mkid.cb != 0 && is_gone(target.get()))
        target = idlist_prefix(target.get(), idlist_count(target.get()) - 1);
    if (target) to.folder = idlist_bytes(target.get());
    return to;
}

} // namespace

void main_window_t::go_to(const ITEMIDLIST* list) {
    select_after.reset();
    // A later request wins over one still being asked about.
    const std::uint64_t ticket = ++go_to_ticket;
    const auto browse = [this, ticket](const destination_t& to) {
        if (ticket != go_to_ticket || !eb || to.folder.empty()) return;
        if (!to.select.empty()) select_after = idlist_from_bytes(to.select);
        eb->BrowseToIDList(as_idlist(to.folder), 0);
    };
    if (!on_slow_volume(address->desktop.Get(), list)) return browse(destination_of(list));
    // A share or a removable drive may keep a look-up waiting: asked off this thread, which
    // goes on answering; the browser is sent once the volume has answered.
    run_in_background(
        [browse, asked = idlist_bytes(list)]() -> job_done_t {
            return [browse, to = destination_of(as_idlist(asked))] { browse(to); };
        },
        handle, WM_BACKGROUND_DONE);
}

void main_window_t::use_dpi(int scale) {
    dpi = scale;
    unique_font scaled_font(scale == BASE_DPI ? nullptr : create_ui_font(scale));
    HFONT ui = scaled_font ? scaled_font.get() : g_font.get();
    tree->set_dpi(dpi, ui);
    address->set_dpi(dpi, ui);
    // The font of the old scale goes once no pane has it selected.
    font = std::move(scaled_font);
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
    if (message == WM_BACKGROUND_DONE) {
        run_job_done(lparam);
        return 0;
    }
    // Before the constructor has made every pane, and after the window is destroyed, only
    // the default handling applies.
    if (!eb_handle) return DefWindowProcW(handle, message, wparam, lparam);
    const int x = static_cast<short>(LOWORD(lparam));
    switch (message) {
    case WM_SIZE:
        layout();
        // Written when the gesture ends, or once the window has been still a moment.
        if (!sizing) g_session.save_soon(this);
        return 0;
    case WM_MOVE:
        if (!sizing) g_session.save_soon(this);
        break;
    case WM_ENTERSIZEMOVE:
        sizing = true;
        break;
    case WM_EXITSIZEMOVE:
        sizing = false;
        save_settings();
        break;
    case WM_ENDSESSION:
        // The system ends the process without destroying the windows: every one stays in
        // the file for the next start.
        if (wparam && keep_list_view()) g_session.save_soon(this);
        if (wparam) g_session.end();
        return 0;
    case WM_ACTIVATE:
        // Left for another window: a view set meanwhile is saved.
        if (LOWORD(wparam) == WA_INACTIVE && keep_list_view()) save_settings();
        break;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(handle, &ps);
        RECT client;
        GetClientRect(handle, &client);
        const pane_rect_t b =
            layout_main_window(client.right, client.bottom, split_pixels(), dpi).bar;
        gradient_rect(dc, RECT{b.x, b.y, b.x + b.width, b.y + b.height}, colours.splitter,
                      colours.splitter);
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
            // Laid out at each move, written once when the button is let go.
            split = unscaled(splitter_in_reach(x, client_width(handle), dpi), dpi);
            layout();
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
        // Apps switched between light and dark, or high contrast turned on or off.
        if (wparam == SPI_SETHIGHCONTRAST ||
            (lparam &&
             lstrcmpiW(reinterpret_cast<const wchar_t*>(lparam), L"ImmersiveColorSet") == 0))
            apply_theme();
        break;
    case WM_SYSCOLORCHANGE:
        // Only top-level windows are told: the list's common controls hear it from here,
        // before the list is given the theme's colours again.
        EnumChildWindows(
            handle,
            [](HWND child, LPARAM) {
                SendMessageW(child, WM_SYSCOLORCHANGE, 0, 0);
                return TRUE;
            },
            0);
        apply_theme();
        break;
    case WM_CTLCOLORLISTBOX:
        // The path box's drop-down is owned here, and coloured by the bar.
        if (reinterpret_cast<HWND>(lparam) == address->completions)
            return SendMessageW(address->handle, message, wparam, lparam);
        break;
    case WM_NEW_WINDOW: {
        // The sender is let go once the path is read, before the window is made: COM
        // refuses calls out of the process inside a send from another one.
        const std::wstring path = wparam != 0 ? receive_handover() : std::wstring();
        if (InSendMessage()) ReplyMessage(NEW_WINDOW_TAKEN);
        // The handed-over folder, when it names one, is the new window's one navigation.
        if (!on_slow_volume(path.c_str())) {
            const task_idlist handed =
                path.empty() ? nullptr : parse_display_name(address->desktop.Get(), path.c_str());
            open_cascaded(this, handed.get());
            return NEW_WINDOW_TAKEN;
        }
        // Parsed where waiting on the volume holds no window up.
        run_in_background(
            [this, path]() -> job_done_t {
                Microsoft::WRL::ComPtr<IShellFolder> desktop;
                SHGetDesktopFolder(&desktop);
                const task_idlist parsed =
                    desktop ? parse_display_name(desktop.Get(), path.c_str()) : nullptr;
                return [this, folder = parsed ? idlist_bytes(parsed.get()) : byte_list{}] {
                    open_cascaded(this, folder.empty() ? nullptr : as_idlist(folder));
                };
            },
            handle, WM_BACKGROUND_DONE);
        return NEW_WINDOW_TAKEN;
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
