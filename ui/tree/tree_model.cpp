// The model's folders: finding them by IDs or names, the pins, and what the user and the
// shell do to them.
#include "ui/tree/tree_model.h"

#include <shlobj.h>

#include <algorithm>

#include "win/folder_changes.h"

namespace {

// Whether the node or a node below it is pinned.
bool holds_pin(const tree_node_t* node) {
    if (node->pinned) return true;
    for (const tree_node_t* c = node->first_child.get(); c; c = c->next_sibling.get())
        if (holds_pin(c)) return true;
    return false;
}

} // namespace

tree_model_t::tree_model_t(HWND notify, tree_model_host_t model_host)
    : window(notify), host(std::move(model_host)) {
    Microsoft::WRL::ComPtr<IShellFolder> desktop;
    SHGetDesktopFolder(&desktop);
    use_namespace(std::move(desktop), [] {
        Microsoft::WRL::ComPtr<IShellFolder> desktop;
        SHGetDesktopFolder(&desktop);
        return desktop;
    });
    changes = folder_changes(window, WM_TREE_FOLDERS_CHANGED);
    ITEMIDLIST* desktop_list = nullptr;
    SHGetKnownFolderIDList(FOLDERID_Desktop, 0, nullptr, &desktop_list);
    if (desktop_list) root_.pidl.reset(desktop_list);
}

tree_model_t::~tree_model_t() = default;

void tree_model_t::use_namespace(Microsoft::WRL::ComPtr<IShellFolder> desktop,
                                 enumerator_t::desktop_factory_t make_desktop) {
    desktop_sf = std::move(desktop);
    // Another namespace than the system's has no folders of the file system to watch.
    changes = {};
    enumerator =
        std::make_unique<enumerator_t>(window, WM_TREE_READS_DONE, std::move(make_desktop));
    pending_pins_.clear();
    awaiting_names.clear();
    naming_jobs.clear();
    names.clear();
    changed_folders.clear();
    renamed_ids.clear();
    pending_show.reset();
    read_for_show.clear();
    follow.reset();
    pin_reports.clear();
    root_.clear_children();
    root_.expanded = root_.pinned = root_.current = false;
    root_.children_read = root_.unreadable = false;
    root_.file_system = true; // the desktop's listing is the whole truth about it
    root_.reading = 0;
    root_.forget_paths();
    root_.name = desktop_sf ? display_name_of(desktop_sf.Get(), nullptr) : nullptr;
    root_.pidl = idlist_copy("\0", 0); // the desktop is the empty list
    changed();
}

const tree_node_t* tree_model_t::node_by_id(std::uint64_t id) const {
    return const_cast<tree_model_t*>(this)->find_node(id);
}

tree_node_t* tree_model_t::find_node(std::uint64_t id) {
    std::vector<tree_node_t*> nodes;
    root_.collect(nodes);
    for (tree_node_t* node : nodes)
        if (node->id == id) return node;
    return nullptr;
}

Microsoft::WRL::ComPtr<IShellFolder> tree_model_t::bind(const tree_node_t* node) const {
    return bind_node(desktop_sf.Get(), node);
}

const std::wstring& tree_model_t::path_of(const tree_node_t* node) {
    return file_system_path(own(node));
}

bool tree_model_t::watched(const tree_node_t* node) const {
    return changes.watching && changes.watching(node->id);
}

void tree_model_t::changed() {
    update_watches();
    if (host.rows_changed) host.rows_changed();
}

// ---- Finding folders.

tree_model_t::found_t tree_model_t::find_by_ids(const ITEMIDLIST* list) {
    const read_t read = ensure_read(&root_);
    if (read == read_t::pending) return {nullptr, false, true};
    return find_below(&root_, list, read == read_t::done);
}

tree_model_t::found_t tree_model_t::find_below(tree_node_t* parent, const ITEMIDLIST* rest,
                                               bool read) {
    for (tree_node_t* node = parent->first_child.get(); node;) {
        if (!idlist_item_equal(node->pidl.get(), rest)) {
            node = node->next_sibling.get();
            continue;
        }
        rest = idlist_next(rest);
        if (rest->mkid.cb == 0) return {node, false};
        const read_t state = ensure_read(node);
        if (state == read_t::pending) return {nullptr, false, true};
        read = state == read_t::done;
        parent = node;
        node = node->first_child.get();
    }
    return {nullptr, read && parent->file_system};
}

