#pragma once
// One folder of the tree. Children are known only once the folder has been enumerated,
// and survive later enumerations with their flags and subtrees.
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "win/com.h"

struct tree_node_t {
    tree_node_t* parent = nullptr;
    std::unique_ptr<tree_node_t> next_sibling; // owns the siblings after this one
    tree_node_t* prev_sibling = nullptr;
    std::unique_ptr<tree_node_t> first_child; // owns the children
    tree_node_t* last_child = nullptr;
    task_string name;
    bool expanded = false;
    bool pinned = false;
    bool current = false;
    std::int32_t depth = 0;
    task_idlist pidl; // one item, or the desktop's list at the root

    tree_node_t() = default;
    ~tree_node_t();
    tree_node_t(const tree_node_t&) = delete;
    tree_node_t& operator=(const tree_node_t&) = delete;

    task_idlist absolute_pidl() const;
    void collapse_all();
    void clear_current();
    bool is_shown() const;
    void collect(std::vector<tree_node_t*>& nodes);

    void append_child(std::unique_ptr<tree_node_t> child);
    // Unlinks the children, in order; the node is left without any.
    std::vector<std::unique_ptr<tree_node_t>> take_children();
    void clear_children();
};

// The node's folder, bound through the desktop (the root is the desktop itself); null
// when it cannot be bound.
Microsoft::WRL::ComPtr<IShellFolder> bind_node(IShellFolder* desktop_sf, const tree_node_t* node);

// Whether the node's folder is one of the file system's, whose listing is the whole truth
// about what is in it; a virtual folder (the computer, the network) lists only what is
// reachable at the moment. The desktop counts as the file system's.
bool is_file_system_folder(IShellFolder* desktop_sf, const tree_node_t* node);

// Re-enumerates the node's child folders, one level; false when it could not. A bind
// that fails leaves the children as they were; an enumeration that cannot start drops
// them.
bool refresh_children(IShellFolder* desktop_sf, tree_node_t* node);
