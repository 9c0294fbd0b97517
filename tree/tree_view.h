#pragma once
// The folder tree pane on the left of a main window: the tree of shell folders from
// the desktop down, drawn off screen, with pinned and current rows kept in sight.
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <vector>

#include "settings/settings_format.h"
#include "tree/tree_node.h"

struct main_window_t;

struct tree_view_t {
    main_window_t* mw;
    HWND handle = nullptr;
    SCROLLINFO scroll_info{};
    tree_node_t root;
    Microsoft::WRL::ComPtr<IShellFolder> desktop_sf;
    HDC mem_dc = nullptr;
    HBITMAP mem_bitmap = nullptr;
    std::vector<tree_node_t*> all_nodes;    // pre-order, collapsed subtrees included
    std::vector<tree_node_t*> visible_rows; // the nodes that get a row
    std::vector<tree_node_t*> page_rows;    // the rows on screen, top to bottom

    explicit tree_view_t(main_window_t* owner);
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

    // The tree's share of the settings: the pin count and the pinned folders' records.
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
    void press(int x, int y);
    void release(int x, int y);
};
