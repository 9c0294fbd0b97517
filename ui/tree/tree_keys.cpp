// The tree pane's keys (a focus row, type-ahead) and what screen readers see of it.
#include <windows.h>

#include <algorithm>
#include <string>

#include "ui/tree/tree_view.h"

bool tree_view_t::is_listed(const tree_node_t* node) const {
    return std::find(visible_rows.begin(), visible_rows.end(), node) != visible_rows.end();
}

const tree_node_t* tree_view_t::first_focus() const {
    for (const tree_node_t* node : visible_rows)
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

void tree_view_t::set_focus_node(const tree_node_t* node) {
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
    const tree_node_t* node = focus_node;
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
        if (node->expanded) {
            toggle_expanded(node);
        } else if (const tree_node_t* parent = node->parent) {
            // Listed below a closed folder (as the folder shown is): the folders above its
            // parent open, so that the parent has a row to go to.
            std::vector<const tree_node_t*> closed;
            for (const tree_node_t* up = parent->parent; up; up = up->parent)
                if (!up->expanded) closed.push_back(up);
            for (auto up = closed.rbegin(); up != closed.rend(); ++up) folders->expand(*up);
            if (is_listed(parent)) set_focus_node(parent);
        }
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
        shell_part->start_rename(node);
        return true;
    case 'P':
        if (!ctrl) return false;
        folders->toggle_pin(node);
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
        const tree_node_t* node = visible_rows[(from + k) % n];
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
