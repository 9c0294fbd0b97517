// The model's pins: put in place at a start from their own lists, looked for, set and
// cleared; and the names of folders that the background readers ask for it, so that no
// folder on a slow share is bound on the user-interface thread to name a row.
#include <algorithm>
#include <set>

#include "ui/tree/tree_model.h"

namespace {

// A name asked this long ago is asked again: the folder may have been renamed since.
constexpr ULONGLONG NAME_FRESH_MS = 5000;

byte_list name_key(const name_request_t& request) {
    byte_list key = request.folder;
    key.insert(key.end(), request.item.begin(), request.item.end());
    return key;
}

} // namespace

// ---- Names, from the background readers.

const tree_model_t::name_t* tree_model_t::known_name(const name_request_t& request) const {
    const auto at = names.find(name_key(request));
    if (at == names.end() || GetTickCount64() - at->second.at > NAME_FRESH_MS) return nullptr;
    return &at->second;
}

bool tree_model_t::names_known(std::vector<name_request_t> requests) {
    // Pins in one folder share the way to it: each folder on it is named once.
    std::set<byte_list> asked;
    std::erase_if(requests, [&](const name_request_t& r) {
        return known_name(r) != nullptr || !asked.insert(name_key(r)).second;
    });
    if (requests.empty()) return true;
    const std::uint64_t job = enumerator->name(requests);
    naming_jobs.emplace(job, std::move(requests));
    if (auto named = enumerator->wait(job, AT_ONCE_MS)) {
        take_names(std::move(*named));
        return true;
    }
    return false;
}

bool tree_model_t::take_names(folder_read_t named) {
    const auto job = naming_jobs.find(named.job);
    if (job == naming_jobs.end()) return false;
    const ULONGLONG now = GetTickCount64();
    std::erase_if(names, [&](const auto& entry) { return now - entry.second.at > NAME_FRESH_MS; });
    for (std::size_t i = 0; i < job->second.size() && i < named.names.size(); ++i) {
        name_t& name = names[name_key(job->second[i])];
        name.at = now;
        name.name.reset();
        if (named.names[i]) name.name = named.names[i].get();
    }
    naming_jobs.erase(job);
    return true;
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
    pending_pins_.clear();
    awaiting_names.clear();
    // The names every graft needs, asked for at once: each folder that names some is bound
    // once for all of them.
    std::vector<name_request_t> wanted;
    for (const byte_list& pin : pins) graft_requests(as_idlist(pin), wanted);
    names_known(std::move(wanted));
    std::vector<pin_outcome_t> outcomes;
    outcomes.reserve(pins.size());
    for (const byte_list& pin : pins) outcomes.push_back(place_pin(pin));
    changed();
    return outcomes;
}

pin_outcome_t tree_model_t::place_pin(const byte_list& pin) {
    // Put in place from its own list where the way is not known yet: a start with pins
    // reads no folder for them. Where it is known, it is looked for as usual.
    found_t found = graft(as_idlist(pin));
    if (found.node)
        found.node->pinned = true;
    else if (!found.naming)
        found = pin_path(as_idlist(pin), false);
    pin_outcome_t outcome;
    // One still being read or named counts as out of reach until it comes back.
    if (found.node) {
        const task_idlist list = found.node->absolute_pidl();
        if (list) outcome.shown_as = idlist_bytes(list.get());
    } else if (!found.gone) {
        outcome.unreachable = true;
        pending_pins_.push_back(pin);
        if (found.naming) awaiting_names.push_back(pin);
    }
    return outcome;
}

void tree_model_t::place_awaited_pins() {
    for (const byte_list& pin : std::exchange(awaiting_names, {})) {
        std::erase(pending_pins_, pin);
        const pin_outcome_t outcome = place_pin(pin);
        if (!outcome.shown_as.empty() && outcome.shown_as != pin)
            host.pin_moved(as_idlist(pin), as_idlist(outcome.shown_as));
        else if (outcome.shown_as.empty() && !outcome.unreachable)
            host.pin_changed(as_idlist(pin), false);
    }
}

