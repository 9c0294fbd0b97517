#include "core/settings_format.h"

#include <algorithm>
#include <cstring>

#include "core/idlist.h"

namespace {
constexpr std::size_t HEADER_SIZE = 24;
} // namespace

void put_i32(std::vector<std::uint8_t>& image, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
        image.push_back(static_cast<std::uint8_t>(v >> shift));
}

void write_pidl_record(std::vector<std::uint8_t>& image, const void* list) {
    const std::size_t length = list ? idlist_length(list) : 0;
    put_i32(image, static_cast<std::int32_t>(length));
    const auto* items = static_cast<const std::uint8_t*>(list);
    if (length) image.insert(image.end(), items, items + length);
}

bool settings_reader_t::read_i32(std::int32_t& value) {
    if (left() < 4) return false;
    const std::uint8_t* p = data + pos;
    value = static_cast<std::int32_t>(p[0] | p[1] << 8 | p[2] << 16 |
                                      static_cast<std::uint32_t>(p[3]) << 24);
    pos += 4;
    return true;
}

std::optional<byte_list> settings_reader_t::read_pidl_record() {
    std::int32_t raw = 0;
    read_i32(raw);
    const std::size_t length = std::min<std::size_t>(static_cast<std::uint32_t>(raw), left());
    const std::uint8_t* items = data + pos;
    pos += length;
    const auto valid = idlist_checked_length(items, length);
    if (!valid) return std::nullopt;
    byte_list list(items, items + *valid);
    list.resize(*valid + 2, 0);
    return list;
}

std::optional<saved_settings_t> decode_settings(const std::uint8_t* data, std::size_t size) {
    settings_reader_t in{data, size};
    std::int32_t magic = 0;
    if (size < HEADER_SIZE || !in.read_i32(magic) || magic != SETTINGS_MAGIC) return std::nullopt;
    saved_settings_t s;
    in.read_i32(s.split);
    for (auto& edge : s.rect) in.read_i32(edge);
    s.folder = in.read_pidl_record();
    std::int32_t count = 0;
    in.read_i32(count);
    // Each record takes at least its 4-byte length, which bounds the loop by the file.
    for (std::int32_t i = 0; i < count && in.left() >= 4; ++i)
        if (auto pin = in.read_pidl_record()) s.pins.push_back(std::move(*pin));
    return s;
}
