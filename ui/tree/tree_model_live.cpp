// The model that follows the file system by itself: folders read off the user-interface
// thread, the folders it shows watched, and what changed outside merged in.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <map>

#include "ui/tree/tree_model.h"
#include "win/volume.h"

namespace {

// Changes that come in a burst are read once, this long after the last.
constexpr UINT CHANGES_SETTLE_MS = 100;
constexpr UINT_PTR CHANGES_TIMER = 1;
// The folders watched at most: those whose children show, then others read lately.
constexpr std::size_t MAX_WATCHED = 63;
// How long what is known of a folder that cannot be watched counts as current.
constexpr ULONGLONG VIRTUAL_FRESH_MS = 5000;

bool is_within(const tree_node_t* node, const tree_node_t* ancestor) {
    for (; node; node = node->parent)
        if (node == ancestor) return true;
    return false;
}

byte_list list_of(const tree_node_t* node) {
    const task_idlist list = node->absolute_pidl();
    return list ? idlist_bytes(list.get()) : byte_list{};
}

} // namespace

bool tree_model_t::on_message(UINT message, WPARAM wparam) {
    switch (message) {
    case WM_TREE_READS_DONE:
        reads_done();
        return true;
    case WM_TREE_FOLDERS_CHANGED:
        folders_changed();
        return true;
    case WM_TIMER:
        if (wparam != CHANGES_TIMER) return false;
        read_changed_folders();
        return true;
    case WM_TREE_FOLLOW:
        follow_now();
        return true;
    }
    return false;
}

SHCONTF tree_model_t::enumeration_flags() const {
    // Hidden folders are read always: the one shown, those on its way and pinned ones are
    // listed whatever the setting; the rows leave the others out while it says so.
    return SHCONTF_FOLDERS | SHCONTF_INCLUDEHIDDEN;
}

tree_model_t::read_t tree_model_t::read_children(tree_node_t* node) {
    if (node->reading) return read_t::pending;
    const byte_list folder = list_of(node);
    if (folder.empty()) return read_t::failed;
    node->reading = enumerator->start(folder, enumeration_flags());
    // Waited for a moment, so that a folder read at once shows without a flash of its
    // loading row. A window not shown yet has nothing to flash: a start goes on to list
    // its folder, and the rows come with the read.
    if (IsWindowVisible(window))
        if (auto read = enumerator->wait(node->reading, AT_ONCE_MS)) {
            apply_read(node, std::move(*read));
            return node->unreadable ? read_t::failed : read_t::done;
        }
    // The row shows that it is loading.
    if (host.rows_changed) host.rows_changed();
    return read_t::pending;
}

tree_model_t::read_t tree_model_t::ensure_read(tree_node_t* node) {
    if (node->children_read && !node->unreadable) {
        // Watched, it is known to be as it is. A virtual folder (the computer, the
        // network) cannot be watched: read again when what is known of it is not recent.
        if (watched(node)) return read_t::done;
        // Read on the way to a folder the browser shows: the way is looked for again with
        // what came back, not read anew (a slow share would never be done).
        if (read_for_show.count(node->id)) return read_t::done;
        if (GetTickCount64() - node->read_at < VIRTUAL_FRESH_MS && !node->file_system)
            return read_t::done;
    }
    return read_children(node);
}

bool tree_model_t::wants_children(const tree_node_t* node) const {
    if (node->expanded || !node->parent) return true;
    // On the way to the folder shown, to one about to be, or to a pin not yet found.
    const byte_list below = list_of(node);
    const auto leads_to = [&](const void* list) {
        const std::size_t n = below.size() - 2;
        return idlist_length(list) > n &&
               std::equal(below.begin(), below.end() - 2, static_cast<const std::uint8_t*>(list));
    };
    if (pending_show && leads_to(pending_show.get())) return true;
    for (const byte_list& pin : pending_pins_)
        if (leads_to(pin.data())) return true;
    std::vector<tree_node_t*> nodes;
    const_cast<tree_node_t&>(root_).collect(nodes);
    for (const tree_node_t* n : nodes)
        if ((n->current || n->pinned) && n != node && is_within(n, node)) return true;
    return false;
}

