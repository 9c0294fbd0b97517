// The tree pane's window: its rows, scrolling and the wheel, painting and the mouse.
#include "ui/tree/tree_view.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <windowsx.h>

#include <algorithm>
#include <set>
#include <string>

#include "core/rows.h"
#include "fault/fatal.h"
#include "win/fill.h"
#include "win/window_class.h"

namespace {

void fill(HDC dc, int left, int top, int right, int bottom, color_t c) {
    gradient_rect(dc, RECT{left, top, right, bottom}, c, c);
}

} // namespace

tree_view_t::tree_view_t(HWND parent, HFONT font, pane_host_t pane_host)
    : host(std::move(pane_host)) {
    register_class(L"tree_view", window_proc, nullptr,
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

    // Without the desktop there is no tree; the model binds its own from it.
    Microsoft::WRL::ComPtr<IShellFolder> desktop;
    fatal_check(SUCCEEDED(SHGetDesktopFolder(&desktop)), fatal_sites::tree_desktop);
    folders = std::make_unique<tree_model_t>(handle, tree_model_host_t{
                                                         [this] { rows_changed(); },
                                                         host.pin_changed,
                                                         host.pin_moved,
                                                         host.browse,
                                                     });
    shell_part = std::make_unique<tree_shell_t>(
        handle, font, *folders,
        tree_shell_host_t{
            [this](POINT at) { return row_at(at); },
            [this](const tree_node_t* node, RECT& box) { return name_box(node, box); },
            [this] { return px(ROW_HEIGHT); },
            [this](int rows) {
                set_position(std::clamp(scroll_info.nPos + rows, 0, int(scroll_info.nMax)));
            },
            [this](const tree_node_t* node) { toggle_expanded(node); },
            [this] { paint(); },
            host.open_window_on,
        });
    settings_changed();
    rows_changed();
}

tree_view_t::~tree_view_t() {
    // Usually gone with its parent already; otherwise it must not outlive this object.
    if (handle) DestroyWindow(handle);
    shell_part.reset(); // the drop target goes before what it calls
}

LRESULT CALLBACK tree_view_t::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return forward_message<tree_view_t>(window, message, wparam, lparam);
}

LRESULT tree_view_t::on_message(UINT message, WPARAM wparam, LPARAM lparam) {
    const int x = static_cast<short>(LOWORD(lparam));
    const int y = static_cast<short>(HIWORD(lparam));
    switch (message) {
    case WM_PAINT:
        if (!surface.has_pixels()) paint();
        surface.paint_window(handle);
        return 0;
    case WM_TIMER:
        if (surface.on_timer(handle, wparam)) return 0;
        break;
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
    case WM_CONTEXTMENU:
        context_menu(lparam);
        return 0;
    case WM_INITMENUPOPUP:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_MENUCHAR: {
        LRESULT result = 0;
        if (shell_part && shell_part->menu_message(message, wparam, lparam, result)) return result;
        break;
    }
    case WM_CTLCOLOREDIT:
        // The rename box.
        if (const LRESULT brush = box.answer(reinterpret_cast<HDC>(wparam))) return brush;
        break;
    case WM_TREE_DROP:
        if (shell_part) shell_part->run_drops();
        return 0;
    case WM_DESTROY:
        if (shell_part) shell_part->window_gone();
        break;
    }
    if (folders && folders->on_message(message, wparam)) return 0;
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
    const tree_node_t* node = page_rows[index];
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
    if (right - px(21) <= x && x < right - px(1)) folders->toggle_pin(node);
}

void tree_view_t::toggle_expanded(const tree_node_t* node) {
    if (node->expanded)
        folders->collapse(node);
    else
        folders->expand(node);
    if (node == focus_node) announce(EVENT_OBJECT_STATECHANGE);
}

void tree_view_t::browse_to(const tree_node_t* node) {
    folders->mark_current(node);
    if (const task_idlist list = node->absolute_pidl()) host.browse(list.get());
}

void tree_view_t::context_menu(LPARAM lparam) {
    POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    const tree_node_t* node = nullptr;
    if (at.x == -1 && at.y == -1) {
        // From the keyboard: the focus row's menu, under its name.
        node = focus_node;
        const auto row = std::find(page_rows.begin(), page_rows.end(), node);
        if (!node || row == page_rows.end()) return;
        at = {px(INDENT) * node->depth + px(24),
              px(ROW_HEIGHT) * int(row - page_rows.begin()) + px(16)};
        ClientToScreen(handle, &at);
    } else {
        node = row_at(at);
    }
    if (node) shell_part->context_menu(node, at);
}

bool tree_view_t::name_box(const tree_node_t* node, RECT& box) const {
    const auto at = std::find(page_rows.begin(), page_rows.end(), node);
    if (at == page_rows.end()) return false;
    const int y = px(ROW_HEIGHT) * int(at - page_rows.begin());
    RECT client;
    GetClientRect(handle, &client);
    const int left = px(INDENT) * node->depth + px(18);
    box = {left, y, left + std::max(px(40), int(client.right) - px(22) - left), y + px(ROW_HEIGHT)};
    return true;
}

