#include "core/settings_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

using bytes = std::vector<std::uint8_t>;

const bytes desktop = {0, 0};
const bytes windows = {4, 0, 'C', ':', 6, 0, 'w', 'i', 'n', 'd', 0, 0};
const bytes system32 = {4, 0, 'C', ':', 6, 0, 'w', 'i', 'n', 'd', 5, 0, 's', 'y', 's', 0, 0};

bytes image_of(std::int32_t split, std::initializer_list<std::int32_t> rect, const bytes& folder,
               std::initializer_list<bytes> pins) {
    bytes image;
    put_i32(image, SETTINGS_MAGIC);
    put_i32(image, split);
    for (std::int32_t edge : rect) put_i32(image, edge);
    write_pidl_record(image, folder.data());
    put_i32(image, static_cast<std::int32_t>(pins.size()));
    for (const bytes& pin : pins) write_pidl_record(image, pin.data());
    return image;
}

std::optional<saved_settings_t> decode(const bytes& image) {
    return decode_settings(image.data(), image.size());
}

TEST(SettingsFormat, AWindowOnTheDesktopWithoutPinsTakes32Bytes) {
    const bytes image = image_of(300, {10, 20, 1034, 788}, desktop, {});
    const bytes expected = {100, 0, 0, 0, 44, 1, 0, 0, 10, 0, 0, 0, 20, 0, 0, 0,
                            10,  4, 0, 0, 20, 3, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0};
    EXPECT_EQ(image, expected);
    bytes null_record;
    write_pidl_record(null_record, nullptr); // no folder yet: the empty record, not a crash
    EXPECT_EQ(null_record, bytes(4, 0));
}

TEST(SettingsFormat, RecordsHoldTheItemsWithoutTheTerminator) {
    bytes record;
    write_pidl_record(record, windows.data());
    ASSERT_EQ(record.size(), 4u + 10u);
    EXPECT_EQ(record[0], 10);
    EXPECT_EQ(0, std::memcmp(record.data() + 4, windows.data(), 10));
}

TEST(SettingsFormat, WhatIsSavedIsRestored) {
    const auto s = decode(image_of(-7, {-100, 5, 900, 700}, system32, {desktop, windows}));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->split, -7);
    EXPECT_EQ(s->rect[0], -100);
    EXPECT_EQ(s->rect[3], 700);
    EXPECT_EQ(s->folder, system32);
    ASSERT_EQ(s->pins.size(), 2u);
    EXPECT_EQ(s->pins[0], desktop); // a pinned root is the empty record
    EXPECT_EQ(s->pins[1], windows);
}

TEST(SettingsFormat, TheTailOfALongerEarlierSaveIsNeverRead) {
    bytes file = image_of(300, {0, 0, 1, 1}, windows, {windows, system32, windows});
    const bytes shorter = image_of(250, {0, 0, 1, 1}, windows, {system32});
    std::copy(shorter.begin(), shorter.end(), file.begin());
    const auto s = decode(file);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->split, 250);
    ASSERT_EQ(s->pins.size(), 1u);
    EXPECT_EQ(s->pins[0], system32);
}

TEST(SettingsFormat, FilesThatRestoreNothing) {
    const bytes good = image_of(300, {0, 0, 1024, 768}, windows, {});
    EXPECT_FALSE(decode(bytes{}));
    EXPECT_FALSE(decode(bytes(good.begin(), good.begin() + 10)));
    EXPECT_FALSE(decode(bytes(good.begin(), good.begin() + 23)));
    bytes wrong_magic = good;
    wrong_magic[0] = 101;
    EXPECT_FALSE(decode(wrong_magic));
    EXPECT_FALSE(decode(bytes(500, 0xA5)));
}

TEST(SettingsFormat, FilesCutShortKeepWhatTheyHold) {
    const bytes good = image_of(120, {0, 0, 1024, 768}, windows, {system32});
    // Cut right after the header: the folder reads as the desktop, no pins.
    auto s = decode(bytes(good.begin(), good.begin() + 24));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->split, 120);
    EXPECT_EQ(s->folder, desktop);
    EXPECT_TRUE(s->pins.empty());
    // Cut before the pin count: the folder and no pins.
    s = decode(bytes(good.begin(), good.begin() + 24 + 4 + 10));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->folder, windows);
    EXPECT_TRUE(s->pins.empty());
    // Cut inside the folder's second item: the list cannot be handed on.
    s = decode(bytes(good.begin(), good.begin() + 24 + 4 + 7));
    ASSERT_TRUE(s);
    EXPECT_FALSE(s->folder);
}

