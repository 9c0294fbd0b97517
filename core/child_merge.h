#pragma once
// Which of a folder's freshly enumerated children are children the tree already knows,
// apart from the shell. A known child is found by its item bytes first; the new items
// left over are then matched by display name, since a folder's item can carry its
// last-write time and come back under other bytes. Each known child is matched once at
// most, the first in order winning.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

using item_bytes_t = std::span<const std::uint8_t>; // one item, its count included

constexpr std::size_t NO_MATCH = SIZE_MAX;

// For each new item, the index of the known child with the same bytes, or NO_MATCH.
std::vector<std::size_t> match_children_by_bytes(const std::vector<item_bytes_t>& known,
                                                 const std::vector<item_bytes_t>& fresh);

// Matches the new items still at NO_MATCH by name among the known children no item has
// taken yet. A null name (the shell gave none) matches nothing.
void match_children_by_name(const std::vector<const char16_t*>& known_names,
                            const std::vector<const char16_t*>& fresh_names,
                            std::vector<std::size_t>& matches);
