// The session's saves: when they are written, and what a save does when a file refuses.
#include "app/session.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <thread>

#include "app/main_window.h"
#include "app/settings_file.h"
#include "core/settings_format.h"
#include "tests/support/win_test_support.h"

namespace {

class SessionTest : public testing::Test {
protected:
    void SetUp() override { reset_settings(); }
    void TearDown() override {
        while (!g_session.main_windows.empty()) close_window(g_session.main_windows.back());
        RemoveDirectoryW(backup_path().c_str());
    }
    static std::wstring backup_path() { return g_session.settings_path + L".bak"; }
    static std::uint64_t writes() { return g_session.writes; }
};

TEST_F(SessionTest, ALayoutIsWrittenWhenItsGestureEndsOrOnceTheWindowIsStill) {
    main_window_t* window = open_settled_window();
    std::uint64_t before = writes();
    for (int width : {700, 720, 740})
        SetWindowPos(window->handle, nullptr, 0, 0, width, 500, SWP_NOMOVE | SWP_NOZORDER);
    pump_for(50);
    EXPECT_EQ(writes(), before) << "not while it may still change";
    EXPECT_TRUE(pump_until([&] { return writes() == before + 1; }, 3000)) << "once it is still";
    pump_for(600);
    EXPECT_EQ(writes(), before + 1);

    before = writes();
    SendMessageW(window->handle, WM_ENTERSIZEMOVE, 0, 0);
    for (int width : {760, 780, 800}) {
        SetWindowPos(window->handle, nullptr, 0, 0, width, 500, SWP_NOMOVE | SWP_NOZORDER);
        pump_for(300);
    }
    EXPECT_EQ(writes(), before) << "not during the gesture";
    SendMessageW(window->handle, WM_EXITSIZEMOVE, 0, 0);
    EXPECT_EQ(writes(), before + 1) << "at its end";
    const bytes_t file = settings_bytes();
    EXPECT_EQ(i32_at(file, 16) - i32_at(file, 8), 800);
}

TEST_F(SessionTest, WindowsSetUpTogetherAreWrittenOnceWhenTheLastStands) {
    open_settled_window();
    const std::uint64_t before = writes();
    {
        const saves_held_t held;
        main_window_t::open();
        main_window_t::open();
        pump_for(200);
        EXPECT_EQ(writes(), before);
    }
    EXPECT_EQ(writes(), before + 1);
    const bytes_t file = settings_bytes();
    EXPECT_EQ(decode_settings(file.data(), file.size())->trailer.windows.size(), 3u);
}

TEST_F(SessionTest, AWindowClosedWhileOthersStayLeavesTheFileTheLastStays) {
    open_settled_window();
    main_window_t* second = main_window_t::open();
    main_window_t* third = main_window_t::open();
    pump_for(200);
    const auto windows_saved = [] {
        const bytes_t file = settings_bytes();
        return decode_settings(file.data(), file.size())->trailer.windows.size();
    };
    EXPECT_EQ(windows_saved(), 3u);
    close_window(second);
    EXPECT_EQ(windows_saved(), 2u);
    close_window(g_session.main_windows.front());
    close_window(third);
    EXPECT_EQ(windows_saved(), 1u);
}

TEST_F(SessionTest, ABackupThatCannotBeMadeLeavesTheFileWrittenInPlace) {
    main_window_t* window = open_settled_window();
    ASSERT_TRUE(CreateDirectoryW(backup_path().c_str(), nullptr))
        << "a folder of the backup's name";
    window->split = 222;
    window->save_settings();
    EXPECT_EQ(i32_at(settings_bytes(), 4), 222);
    close_window(window);

    // A file that cannot be written at all says which, and why.
    const std::wstring other = g_session.settings_path + L".other";
    const std::wstring failed = [&] {
        const unique_handle read_only(
            CreateFileW(other.c_str(), GENERIC_READ, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        return write_settings_file(read_only.get(), other, settings_bytes());
    }();
    DeleteFileW(other.c_str());
    DeleteFileW((other + L".bak").c_str());
    EXPECT_NE(failed.find(other + L":"), std::wstring::npos) << "which file";
    EXPECT_GT(failed.size(), other.size() + 2) << "and why";
}

} // namespace

namespace {

TEST_F(SessionTest, TheShellsWorkKeepsTheProcessPastItsLastWindowUntilItLetsGo) {
    main_window_t* window = open_settled_window();
    // What a copy the list began does on a thread of the shell's: it holds the process.
    IUnknown* copying = nullptr;
    ASSERT_EQ(SHGetInstanceExplorer(&copying), S_OK);
    ASSERT_TRUE(copying);
    take_quits();
    SendMessageW(window->handle, WM_CLOSE, 0, 0);
    pump_for(200);
    EXPECT_EQ(take_quits(), 0) << "the copy would be cut off";
    std::thread([copying] { copying->Release(); }).join();
    pump_for(200);
    EXPECT_EQ(take_quits(), 1) << "ends once the shell is done";
}

} // namespace
