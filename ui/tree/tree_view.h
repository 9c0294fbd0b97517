#pragma once
// The folder tree pane on the left of a main window: the tree of shell folders from
// the desktop down, drawn off screen, with pinned and current rows kept in sight.
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/idlist.h"
#include "core/rows.h"
#include "core/scale.h"
#include "ui/pane_host.h"
#include "ui/tree/enumerator.h"
#include "ui/tree/tree_node.h"
#include "win/accessible.h"
#include "win/folder_watch.h"
#include "win/surface.h"

// What became of a pin when a tree looked for its folder.
struct pin_outcome_t {
    byte_list shown_as;       // the folder's list as the tree spells it, when found
    bool unreachable = false; // the way to it could not be read: kept, looked for again
};                            // neither: gone from a folder that was read

// What the tree's window tells itself.
constexpr UINT WM_TREE_READS_DONE = WM_APP + 1;
constexpr UINT WM_TREE_FOLDERS_CHANGED = WM_APP + 2;
constexpr UINT WM_TREE_FOLLOW = WM_APP + 3;

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
    // Reading and watching: reads off this thread, and the folders the tree shows,
    // watched for subfolders that come, go or change their names.
    std::unique_ptr<enumerator_t> enumerator;
    std::unique_ptr<folder_watch_t> watch;
    std::set<std::uint64_t> changed_folders; // read again when the burst is over
    std::set<std::uint64_t> renamed;         // named anew by a rename seen
    task_idlist pending_show;                // a folder to mark once the way to it is read
    task_idlist follow;                      // where the browser goes after a change seen
    // The shell: a folder's menu while it is up, a row being renamed, files dragged over.
    Microsoft::WRL::ComPtr<IContextMenu2> menu2;
    Microsoft::WRL::ComPtr<IContextMenu3> menu3;
    HWND rename_box = nullptr;
    std::uint64_t renaming = 0;
    Microsoft::WRL::ComPtr<IDropTarget> drop_target; // the tree's own, registered
    Microsoft::WRL::ComPtr<IDropTarget> drop_folder; // the folder's under the pointer
    std::uint64_t drop_row = 0;
    ULONGLONG drop_row_since = 0, drag_scrolled_at = 0;
    bool show_hidden = false;
    // While pins are put in place: the last parent bound to name them.
    const tree_node_t* graft_parent = nullptr;
    Microsoft::WRL::ComPtr<IShellFolder> graft_folder;

    int dpi = BASE_DPI;

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
    // Another scale (a window moved to another monitor): lengths and the font follow.
    void set_dpi(int new_dpi, HFONT font);
    // A length of the 96-DPI design at the pane's scale.
    int px(int length) const { return scaled(length, dpi); }

    // Marks the folder the browser now shows, enumerating the folders on the way.
    void show_folder(const ITEMIDLIST* list);

    // A node found on the way down from the desktop; without one, whether its folder is
    // gone: the way ended in a file-system folder that was read and does not hold it.
    struct found_t {
        tree_node_t* node = nullptr;
        bool gone = false;
        bool pending = false; // a folder on the way is still being read
    };
    // Marks the folder pinned, enumerating the folders on the way. With `adopt`, nodes
    // found by name take the list's bytes.
    found_t pin_path(const ITEMIDLIST* list, bool adopt = false);

    // Marks the process's pins (the name is an old one: what it restores is the pinned
    // folders), and says what became of each.
    std::vector<pin_outcome_t> load_expanded(const std::vector<byte_list>& pins);

    // Every folder whose children are listed, read again.
    void refresh_shown();

    // The shell's "show hidden files" setting, read again when the system says it changed.
    void settings_changed();

    // Namespace for the tree to read: its desktop folder here, and how a worker thread
    // gets one of its own.
    void use_namespace(Microsoft::WRL::ComPtr<IShellFolder> desktop,
                       enumerator_t::desktop_factory_t make_desktop);

    // A pin set or cleared in another window of the process.
    void set_pin(const ITEMIDLIST* list, bool pinned);

private:
    // The node of a non-empty list, found from the desktop down by item IDs or by
    // display names, enumerating each folder on the way.
    found_t find_by_ids(const ITEMIDLIST* list);
    // How the name pass takes the list's spelling of the folders it finds: not at all,
    // always, or where no pin lies at or below the folder (a navigation's).
    enum class adopt_t { no, yes, unless_pinned };
    found_t find_by_names(const ITEMIDLIST* list, adopt_t adopt);
    // The rest of a list looked for by item IDs below a node whose children were just
    // read (`read`: successfully).
    found_t find_below(tree_node_t* parent, const ITEMIDLIST* rest, bool read);
    // A pinned folder's node made from its own list, reading nothing: the folders on its
    // way that are not known yet are made from the list's items and named as the desktop
    // names them; a later read of their parent keeps them (the same bytes) or lets them
    // go. Null where a folder on the way was read and does not hold the next item.
    tree_node_t* graft(const ITEMIDLIST* list);
    // The node of a list among the nodes already known, enumerating nothing.
    tree_node_t* known_node(const ITEMIDLIST* list);
    // Pins that could not be reached, looked for again below a folder just opened.
    void resolve_pending_pins(tree_node_t* opened);

    // Reading a folder's children: at once when that takes no more than a moment, else
    // in the background while its row shows that it is loading.
    enum class read_t { done, failed, pending };
    read_t read_children(tree_node_t* node);
    // As above, unless the children are known and watched, so known to be as they are.
    read_t ensure_read(tree_node_t* node);
    void reads_done();
    void apply_read(tree_node_t* node, folder_read_t read);
    // Whether a read that comes back for the node is still wanted.
    bool wants_children(const tree_node_t* node) const;
    tree_node_t* node_by_id(std::uint64_t id);
    void update_watches();
    void folders_changed();
    void read_changed_folders();
    SHCONTF enumeration_flags() const;

public:
    // The folder's own context menu, the tree's items on top, at a screen point.
    void context_menu(tree_node_t* node, POINT at);
    void start_rename(tree_node_t* node);
    void end_rename(bool keep);
    // A drag over the tree, from the tree's drop target: the row under the pointer
    // stands for its folder's own target.
    void drag_over(IDataObject* data, DWORD keys, POINT at, DWORD* effect);
    void drag_leave();
    void drop(IDataObject* data, DWORD keys, POINT at, DWORD* effect);
    tree_node_t* row_at(POINT screen);

private:
    bool menu_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
    void register_drop_target();
    void revoke_drop_target();
    static LRESULT CALLBACK rename_box_proc(HWND box, UINT message, WPARAM wparam, LPARAM lparam,
                                            UINT_PTR id, DWORD_PTR self);
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
