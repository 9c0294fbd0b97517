#pragma once
// One folder of the tree. Children are known only once the folder has been enumerated,
// and survive later enumerations with their flags and subtrees.
#include <windows.h>
#include <shobjidl.h>

#include <cstdint>
#include <vector>

struct tree_node_t {
    tree_node_t* parent = nullptr;
    tree_node_t* next_sibling = nullptr;
    tree_node_t* prev_sibling = nullptr;
    tree_node_t* first_child = nullptr;
    tree_node_t* last_child = nullptr;
    wchar_t* name = nullptr; // task allocator
    bool expanded = false;
    bool pinned = false;
    bool current = false;
    std::int32_t depth = 0;
    ITEMIDLIST* pidl = nullptr; // task allocator; one item, or the desktop's list at the root

    // Frees the name and list and deletes the children; the node stays linked.
    void release();
    ITEMIDLIST* absolute_pidl() const;
    void collapse_all();
    void clear_current();
    bool is_shown() const;
    void collect(std::vector<tree_node_t*>& nodes);
    void append_child(tree_node_t* child);
};

// Re-enumerates the node's child folders, one level; false when it could not.
bool refresh_children(IShellFolder* desktop_sf, tree_node_t* node);

// Takes the first node whose item equals `item` out of the list, order kept.
tree_node_t* take_child_by_id(std::vector<tree_node_t*>& nodes, const ITEMIDLIST* item);

// Takes the first node named `name` out of the list, order kept.
tree_node_t* take_child_by_name(std::vector<tree_node_t*>& nodes, const wchar_t* name);

// A new list: the items of `first`, then those of `second`.
ITEMIDLIST* concat_pidl(const ITEMIDLIST* first, const ITEMIDLIST* second);
