#include "ui/tree/tree_node.h"

#include <wrl/client.h>

#include <string_view>
#include <unordered_map>

#include "core/child_merge.h"
#include "core/rows.h"

using Microsoft::WRL::ComPtr;

tree_node_t::tree_node_t()
    : id([] {
          static std::uint64_t last = 0;
          return ++last;
      }()) {}

tree_node_t::~tree_node_t() {
    clear_children();
}

void tree_node_t::clear_children() {
    // One sibling at a time: a chain of ten thousand must not recurse as deep.
    for (std::unique_ptr<tree_node_t> child = std::move(first_child); child;)
        child = std::move(child->next_sibling);
    last_child = nullptr;
}

task_idlist tree_node_t::absolute_pidl() const {
    if (!parent) return idlist_copy(pidl.get());
    const task_idlist base = parent->absolute_pidl();
    return base ? idlist_join(base.get(), pidl.get()) : nullptr;
}

void tree_node_t::forget_paths() {
    path_known = false;
    path.clear();
    for (tree_node_t* c = first_child.get(); c; c = c->next_sibling.get()) c->forget_paths();
}

void tree_node_t::collapse_all() {
    expanded = false;
    for (tree_node_t* c = first_child.get(); c; c = c->next_sibling.get()) c->collapse_all();
}

void tree_node_t::clear_current() {
    current = false;
    for (tree_node_t* c = first_child.get(); c; c = c->next_sibling.get()) c->clear_current();
}

bool tree_node_t::is_shown() const {
    return node_is_shown(this);
}

void tree_node_t::collect(std::vector<tree_node_t*>& nodes) {
    nodes.push_back(this);
    for (tree_node_t* c = first_child.get(); c; c = c->next_sibling.get()) c->collect(nodes);
}

void tree_node_t::append_child(std::unique_ptr<tree_node_t> child) {
    tree_node_t* added = child.get();
    added->parent = this;
    added->prev_sibling = last_child;
    added->depth = depth + 1;
    (last_child ? last_child->next_sibling : first_child) = std::move(child);
    last_child = added;
}

std::vector<std::unique_ptr<tree_node_t>> tree_node_t::take_children() {
    std::vector<std::unique_ptr<tree_node_t>> children;
    for (std::unique_ptr<tree_node_t> child = std::move(first_child); child;) {
        std::unique_ptr<tree_node_t> next = std::move(child->next_sibling);
        child->prev_sibling = nullptr;
        children.push_back(std::move(child));
        child = std::move(next);
    }
    last_child = nullptr;
    return children;
}

namespace {

item_bytes_t item_bytes(const ITEMIDLIST* item) {
    return {reinterpret_cast<const std::uint8_t*>(item), item->mkid.cb};
}

const char16_t* as_char16(const task_string& name) {
    return reinterpret_cast<const char16_t*>(name.get());
}

} // namespace

task_string name_copy(const std::wstring& name) {
    task_string copy(static_cast<wchar_t*>(CoTaskMemAlloc((name.size() + 1) * sizeof(wchar_t))));
    if (copy) wcscpy(copy.get(), name.c_str());
    return copy;
}

ComPtr<IShellFolder> bind_node(IShellFolder* desktop_sf, const tree_node_t* node) {
    ComPtr<IShellFolder> folder;
    if (node->parent) {
        const task_idlist absolute = node->absolute_pidl();
        if (absolute) desktop_sf->BindToObject(absolute.get(), nullptr, IID_PPV_ARGS(&folder));
    } else {
        folder = desktop_sf;
    }
    return folder;
}

tree_node_t* child_with_item(tree_node_t* node, const ITEMIDLIST* item) {
    tree_node_t* child = node->first_child.get();
    while (child && !idlist_item_equal(child->pidl.get(), item)) child = child->next_sibling.get();
    return child;
}

const std::wstring& file_system_path(tree_node_t* node) {
    if (!node->path_known) {
        node->path_known = true;
        const task_idlist list = node->absolute_pidl();
        std::wstring path(MAX_PATH, L'\0');
        if (list && SHGetPathFromIDListW(list.get(), path.data())) {
            path.resize(wcslen(path.c_str()));
            node->path = std::move(path);
        }
    }
    return node->path;
}

std::optional<std::vector<child_item_t>> enumerate_children(IShellFolder* folder, SHCONTF flags,
                                                            bool with_names) {
    ComPtr<IEnumIDList> items;
    if (FAILED(folder->EnumObjects(nullptr, flags, &items)) || !items) return std::nullopt;
    std::vector<child_item_t> fresh;
    for (;;) {
        ITEMIDLIST* next_item = nullptr;
        const HRESULT next = items->Next(1, &next_item, nullptr);
        task_idlist item(next_item);
        // S_FALSE is the end; an error is a listing cut short (a share that dropped), which
        // must not read as whole, or what it did not reach would seem gone.
        if (FAILED(next)) return std::nullopt;
        if (next != S_OK || !item) break;
        child_item_t child{std::move(item), nullptr};
        const ITEMIDLIST* one[] = {child.item.get()};
        if (with_names) child.name = display_name_of(folder, one[0]);
        if (flags & SHCONTF_INCLUDEHIDDEN) {
            SFGAOF attributes = SFGAO_HIDDEN;
            child.hidden = SUCCEEDED(folder->GetAttributesOf(1, one, &attributes)) &&
                           (attributes & SFGAO_HIDDEN);
        }
        fresh.push_back(std::move(child));
    }
    return fresh;
}

