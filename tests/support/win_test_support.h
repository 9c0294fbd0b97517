#pragma once
// What the in-process Windows tests share: the process's settings file, a message pump
// and a few readers of little-endian bytes and item ID lists.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "tree/idlist.h"

using bytes_t = std::vector<std::uint8_t>;

// The settings file behind g_settings, a temporary file of the test process: replaced
// by exactly these bytes (empty by default), and read back whole.
void reset_settings(const bytes_t& bytes = {});
bytes_t settings_bytes();

// Dispatches this thread's messages until `done` holds or `timeout_ms` has passed;
// true when `done` held. The explorer browser reports navigations through the queue.
bool pump_until(const std::function<bool()>& done, DWORD timeout_ms = 10000);
void pump_for(DWORD ms);

// How many WM_QUIT messages the pump has taken out of the queue since the last call.
int take_quits();

inline std::int32_t i32_at(const bytes_t& bytes, std::size_t offset) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | bytes.at(offset + i);
    return static_cast<std::int32_t>(v);
}

inline void put_le32(bytes_t& bytes, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(std::uint8_t(value >> shift));
}

// A list's items without the terminator, as the settings file stores them.
inline bytes_t idlist_items(const void* list) {
    const auto* p = static_cast<const std::uint8_t*>(list);
    return bytes_t(p, p + idlist_length(list));
}

// The 24-byte header of a settings file: 100, split and the window rectangle.
inline bytes_t settings_header(std::int32_t split, const RECT& r) {
    bytes_t out;
    for (LONG v : {LONG(100), LONG(split), r.left, r.top, r.right, r.bottom})
        put_le32(out, static_cast<std::uint32_t>(v));
    return out;
}

inline void append_record(bytes_t& out, const bytes_t& items) {
    put_le32(out, static_cast<std::uint32_t>(items.size()));
    out.insert(out.end(), items.begin(), items.end());
}
