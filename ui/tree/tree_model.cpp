// The model's folders: finding them by IDs or names, the pins, and what the user and the
// shell do to them.
#include "ui/tree/tree_model.h"

#include <shlobj.h>

#include <algorithm>

namespace {

// Whether the node or a node below it is pinned.
bool holds_pin(const tree_node_t* node) {
    if (node->pinned) return true;
    for (const tree_node_t* c = node->first_child.get(); c; c = c->next_sibling.get())
        if (holds_pin(c)) return true;
    return false;
}

// The list's first item, moved on by one.
const ITEMIDLIST* next_item(const ITEMIDLIST* item) {
    return reinterpret_cast<const ITEMIDLIST*>(reinterpret_cast<const BYTE*>(item) + item->mkid.cb);
}

task_string display_name(IShellFolder* desktop_sf, const ITEMIDLIST* list, std::size_t items) {
    const task_idlist prefix = idlist_prefix(list, items);
    return prefix ? display_name_of(desktop_sf, prefix.get()) : nullptr;
}

bool same_name(const wchar_t* a, const wchar_t* b) {
    return a && b && wcscmp(a, b) == 0;
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
    watch = std::make_unique<folder_watch_t>(window, WM_TREE_FOLDERS_CHANGED);
    ITEMIDLIST* desktop_list = nullptr;
    SHGetKnownFolderIDList(FOLDERID_Desktop, 0, nullptr, &desktop_list);
    if (desktop_list) root_.pidl.reset(desktop_list);
}

tree_model_t::~tree_model_t() = default;

void tree_model_t::use_namespace(Microsoft::WRL::ComPtr<IShellFolder> desktop,
                                 enumerator_t::desktop_factory_t make_desktop) {
    desktop_sf = std::move(desktop);
    // Another namespace than the system's has no folders of the file system to watch.
    watch.reset();
    enumerator =
        std::make_unique<enumerator_t>(window, WM_TREE_READS_DONE, std::move(make_desktop));
    pending_pins_.clear();
    changed_folders.clear();
    renamed_ids.clear();
    pending_show.reset();
    follow.reset();
    root_.clear_children();
    root_.expanded = root_.pinned = root_.current = false;
    root_.children_read = root_.unreadable = false;
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
    return watch && watch->watching(node->id);
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
        rest = next_item(rest);
        if (rest->mkid.cb == 0) return {node, false};
        const read_t state = ensure_read(node);
        if (state == read_t::pending) return {nullptr, false, true};
        read = state == read_t::done;
        parent = node;
        node = node->first_child.get();
    }
    return {nullptr, read && is_file_system_folder(desktop_sf.Get(), parent)};
}

