#include "core/child_merge.h"

#include <string>
#include <unordered_map>

namespace {

// Known children by key, each key's indices in order, handed out first to last.
template <class Key> struct index_t {
    struct slot_t {
        std::vector<std::size_t> indices;
        std::size_t next = 0;
    };
    std::unordered_map<Key, slot_t> slots;

    void add(const Key& key, std::size_t index) { slots[key].indices.push_back(index); }

    std::size_t take(const Key& key) {
        const auto found = slots.find(key);
        if (found == slots.end()) return NO_MATCH;
        slot_t& slot = found->second;
        return slot.next < slot.indices.size() ? slot.indices[slot.next++] : NO_MATCH;
    }
};

std::string_view as_key(item_bytes_t item) {
    return {reinterpret_cast<const char*>(item.data()), item.size()};
}

} // namespace

std::vector<std::size_t> match_children_by_bytes(const std::vector<item_bytes_t>& known,
                                                 const std::vector<item_bytes_t>& fresh) {
    index_t<std::string_view> index;
    index.slots.reserve(known.size());
    for (std::size_t i = 0; i < known.size(); ++i) index.add(as_key(known[i]), i);
    std::vector<std::size_t> matches;
    matches.reserve(fresh.size());
    for (item_bytes_t item : fresh) matches.push_back(index.take(as_key(item)));
    return matches;
}

void match_children_by_name(const std::vector<const char16_t*>& known_names,
                            const std::vector<const char16_t*>& fresh_names,
                            std::vector<std::size_t>& matches) {
    std::vector<bool> taken(known_names.size());
    for (std::size_t m : matches)
        if (m != NO_MATCH) taken[m] = true;
    index_t<std::u16string_view> index;
    for (std::size_t i = 0; i < known_names.size(); ++i)
        if (!taken[i] && known_names[i]) index.add(known_names[i], i);
    if (index.slots.empty()) return;
    for (std::size_t j = 0; j < matches.size(); ++j)
        if (matches[j] == NO_MATCH && fresh_names[j]) matches[j] = index.take(fresh_names[j]);
}
