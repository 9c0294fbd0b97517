#pragma once
// One folder of the tree. Children are known only once the folder has been enumerated,
// and survive later enumerations with their flags and subtrees.
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "win/com.h"

struct tree_node_t {
    const std::uint64_t id; // never reused: what outlives the node refers to it by this
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
    // What the tree knows of the folder's children: read at least once; a read under
    // way (its job); the last read failed or did not come back in time.
    bool hidden = false; // the system's "hidden" attribute
    // Its file-system path, worked out once (empty: none, or not yet asked for); forgotten
    // for a subtree whose bytes change.
    std::wstring path;
    bool path_known = false;
    ULONGLONG read_at = 0; // when its children were last read
    bool children_read = false;
    std::uint64_t reading = 0;
    bool unreadable = false;
    // One of the file system's folders, whose listing is the whole truth about what is in
    // it, as its last read found (a virtual folder lists only what is reachable now).
    bool file_system = false;

    tree_node_t();
    ~tree_node_t();
    tree_node_t(const tree_node_t&) = delete;
    tree_node_t& operator=(const tree_node_t&) = delete;

    task_idlist absolute_pidl() const;
    void collapse_all();
    void clear_current();
    bool is_shown() const;
    void collect(std::vector<tree_node_t*>& nodes);

    void append_child(std::unique_ptr<tree_node_t> child);
    void forget_paths();
    // Unlinks the children, in order; the node is left without any.
    std::vector<std::unique_ptr<tree_node_t>> take_children();
    void clear_children();
};

// A name as a node holds it, on the task allocator; null when out of memory.
task_string name_copy(const std::wstring& name);

// The node's folder, bound through the desktop (the root is the desktop itself); null
// when it cannot be bound.
Microsoft::WRL::ComPtr<IShellFolder> bind_node(IShellFolder* desktop_sf, const tree_node_t* node);

// The node's child whose item is `item`'s first, by bytes; null when none is.
tree_node_t* child_with_item(tree_node_t* node, const ITEMIDLIST* item);

// The folder's path in the file system, empty for a virtual one; asked of the shell once
// per node, as it is not cheap on deep lists.
const std::wstring& file_system_path(tree_node_t* node);

// One child of an enumeration: its item, and its name when it was asked for.
struct child_item_t {
    task_idlist item;
    task_string name;
    bool hidden = false; // asked for when hidden items are enumerated too
};

// A bound folder's child folders in the folder's order; empty when the enumeration cannot
// start or breaks off before its end. With `with_names`, each item's name is asked for too.
std::optional<std::vector<child_item_t>> enumerate_children(IShellFolder* folder, SHCONTF flags,
                                                            bool with_names);

// Children taken out of a tree, with their subtrees.
using dropped_t = std::vector<std::unique_ptr<tree_node_t>>;

// What a merge took out. A folder known twice under one parent (spelled two ways: a pin
// saved by an older version, or while its drive was away) is one folder: the twin left
// over is folded into the child that stayed, its flags and subtree with it, and kept
// here, emptied, beside the node it went into until the caller has seen what moved.
struct merged_t {
    dropped_t gone;
    std::vector<std::pair<std::unique_ptr<tree_node_t>, tree_node_t*>> folded;

    // The node a folded one went into, or null.
    tree_node_t* folded_into(const tree_node_t* node) const;
};

// Folds `twin`, a node of the same folder as `kept`, into it: flags added up, children
// of one folder folded in turn, the others moved over. Emptied twins go to `folded`.
void fold_twin(tree_node_t* kept, std::unique_ptr<tree_node_t> twin, merged_t& folded);

// Whether two nodes under one parent stand for one folder: the same bytes or name.
bool same_folder(const tree_node_t* a, const tree_node_t* b);

// Puts enumerated children in place of the node's: a known child is kept (flags,
// subtree) when the bytes or else the name match, taking the new bytes; the rest are new.
// `name_of` names the items that came without a name and match no known child by bytes.
merged_t merge_children(tree_node_t* node, std::vector<child_item_t> fresh,
                        const std::function<task_string(const ITEMIDLIST*)>& name_of);

// Re-enumerates the node's child folders, one level; false when it could not. A bind
// that fails leaves the children as they were; an enumeration that cannot start drops
// them.
bool refresh_children(IShellFolder* desktop_sf, tree_node_t* node, SHCONTF flags = SHCONTF_FOLDERS);
