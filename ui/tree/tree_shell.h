#pragma once
// The tree as part of the shell: each folder's own context menu with the tree's items on
// top, renaming a folder in place, and files dropped onto a row.
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/tree/tree_model.h"

// Posted to the pane: files dropped that the tree moves or copies itself.
constexpr UINT WM_TREE_DROP = WM_APP + 4;

// What the shell part asks of the pane's rows.
struct tree_shell_host_t {
    // The row under a screen point, or null.
    std::function<const tree_node_t*(POINT screen)> row_at;
    // Where the node's name is edited, in the pane's client coordinates; false when its
    // row is not on the page.
    std::function<bool(const tree_node_t* node, RECT& box)> name_box;
    // A row's height at the pane's scale.
    std::function<int()> row_height;
    // Scrolls by whole rows (a drag resting near an edge).
    std::function<void(int rows)> scroll_by;
    // Opens a collapsed row (a drag resting on it).
    std::function<void(const tree_node_t* node)> expand;
    // The row to be framed as the drop's target changed.
    std::function<void()> repaint;
    // A new window on a folder (the menu's first item).
    std::function<void(const ITEMIDLIST* folder)> open_window_on;
};

// A row's folder across a call that runs a message loop (a menu, a verb's dialog, a
// rename's, a drop's): while it runs, the window may be closed (freeing the pane) and reads
// may merge (freeing nodes). Taken before the call, asked after it; nothing else of the
// pane is touched until it says the pane is still there.
struct row_guard_t {
    std::shared_ptr<const bool> pane_alive; // cleared as the pane's window goes
    const tree_model_t* model;
    std::uint64_t id;

    bool pane_gone() const { return !*pane_alive; }
    // The row's node found again; null when the pane or the folder's node went.
    const tree_node_t* row() const { return *pane_alive ? model->node_by_id(id) : nullptr; }
};

class tree_shell_t {
public:
    // Registers the pane's window as a drop target; renames in a box over its rows.
    tree_shell_t(HWND pane, HFONT font, tree_model_t& folders, tree_shell_host_t shell_host);
    ~tree_shell_t();
    tree_shell_t(const tree_shell_t&) = delete;
    tree_shell_t& operator=(const tree_shell_t&) = delete;

    // The folder's own context menu, the tree's items on top, at a screen point.
    void context_menu(const tree_node_t* node, POINT at);
    // A menu's messages while it is up, for its submenus; true when handled.
    bool menu_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);

    // Renaming in place: a box over the row, ended by Enter (or leaving it) or Escape.
    void start_rename(const tree_node_t* node);
    void end_rename(bool keep);
    void set_font(HFONT font);

    // A drag over the tree, from the tree's drop target: the row under the pointer
    // stands for its folder's own target.
    void drag_over(IDataObject* data, DWORD keys, POINT at, DWORD* effect);
    void drag_leave();
    void drop(IDataObject* data, DWORD keys, POINT at, DWORD* effect);
    // The row files would be dropped into (its node's id), 0 for none.
    std::uint64_t drop_row() const { return drop_row_; }
    // The drops the tree makes itself, once their drop calls have returned (WM_TREE_DROP).
    void run_drops();

    // The pane's window goes: no more drops, and calls under way find the pane gone.
    void window_gone();

private:
    HWND pane;
    HFONT font;
    tree_model_t& model;
    tree_shell_host_t host;
    // A folder's menu while it is up.
    Microsoft::WRL::ComPtr<IContextMenu2> menu2;
    Microsoft::WRL::ComPtr<IContextMenu3> menu3;
    HWND rename_box = nullptr;
    HWND refusal_tip = nullptr; // why the typed name cannot be taken
    std::uint64_t renaming = 0;
    Microsoft::WRL::ComPtr<IDropTarget> drop_target; // the tree's own, registered
    Microsoft::WRL::ComPtr<IDropTarget> drop_folder; // the folder's under the pointer
    std::uint64_t drop_row_ = 0;
    ULONGLONG drop_row_since = 0, drag_scrolled_at = 0;
    // Files to move or copy into a row's folder (its node's id).
    struct drop_t {
        std::vector<std::wstring> files;
        std::wstring into;
        bool move;
        std::uint64_t row;
    };
    std::vector<drop_t> drops;
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);

    row_guard_t guard(std::uint64_t id) const { return {alive, &model, id}; }

    void say_refused(const wchar_t* why);
    void unsay_refused();
    static LRESULT CALLBACK rename_box_proc(HWND box, UINT message, WPARAM wparam, LPARAM lparam,
                                            UINT_PTR id, DWORD_PTR self);
};
