#include "core/idlist.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using bytes = std::vector<std::uint8_t>;

// Items given as their data; each gets its count in front, and the list a terminator.
bytes make_list(std::initializer_list<bytes> items) {
    bytes list;
    for (const bytes& data : items) {
        const auto cb = static_cast<std::uint16_t>(data.size() + 2);
        list.push_back(cb & 0xFF);
        list.push_back(cb >> 8);
        list.insert(list.end(), data.begin(), data.end());
    }
    list.push_back(0);
    list.push_back(0);
    return list;
}

TEST(IdList, LengthsAndCountsOfTrustedLists) {
    const bytes desktop = make_list({});
    EXPECT_EQ(idlist_length(desktop.data()), 0u);
    EXPECT_EQ(idlist_count(desktop.data()), 0u);

    const bytes three = make_list({{1, 2, 3}, {}, bytes(300, 7)});
    EXPECT_EQ(idlist_length(three.data()), 5u + 2u + 302u);
    EXPECT_EQ(idlist_count(three.data()), 3u);
    EXPECT_EQ(idlist_prefix_length(three.data(), 0), 0u);
    EXPECT_EQ(idlist_prefix_length(three.data(), 1), 5u);
    EXPECT_EQ(idlist_prefix_length(three.data(), 2), 7u);
    EXPECT_EQ(idlist_prefix_length(three.data(), 9), 309u); // past the end: the whole list
}

TEST(IdList, ItemsAreEqualOnlyByteForByteIncludingTheirCounts) {
    const bytes a = make_list({{1, 2, 3}});
    const bytes same = make_list({{1, 2, 3}, {9}}); // only the first item is compared
    const bytes other_data = make_list({{1, 2, 4}});
    const bytes longer = make_list({{1, 2, 3, 0}});
    const bytes shorter = make_list({{1, 2}});
    EXPECT_TRUE(idlist_item_equal(a.data(), same.data()));
    EXPECT_FALSE(idlist_item_equal(a.data(), other_data.data()));
    EXPECT_FALSE(idlist_item_equal(a.data(), longer.data()));
    EXPECT_FALSE(idlist_item_equal(longer.data(), a.data()));
    EXPECT_FALSE(idlist_item_equal(a.data(), shorter.data()));
}

TEST(IdList, ComparingAShortStoredItemNeverReadsPastIt) {
    // The stored item is 3 bytes long in a buffer of exactly that size; the sought one
    // is longer. A compare over the sought count would read past the stored buffer,
    // which the sanitizer reports.
    auto* stored = new std::uint8_t[3]{3, 0, 42};
    const bytes sought = make_list({bytes(40, 42)});
    EXPECT_FALSE(idlist_item_equal(stored, sought.data()));
    delete[] stored;
}

TEST(IdList, UntrustedBytesAreMeasuredWithoutLeavingThem) {
    const bytes good = make_list({{1, 2, 3}, {4}});
    EXPECT_EQ(idlist_checked_length(good.data(), good.size() - 2), 8u); // no terminator
    EXPECT_EQ(idlist_checked_length(good.data(), good.size()), 8u);
    EXPECT_EQ(idlist_checked_length(good.data(), 0), 0u);

    // A zero count ends the list where the shell would end it.
    const bytes early = {5, 0, 1, 2, 3, 0, 0, 9, 9, 9};
    EXPECT_EQ(idlist_checked_length(early.data(), early.size()), 5u);

    const bytes count_one = {1, 0, 7, 7};
    EXPECT_FALSE(idlist_checked_length(count_one.data(), count_one.size()));
    const bytes runs_past = {3, 0, 1, 9, 0, 1, 2};
    EXPECT_FALSE(idlist_checked_length(runs_past.data(), runs_past.size()));
    // A lone trailing byte would become the low half of a count.
    const bytes lone = {3, 0, 1, 5};
    EXPECT_FALSE(idlist_checked_length(lone.data(), lone.size()));
    const bytes lone_zero = {3, 0, 1, 0};
    EXPECT_EQ(idlist_checked_length(lone_zero.data(), lone_zero.size()), 3u);
}

// A folder respelled (its item, or one above it, records its last write) or renamed: the
// pins follow into the new spelling of every folder they share with it, others stay, and
// a folder pinned under both spellings is pinned once.
TEST(IdList, PinsFollowTheFoldersTheyShareWithAFolderRespelled) {
    const bytes old_x = make_list({{'C'}, {'p', 1}, {'x'}}),
                new_x = make_list({{'C'}, {'p', 2}, {'x'}});
    const bytes old_y = make_list({{'C'}, {'p', 1}, {'y'}}),
                new_y = make_list({{'C'}, {'p', 2}, {'y'}});
    const bytes old_p = make_list({{'C'}, {'p', 1}}), new_p = make_list({{'C'}, {'p', 2}});
    // A first item with the same leading bytes but longer: another folder.
    const bytes other = make_list({{'C'}, {'p', 1, 7}, {'x'}});
    std::vector<bytes> pins{old_y, other, old_p, make_list({{'C'}, {'p', 1}, {'x'}, {'z'}})};
    respell_pins(pins, old_x, new_x);
    EXPECT_EQ(pins, (std::vector<bytes>{new_y, other, new_p,
                                        make_list({{'C'}, {'p', 2}, {'x'}, {'z'}})}));

    // Renamed, its parent written into by the rename: a sibling takes only the parent's.
    pins = {old_x, old_y};
    respell_pins(pins, old_x, make_list({{'C'}, {'p', 2}, {'w'}}));
    EXPECT_EQ(pins, (std::vector<bytes>{make_list({{'C'}, {'p', 2}, {'w'}}), new_y}));

    // Moved up a level: its sibling stays where it was.
    pins = {old_x, old_y};
    respell_pins(pins, old_x, make_list({{'C'}, {'x'}}));
    EXPECT_EQ(pins, (std::vector<bytes>{make_list({{'C'}, {'x'}}), old_y}));

    // A pin made meanwhile under the new spelling and one under the old: kept once.
    pins = {new_x, old_x};
    respell_pins(pins, old_p, new_p);
    EXPECT_EQ(pins, (std::vector<bytes>{new_x}));
}

} // namespace