tree_model_t::found_t tree_model_t::find_by_names(const ITEMIDLIST* list, adopt_t adopt) {
    // Each folder on the way as the desktop names its absolute list, by a background reader.
    const std::size_t count = idlist_count(list);
    std::vector<name_request_t> requests;
    for (std::size_t k = 1; k <= count; ++k)
        requests.push_back({idlist_prefix_bytes(list, 0), idlist_prefix_bytes(list, k)});
    if (!names_known(requests)) return {nullptr, false, true, true};
    const auto sought = [&](std::size_t k) -> const wchar_t* {
        const name_t* named = known_name(requests[k - 1]);
        return named && named->name ? named->name->c_str() : nullptr;
    };
    std::size_t k = 1;
    // The ID pass has just read the root.
    bool read = true;
    tree_node_t* parent = &root_;
    const ITEMIDLIST* item = list;
    for (tree_node_t* node = root_.first_child.get(); node;) {
        const wchar_t* name = sought(k);
        if (!name || !node->name || wcscmp(node->name.get(), name) != 0) {
            node = node->next_sibling.get();
            continue;
        }
        // The list's spelling is the newer one (a folder's item can record its last write):
        // a pin then names the folder as the rows do. Pins at or below it keep the lists
        // they are saved under.
        if (adopt != adopt_t::no && !idlist_item_equal(node->pidl.get(), item) &&
            (adopt == adopt_t::yes || !holds_pin(node))) {
            node->pidl = idlist_copy(item, item->mkid.cb);
            node->forget_paths();
        }
        item = idlist_next(item);
        if (k == count) return {node, false};
        ++k;
        const read_t state = ensure_read(node);
        if (state == read_t::pending) return {nullptr, false, true};
        read = state == read_t::done;
        parent = node;
        node = node->first_child.get();
    }
    return {nullptr, read && parent->file_system};
}

tree_node_t* tree_model_t::known_node(const ITEMIDLIST* list) {
    tree_node_t* node = &root_;
    for (const ITEMIDLIST* rest = list; node && rest->mkid.cb != 0; rest = idlist_next(rest))
        node = child_with_item(node, rest);
    return node;
}

void tree_model_t::show_folder(const ITEMIDLIST* list) {
    read_for_show.clear();
    show(list);
}

void tree_model_t::show(const ITEMIDLIST* list) {
    root_.clear_current();
    pending_show.reset();
    found_t found{&root_};
    if (list->mkid.cb != 0) {
        found = find_by_ids(list);
        // Some folders reach the browser under other IDs than their parent enumerates: the
        // rows take the browser's, so the next navigation there finds them by IDs.
        if (!found.node && !found.pending) found = find_by_names(list, adopt_t::unless_pinned);
    }
    if (found.node) found.node->current = true;
    // A folder on the way is still being read: marked when it comes back. The browser
    // goes on meanwhile.
    if (found.pending)
        pending_show = idlist_copy(list);
    else
        read_for_show.clear();
    changed();
}

void tree_model_t::mark_current(const tree_node_t* node) {
    root_.clear_current();
    own(node)->current = true;
}

void tree_model_t::expand(const tree_node_t* node) {
    own(node)->expanded = true; // also when the folder could not be read
    read_children(own(node));
    changed();
}

void tree_model_t::collapse(const tree_node_t* node) {
    own(node)->collapse_all();
    changed();
}

// ---- What the shell did.

void tree_model_t::renamed(const tree_node_t* node, task_idlist item, const std::wstring& typed) {
    tree_node_t* folder = own(node);
    if (!folder->parent) return;
    const spelling_t before = spelling_below(folder, true);
    task_string name;
    if (item) {
        const auto parent = bind_node(desktop_sf.Get(), folder->parent);
        name = parent ? display_name_of(parent.Get(), item.get()) : nullptr;
        folder->pidl = std::move(item);
    } else {
        // Known by its new name at once, so the read keeps its pin and what lies below it.
        renamed_ids.insert(folder->id);
    }
    folder->name = name ? std::move(name) : name_copy(typed);
    folder->forget_paths();
    // Pins at or below it and the folder shown follow the new spelling at once.
    respelled(before);
    read_children(folder->parent);
    changed();
}

void tree_model_t::verb_done(const tree_node_t* node) {
    if (!node->parent) return;
    // Renamed in its properties, say. Watched, the parent's report brings the old and new
    // names, which keep the pin and the folder shown; a read now, before that report, would
    // take the rename for a folder gone and another made. Unwatched, a read now is all
    // there is (deleted, say: shown at once).
    if (watched(node->parent)) return;
    read_children(own(node->parent));
    changed();
}

void tree_model_t::contents_changed(const tree_node_t* node) {
    // What went in shows at once, watched or not.
    if (node->children_read) read_children(own(node));
    changed();
}