tree_node_t* merged_t::folded_into(const tree_node_t* node) const {
    for (const auto& [twin, into] : folded)
        if (twin.get() == node) return into;
    return nullptr;
}

bool same_folder(const tree_node_t* a, const tree_node_t* b) {
    const ITEMIDLIST* x = a->pidl.get();
    const ITEMIDLIST* y = b->pidl.get();
    if (x && y && x->mkid.cb == y->mkid.cb && idlist_item_equal(x, y)) return true;
    return a->name && b->name && wcscmp(a->name.get(), b->name.get()) == 0;
}

void fold_twin(tree_node_t* kept, std::unique_ptr<tree_node_t> twin, merged_t& folded) {
    kept->pinned = kept->pinned || twin->pinned;
    kept->expanded = kept->expanded || twin->expanded;
    kept->current = kept->current || twin->current;
    for (std::unique_ptr<tree_node_t>& child : twin->take_children()) {
        tree_node_t* same = kept->first_child.get();
        while (same && !same_folder(same, child.get())) same = same->next_sibling.get();
        if (same)
            fold_twin(same, std::move(child), folded);
        else
            kept->append_child(std::move(child)); // at the same depth as before
    }
    folded.folded.emplace_back(std::move(twin), kept);
}

merged_t merge_children(tree_node_t* node, std::vector<child_item_t> fresh,
                        const std::function<task_string(const ITEMIDLIST*)>& name_of) {
    dropped_t known = node->take_children();
    std::vector<item_bytes_t> known_bytes, fresh_bytes;
    for (const auto& child : known) known_bytes.push_back(item_bytes(child->pidl.get()));
    for (const child_item_t& c : fresh) fresh_bytes.push_back(item_bytes(c.item.get()));
    const std::vector<std::size_t> by_bytes = match_children_by_bytes(known_bytes, fresh_bytes);
    std::vector<std::size_t> matches = by_bytes;

    // Names cost a call into the shell each: asked only for items the bytes left over.
    std::vector<const char16_t*> known_names, fresh_names(fresh.size());
    for (std::size_t j = 0; j < fresh.size(); ++j)
        if (matches[j] == NO_MATCH) {
            if (!fresh[j].name) fresh[j].name = name_of(fresh[j].item.get());
            fresh_names[j] = as_char16(fresh[j].name);
        }
    for (const auto& child : known) known_names.push_back(as_char16(child->name));
    match_children_by_name(known_names, fresh_names, matches);

    for (std::size_t j = 0; j < fresh.size(); ++j) {
        std::unique_ptr<tree_node_t> child;
        if (matches[j] == NO_MATCH) {
            child = std::make_unique<tree_node_t>();
            child->name = std::move(fresh[j].name);
            child->pidl = std::move(fresh[j].item);
            child->hidden = fresh[j].hidden;
        } else {
            child = std::move(known[matches[j]]);
            child->hidden = fresh[j].hidden;
            // Matched by name, the folder keeps its pin, flags and subtree under its new
            // bytes.
            if (by_bytes[j] == NO_MATCH) {
                child->pidl = std::move(fresh[j].item);
                child->forget_paths();
            }
        }
        node->append_child(std::move(child));
    }
    std::erase(known, nullptr);
    node->children_read = true;
    node->read_at = GetTickCount64();
    merged_t merged;
    std::unordered_map<std::wstring_view, tree_node_t*> by_name; // made when first needed
    bool indexed = false;
    for (std::unique_ptr<tree_node_t>& left : known) {
        if (left->name && !std::exchange(indexed, true))
            for (tree_node_t* c = node->first_child.get(); c; c = c->next_sibling.get())
                if (c->name) by_name.emplace(c->name.get(), c);
        const auto same = left->name ? by_name.find(left->name.get()) : by_name.end();
        if (same != by_name.end())
            fold_twin(same->second, std::move(left), merged);
        else
            merged.gone.push_back(std::move(left));
    }
    return merged;
}

bool refresh_children(IShellFolder* desktop_sf, tree_node_t* node, SHCONTF flags) {
    const ComPtr<IShellFolder> folder = bind_node(desktop_sf, node);
    if (!folder) return false;
    auto fresh = enumerate_children(folder.Get(), flags, false);
    if (!fresh) {
        node->take_children();
        return false;
    }
    merge_children(node, std::move(*fresh),
                   [&](const ITEMIDLIST* item) { return display_name_of(folder.Get(), item); });
    return true;
}
