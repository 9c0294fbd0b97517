#pragma once
// The folder tree pane on the left of a main window: the tree of shell folders from
// the desktop down, drawn off screen, with pinned and current rows kept in sight.
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "core/idlist.h"
#include "core/rows.h"
#include "ui/pane_host.h"
#include "ui/tree/tree_node.h"
#include "win/accessible.h"
#include "win/surface.h"

// What became of a pin when a tree looked for its folder.
struct pin_outcome_t {
    byte_list shown_as;       // the folder's list as the tree spells it, when found
    bool unreachable = false; // the way to it could not be read: kept, looked for again
};                            // neither: gone from a folder that was read

struct tree_view_t {
    static constexpr bool owned_by_window = false; // its main window owns it

    pane_host_t host;
    HWND handle = nullptr;
    SCROLLINFO scroll_info{};
    tree_node_t root;
    Microsoft::WRL::ComPtr<IShellFolder> desktop_sf;
    surface_t surface;
    std::vector<tree_node_t*> all_nodes;    // pre-order, collapsed subtrees included
    std::vector<tree_node_t*> visible_rows; // the nodes that get a row
    std::vector<tree_node_t*> page_rows;    // the rows on screen, top to bottom
    std::vector<byte_list> pending_pins;    // pinned folders that could not be reached yet
    wheel_t wheel;
    bool name_pressed = false;         // a name was pressed and the button is not yet let go
    tree_node_t* focus_node = nullptr; // the keyboard's row
    std::wstring typed;                // letters typed in a row, to find a name by
    ULONGLONG typed_at = 0;
    accessible_holder_t accessible;

    tree_view_t(HWND parent, HFONT font, pane_host_t pane_host);
    ~tree_view_t();
    tree_view_t(const tree_view_t&) = delete;
    tree_view_t& operator=(const tree_view_t&) = delete;

    static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT on_message(UINT message, WPARAM wparam, LPARAM lparam);

    void rebuild_all_nodes();
    void rebuild_visible_rows();
    void rebuild_page_rows();
    void paint();
    void resize(int width, int height);

    // Marks the folder the browser now shows, enumerating the folders on the way.
    void show_folder(const ITEMIDLIST* list);

    // A node found on the way down from the desktop; without one, whether its folder is
    // gone: the way ended in a file-system folder that was read and does not hold it.
    struct found_t {
        tree_node_t* node = nullptr;
        bool gone = false;
    };
    // Marks the folder pinned, enumerating the folders on the way.
    found_t pin_path(const ITEMIDLIST* list);

    // Marks the process's pins (the name is an old one: what it restores is the pinned
    // folders), and says what became of each.
    std::vector<pin_outcome_t> load_expanded(const std::vector<byte_list>& pins);

    // Every folder whose children are listed, read again.
    void refresh_shown();

    // A pin set or cleared in another window of the process.
    void set_pin(const ITEMIDLIST* list, bool pinned);

private:
    // The node of a non-empty list, found from the desktop down by item IDs or by
    // display names, enumerating each folder on the way.
    found_t find_by_ids(const ITEMIDLIST* list);
    found_t find_by_names(const ITEMIDLIST* list);
    // The rest of a list looked for by item IDs below a node whose children were just
    // read (`read`: successfully).
    found_t find_below(tree_node_t* parent, const ITEMIDLIST* rest, bool read);
    // The node of a list among the nodes already known, enumerating nothing.
    tree_node_t* known_node(const ITEMIDLIST* list);
    // Pins that could not be reached, looked for again below a folder just opened.
    void resolve_pending_pins(tree_node_t* opened);
    void full_rebuild();
    void row_rebuild();
    void page_rebuild();
    void set_position(int position);
    void on_button_down(int x, int y);
    void on_button_up(int x, int y);
    void toggle_expanded(tree_node_t* node);
    void browse_to(tree_node_t* node);
    void toggle_pin(tree_node_t* node);

    // The keyboard: a focus row among the listed ones, kept in sight.
    bool on_key(WPARAM key);
    void on_char(wchar_t c);
    void set_focus_node(tree_node_t* node);
    tree_node_t* first_focus() const;
    bool is_listed(const tree_node_t* node) const;
    int listed_index(const tree_node_t* node) const;
    int page_size() const;
    // Tells screen readers about the focus row.
    void announce(DWORD event);
    accessible_source_t describe();
};
