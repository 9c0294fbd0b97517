#pragma once
// The hand-over block between a later start and the running process: the path in
// UTF-16 and one zero unit, in a named mapping that any process could have made.
#include <cstddef>
#include <string>

constexpr unsigned WM_NEW_WINDOW = 0x800A; // WM_APP + 10

// The path in a mapped block of `size` readable bytes: up to its first zero unit, or to
// the end of the block when another writer left none.
std::u16string read_handover_block(const void* view, std::size_t size);

// Bytes the sender's block takes for a path of `length` units.
inline std::size_t handover_block_size(std::size_t length) {
    return length * 2 + 2;
}
