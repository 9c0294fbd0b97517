#include "core/idlist.h"

#include <algorithm>
#include <cstring>

std::uint16_t idlist_read_u16(const void* p) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    return static_cast<std::uint16_t>(b[0] | b[1] << 8);
}

std::size_t idlist_length(const void* list) {
    return idlist_prefix_length(list, SIZE_MAX);
}

std::size_t idlist_prefix_length(const void* list, std::size_t items) {
    const auto* p = static_cast<const std::uint8_t*>(list);
    std::size_t n = 0;
    for (std::uint16_t cb; items > 0 && (cb = idlist_read_u16(p + n)) != 0; --items) n += cb;
    return n;
}

std::size_t idlist_count(const void* list) {
    const auto* p = static_cast<const std::uint8_t*>(list);
    std::size_t count = 0;
    for (std::uint16_t cb; (cb = idlist_read_u16(p)) != 0; p += cb) ++count;
    return count;
}

bool idlist_item_equal(const void* stored, const void* sought) {
    const std::uint16_t cb = idlist_read_u16(sought);
    return idlist_read_u16(stored) == cb && std::memcmp(stored, sought, cb) == 0;
}

std::optional<std::size_t> idlist_checked_length(const void* bytes, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    std::size_t n = 0;
    while (size - n >= 2) {
        const std::uint16_t cb = idlist_read_u16(p + n);
        if (cb == 0) return n;
        if (cb < 2 || cb > size - n) return std::nullopt;
        n += cb;
    }
    // Fewer than two bytes left: the caller's zero-filled terminator ends the list here,
    // unless a lone byte would become the low half of a count.
    if (size - n == 1 && p[n] != 0) return std::nullopt;
    return n;
}

byte_list idlist_bytes(const void* list) {
    const auto* p = static_cast<const std::uint8_t*>(list);
    return byte_list(p, p + idlist_length(list) + 2);
}

void respell_pins(std::vector<byte_list>& pins, const byte_list& from, const byte_list& to) {
    const std::size_t stem = from.size() - 2;
    const bool same_way = idlist_count(from.data()) == idlist_count(to.data());
    for (byte_list& pin : pins) {
        // The whole items the pin shares with `from`.
        std::size_t shared = 0, items = 0;
        for (std::uint16_t cb; (cb = idlist_read_u16(&from[shared])) != 0; shared += cb, ++items)
            if (shared + cb > pin.size() - 2 ||
                !std::equal(from.begin() + std::ptrdiff_t(shared),
                            from.begin() + std::ptrdiff_t(shared + cb),
                            pin.begin() + std::ptrdiff_t(shared)))
                break;
        if (items == 0 || (!same_way && shared != stem)) continue;
        pin.erase(pin.begin(), pin.begin() + std::ptrdiff_t(shared));
        pin.insert(pin.begin(), to.begin(),
                   to.begin() + std::ptrdiff_t(idlist_prefix_length(to.data(), items)));
    }
    for (auto at = pins.begin(); at != pins.end(); ++at)
        pins.erase(std::remove(std::next(at), pins.end(), *at), pins.end());
}
