#include "tree/tree_node.h"

#include <shlwapi.h>
#include <wrl/client.h>

#include "app/com.h"
#include "tree/idlist.h"
#include "tree/rows.h"

using Microsoft::WRL::ComPtr;

void tree_node_t::release() {
    CoTaskMemFree(pidl);
    CoTaskMemFree(name);
    pidl = nullptr;
    name = nullptr;
    for (tree_node_t* child = first_child; child;) {
        tree_node_t* next = child->next_sibling;
        child->release();
        delete child;
        child = next;
    }
    first_child = last_child = nullptr;
}

ITEMIDLIST* tree_node_t::absolute_pidl() const {
    if (!parent) return idlist_copy(pidl).release();
    task_idlist base(parent->absolute_pidl());
    return concat_pidl(base.get(), pidl);
}

void tree_node_t::collapse_all() {
    expanded = false;
    for (tree_node_t* c = first_child; c; c = c->next_sibling) c->collapse_all();
}

void tree_node_t::clear_current() {
    current = false;
    for (tree_node_t* c = first_child; c; c = c->next_sibling) c->clear_current();
}

bool tree_node_t::is_shown() const {
    return node_is_shown(this);
}

void tree_node_t::collect(std::vector<tree_node_t*>& nodes) {
    nodes.push_back(this);
    for (tree_node_t* c = first_child; c; c = c->next_sibling) c->collect(nodes);
}

void tree_node_t::append_child(tree_node_t* child) {
    child->parent = this;
    child->next_sibling = nullptr;
    child->prev_sibling = last_child;
    if (last_child) last_child->next_sibling = child;
    last_child = child;
    if (!first_child) first_child = child;
    child->depth = depth + 1;
}

ITEMIDLIST* concat_pidl(const ITEMIDLIST* first, const ITEMIDLIST* second) {
    const std::size_t a = idlist_length(first), b = idlist_length(second);
    auto* joined = static_cast<std::uint8_t*>(CoTaskMemAlloc(a + b + 2));
    if (!joined) return nullptr;
    ZeroMemory(joined, a + b + 2);
    CopyMemory(joined, first, a);
    CopyMemory(joined + a, second, b);
    return reinterpret_cast<ITEMIDLIST*>(joined);
}

tree_node_t* take_child_by_id(std::vector<tree_node_t*>& nodes, const ITEMIDLIST* item) {
    for (auto it = nodes.begin(); it != nodes.end(); ++it)
        if (idlist_item_equal((*it)->pidl, item)) {
            tree_node_t* found = *it;
            nodes.erase(it);
            return found;
        }
    return nullptr;
}

tree_node_t* take_child_by_name(std::vector<tree_node_t*>& nodes, const wchar_t* name) {
    for (auto it = nodes.begin(); it != nodes.end(); ++it)
        if ((*it)->name && wcscmp((*it)->name, name) == 0) {
            tree_node_t* found = *it;
            nodes.erase(it);
            return found;
        }
    return nullptr;
}

bool refresh_children(IShellFolder* desktop_sf, tree_node_t* node) {
    ComPtr<IShellFolder> folder;
    if (node->parent) {
        task_idlist absolute(node->absolute_pidl());
        if (absolute) desktop_sf->BindToObject(absolute.get(), nullptr, IID_PPV_ARGS(&folder));
    } else {
        folder = desktop_sf;
    }
    if (!folder) return false;

    std::vector<tree_node_t*> old;
    for (tree_node_t* c = node->first_child; c; c = c->next_sibling) old.push_back(c);
    node->first_child = node->last_child = nullptr;

    const auto drop = [](std::vector<tree_node_t*>& nodes) {
        for (tree_node_t* n : nodes) {
            n->release();
            delete n;
        }
    };
    ComPtr<IEnumIDList> items;
    if (FAILED(folder->EnumObjects(nullptr, SHCONTF_FOLDERS, &items)) || !items) {
        drop(old);
        return false;
    }
    ITEMIDLIST* item = nullptr;
    while (items->Next(1, &item, nullptr) == S_OK && item) {
        tree_node_t* child = take_child_by_id(old, item);
        if (child) {
            CoTaskMemFree(item);
        } else {
            wchar_t* name = display_name_of(folder.Get(), item).release();
            // A folder's item ID can carry its last-write time, so one written into
            // since the last look comes back under other bytes. Matched by its name it
            // keeps its pin, its flags and what is known below it.
            child = name ? take_child_by_name(old, name) : nullptr;
            if (child) {
                CoTaskMemFree(child->pidl);
                CoTaskMemFree(name);
            } else {
                child = new tree_node_t;
                child->name = name;
            }
            child->pidl = item;
        }
        node->append_child(child);
    }
    drop(old);
    return true;
}