tree_model_t::found_t tree_model_t::find_by_names(const ITEMIDLIST* list, adopt_t adopt) {
    IShellFolder* sf = desktop_sf.Get();
    const std::size_t count = idlist_count(list);
    std::size_t k = 1;
    task_string sought = display_name(sf, list, k);
    // The ID pass has just read the root.
    bool read = true;
    tree_node_t* parent = &root_;
    const ITEMIDLIST* item = list;
    for (tree_node_t* node = root_.first_child.get(); node;) {
        if (!same_name(node->name.get(), sought.get())) {
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
        item = next_item(item);
        if (k == count) return {node, false};
        sought = display_name(sf, list, ++k);
        const read_t state = ensure_read(node);
        if (state == read_t::pending) return {nullptr, false, true};
        read = state == read_t::done;
        parent = node;
        node = node->first_child.get();
    }
    return {nullptr, read && is_file_system_folder(sf, parent)};
}

tree_node_t* tree_model_t::known_node(const ITEMIDLIST* list) {
    tree_node_t* node = &root_;
    for (const ITEMIDLIST* rest = list; node && rest->mkid.cb != 0; rest = next_item(rest)) {
        tree_node_t* child = node->first_child.get();
        while (child && !idlist_item_equal(child->pidl.get(), rest))
            child = child->next_sibling.get();
        node = child;
    }
    return node;
}

void tree_model_t::show_folder(const ITEMIDLIST* list) {
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
    if (found.pending) pending_show = idlist_copy(list);
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

// ---- Pins.

tree_model_t::found_t tree_model_t::pin_path(const ITEMIDLIST* list, bool adopt) {
    if (list->mkid.cb == 0) {
        root_.pinned = true;
        return {&root_, false};
    }
    const found_t by_ids = find_by_ids(list);
    if (by_ids.node) {
        by_ids.node->pinned = true;
        return by_ids;
    }
    // A folder written into since the pin was saved has other IDs now, but its name.
    found_t by_names = find_by_names(list, adopt ? adopt_t::yes : adopt_t::no);
    if (by_names.node) by_names.node->pinned = true;
    // Gone only when both ways ended in a folder that was read and does not hold it.
    by_names.gone = by_names.gone && by_ids.gone;
    return by_names;
}

std::vector<pin_outcome_t> tree_model_t::load_expanded(const std::vector<byte_list>& pins) {
    std::vector<pin_outcome_t> outcomes;
    outcomes.reserve(pins.size());
    pending_pins_.clear();
    graft_parent = nullptr;
    for (const byte_list& pin : pins) {
        // Put in place from its own list where the way is not known yet: a start with
        // pins reads no folder for them. Where it is known, it is looked for as usual.
        tree_node_t* grafted = graft(as_idlist(pin));
        const found_t found = grafted ? found_t{grafted} : pin_path(as_idlist(pin), false);
        if (grafted) grafted->pinned = true;
        pin_outcome_t outcome;
        // One still being read counts as out of reach until it comes back.
        if (found.node) {
            const task_idlist list = found.node->absolute_pidl();
            if (list) outcome.shown_as = idlist_bytes(list.get());
        } else if (!found.gone) {
            outcome.unreachable = true;
            pending_pins_.push_back(pin);
        }
        outcomes.push_back(std::move(outcome));
    }
    graft_folder.Reset();
    graft_parent = nullptr;
    changed();
    return outcomes;
}

tree_node_t* tree_model_t::graft(const ITEMIDLIST* list) {
    tree_node_t* node = &root_;
    for (const ITEMIDLIST* item = list; item->mkid.cb != 0; item = next_item(item)) {
        tree_node_t* child = node->first_child.get();
        while (child && !idlist_item_equal(child->pidl.get(), item))
            child = child->next_sibling.get();
        if (!child) {
            // A folder read and without it may hold it under other bytes, or not at all.
            if (node->children_read) return nullptr;
            // Named as its parent names it, the parent bound once for all its pins.
            if (node != graft_parent) {
                graft_parent = node;
                graft_folder = bind_node(desktop_sf.Get(), node);
            }
            task_idlist own_item = idlist_copy(item, item->mkid.cb);
            task_string name =
                graft_folder ? display_name_of(graft_folder.Get(), own_item.get()) : nullptr;
            // Spelled otherwise by another pin (saved by an older version, or while its
            // drive was away), it is the same folder: one node holds the pins of both.
            child = node->first_child.get();
            while (child && !same_name(child->name.get(), name.get()))
                child = child->next_sibling.get();
            if (!child) {
                auto made = std::make_unique<tree_node_t>();
                made->pidl = std::move(own_item);
                made->name = std::move(name);
                child = made.get();
                node->append_child(std::move(made));
            }
        }
        node = child;
    }
    return node;
}

void tree_model_t::set_pin(const ITEMIDLIST* list, bool pinned) {
    const byte_list bytes = idlist_bytes(list);
    std::erase(pending_pins_, bytes);
    if (pinned) {
        // The list comes from a window that read it just now: the rows take its spelling.
        const found_t found = pin_path(list, true);
        if (!found.node && !found.gone) pending_pins_.push_back(bytes);
    } else if (tree_node_t* node = known_node(list)) {
        node->pinned = false;
    }
    changed();
}

void tree_model_t::toggle_pin(const tree_node_t* node) {
    tree_node_t* pinned = own(node);
    pinned->pinned = !pinned->pinned;
    changed();
    if (const task_idlist list = pinned->absolute_pidl())
        host.pin_changed(list.get(), pinned->pinned);
}

void tree_model_t::resolve_pending_pins(tree_node_t* opened) {
    if (pending_pins_.empty()) return;
    const task_idlist base = opened->absolute_pidl();
    if (!base) return;
    const byte_list prefix = idlist_bytes(base.get());
    const std::size_t length = prefix.size() - 2;
    // Only pins below the folder just opened are looked for, from there down.
    std::erase_if(pending_pins_, [&](const byte_list& pin) {
        if (pin.size() <= prefix.size() ||
            !std::equal(prefix.begin(), prefix.end() - 2, pin.begin()))
            return false;
        const auto* rest = reinterpret_cast<const ITEMIDLIST*>(pin.data() + length);
        const found_t found = find_below(opened, rest, true);
        if (found.node) found.node->pinned = true;
        return found.node != nullptr;
    });
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
