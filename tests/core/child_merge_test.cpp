#include "core/child_merge.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using items_t = std::vector<std::vector<std::uint8_t>>;

// Items from their data: each gets its 16-bit count in front.
items_t items(std::initializer_list<std::string> data) {
    items_t out;
    for (const std::string& d : data) {
        const auto cb = static_cast<std::uint16_t>(d.size() + 2);
        std::vector<std::uint8_t> item{std::uint8_t(cb & 0xFF), std::uint8_t(cb >> 8)};
        item.insert(item.end(), d.begin(), d.end());
        out.push_back(item);
    }
    return out;
}

std::vector<item_bytes_t> spans(const items_t& list) {
    return std::vector<item_bytes_t>(list.begin(), list.end());
}

constexpr std::size_t NONE = NO_MATCH;

TEST(ChildMerge, BytesMatchWholeItemsInAnyOrderEachKnownChildOnce) {
    const items_t known = items({"A", "AB", "B", "A"});
    // Reordered, a prefix, a longer item, a new one, and "A" three times for two knowns.
    const items_t fresh = items({"B", "", "ABC", "A", "Z", "A", "A", "AB"});
    EXPECT_EQ(match_children_by_bytes(spans(known), spans(fresh)),
              (std::vector<std::size_t>{2, NONE, NONE, 0, NONE, 3, NONE, 1}));
    EXPECT_TRUE(match_children_by_bytes(spans(known), {}).empty());
    EXPECT_EQ(match_children_by_bytes({}, spans(fresh)), std::vector<std::size_t>(8, NONE));
}

TEST(ChildMerge, NamesMatchOnlyWhatTheBytesLeftAndNeverANullName) {
    // Known: a (taken by bytes), b, c without a name, b again.
    const std::vector<const char16_t*> known = {u"a", u"b", nullptr, u"b"};
    std::vector<std::size_t> matches = {0, NONE, NONE, NONE, NONE, NONE};
    const std::vector<const char16_t*> fresh = {nullptr, u"a", nullptr, u"b", u"B", u"b"};
    match_children_by_name(known, fresh, matches);
    // "a" was taken by its bytes already; names are exact, case included.
    EXPECT_EQ(matches, (std::vector<std::size_t>{0, NONE, NONE, 1, NONE, 3}));
}

TEST(ChildMerge, TenThousandReversedSiblingsAreAllKept) {
    std::vector<std::string> names;
    items_t known, fresh;
    for (int i = 0; i < 10000; ++i) known.push_back(items({std::to_string(i)})[0]);
    fresh.assign(known.rbegin(), known.rend());
    const std::vector<std::size_t> matches = match_children_by_bytes(spans(known), spans(fresh));
    for (std::size_t j = 0; j < matches.size(); ++j) ASSERT_EQ(matches[j], 9999 - j);
}

} // namespace
