#include "ui/tree/tree_view.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <windowsx.h>

#include <algorithm>
#include <string>

#include "core/rows.h"
#include "core/settings_format.h"
#include "fault/fatal.h"
#include "win/fill.h"
#include "win/window_class.h"

namespace {

const color_t white{1.0f, 1.0f, 1.0f};
const color_t light{0.95f, 0.95f, 0.95f};
const color_t pale{0.9f, 0.9f, 0.9f};
const color_t mid{0.7f, 0.7f, 0.7f};
const color_t dark{0.5f, 0.5f, 0.5f};
const color_t black{0.0f, 0.0f, 0.0f};

void fill(HDC dc, int left, int top, int right, int bottom, color_t c) {
    gradient_rect(dc, RECT{left, top, right, bottom}, c, c);
}

// Whether the node or a node below it is pinned.
bool holds_pin(const tree_node_t* node) {
    if (node->pinned) return true;
    for (const tree_node_t* c = node->first_child.get(); c; c = c->next_sibling.get())
        if (holds_pin(c)) return true;
    return false;
}

// The list's first item, moved on by one.
const ITEMIDLIST* next_item(const ITEMIDLIST* item) {
    return reinterpret_cast<const ITEMIDLIST*>(reinterpret_cast<const BYTE*>(item) + item->mkid.cb);
}

task_string display_name(IShellFolder* desktop_sf, const ITEMIDLIST* list, std::size_t items) {
    const task_idlist prefix = idlist_prefix(list, items);
    return prefix ? display_name_of(desktop_sf, prefix.get()) : nullptr;
}

bool same_name(const wchar_t* a, const wchar_t* b) {
    return a && b && wcscmp(a, b) == 0;
}

} // namespace

tree_view_t::tree_view_t(HWND parent, HFONT font, pane_host_t pane_host)
    : host(std::move(pane_host)) {
    register_class(L"tree_view", window_proc, LoadIconW(nullptr, IDI_APPLICATION),
                   static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)), 0);
    CreateWindowExW(WS_EX_LEFTSCROLLBAR, L"tree_view", L"", WS_CHILD | WS_VSCROLL, 0, 0, 100, 768,
                    parent, nullptr, GetModuleHandleW(nullptr), this);
    fatal_check(handle != nullptr, fatal_sites::tree_window);

    scroll_info.cbSize = sizeof scroll_info;
    scroll_info.fMask = SIF_RANGE | SIF_PAGE;
    scroll_info.nMin = 0;
    scroll_info.nMax = 9;
    scroll_info.nPage = 2;
    scroll_info.nPos = 0;
    SetScrollInfo(handle, SB_VERT, &scroll_info, TRUE);
    ShowWindow(handle, SW_SHOW);

    surface = surface_t(handle, font, true);
    root.expanded = false;

    fatal_check(SUCCEEDED(SHGetDesktopFolder(&desktop_sf)), fatal_sites::tree_desktop);
    use_namespace(desktop_sf, [] {
        Microsoft::WRL::ComPtr<IShellFolder> desktop;
        SHGetDesktopFolder(&desktop);
        return desktop;
    });
    watch = std::make_unique<folder_watch_t>(handle, WM_TREE_FOLDERS_CHANGED);
    settings_changed();
    register_drop_target();
    root.name = display_name_of(desktop_sf.Get(), nullptr);
    ITEMIDLIST* desktop = nullptr;
    SHGetKnownFolderIDList(FOLDERID_Desktop, 0, nullptr, &desktop);
    root.pidl.reset(desktop);
    if (!root.pidl) root.pidl = idlist_copy("\0", 0); // the desktop is the empty list

    root.collect(all_nodes);
    rebuild_visible_rows();
    rebuild_page_rows();
    paint();
}

tree_view_t::~tree_view_t() {
    // Usually gone with its parent already; otherwise it must not outlive this object.
    if (handle) DestroyWindow(handle);
    revoke_drop_target();
}

LRESULT CALLBACK tree_view_t::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return forward_message<tree_view_t>(window, message, wparam, lparam);
}

