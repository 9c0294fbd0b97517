#pragma once
// What the in-process Windows tests share: the process's settings file, a settled main
// window, a message pump (from process_state.h) and a few readers of little-endian bytes
// and item ID lists.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "tests/support/process_state.h"
#include "core/idlist.h"

using bytes_t = std::vector<std::uint8_t>;

// The settings file behind g_settings, a temporary file of the test process: replaced
// by exactly these bytes (empty by default), its backup gone, and read back whole.
void reset_settings(const bytes_t& bytes = {});
bytes_t settings_bytes();

struct main_window_t;

// A main window over an empty settings file, once its browser has reported the desktop,
// so nothing more arrives; and its close, with the quit it posts taken.
main_window_t* open_settled_window();
void close_window(main_window_t* window);

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