TEST(SettingsFormat, LengthsAreBoundedByTheBytesLeft) {
    bytes file = image_of(300, {0, 0, 1024, 768}, windows, {});
    // A 4 GB folder record in a file of a few dozen bytes.
    file[24] = file[25] = file[26] = file[27] = 0xFF;
    auto s = decode(file);
    ASSERT_TRUE(s);
    // The rest of the file becomes the record: the items, then the zero pin count,
    // which reads as the list's terminator.
    EXPECT_EQ(s->folder, windows);
    EXPECT_TRUE(s->pins.empty());

    // A pin count far beyond the records present stops at the end of the file.
    bytes many = image_of(300, {0, 0, 1, 1}, desktop, {windows});
    many[28] = many[29] = many[30] = 0xFF;
    many[31] = 0x7F;
    s = decode(many);
    ASSERT_TRUE(s);
    ASSERT_EQ(s->pins.size(), 1u);
    EXPECT_EQ(s->pins[0], windows);
}

TEST(SettingsFormat, DamagedListsNeverReachTheShell) {
    // Records as another writer might have left them: the items as they stand.
    const auto raw_record = [](bytes& file, const bytes& items) {
        put_i32(file, static_cast<std::int32_t>(items.size()));
        file.insert(file.end(), items.begin(), items.end());
    };
    const bytes count_one = {1, 0, 'x', 'y'};
    const bytes runs_past = {4, 0, 'C', ':', 90, 0, 'w'};
    for (const bytes& damaged : {count_one, runs_past}) {
        bytes file;
        put_i32(file, SETTINGS_MAGIC);
        for (int i = 0; i < 5; ++i) put_i32(file, 0);
        raw_record(file, damaged);
        put_i32(file, 2);
        raw_record(file, damaged);
        write_pidl_record(file, windows.data());
        const auto s = decode(file);
        ASSERT_TRUE(s);
        EXPECT_FALSE(s->folder);
        ASSERT_EQ(s->pins.size(), 1u); // the damaged pin is dropped, the good one kept
        EXPECT_EQ(s->pins[0], windows);
    }
}

TEST(SettingsFormat, ANegativePinCountMeansNoPins) {
    bytes file = image_of(300, {0, 0, 1, 1}, desktop, {windows});
    file[28] = file[29] = file[30] = file[31] = 0xFF;
    const auto s = decode(file);
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->pins.empty());
}

} // namespace

namespace {

TEST(SettingsTrailer, RoundTripsAfterThePinsAndIsInvisibleToOlderReaders) {
    bytes image = image_of(300, {0, 0, 1024, 768}, windows, {system32});
    const std::size_t old_size = image.size();
    write_trailer(image, {.maximized = true, .windows = {}});
    ASSERT_GT(image.size(), old_size);
    const auto s = decode(image);
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->trailer.maximized);
    EXPECT_EQ(s->pins, std::vector<bytes>{system32}) << "the pins are read as before";

    bytes plain = image_of(300, {0, 0, 1024, 768}, windows, {system32});
    write_trailer(plain, {});
    EXPECT_FALSE(decode(plain)->trailer.maximized);
    EXPECT_FALSE(decode(image_of(300, {0, 0, 1, 1}, windows, {}))->trailer.maximized);
}

TEST(SettingsTrailer, AStaleOrDamagedTrailerIsIgnored) {
    // A longer save with a trailer, then a save of the same length without one (as an
    // older version writes): the old trailer now follows bytes it was not made for.
    bytes file = image_of(300, {0, 0, 1024, 768}, windows, {});
    write_trailer(file, {.maximized = true, .windows = {}});
    const bytes older = image_of(250, {0, 0, 1024, 768}, windows, {});
    std::copy(older.begin(), older.end(), file.begin());
    EXPECT_FALSE(decode(file)->trailer.maximized);

    bytes image = image_of(300, {0, 0, 1024, 768}, windows, {});
    const std::size_t start = image.size();
    write_trailer(image, {.maximized = true, .windows = {}});
    for (std::size_t i = start; i < image.size(); ++i) {
        bytes damaged = image;
        damaged[i] ^= 0x10;
        const auto s = decode(damaged);
        ASSERT_TRUE(s) << i;
        EXPECT_FALSE(s->trailer.maximized) << "byte " << i - start;
    }
    EXPECT_FALSE(decode(bytes(image.begin(), image.end() - 1))->trailer.maximized);
}

} // namespace

namespace {

TEST(SettingsTrailer, EveryOpenWindowIsKeptInOrderBehindTheFirst) {
    bytes image = image_of(300, {0, 0, 1024, 768}, windows, {});
    settings_trailer_t trailer;
    trailer.windows.push_back({250, {10, 20, 810, 620}, false, windows});
    trailer.windows.push_back({120, {30, 40, 930, 740}, true, system32});
    trailer.windows.push_back({0, {1, 2, 3, 4}, false, std::nullopt});
    write_trailer(image, trailer);
    const auto s = decode(image);
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->has_trailer);
    EXPECT_EQ(s->folder, windows) << "an older reader still finds the first window";
    ASSERT_EQ(s->trailer.windows.size(), 3u);
    EXPECT_EQ(s->trailer.windows[0].split, 250);
    EXPECT_EQ(s->trailer.windows[1].rect[3], 740);
    EXPECT_TRUE(s->trailer.windows[1].maximized);
    EXPECT_EQ(s->trailer.windows[1].folder, system32);
    EXPECT_EQ(s->trailer.windows[2].folder, desktop) << "no folder: the desktop";
    EXPECT_FALSE(decode(image_of(300, {0, 0, 1, 1}, windows, {}))->has_trailer);
}

} // namespace

