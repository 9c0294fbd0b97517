#pragma once
// The folder tree pane on the left of a main window: the tree of shell folders from
// the desktop down, drawn off screen, with pinned and current rows kept in sight.
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <vector>

#include "core/idlist.h"
#include "ui/pane_host.h"
#include "ui/tree/tree_node.h"
#include "win/surface.h"

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
    void pin_path(const ITEMIDLIST* list);

    // The pins' share of the settings (the names are the file's old ones: what they
    // save and restore is the pinned folders): the pin count and the pins' records.
    void save_expanded(std::vector<std::uint8_t>& image);
    void load_expanded(const std::vector<byte_list>& pins);

private:
    // The node of a non-empty list, found from the desktop down by item IDs or by
    // display names, enumerating each folder on the way; null where the way breaks off.
    tree_node_t* find_by_ids(const ITEMIDLIST* list);
    tree_node_t* find_by_names(const ITEMIDLIST* list);
    void full_rebuild();
    void row_rebuild();
    void page_rebuild();
    void set_position(int position);
    void on_button_down(int x, int y);
    void on_button_up(int x, int y);
};
