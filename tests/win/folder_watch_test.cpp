#include "win/folder_watch.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool within(DWORD ms, const auto& done) {
    for (const ULONGLONG end = GetTickCount64() + ms; GetTickCount64() < end; Sleep(10))
        if (done()) return true;
    return done();
}

} // namespace

// A folder that could not be opened (not there yet, a drive asleep) is tried again when the
// same folders are asked for again, not given up for as long as the set stays the same.
TEST(FolderWatch, AFolderThatCouldNotBeOpenedIsTriedAgainWhenAskedForAgain) {
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + L"zwatch_later";
    RemoveDirectoryW(path.c_str());
    {
        folder_watch_t watch(nullptr, 0);
        const std::vector<std::pair<std::uint64_t, std::wstring>> folders{{7, path}};
        watch.watch_only(folders);
        Sleep(200);
        EXPECT_FALSE(watch.watching(7));
        ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
        watch.watch_only(folders);
        EXPECT_TRUE(within(2000, [&] { return watch.watching(7); }));
    }
    // The watching thread lets go of the folder on its own, a moment later.
    EXPECT_TRUE(within(2000, [&] { return RemoveDirectoryW(path.c_str()) != FALSE; }));
}