namespace {

bytes save_of(std::int32_t split, std::uint64_t generation) {
    bytes image = image_of(split, {0, 0, 1024, 768}, windows, {system32});
    settings_trailer_t trailer;
    trailer.generation = generation;
    write_trailer(image, trailer);
    return image;
}

TEST(SettingsBackup, TakenOnlyWhenItHoldsTheLaterSave) {
    const bytes backup = save_of(250, 8);
    EXPECT_EQ(decode(backup)->trailer.generation, 8u);
    EXPECT_TRUE(backup_is_newer({}, backup)) << "a first save cut after its backup";
    EXPECT_TRUE(backup_is_newer(save_of(300, 7), backup)) << "cut before the file was written";
    EXPECT_FALSE(backup_is_newer(save_of(250, 8), backup)) << "written; only the delete failed";
    EXPECT_FALSE(backup_is_newer(save_of(300, 9), backup)) << "a stale backup";
    EXPECT_FALSE(backup_is_newer(save_of(300, 0), backup)) << "a version without generations";
    EXPECT_FALSE(backup_is_newer(save_of(300, 7), bytes(backup.begin(), backup.end() - 1)));

    // Without a trailer: the backup's own save cut short, or an older version's later one.
    bytes cut = backup;
    cut.resize(cut.size() - 6);
    EXPECT_TRUE(backup_is_newer(cut, backup));
    EXPECT_TRUE(backup_is_newer(bytes{1, 2, 3}, backup)) << "nothing a start could restore";
    EXPECT_FALSE(backup_is_newer(image_of(300, {0, 0, 1024, 768}, windows, {}), backup));

    EXPECT_EQ(last_generation(save_of(300, 9), backup), 9u);
    EXPECT_EQ(last_generation(cut, backup), 8u);
}

} // namespace

namespace {

sort_column_t column(std::uint8_t first, std::int32_t direction) {
    sort_column_t c;
    for (std::uint8_t i = 0; i < 20; ++i) c.key[i] = std::uint8_t(first + i);
    c.direction = direction;
    return c;
}

// A window's field as the versions before the list's view wrote it, which is all that
// they read of it.
bytes field_before_views(const window_record_t& w) {
    bytes field;
    put_i32(field, w.split);
    for (std::int32_t edge : w.rect) put_i32(field, edge);
    put_i32(field, w.maximized ? 1 : 0);
    write_pidl_record(field, w.folder->data());
    return field;
}

TEST(SettingsListView, EachWindowsViewComesBackAndOlderFilesAndReadersAreUnaffected) {
    settings_trailer_t trailer;
    trailer.view = {4, 0, {column(1, -1)}};
    trailer.windows.push_back({250, {10, 20, 810, 620}, false, windows, trailer.view});
    trailer.windows.push_back({120, {30, 40, 930, 740}, true, system32, {}});
    trailer.windows.push_back(
        {90, {5, 6, 700, 500}, false, desktop, {1, 96, {column(7, 1), column(40, -1)}}});
    bytes image = image_of(250, {10, 20, 810, 620}, windows, {system32});
    write_trailer(image, trailer);
    const auto s = decode(image);
    ASSERT_TRUE(s && s->has_trailer);
    EXPECT_EQ(s->trailer.view, trailer.view) << "the header's window";
    ASSERT_EQ(s->trailer.windows.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(s->trailer.windows[i].view, trailer.windows[i].view);
    // An older reader finds each window's fields where they always stood.
    for (const window_record_t& w : trailer.windows) {
        const bytes old = field_before_views(w);
        EXPECT_NE(std::search(image.begin(), image.end(), old.begin(), old.end()), image.end());
    }

    // The trailer of a version that kept no views: the window whole, its view unknown.
    bytes older = image_of(250, {10, 20, 810, 620}, windows, {});
    const bytes field = field_before_views({250, {10, 20, 810, 620}, true, windows, {}});
    put_i32(older, std::int32_t(TRAILER_MARKER));
    put_i32(older, std::int32_t(4 + field.size()));
    older.insert(older.end(), {2, 0, std::uint8_t(field.size()), 0});
    older.insert(older.end(), field.begin(), field.end());
    put_i32(older, std::int32_t(crc32_of(older.data(), older.size())));
    const auto o = decode(older);
    ASSERT_TRUE(o && o->has_trailer);
    ASSERT_EQ(o->trailer.windows.size(), 1u);
    EXPECT_TRUE(o->trailer.windows[0].maximized);
    EXPECT_EQ(o->trailer.windows[0].view, list_view_t{});
    EXPECT_EQ(o->trailer.view, list_view_t{});
}

} // namespace
