#pragma once
// Item ID list arithmetic on raw bytes. A list is a run of items, each opening with a
// 16-bit little-endian byte count that counts itself, ended by a zero count.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// A list held as bytes, with its 2-byte terminator.
using byte_list = std::vector<std::uint8_t>;

// Length of a trusted, terminated list: the sum of its item counts, terminator excluded.
std::size_t idlist_length(const void* list);

// Bytes taken by the first `items` items of a trusted list (fewer if the list is shorter).
std::size_t idlist_prefix_length(const void* list, std::size_t items);

// Number of items in a trusted list.
std::size_t idlist_count(const void* list);

// Whether the first item of `stored` equals the first item of `sought`: their first cb
// bytes agree, cb being the sought item's count. The stored count is compared first, so
// neither item is read past its own count.
bool idlist_item_equal(const void* stored, const void* sought);

// For untrusted bytes (a file, another process): the length of the list they hold as
// the shell would read it, stopping at a zero count or at the end of the bytes. Empty
// when an item count is 1 or runs past the bytes, that is when handing the bytes to
// the shell would make it read outside them.
std::optional<std::size_t> idlist_checked_length(const void* bytes, std::size_t size);

std::uint16_t idlist_read_u16(const void* p);

// A trusted list's bytes, its terminator included.
byte_list idlist_bytes(const void* list);

// The pins of a process (terminated lists, each once) after the folder `from` came to be
// spelled `to` (its item or one above it records a last write, or it was renamed; the
// folders on the way are the same): every pin takes the new items of the folders it
// shares with `from`. Where the two differ in length, only the pin and those below it
// move. A pin that both spellings now name is kept once, where it first stood.
void respell_pins(std::vector<byte_list>& pins, const byte_list& from, const byte_list& to);
