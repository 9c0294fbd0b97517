#pragma once
// The settings file's bytes: little-endian, no padding, written from offset 0.
//   100 | split | left top right bottom | folder record | pin count N | N pin records
//   [ trailer: "ZLVT" | length L | L bytes of fields | CRC-32 ]
// A record is a 32-bit byte length L and the L bytes of a list's items, no terminator.
// The trailer holds what was added later, where older readers never look. Its checksum
// covers every byte of the image before it, so the tail of a longer earlier save (the
// file is never truncated) cannot pass for the trailer of a shorter one. Each field is a
// 16-bit tag, a 16-bit size and that many bytes; unknown tags are skipped.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/idlist.h"

constexpr std::int32_t SETTINGS_MAGIC = 100;

void put_i32(std::vector<std::uint8_t>& image, std::int32_t value);

// Appends one record for a terminated list; a null list is written as the empty one.
void write_pidl_record(std::vector<std::uint8_t>& image, const void* list);

constexpr std::uint32_t TRAILER_MARKER = 0x54564C5A; // "ZLVT"

// One column the list is sorted by: the property's key as the system lays it out (16
// bytes of its format's GUID, then its 32-bit id) and the direction (1 up, -1 down).
struct sort_column_t {
    std::uint8_t key[20] = {};
    std::int32_t direction = 1;
    bool operator==(const sort_column_t&) const = default;
};

// How a window's list shows its folder, as the user set it. Zero and empty mean not
// known: the list keeps its own.
struct list_view_t {
    std::int32_t mode = 0;      // the system's folder view mode (details, list, icons...)
    std::int32_t icon_size = 0; // in pixels, where the system tells it
    std::vector<sort_column_t> sort;
    bool operator==(const list_view_t&) const = default;
};

// What the trailer holds. Without a valid trailer every field has its default.
// One open window: what a start brings back.
struct window_record_t {
    std::int32_t split = 0;
    std::int32_t rect[4] = {};
    bool maximized = false;
    std::optional<byte_list> folder; // empty when damaged
    list_view_t view{};
};

struct settings_trailer_t {
    bool maximized = false;               // the window of the header comes back maximised
    std::vector<window_record_t> windows; // every window open at the save, oldest first
    // Counts the saves, main file and backup alike, so that the newer of the two can be
    // told; 0 for a save that did not count (an older version's).
    std::uint64_t generation = 0;
    list_view_t view{}; // of the window of the header
};

// Appends the trailer to an image that holds everything before it.
void write_trailer(std::vector<std::uint8_t>& image, const settings_trailer_t& trailer);

struct saved_settings_t {
    std::int32_t split = 0;
    std::int32_t rect[4] = {}; // left, top, right, bottom of the window, screen coordinates
    // The current folder; empty when its record is damaged and must not reach the shell.
    std::optional<byte_list> folder;
    std::vector<byte_list> pins; // damaged records are left out
    settings_trailer_t trailer;
    bool has_trailer = false; // one was found whole: the file is one save's, start to end
};

// Reads untrusted bytes field by field. Nothing is read past the end: a record's
// length is bounded by the bytes left, and what is missing reads as zero.
struct settings_reader_t {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;

    std::size_t left() const { return size - pos; }
    bool read_i32(std::int32_t& value);
    // One record as a terminated list; empty when its items would lead the shell
    // outside it. A record whose length cannot be read is the empty list (the desktop).
    std::optional<byte_list> read_pidl_record();
};

// CRC-32 (the common polynomial, as zip files use it).
std::uint32_t crc32_of(const std::uint8_t* data, std::size_t size);

// Empty when nothing may be restored: the file is cut inside its first 24 bytes or does
// not start with 100. A file cut short before its pin count has no pins.
std::optional<saved_settings_t> decode_settings(const std::uint8_t* data, std::size_t size);

// Which of the settings file and the backup beside it (written whole and flushed before
// the file) holds the last save: the backup only when it is whole and either the file is
// not (empty, or cut while it was written) or the backup is of a later save. A whole file
// that counts no saves was written by a version that keeps no backup, after ours.
bool backup_is_newer(const std::vector<std::uint8_t>& file,
                     const std::vector<std::uint8_t>& backup);

// The generation of the last save among the file and its backup: where the next counts on.
std::uint64_t last_generation(const std::vector<std::uint8_t>& file,
                              const std::vector<std::uint8_t>& backup);
