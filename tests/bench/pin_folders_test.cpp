// The parent of many folders the benchmark pins into: made once per prefix, finished
// when a run was cut short, and pinned across its whole width.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "bench/pin_folders.h"
#include "tests/e2e/driver.h"

using namespace e2e;

TEST(PinFolders, WideParentIsMadeOnceFinishedAfterAnInterruptionAndPinnedAcrossIt) {
    const std::wstring parent = L"C:\\zelvon_wide_pins";
    const int count = 60;
    EXPECT_EQ(make_wide_parent(parent, count), count);
    EXPECT_EQ(make_wide_parent(parent, count), 0);

    // A run ended midway leaves the first folders made and the last ones missing.
    for (int i = 45; i < count; ++i) RemoveDirectoryW(wide_child(parent, i).c_str());
    EXPECT_EQ(make_wide_parent(parent, count), count - 45);
    EXPECT_EQ(child_folders(parse_path(parent.c_str())).size(), std::size_t(count));

    const std::vector<std::wstring> pins = wide_pin_folders(parent, count);
    EXPECT_EQ(pins.size(), 20u);
    EXPECT_EQ(std::set<std::wstring>(pins.begin(), pins.end()).size(), pins.size());
    for (const std::wstring& pin : pins)
        EXPECT_EQ(parsing_name(parse_path(pin.c_str())), pin) << "not a folder of the parent";
    // Among the first and among the last few, so that no lookup can stop early.
    EXPECT_LE(pins.front(), wide_child(parent, count / 20));
    EXPECT_GE(pins.back(), wide_child(parent, count - 1 - count / 20));

    for (int i = 0; i < count; ++i) RemoveDirectoryW(wide_child(parent, i).c_str());
    RemoveDirectoryW(parent.c_str());
}
