#include "core/settings_format.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "core/idlist.h"

namespace {

constexpr std::size_t HEADER_SIZE = 24;

enum field_tag_t : std::uint16_t {
    FIELD_WINDOW_FLAGS = 1, // 32 bits: bit 0, maximised
    FIELD_WINDOW = 2,       // one open window: split, rect, flags, folder record
    FIELD_GENERATION = 3,   // 64 bits: the save's number
    FIELD_VIEW = 4,         // the list's view of the window of the header
};
// A window's record ends with its list's view, which older readers never reach:
//   mode | icon size | column count N | N × (20-byte key | direction)
constexpr std::size_t SORT_COLUMN_SIZE = 24;
constexpr std::int32_t SORT_COLUMNS_KEPT = 16;
constexpr std::uint32_t FLAG_MAXIMIZED = 1;

void put_u16(std::vector<std::uint8_t>& image, std::uint16_t value) {
    image.push_back(static_cast<std::uint8_t>(value));
    image.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put_field(std::vector<std::uint8_t>& image, field_tag_t tag,
               const std::vector<std::uint8_t>& field) {
    put_u16(image, tag);
    put_u16(image, static_cast<std::uint16_t>(field.size()));
    image.insert(image.end(), field.begin(), field.end());
}

std::uint32_t u32_at(const std::uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void put_view(std::vector<std::uint8_t>& image, const list_view_t& view) {
    put_i32(image, view.mode);
    put_i32(image, view.icon_size);
    const auto count = std::min<std::int32_t>(std::int32_t(view.sort.size()), SORT_COLUMNS_KEPT);
    put_i32(image, count);
    for (std::int32_t i = 0; i < count; ++i) {
        image.insert(image.end(), std::begin(view.sort[i].key), std::end(view.sort[i].key));
        put_i32(image, view.sort[i].direction);
    }
}

// What is missing or damaged reads as not known.
list_view_t read_view(settings_reader_t& in) {
    list_view_t view;
    std::int32_t count = 0;
    if (!in.read_i32(view.mode) || !in.read_i32(view.icon_size) || !in.read_i32(count) ||
        count < 0 || count > SORT_COLUMNS_KEPT || in.left() < std::size_t(count) * SORT_COLUMN_SIZE)
        return {};
    for (std::int32_t i = 0; i < count; ++i) {
        sort_column_t& column = view.sort.emplace_back();
        std::memcpy(column.key, in.data + in.pos, sizeof column.key);
        in.pos += sizeof column.key;
        in.read_i32(column.direction);
    }
    return view;
}

// The trailer at the reader's position, if one is there whole and its checksum agrees.
std::optional<settings_trailer_t> read_trailer(const settings_reader_t& in) {
    const std::uint8_t* at = in.data + in.pos;
    const std::size_t left = in.left();
    if (left < 12 || u32_at(at) != TRAILER_MARKER) return std::nullopt;
    const std::uint32_t length = u32_at(at + 4);
    if (length > left - 12) return std::nullopt;
    const std::size_t checked = in.pos + 8 + length;
    if (crc32_of(in.data, checked) != u32_at(in.data + checked)) return std::nullopt;

    settings_trailer_t trailer;
    for (const std::uint8_t *p = at + 8, *end = at + 8 + length; end - p >= 4;) {
        const std::uint16_t tag = static_cast<std::uint16_t>(p[0] | p[1] << 8);
        const std::uint16_t size = static_cast<std::uint16_t>(p[2] | p[3] << 8);
        p += 4;
        if (size > end - p) break;
        if (tag == FIELD_WINDOW_FLAGS && size >= 4)
            trailer.maximized = (u32_at(p) & FLAG_MAXIMIZED) != 0;
        if (tag == FIELD_WINDOW && size >= 28) {
            settings_reader_t field{p, size};
            window_record_t window;
            field.read_i32(window.split);
            for (auto& edge : window.rect) field.read_i32(edge);
            std::int32_t flags = 0;
            field.read_i32(flags);
            window.maximized = (flags & FLAG_MAXIMIZED) != 0;
            window.folder = field.read_pidl_record();
            window.view = read_view(field);
            trailer.windows.push_back(std::move(window));
        }
        if (tag == FIELD_VIEW) {
            settings_reader_t field{p, size};
            trailer.view = read_view(field);
        }
        if (tag == FIELD_GENERATION && size >= 8)
            trailer.generation = u32_at(p) | std::uint64_t(u32_at(p + 4)) << 32;
        p += size;
    }
    return trailer;
}

} // namespace

std::uint32_t crc32_of(const std::uint8_t* data, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = crc >> 1 ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void write_trailer(std::vector<std::uint8_t>& image, const settings_trailer_t& trailer) {
    put_i32(image, static_cast<std::int32_t>(TRAILER_MARKER));
    const std::size_t length_at = image.size();
    put_i32(image, 0);
    put_u16(image, FIELD_WINDOW_FLAGS);
    put_u16(image, 4);
    put_i32(image, trailer.maximized ? FLAG_MAXIMIZED : 0);
    if (trailer.generation != 0) {
        put_u16(image, FIELD_GENERATION);
        put_u16(image, 8);
        put_i32(image, static_cast<std::int32_t>(trailer.generation));
        put_i32(image, static_cast<std::int32_t>(trailer.generation >> 32));
    }
    if (trailer.view != list_view_t{}) {
        std::vector<std::uint8_t> field;
        put_view(field, trailer.view);
        put_field(image, FIELD_VIEW, field);
    }
    for (const window_record_t& window : trailer.windows) {
        std::vector<std::uint8_t> field;
        put_i32(field, window.split);
        for (std::int32_t edge : window.rect) put_i32(field, edge);
        put_i32(field, window.maximized ? FLAG_MAXIMIZED : 0);
        write_pidl_record(field, window.folder ? window.folder->data() : nullptr);
        put_view(field, window.view);
        if (field.size() > 0xFFFF) continue; // a folder of 64 KiB: not worth a window
        put_field(image, FIELD_WINDOW, field);
    }
    const auto length = static_cast<std::uint32_t>(image.size() - length_at - 4);
    for (int i = 0; i < 4; ++i) image[length_at + i] = static_cast<std::uint8_t>(length >> 8 * i);
    put_i32(image, static_cast<std::int32_t>(crc32_of(image.data(), image.size())));
}

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
    if (auto trailer = read_trailer(in)) {
        s.trailer = std::move(*trailer);
        s.has_trailer = true;
    }
    return s;
}

namespace {

// A save of ours, whole: what a backup must be to count, and a file to stand.
std::optional<settings_trailer_t> whole_save(const std::vector<std::uint8_t>& bytes) {
    auto saved = decode_settings(bytes.data(), bytes.size());
    if (!saved || !saved->has_trailer) return std::nullopt;
    return std::move(saved->trailer);
}

} // namespace

bool backup_is_newer(const std::vector<std::uint8_t>& file,
                     const std::vector<std::uint8_t>& backup) {
    const auto kept = whole_save(backup);
    if (!kept) return false;
    if (file.empty() || !decode_settings(file.data(), file.size())) return true;
    if (const auto main = whole_save(file))
        return main->generation != 0 && kept->generation > main->generation;
    // No trailer: the start of the backup's own save, cut while it was written (a disk
    // writes a sector whole or not at all), or an older version's save, which has none and
    // came after the one that was cut.
    const std::size_t head = std::min({file.size(), backup.size(), std::size_t(512)});
    return std::equal(file.begin(), file.begin() + std::ptrdiff_t(head), backup.begin());
}

std::uint64_t last_generation(const std::vector<std::uint8_t>& file,
                              const std::vector<std::uint8_t>& backup) {
    std::uint64_t last = 0;
    for (const auto* bytes : {&file, &backup})
        if (const auto saved = whole_save(*bytes)) last = std::max(last, saved->generation);
    return last;
}