void tree_model_t::graft_requests(const ITEMIDLIST* list, std::vector<name_request_t>& wanted) {
    tree_node_t* node = &root_;
    std::size_t k = 0;
    for (const ITEMIDLIST* item = list; item->mkid.cb != 0; item = idlist_next(item), ++k) {
        if (tree_node_t* child = node ? child_with_item(node, item) : nullptr) {
            node = child;
            continue;
        }
        if (node && node->children_read) return; // looked for, not grafted
        node = nullptr;                          // from here down nothing is known
        wanted.push_back({idlist_prefix_bytes(list, k), idlist_prefix_bytes(item, 1)});
    }
}

tree_model_t::found_t tree_model_t::graft(const ITEMIDLIST* list) {
    tree_node_t* node = &root_;
    std::size_t k = 0;
    for (const ITEMIDLIST* item = list; item->mkid.cb != 0; item = idlist_next(item), ++k) {
        tree_node_t* child = child_with_item(node, item);
        if (!child) {
            // A folder read and without it may hold it under other bytes, or not at all.
            if (node->children_read) return {};
            // Named as its parent names it, by a background reader.
            const name_t* named =
                known_name({idlist_prefix_bytes(list, k), idlist_prefix_bytes(item, 1)});
            if (!named) return {nullptr, false, true, true};
            // Spelled otherwise by another pin (saved by an older version, or while its
            // drive was away), it is the same folder: one node holds the pins of both.
            child = node->first_child.get();
            while (child && !(named->name && child->name && *named->name == child->name.get()))
                child = child->next_sibling.get();
            if (!child) {
                auto made = std::make_unique<tree_node_t>();
                made->pidl = idlist_copy(item, item->mkid.cb);
                if (named->name) made->name = name_copy(*named->name);
                child = made.get();
                node->append_child(std::move(made));
            }
        }
        node = child;
    }
    return {node};
}

void tree_model_t::set_pin(const ITEMIDLIST* list, bool pinned) {
    const byte_list bytes = idlist_bytes(list);
    std::erase(pending_pins_, bytes);
    std::erase(awaiting_names, bytes);
    if (pinned) {
        // The list comes from a window that read it just now: the rows take its spelling.
        const found_t found = pin_path(list, true);
        if (!found.node && !found.gone) pending_pins_.push_back(bytes);
        if (found.naming) awaiting_names.push_back(bytes);
    } else if (tree_node_t* node = known_node(list)) {
        node->pinned = false;
    }
    changed();
}

void tree_model_t::move_pin(const ITEMIDLIST* from, const ITEMIDLIST* to, bool pinned) {
    tree_node_t* node = known_node(to);
    tree_node_t* old = known_node(from);
    if (old && node && old != node) old->pinned = false;
    if (!node && idlist_count(from) == idlist_count(to)) node = old;
    if (!node) {
        set_pin(from, false);
        if (pinned) set_pin(to, true);
        return;
    }
    const byte_list was = idlist_bytes(from);
    std::erase(pending_pins_, was);
    std::erase(awaiting_names, was);
    // Known here under the old items: each folder on the way takes the new ones, so that
    // every window spells the pin, and the pins below it, alike.
    std::vector<tree_node_t*> way;
    for (tree_node_t* n = node; n->parent; n = n->parent) way.push_back(n);
    const ITEMIDLIST* item = to;
    for (auto n = way.rbegin(); n != way.rend(); ++n, item = idlist_next(item))
        if (!idlist_item_equal((*n)->pidl.get(), item)) {
            (*n)->pidl = idlist_copy(item, item->mkid.cb);
            (*n)->forget_paths();
        }
    node->pinned = pinned;
    changed();
}

void tree_model_t::toggle_pin(const tree_node_t* node) {
    // What this tree found respelled goes first: the pins the user acts on are then
    // spelled in the process as they are here.
    const std::uint64_t id = node->id;
    deliver_pin_reports();
    tree_node_t* pinned = find_node(id);
    if (!pinned) return;
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