void tree_model_t::reads_done() {
    bool named = false;
    for (folder_read_t& read : enumerator->take_done()) {
        if (naming_jobs.count(read.job)) {
            named = take_names(std::move(read)) || named;
            continue;
        }
        std::vector<tree_node_t*> nodes;
        root_.collect(nodes);
        const auto at = std::find_if(nodes.begin(), nodes.end(),
                                     [&](tree_node_t* n) { return n->reading == read.job; });
        if (at == nodes.end()) continue; // the folder went meanwhile
        tree_node_t* node = *at;
        if (!wants_children(node)) {
            // Collapsed or left while it was being read: nothing to show for it.
            node->reading = 0;
            continue;
        }
        if (pending_show) read_for_show.insert(node->id);
        apply_read(node, std::move(read));
    }
    if (named) place_awaited_pins();
    // A folder the browser showed while the way to it was being read.
    if (pending_show) {
        const task_idlist target = std::move(pending_show);
        show(target.get());
    } else {
        changed();
    }
}

tree_model_t::spelling_t tree_model_t::spelling_below(tree_node_t* node, bool with_node) const {
    spelling_t spelling;
    std::vector<tree_node_t*> below;
    node->collect(below);
    for (tree_node_t* n : below) {
        if (n == node && !with_node) continue;
        if (n->pinned) spelling.pins.emplace_back(n, list_of(n));
        if (n->current) {
            spelling.current = n;
            spelling.current_list = list_of(n);
        }
    }
    return spelling;
}

void tree_model_t::respelled(const spelling_t& before) {
    for (const auto& [pinned, was] : before.pins)
        if (const byte_list now = list_of(pinned); now != was)
            host.pin_moved(as_idlist(was), as_idlist(now));
    if (before.current)
        if (const byte_list now = list_of(before.current); now != before.current_list)
            follow_to(now);
}

void tree_model_t::follow_to(const byte_list& list) {
    // Later, from the queue: this may be the middle of a walk down the tree.
    follow = idlist_copy(as_idlist(list));
    if (follow) PostMessageW(window, WM_TREE_FOLLOW, 0, 0);
}

void tree_model_t::report_pin(byte_list from, byte_list to) {
    // A read may come back inside a call of the host's (a pin set in another window reads
    // the way to it): told then, the host would set pins here again under that call, which
    // goes on with a list they made stale.
    pin_reports.emplace_back(std::move(from), std::move(to));
    PostMessageW(window, WM_TREE_FOLLOW, 0, 0);
}

void tree_model_t::deliver_pin_reports() {
    for (const auto& [from, to] : std::exchange(pin_reports, {}))
        if (to.empty())
            host.pin_changed(as_idlist(from), false);
        else
            host.pin_moved(as_idlist(from), as_idlist(to));
}

void tree_model_t::follow_now() {
    deliver_pin_reports();
    if (const task_idlist target = std::move(follow)) host.follow(target.get());
}

void tree_model_t::apply_read(tree_node_t* node, folder_read_t read) {
    node->reading = 0;
    if (!read.children) {
        // Shown as such, children kept, pins kept; expanding again tries again.
        node->unreadable = true;
        return;
    }
    node->unreadable = false;
    node->file_system = read.file_system;
    if (read.file_system) {
        node->path = std::move(read.path);
        node->path_known = true;
    }

    // What the change may move or take away below the node: pins and the current folder.
    spelling_t before = spelling_below(node, false);
    std::vector<tree_node_t*> below;
    node->collect(below);

    const merged_t merged =
        merge_children(node, std::move(*read.children), [](const ITEMIDLIST*) { return nullptr; });

    std::vector<tree_node_t*> gone;
    for (const auto& subtree : merged.gone) subtree->collect(gone);
    const bool read_for_good = node->file_system;
    for (auto& [pinned, old_list] : before.pins) {
        // A twin folded into its namesake: the pin is the namesake's now.
        if (tree_node_t* into = merged.folded_into(pinned)) pinned = into;
        if (std::find(gone.begin(), gone.end(), pinned) != gone.end()) {
            // Gone from a folder that lists all it holds: the pin goes too. Missing from
            // one that lists what is reachable (the computer's drives): kept for later.
            if (read_for_good)
                report_pin(old_list, {});
            else
                pending_pins_.push_back(old_list);
        } else if (const byte_list now = list_of(pinned); now != old_list) {
            report_pin(old_list, now);
        }
    }
    if (tree_node_t* current = before.current) {
        byte_list current_list = std::move(before.current_list);
        if (tree_node_t* into = merged.folded_into(current)) {
            current = into;
            current_list = list_of(into);
        }
        const bool went = std::find(gone.begin(), gone.end(), current) != gone.end();
        bool renamed_on_the_way = false;
        for (const tree_node_t* n = current; n && n != node; n = n->parent)
            renamed_on_the_way = renamed_on_the_way || renamed_ids.count(n->id);
        // The folder shown went: the browser goes to the nearest folder that is still
        // there. Renamed (it or a folder above it): the browser follows the new name.
        if (went)
            follow_to(list_of(node));
        else if (renamed_on_the_way && list_of(current) != current_list)
            follow_to(list_of(current));
    }
    for (const tree_node_t* n : below) renamed_ids.erase(n->id);
    resolve_pending_pins(node);
}