LRESULT tree_view_t::on_message(UINT message, WPARAM wparam, LPARAM lparam) {
    const int x = static_cast<short>(LOWORD(lparam));
    const int y = static_cast<short>(HIWORD(lparam));
    switch (message) {
    case WM_PAINT:
        surface.paint_window(handle);
        return 0;
    case WM_VSCROLL:
        set_position(
            scroll_request(LOWORD(wparam), scroll_info.nPos, scroll_info.nMax, HIWORD(wparam)));
        return 0;
    case WM_MOUSEWHEEL:
        set_position(
            wheel.position(scroll_info.nPos, static_cast<short>(HIWORD(wparam)), scroll_info.nMax));
        break; // the parent sees the wheel too
    case WM_LBUTTONDOWN:
        on_button_down(x, y);
        break;
    case WM_LBUTTONUP:
        on_button_up(x, y);
        break;
    case WM_KEYDOWN:
        if (on_key(wparam)) return 0;
        break;
    case WM_CHAR:
        on_char(static_cast<wchar_t>(wparam));
        return 0;
    case WM_SETFOCUS:
        if (!focus_node || !is_listed(focus_node)) set_focus_node(first_focus());
        paint();
        announce(EVENT_OBJECT_FOCUS);
        break;
    case WM_KILLFOCUS:
        paint();
        break;
    case WM_GETOBJECT:
        if (const LRESULT object =
                accessible.answer(handle, wparam, lparam, [this] { return describe(); }))
            return object;
        break;
    case WM_TREE_READS_DONE:
        reads_done();
        return 0;
    case WM_TREE_FOLDERS_CHANGED:
        folders_changed();
        return 0;
    case WM_TIMER:
        read_changed_folders();
        return 0;
    case WM_TREE_FOLLOW:
        if (const task_idlist target = std::move(follow)) host.browse(target.get());
        return 0;
    case WM_CONTEXTMENU: {
        POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
        tree_node_t* node = nullptr;
        if (at.x == -1 && at.y == -1) {
            // From the keyboard: the focus row's menu, under its name.
            node = focus_node;
            const auto row = std::find(page_rows.begin(), page_rows.end(), node);
            if (!node || row == page_rows.end()) return 0;
            at = {px(INDENT) * node->depth + px(24),
                  px(ROW_HEIGHT) * int(row - page_rows.begin()) + px(16)};
            ClientToScreen(handle, &at);
        } else {
            node = row_at(at);
        }
        if (node) context_menu(node, at);
        return 0;
    }
    case WM_INITMENUPOPUP:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_MENUCHAR: {
        LRESULT result = 0;
        if (menu_message(message, wparam, lparam, result)) return result;
        break;
    }
    case WM_DESTROY:
        revoke_drop_target();
        break;
    }
    return DefWindowProcW(handle, message, wparam, lparam);
}

void tree_view_t::set_position(int position) {
    scroll_info.nPos = position;
    page_rebuild();
    SCROLLINFO si{sizeof si, SIF_POS, 0, 0, 0, scroll_info.nPos, 0};
    SetScrollInfo(handle, SB_VERT, &si, TRUE);
}

void tree_view_t::on_button_down(int x, int y) {
    SetFocus(handle);
    RECT client;
    GetClientRect(handle, &client);
    const int right = client.right;
    const std::size_t index = static_cast<std::size_t>(y / px(ROW_HEIGHT));
    if (y < 0 || index >= page_rows.size()) return;
    tree_node_t* node = page_rows[index];
    const int d = node->depth;

    const int indent = px(INDENT) * d;
    if (indent <= x && x < indent + px(20)) toggle_expanded(node);
    if (indent + px(20) <= x && x < right - px(21)) {
        set_focus_node(node);
        // The browser may report the navigation, and so rebuild the tree, before this
        // returns: nothing of the tree is used after it.
        browse_to(node);
        SetCapture(handle);
        name_pressed = true;
    }
    if (right - px(21) <= x && x < right - px(1)) toggle_pin(node);
}

void tree_view_t::toggle_expanded(tree_node_t* node) {
    if (node->expanded) {
        node->collapse_all();
    } else {
        node->expanded = true; // also when the folder could not be read
        read_children(node);
    }
    full_rebuild();
    if (node == focus_node) announce(EVENT_OBJECT_STATECHANGE);
}

