#include "win/folder_watch.h"

#include <dbt.h>
#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/process_state.h"
#include "win/background.h"
#include "win/window_class.h"

namespace {

// The watch runs on this thread: waiting for it is pumping, alertably.
bool within(DWORD ms, const std::function<bool()>& done) {
    return pump_until(done, ms);
}

int threads_of_this_process() {
    int count = 0;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return count;
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
        const std::vector<watched_folder_t> folders{{7, path, {}}};
        watch.watch_only(folders);
        Sleep(200);
        EXPECT_FALSE(watch.watching(7));
        ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
        watch.watch_only(folders);
        EXPECT_TRUE(within(2000, [&] { return watch.watching(7); }));
    }
    EXPECT_TRUE(within(2000, [&] { return RemoveDirectoryW(path.c_str()) != FALSE; }))
        << "let go of with the watch";
}

namespace {

std::wstring temp_folder(const wchar_t* name) {
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + name;
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

HANDLE open_folder(const std::wstring& path) {
    return CreateFileW(path.c_str(), FILE_LIST_DIRECTORY,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
}

} // namespace

// A subfolder renamed is told with both its names, by a message to the window, on the
// thread that made the watch while it waits alertably: the watch runs no thread of its own.
TEST(FolderWatch, ARenameIsToldOnTheThreadThatWatchesWhichStartsNoOther) {
    const std::wstring path = temp_folder(L"zwatch_rename");
    RemoveDirectoryW((path + L"\\after").c_str());
    CreateDirectoryW((path + L"\\before").c_str(), nullptr);
    static int told_times = 0;
    constexpr UINT CHANGED = WM_APP + 7;
    register_class(
        L"zwatch_told",
        [](HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
            told_times += message == CHANGED;
            return DefWindowProcW(window, message, wparam, lparam);
        },
        nullptr, nullptr, 0);
    const HWND told = CreateWindowExW(0, L"zwatch_told", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      nullptr, nullptr);
    // As under Wine, where the removal notice is not asked for (it would start a thread).
    folder_watch_options_t options;
    options.hear_removal = [](HWND, HANDLE) { return HDEVNOTIFY{}; };
    pump_for(50);
    const int threads = threads_of_this_process();
    {
        folder_watch_t watch(told, CHANGED, options);
        watch.watch_only({{3, path, {}}});
        ASSERT_TRUE(watch.watching(3));
        ASSERT_TRUE(MoveFileW((path + L"\\before").c_str(), (path + L"\\after").c_str()));
        std::vector<folder_change_t> changes;
        ASSERT_TRUE(within(3000, [&] {
            for (folder_change_t& change : watch.take_changes()) changes.push_back(change);
            return !changes.empty() && !changes.back().renames.empty();
        }));
        EXPECT_GE(told_times, 1) << "by a message";
        EXPECT_EQ(changes.back().key, 3u);
        EXPECT_EQ(changes.back().renames, (decltype(changes[0].renames){{L"before", L"after"}}));
        EXPECT_EQ(threads_of_this_process(), threads);
    }
    DestroyWindow(told);
    RemoveDirectoryW((path + L"\\after").c_str());
    EXPECT_TRUE(RemoveDirectoryW(path.c_str())) << "let go of with the watch";
}

TEST(FolderWatch, AShareThatDoesNotAnswerHoldsNoOtherFolderBackAndIsLeftAlone) {
    const std::wstring local = temp_folder(L"zwatch_local");
    const std::wstring share = L"\\\\quiet\\share\\folder";
    const auto opens = std::make_shared<std::atomic<int>>(0);
    const auto answer =
        std::shared_ptr<void>(CreateEventW(nullptr, TRUE, FALSE, nullptr), CloseHandle);
    folder_watch_options_t options;
    options.open = [=](const std::wstring& path) {
        if (path != share) return open_folder(path);
        ++*opens;
        WaitForSingleObject(answer.get(), INFINITE); // the server has gone quiet
        return INVALID_HANDLE_VALUE;
    };
    options.patience_ms = 100;
    options.back_off_ms = 60000;
    {
        folder_watch_t watch(nullptr, 0, options);
        const std::vector<watched_folder_t> folders{{1, share, {}}, {2, local, {}}};
        watch.watch_only(folders);
        EXPECT_TRUE(within(2000, [&] { return watch.watching(2); })) << "while the share hangs";
        // Asked for again and again, as the tree does at every change: one open is tried.
        for (int i = 0; i < 5; ++i) {
            Sleep(60);
            watch.watch_only(folders);
        }
        EXPECT_EQ(*opens, 1);
        EXPECT_FALSE(watch.watching(1));
        SetEvent(answer.get()); // it answers at last, that it cannot be opened
        Sleep(100);
        watch.watch_only(folders);
        Sleep(100);
        EXPECT_EQ(*opens, 1) << "left alone for a while after it did not answer";
    }
    EXPECT_TRUE(within(2000, [&] { return RemoveDirectoryW(local.c_str()) != FALSE; }));
}

TEST(FolderWatch, ADrivesRemovalAskedForLetsGoOfItsFolderAndARefusedOneWatchesItAgain) {
    const std::wstring path = temp_folder(L"zwatch_drive");
    const auto opened = std::make_shared<std::vector<HANDLE>>();
    folder_watch_options_t options;
    options.open = [opened](const std::wstring& folder) {
        const HANDLE handle = open_folder(folder);
        opened->push_back(handle);
        return handle;
    };
    folder_watch_t watch(nullptr, 0, options);
    watch.watch_only({{5, path, {}}});
    ASSERT_TRUE(within(2000, [&] { return watch.watching(5); }));
    const HWND window = FindWindowExW(HWND_MESSAGE, nullptr, L"zelvon_folder_watch", nullptr);
    ASSERT_NE(window, nullptr);
    const auto tell = [&](WPARAM event, HANDLE handle) {
        DEV_BROADCAST_HANDLE about{};
        about.dbch_size = sizeof about;
        about.dbch_devicetype = DBT_DEVTYP_HANDLE;
        about.dbch_handle = handle;
        return SendMessageW(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&about));
    };

    // The system asks whether the drive may go: granted, and the folder's handle let go.
    EXPECT_EQ(tell(DBT_DEVICEQUERYREMOVE, opened->at(0)), TRUE);
    EXPECT_TRUE(within(2000, [&] { return !watch.watching(5); }));
    watch.watch_only({{5, path, {}}});
    Sleep(100);
    EXPECT_EQ(opened->size(), 1u) << "not opened again while the removal goes on";

    // Another program refused it: the drive stays, and so does the watch.
    tell(DBT_DEVICEQUERYREMOVEFAILED, opened->at(0));
    EXPECT_TRUE(within(2000, [&] { return watch.watching(5); }));
    EXPECT_EQ(opened->size(), 2u);
}

// The process's helper threads (watching, opening, writing, reading) each reserve the
// stack they are given. Windows reserves 64 KiB at least and Wine 1 MiB, the program's
// default: a larger one shows that the size reaches the system as a reservation.
TEST(HelperThreads, ReserveTheStackTheyAreGiven) {
    constexpr std::size_t least_under_wine = 1 << 20;
    for (const std::size_t reserve : {std::size_t(4) << 20, OWN_CODE_STACK, SHELL_CODE_STACK}) {
        std::atomic<std::size_t> seen{0};
        ASSERT_TRUE(start_thread(
            [&seen] {
                int here = 0;
                MEMORY_BASIC_INFORMATION region{};
                VirtualQuery(&here, &region, sizeof region);
                const auto* tib = reinterpret_cast<const NT_TIB*>(NtCurrentTeb());
                seen = std::size_t(static_cast<const char*>(tib->StackBase) -
                                   static_cast<const char*>(region.AllocationBase));
            },
            reserve));
        ASSERT_TRUE(within(2000, [&] { return seen != 0; }));
        EXPECT_GE(seen, reserve);
        EXPECT_LE(seen, std::max(reserve, least_under_wine));
    }
}