const tree_node_t* tree_view_t::row_at(POINT screen) const {
    POINT p = screen;
    ScreenToClient(handle, &p);
    RECT client;
    GetClientRect(handle, &client);
    if (p.y < 0 || p.x < 0 || p.x >= client.right) return nullptr;
    const std::size_t index = std::size_t(p.y / px(ROW_HEIGHT));
    return index < page_rows.size() ? page_rows[index] : nullptr;
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

void tree_view_t::rows_changed() {
    // Called while the model is made, before the view has it.
    if (!folders) return;
    all_nodes.clear();
    const auto collect = [this](auto& self, const tree_node_t* node) -> void {
        all_nodes.push_back(node);
        for (const tree_node_t* c = node->first_child.get(); c; c = c->next_sibling.get())
            self(self, c);
    };
    collect(collect, &folders->root());
    // The keyboard's row may have gone with a folder that went.
    if (focus_node && std::find(all_nodes.begin(), all_nodes.end(), focus_node) == all_nodes.end())
        focus_node = nullptr;
    row_rebuild();
}

void tree_view_t::show_hidden(bool shown) {
    if (shown == hidden_listed) return;
    hidden_listed = shown;
    row_rebuild();
}

void tree_view_t::settings_changed() {
    SHELLFLAGSTATE state{};
    SHGetSettings(&state, SSF_SHOWALLOBJECTS);
    show_hidden(state.fShowAllObjects != 0);
}

void tree_view_t::rebuild_visible_rows() {
    visible_rows.clear();
    // A hidden folder, while hidden files are not shown, is left out with what lies below
    // it, unless it is the folder shown, a pinned one, or on the way to one of them.
    std::set<const tree_node_t*> needed;
    if (!hidden_listed)
        for (const tree_node_t* node : all_nodes)
            if (node->current || node->pinned)
                for (const tree_node_t* up = node; up && needed.insert(up).second; up = up->parent)
                    ;
    const auto left_out = [&](const tree_node_t* node) {
        for (; node && !hidden_listed; node = node->parent)
            if (node->hidden && !needed.count(node)) return true;
        return false;
    };
    for (const tree_node_t* node : all_nodes)
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
    surface.use_font(font);
    shell_part->set_font(font);
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
    if (!surface.has_pixels()) surface.resize(client.right, client.bottom);
    paint_rows(surface.mem_dc, client.right, client.bottom, dpi, page_rows,
               GetFocus() == handle ? focus_node : nullptr, shell_part ? shell_part->drop_row() : 0,
               colours);
    // The surface covers the client area: erasing first would flash the class's white.
    InvalidateRect(handle, nullptr, FALSE);
}

void tree_view_t::set_palette(const palette_t& palette) {
    colours = palette;
    box.use(palette);
    paint();
    RedrawWindow(handle, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void paint_rows(HDC dc, int right, int height, int dpi, const std::vector<const tree_node_t*>& page,
                const tree_node_t* focus, std::uint64_t framed, const palette_t& palette) {
    const auto px = [dpi](int length) { return scaled(length, dpi); };
    fill(dc, 0, 0, right, height, palette.window);
    for (std::size_t i = 0; i < page.size(); ++i) {
        const tree_node_t* n = page[i];
        const int y = px(ROW_HEIGHT) * static_cast<int>(i);
        const int h = px(20), edge = px(1), bottom = y + h - edge;
        const row_colours_t& row = n->current  ? palette.current
                                   : n->pinned ? palette.pinned
                                               : palette.plain;
        if (n->current) {
            fill(dc, 0, y, right - edge, y + h, row.fill);
            fill(dc, 0, y, right - edge, y + edge, row.lit);
            fill(dc, 0, y, edge, y + h, row.lit);
            fill(dc, 0, bottom, right - edge, y + h, row.shade);
            fill(dc, right - edge, y, right, y + h, row.side);
        } else if (n->pinned) {
            fill(dc, 0, y, right - edge, y + h, row.fill);
            fill(dc, 0, y, right - edge, y + edge, row.lit);
            fill(dc, 0, y, edge, y + h, row.lit);
            fill(dc, 0, bottom, right - edge, y + h, row.shade);
            fill(dc, right - 2 * edge, y, right - edge, y + h, row.shade);
        } else {
            fill(dc, 0, y, right - edge, y + h, row.fill);
        }

        // The glyph and text coordinates are 16-bit, as the packed points are.
        const short X = static_cast<short>(px(INDENT) * n->depth);
        const short Y = static_cast<short>(y);
        const auto at = [&](int dx, int dy) { return pack_point(X + px(dx), Y + px(dy)); };
        // A folder being read, or that could not be read, has a grey glyph.
        const color_t glyph = n->reading || n->unreadable ? palette.waiting : row.ink;
        if (n->expanded)
            fill_triangle(dc, glyph, at(14, 6), at(6, 14), at(14, 14));
        else
            fill_triangle(dc, glyph, at(5, 5), at(5, 15), at(10, 10));

        if (n->name) {
            RECT box{static_cast<short>(X + px(20)), Y, static_cast<short>(right - px(22)),
                     static_cast<short>(Y + h)};
            SetTextColor(dc, to_colorref(row.ink));
            DrawTextW(dc, n->name.get(), -1, &box, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
        }

        fill(dc, right - px(16), Y + px(3), right - px(6), Y + px(14), row.ink);
        fill(dc, right - px(13), Y + px(3), right - px(9), Y + px(19), row.ink);
        if (!n->pinned) fill(dc, right - px(15), Y + px(4), right - px(7), Y + px(13), row.hollow);
        const auto frame = [&](int left, int top, int r, int b) {
            fill(dc, left, top, r, top + edge, row.ink);
            fill(dc, left, b - edge, r, b, row.ink);
            fill(dc, left, top, left + edge, b, row.ink);
            fill(dc, r - edge, top, r, b, row.ink);
        };
        // The row files would be dropped into, framed.
        if (framed && n->id == framed) frame(0, y, right - edge, y + h);
        // The keyboard's row, only while the keys come here: dotted, or under high
        // contrast solid in the row's ink, which inverting would not give.
        const RECT box{X + px(18), y + edge, right - px(21), bottom};
        if (n != focus || box.right <= box.left) continue;
        if (palette.kind == theme_kind_t::high_contrast)
            frame(box.left, box.top, box.right, box.bottom);
        else
            DrawFocusRect(dc, &box);
    }
}