void tree_view_t::browse_to(tree_node_t* node) {
    root.clear_current();
    node->current = true;
    if (const task_idlist list = node->absolute_pidl()) host.browse(list.get());
}

void tree_view_t::toggle_pin(tree_node_t* node) {
    node->pinned = !node->pinned;
    row_rebuild();
    if (const task_idlist list = node->absolute_pidl()) host.pin_changed(list.get(), node->pinned);
}

void tree_view_t::on_button_up(int x, int y) {
    ReleaseCapture();
    // Only a press on a name can drag its folder out.
    const bool dragged = name_pressed;
    name_pressed = false;
    RECT client;
    GetClientRect(handle, &client);
    if (!dragged || (x >= client.left && x < client.right && y >= client.top && y < client.bottom))
        return;
    // Let go outside the pane: the settings already name the folder.
    POINT cursor;
    GetCursorPos(&cursor);
    host.open_window_at(cursor);
}

void tree_view_t::rebuild_all_nodes() {
    all_nodes.clear();
    root.collect(all_nodes);
    // The keyboard's row may have gone with a folder that went.
    if (focus_node && std::find(all_nodes.begin(), all_nodes.end(), focus_node) == all_nodes.end())
        focus_node = nullptr;
}

void tree_view_t::rebuild_visible_rows() {
    visible_rows.clear();
    // A hidden folder, while hidden files are not shown, is left out with what lies below
    // it, unless it is the folder shown, a pinned one, or on the way to one of them.
    std::set<const tree_node_t*> needed;
    if (!show_hidden)
        for (const tree_node_t* node : all_nodes)
            if (node->current || node->pinned)
                for (const tree_node_t* up = node; up && needed.insert(up).second; up = up->parent)
                    ;
    const auto left_out = [&](const tree_node_t* node) {
        for (; node && !show_hidden; node = node->parent)
            if (node->hidden && !needed.count(node)) return true;
        return false;
    };
    for (tree_node_t* node : all_nodes)
        if (node->is_shown() && !left_out(node)) visible_rows.push_back(node);
}

void tree_view_t::rebuild_page_rows() {
    RECT client;
    GetClientRect(handle, &client);
    const int R = client.bottom / px(ROW_HEIGHT);
    scroll_info.nMin = 0;
    scroll_info.nMax = scroll_max(visible_rows.size(), R);
    // Fewer rows than before (a collapse far down) must not leave an empty page.
    const bool moved = scroll_info.nPos > scroll_info.nMax;
    if (moved) scroll_info.nPos = scroll_info.nMax;
    fill_page_rows(visible_rows, scroll_info.nPos, R, page_rows);
    // The bar's range reaches one past the last position, so that its thumb, a page of
    // two long, can reach that position.
    SCROLLINFO si{sizeof si,
                  UINT(SIF_RANGE | (moved ? SIF_POS : 0)),
                  scroll_info.nMin,
                  scroll_info.nMax + 1,
                  0,
                  scroll_info.nPos,
                  0};
    SetScrollInfo(handle, SB_VERT, &si, TRUE);
}

void tree_view_t::full_rebuild() {
    rebuild_all_nodes();
    row_rebuild();
    update_watches();
}

void tree_view_t::row_rebuild() {
    rebuild_visible_rows();
    page_rebuild();
}

void tree_view_t::page_rebuild() {
    rebuild_page_rows();
    paint();
}