void tree_model_t::update_watches() {
    if (!changes.watch_only) return;
    std::vector<tree_node_t*> all_nodes;
    root_.collect(all_nodes);
    // First the folders whose children show: the way to the current folder, open ones,
    // and the folders that hold the pins. Then, while the bound allows, other folders
    // read lately: known and watched, a navigation back through them reads nothing.
    std::vector<watched_folder_t> folders;
    std::set<std::uint64_t> taken;
    // A volume is told by the first two items (a drive of the computer, a server of the
    // network): asked once per such folder.
    std::map<const tree_node_t*, bool> slow_volumes;
    const auto on_slow = [&](const tree_node_t* node) {
        while (node->parent && node->parent->parent && node->parent->parent->parent)
            node = node->parent;
        const auto [at, added] = slow_volumes.emplace(node, false);
        if (added) at->second = on_slow_volume(desktop_sf.Get(), node->absolute_pidl().get());
        return at->second;
    };
    const auto add = [&](tree_node_t* node) {
        if (folders.size() >= MAX_WATCHED || !taken.insert(node->id).second) return;
        // Finding a path binds the parent, which a share may keep waiting: there, the
        // read finds it, and the folder is watched once it has been read.
        if (!node->path_known && on_slow(node)) return;
        if (const std::wstring& path = file_system_path(node); !path.empty())
            folders.push_back({node->id, path, list_of(node)});
    };
    for (tree_node_t* node : all_nodes)
        if (node->current)
            for (tree_node_t* up = node->parent; up; up = up->parent) add(up);
    for (tree_node_t* node : all_nodes)
        if (node->expanded && node->is_shown()) add(node);
    for (tree_node_t* node : all_nodes)
        if (node->pinned && node->parent) add(node->parent);
    std::vector<tree_node_t*> read;
    for (tree_node_t* node : all_nodes)
        if (node->children_read && !taken.count(node->id)) read.push_back(node);
    std::sort(read.begin(), read.end(),
              [](const tree_node_t* a, const tree_node_t* b) { return a->read_at > b->read_at; });
    for (tree_node_t* node : read) add(node);
    changes.watch_only(folders);
}

void tree_model_t::folders_changed() {
    if (!changes.take_changes) return;
    for (const folder_change_t& change : changes.take_changes()) {
        tree_node_t* folder = find_node(change.key);
        if (!folder) continue;
        // A renamed subfolder takes its new name at once, so that the read that follows
        // knows it by that name and keeps its pin, its flags and what lies below it.
        for (const auto& [from, to] : change.renames)
            for (tree_node_t* c = folder->first_child.get(); c; c = c->next_sibling.get())
                if (c->name && from == c->name.get()) {
                    c->forget_paths();
                    c->name = name_copy(to);
                    renamed_ids.insert(c->id);
                }
        changed_folders.insert(change.key);
    }
    SetTimer(window, CHANGES_TIMER, CHANGES_SETTLE_MS, nullptr);
}

void tree_model_t::read_changed_folders() {
    KillTimer(window, CHANGES_TIMER);
    const std::set<std::uint64_t> folders = std::exchange(changed_folders, {});
    for (std::uint64_t id : folders)
        if (tree_node_t* folder = find_node(id)) read_children(folder);
    changed();
}

void tree_model_t::refresh_shown() {
    // Children first read, then looked into: a folder that went takes its subtree along.
    const auto refresh = [this](auto& self, tree_node_t* node) -> void {
        read_children(node);
        for (tree_node_t* c = node->first_child.get(); c; c = c->next_sibling.get())
            if (c->expanded) self(self, c);
    };
    refresh(refresh, &root_);
    changed();
}