void tree_view_t::set_dpi(int new_dpi, HFONT font) {
    dpi = new_dpi;
    SelectObject(surface.mem_dc, font);
    if (rename_box) SendMessageW(rename_box, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    page_rebuild();
}

void tree_view_t::resize(int width, int height) {
    surface.resize(width, height);
    MoveWindow(handle, 0, 0, width, height, TRUE);
    page_rebuild();
}

void tree_view_t::paint() {
    RECT client;
    GetClientRect(handle, &client);
    const int right = client.right;
    fill(surface.mem_dc, 0, 0, client.right, client.bottom, white);
    for (std::size_t i = 0; i < page_rows.size(); ++i) {
        const tree_node_t* n = page_rows[i];
        const int y = px(ROW_HEIGHT) * static_cast<int>(i);
        const int h = px(20), edge = px(1), bottom = y + h - edge;
        if (n->current) {
            fill(surface.mem_dc, 0, y, right - edge, y + h, pale);
            fill(surface.mem_dc, 0, y, right - edge, y + edge, light);
            fill(surface.mem_dc, 0, y, edge, y + h, light);
            fill(surface.mem_dc, 0, bottom, right - edge, y + h, mid);
            fill(surface.mem_dc, right - edge, y, right, y + h, pale);
        } else if (n->pinned) {
            fill(surface.mem_dc, 0, y, right - edge, y + h, mid);
            fill(surface.mem_dc, 0, y, right - edge, y + edge, pale);
            fill(surface.mem_dc, 0, y, edge, y + h, pale);
            fill(surface.mem_dc, 0, bottom, right - edge, y + h, dark);
            fill(surface.mem_dc, right - 2 * edge, y, right - edge, y + h, dark);
        } else {
            fill(surface.mem_dc, 0, y, right - edge, y + h, white);
        }

        // The glyph and text coordinates are 16-bit, as the packed points are.
        const short X = static_cast<short>(px(INDENT) * n->depth);
        const short Y = static_cast<short>(y);
        const auto at = [&](int dx, int dy) { return pack_point(X + px(dx), Y + px(dy)); };
        // A folder being read, or that could not be read, has a grey glyph.
        const color_t glyph = n->reading || n->unreadable ? dark : black;
        if (n->expanded)
            fill_triangle(surface.mem_dc, glyph, at(14, 6), at(6, 14), at(14, 14));
        else
            fill_triangle(surface.mem_dc, glyph, at(5, 5), at(5, 15), at(10, 10));

        if (n->name) {
            RECT box{static_cast<short>(X + px(20)), Y, static_cast<short>(right - px(22)),
                     static_cast<short>(Y + h)};
            DrawTextW(surface.mem_dc, n->name.get(), -1, &box,
                      DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
        }

        fill(surface.mem_dc, right - px(16), Y + px(3), right - px(6), Y + px(14), black);
        fill(surface.mem_dc, right - px(13), Y + px(3), right - px(9), Y + px(19), black);
        if (!n->pinned)
            fill(surface.mem_dc, right - px(15), Y + px(4), right - px(7), Y + px(13), white);
        // The row files would be dropped into, framed.
        if (drop_row && n->id == drop_row) {
            fill(surface.mem_dc, 0, y, right - edge, y + edge, black);
            fill(surface.mem_dc, 0, bottom, right - edge, y + h, black);
            fill(surface.mem_dc, 0, y, edge, y + h, black);
            fill(surface.mem_dc, right - 2 * edge, y, right - edge, y + h, black);
        }
        // The keyboard's row, only while the keys come here.
        if (n == focus_node && GetFocus() == handle) {
            RECT box{X + px(18), y + edge, right - px(21), bottom};
            if (box.right > box.left) DrawFocusRect(surface.mem_dc, &box);
        }
    }
    InvalidateRect(handle, nullptr, TRUE);
}

tree_view_t::found_t tree_view_t::find_by_ids(const ITEMIDLIST* list) {
    const read_t read = ensure_read(&root);
    if (read == read_t::pending) return {nullptr, false, true};
    return find_below(&root, list, read == read_t::done);
}

tree_view_t::found_t tree_view_t::find_below(tree_node_t* parent, const ITEMIDLIST* rest,
                                             bool read) {
    for (tree_node_t* node = parent->first_child.get(); node;) {
        if (!idlist_item_equal(node->pidl.get(), rest)) {
            node = node->next_sibling.get();
            continue;
        }
        rest = next_item(rest);
        if (rest->mkid.cb == 0) return {node, false};
        const read_t state = ensure_read(node);
        if (state == read_t::pending) return {nullptr, false, true};
        read = state == read_t::done;
        parent = node;
        node = node->first_child.get();
    }
    return {nullptr, read && is_file_system_folder(desktop_sf.Get(), parent)};
}

tree_view_t::found_t tree_view_t::find_by_names(const ITEMIDLIST* list, adopt_t adopt) {
    IShellFolder* sf = desktop_sf.Get();
    const std::size_t count = idlist_count(list);
    std::size_t k = 1;
    task_string sought = display_name(sf, list, k);
    // The ID pass has just read the root.
    bool read = true;
    tree_node_t* parent = &root;
    const ITEMIDLIST* item = list;
    for (tree_node_t* node = root.first_child.get(); node;) {
        if (!same_name(node->name.get(), sought.get())) {
            node = node->next_sibling.get();
            continue;
        }
        // The list's spelling is the newer one (a folder's item can record its last write):
        // a pin then names the folder as the rows do. Pins at or below it keep the lists
        // they are saved under.
        if (adopt != adopt_t::no && !idlist_item_equal(node->pidl.get(), item) &&
            (adopt == adopt_t::yes || !holds_pin(node))) {
            node->pidl = idlist_copy(item, item->mkid.cb);
            node->forget_paths();
        }
        item = next_item(item);
        if (k == count) return {node, false};
        sought = display_name(sf, list, ++k);
        const read_t state = ensure_read(node);
        if (state == read_t::pending) return {nullptr, false, true};
        read = state == read_t::done;
        parent = node;
        node = node->first_child.get();
    }
    return {nullptr, read && is_file_system_folder(sf, parent)};
}

void tree_view_t::show_folder(const ITEMIDLIST* list) {
    root.clear_current();
    pending_show.reset();
    found_t found{&root};
    if (list->mkid.cb != 0) {
        found = find_by_ids(list);
        // Some folders reach the browser under other IDs than their parent enumerates: the
        // rows take the browser's, so the next navigation there finds them by IDs.
        if (!found.node && !found.pending) found = find_by_names(list, adopt_t::unless_pinned);
    }
    if (found.node) found.node->current = true;
    // A folder on the way is still being read: marked when it comes back. The browser
    // goes on meanwhile.
    if (found.pending) pending_show = idlist_copy(list);
    full_rebuild();
}

tree_view_t::found_t tree_view_t::pin_path(const ITEMIDLIST* list, bool adopt) {
    if (list->mkid.cb == 0) {
        root.pinned = true;
        return {&root, false};
    }
    const found_t by_ids = find_by_ids(list);
    if (by_ids.node) {
        by_ids.node->pinned = true;
        return by_ids;
    }
    // A folder written into since the pin was saved has other IDs now, but its name.
    found_t by_names = find_by_names(list, adopt ? adopt_t::yes : adopt_t::no);
    if (by_names.node) by_names.node->pinned = true;
    // Gone only when both ways ended in a folder that was read and does not hold it.
    by_names.gone = by_names.gone && by_ids.gone;
    return by_names;
}

std::vector<pin_outcome_t> tree_view_t::load_expanded(const std::vector<byte_list>& pins) {
    std::vector<pin_outcome_t> outcomes;
    outcomes.reserve(pins.size());
    pending_pins.clear();
    graft_parent = nullptr;
    for (const byte_list& pin : pins) {
        // Put in place from its own list where the way is not known yet: a start with
        // pins reads no folder for them. Where it is known, it is looked for as usual.
        tree_node_t* grafted = graft(as_idlist(pin));
        const found_t found = grafted ? found_t{grafted} : pin_path(as_idlist(pin));
        if (grafted) grafted->pinned = true;
        pin_outcome_t outcome;
        // One still being read counts as out of reach until it comes back.
        if (found.node) {
            const task_idlist list = found.node->absolute_pidl();
            if (list) outcome.shown_as = idlist_bytes(list.get());
        } else if (!found.gone) {
            outcome.unreachable = true;
            pending_pins.push_back(pin);
        }
        outcomes.push_back(std::move(outcome));
    }
    graft_folder.Reset();
    graft_parent = nullptr;
    full_rebuild();
    return outcomes;
}

tree_node_t* tree_view_t::graft(const ITEMIDLIST* list) {
    tree_node_t* node = &root;
    for (const ITEMIDLIST* item = list; item->mkid.cb != 0; item = next_item(item)) {
        tree_node_t* child = node->first_child.get();
        while (child && !idlist_item_equal(child->pidl.get(), item))
            child = child->next_sibling.get();
        if (!child) {
            // A folder read and without it may hold it under other bytes, or not at all.
            if (node->children_read) return nullptr;
            auto made = std::make_unique<tree_node_t>();
            made->pidl = idlist_copy(item, item->mkid.cb);
            // Named as its parent names it, the parent bound once for all its pins.
            if (node != graft_parent) {
                graft_parent = node;
                graft_folder = bind_node(desktop_sf.Get(), node);
            }
            if (graft_folder) made->name = display_name_of(graft_folder.Get(), made->pidl.get());
            child = made.get();
            node->append_child(std::move(made));
        }
        node = child;
    }
    return node;
}

void tree_view_t::set_pin(const ITEMIDLIST* list, bool pinned) {
    const byte_list bytes = idlist_bytes(list);
    std::erase(pending_pins, bytes);
    if (pinned) {
        // The list comes from a window that read it just now: the rows take its spelling.
        const found_t found = pin_path(list, true);
        if (!found.node && !found.gone) pending_pins.push_back(bytes);
    } else if (tree_node_t* node = known_node(list)) {
        node->pinned = false;
    }
    full_rebuild();
}

tree_node_t* tree_view_t::known_node(const ITEMIDLIST* list) {
    tree_node_t* node = &root;
    for (const ITEMIDLIST* rest = list; node && rest->mkid.cb != 0; rest = next_item(rest)) {
        tree_node_t* child = node->first_child.get();
        while (child && !idlist_item_equal(child->pidl.get(), rest))
            child = child->next_sibling.get();
        node = child;
    }
    return node;
}

void tree_view_t::resolve_pending_pins(tree_node_t* opened) {
    if (pending_pins.empty()) return;
    const task_idlist base = opened->absolute_pidl();
    if (!base) return;
    const byte_list prefix = idlist_bytes(base.get());
    const std::size_t length = prefix.size() - 2;
    // Only pins below the folder just opened are looked for, from there down.
    std::erase_if(pending_pins, [&](const byte_list& pin) {
        if (pin.size() <= prefix.size() ||
            !std::equal(prefix.begin(), prefix.end() - 2, pin.begin()))
            return false;
        const auto* rest = reinterpret_cast<const ITEMIDLIST*>(pin.data() + length);
        const found_t found = find_below(opened, rest, true);
        if (found.node) found.node->pinned = true;
        return found.node != nullptr;
    });
}

// ---- The keyboard and screen readers.

bool tree_view_t::is_listed(const tree_node_t* node) const {
    return std::find(visible_rows.begin(), visible_rows.end(), node) != visible_rows.end();
}

tree_node_t* tree_view_t::first_focus() const {
    for (tree_node_t* node : visible_rows)
        if (node->current) return node;
    return visible_rows.empty() ? nullptr : visible_rows.front();
}

int tree_view_t::listed_index(const tree_node_t* node) const {
    const auto at = std::find(visible_rows.begin(), visible_rows.end(), node);
    return at == visible_rows.end() ? -1 : int(at - visible_rows.begin());
}

int tree_view_t::page_size() const {
    RECT client;
    GetClientRect(handle, &client);
    return std::max(1, int(client.bottom / px(ROW_HEIGHT)));
}

void tree_view_t::set_focus_node(tree_node_t* node) {
    focus_node = node;
    const int index = listed_index(node);
    if (index < 0) return paint();
    // In sight: scrolled just far enough.
    const int p = scroll_info.nPos, R = page_size();
    const int wanted = index < p ? index : index >= p + R ? index - R + 1 : p;
    if (wanted != p)
        set_position(std::clamp(wanted, 0, int(scroll_info.nMax)));
    else
        paint();
    announce(EVENT_OBJECT_FOCUS);
}

void tree_view_t::announce(DWORD event) {
    const int index = listed_index(focus_node);
    if (index >= 0 && GetFocus() == handle) NotifyWinEvent(event, handle, OBJID_CLIENT, index + 1);
}

bool tree_view_t::on_key(WPARAM key) {
    if (!focus_node || !is_listed(focus_node)) set_focus_node(first_focus());
    tree_node_t* node = focus_node;
    if (!node) return false;
    const int index = listed_index(node), last = int(visible_rows.size()) - 1;
    const auto move_to = [&](int i) { set_focus_node(visible_rows[std::clamp(i, 0, last)]); };
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    switch (key) {
    case VK_UP:
        move_to(index - 1);
        return true;
    case VK_DOWN:
        move_to(index + 1);
        return true;
    case VK_PRIOR:
        move_to(index - page_size());
        return true;
    case VK_NEXT:
        move_to(index + page_size());
        return true;
    case VK_HOME:
        move_to(0);
        return true;
    case VK_END:
        move_to(last);
        return true;
    case VK_RIGHT:
        if (!node->expanded)
            toggle_expanded(node);
        else if (node->first_child && is_listed(node->first_child.get()))
            set_focus_node(node->first_child.get());
        return true;
    case VK_LEFT:
        if (node->expanded)
            toggle_expanded(node);
        else if (node->parent && is_listed(node->parent))
            set_focus_node(node->parent);
        return true;
    case VK_SPACE:
        // Within a name being typed, a blank is one of its letters.
        if (!typed.empty() && GetTickCount64() - typed_at <= 1000) return false;
        [[fallthrough]];
    case VK_RETURN:
        // Ctrl+Enter: the folder in a window of its own.
        if (ctrl) {
            if (const task_idlist list = node->absolute_pidl()) host.open_window_on(list.get());
            return true;
        }
        browse_to(node);
        return true;
    case VK_F2:
        start_rename(node);
        return true;
    case 'P':
        if (!ctrl) return false;
        toggle_pin(node);
        return true;
    }
    return false;
}

void tree_view_t::on_char(wchar_t c) {
    if (c < L' ' || GetKeyState(VK_CONTROL) < 0) return;
    // Letters typed within a second of each other spell one name.
    const ULONGLONG now = GetTickCount64();
    if (now - typed_at > 1000) typed.clear();
    if (c == L' ' && typed.empty()) return; // the Space key, which browsed
    typed_at = now;
    typed += c;
    if (visible_rows.empty()) return;
    // The same letter again goes on to the next row that starts with it; a longer
    // prefix may still be the row the keyboard is on.
    const bool repeated =
        std::all_of(typed.begin(), typed.end(), [&](wchar_t t) { return t == c; });
    const std::wstring sought = repeated ? std::wstring(1, c) : typed;
    const int n = int(visible_rows.size());
    const int from = std::max(0, listed_index(focus_node)) + (repeated ? 1 : 0);
    for (int k = 0; k < n; ++k) {
        tree_node_t* node = visible_rows[(from + k) % n];
        const wchar_t* name = node->name.get();
        if (name && wcslen(name) >= sought.size() &&
            CompareStringOrdinal(name, int(sought.size()), sought.c_str(), int(sought.size()),
                                 TRUE) == CSTR_EQUAL)
            return set_focus_node(node);
    }
}

accessible_source_t tree_view_t::describe() {
    accessible_source_t s;
    s.role = ROLE_SYSTEM_OUTLINE;
    s.count = [this] { return LONG(visible_rows.size()); };
    s.name = [this](LONG i) {
        return std::wstring(visible_rows[i]->name ? visible_rows[i]->name.get() : L"");
    };
    s.role_of = [](LONG) { return LONG(ROLE_SYSTEM_OUTLINEITEM); };
    s.state_of = [this](LONG i) {
        const tree_node_t* n = visible_rows[i];
        LONG state = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE;
        state |= n->expanded ? STATE_SYSTEM_EXPANDED : STATE_SYSTEM_COLLAPSED;
        if (n->current) state |= STATE_SYSTEM_SELECTED;
        if (n == focus_node && GetFocus() == handle) state |= STATE_SYSTEM_FOCUSED;
        return state;
    };
    // An outline item's value is its level.
    s.value_of = [this](LONG i) { return std::to_wstring(visible_rows[i]->depth); };
    s.location_of = [this](LONG i, RECT& r) {
        const auto at = std::find(page_rows.begin(), page_rows.end(), visible_rows[i]);
        if (at == page_rows.end()) return false;
        RECT client;
        GetClientRect(handle, &client);
        const int y = px(ROW_HEIGHT) * int(at - page_rows.begin());
        r = {0, y, client.right, y + px(ROW_HEIGHT)};
        MapWindowPoints(handle, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
        return true;
    };
    s.focused = [this] { return LONG(listed_index(focus_node)); };
    s.default_action_name = L"Open";
    s.default_action = [this](LONG i) { browse_to(visible_rows[i]); };
    return s;
}
