#include "win/folder_watch.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <mutex>
#include <thread>

#include "win/handle.h"

namespace {

// One folder's open directory and its read under way.
struct watch_t {
    std::wstring path;
    unique_handle directory;
    unique_handle event;
    OVERLAPPED overlapped{};
    alignas(DWORD) BYTE buffer[8192];
    bool armed = false;

    bool arm() {
        ResetEvent(event.get());
        overlapped = OVERLAPPED{};
        overlapped.hEvent = event.get();
        armed = ReadDirectoryChangesW(directory.get(), buffer, sizeof buffer, FALSE,
                                      FILE_NOTIFY_CHANGE_DIR_NAME, nullptr, &overlapped, nullptr);
        return armed;
    }

    ~watch_t() {
        if (!armed) return;
        // The system writes into the buffer until the read is over.
        CancelIoEx(directory.get(), &overlapped);
        DWORD ignored = 0;
        GetOverlappedResult(directory.get(), &overlapped, &ignored, TRUE);
    }
};

} // namespace

struct folder_watch_t::state_t {
    mutable std::mutex lock;
    std::vector<std::pair<std::uint64_t, std::wstring>> wanted;
    std::vector<folder_change_t> changes;
    std::set<std::uint64_t> open; // keys of the folders being watched now
    bool stopping = false;
    unique_handle wake{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    HWND window;
    UINT message;
};

namespace {

// The subfolders renamed in a batch of notifications.
std::vector<std::pair<std::wstring, std::wstring>> renames_in(const BYTE* buffer, DWORD size) {
    std::vector<std::pair<std::wstring, std::wstring>> renames;
    std::wstring old_name;
    for (DWORD at = 0; at + offsetof(FILE_NOTIFY_INFORMATION, FileName) <= size;) {
        const auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(buffer + at);
        const std::wstring name(info->FileName, info->FileNameLength / sizeof(WCHAR));
        if (info->Action == FILE_ACTION_RENAMED_OLD_NAME) old_name = name;
        if (info->Action == FILE_ACTION_RENAMED_NEW_NAME && !old_name.empty())
            renames.emplace_back(std::exchange(old_name, {}), name);
        if (!info->NextEntryOffset) break;
        at += info->NextEntryOffset;
    }
    return renames;
}

void run(std::shared_ptr<folder_watch_t::state_t> state);

} // namespace

folder_watch_t::folder_watch_t(HWND window, UINT message) : state(std::make_shared<state_t>()) {
    state->window = window;
    state->message = message;
    // Detached: opening a folder on a share that hangs must not hold the window's end.
    std::thread(run, state).detach();
}

folder_watch_t::~folder_watch_t() {
    const std::lock_guard<std::mutex> hold(state->lock);
    state->stopping = true;
    state->window = nullptr;
    SetEvent(state->wake.get());
}

void folder_watch_t::watch_only(
    const std::vector<std::pair<std::uint64_t, std::wstring>>& folders) {
    const std::lock_guard<std::mutex> hold(state->lock);
    std::vector<std::pair<std::uint64_t, std::wstring>> wanted = folders;
    if (wanted.size() > MAX_WATCHES) wanted.resize(MAX_WATCHES);
    // The same folders, all open: nothing to do. One that could not be opened, or whose
    // watch ended, is tried again.
    const bool all_open = std::all_of(wanted.begin(), wanted.end(), [&](const auto& folder) {
        return state->open.count(folder.first);
    });
    if (state->wanted == wanted && all_open) return;
    state->wanted = std::move(wanted);
    SetEvent(state->wake.get());
}

std::size_t folder_watch_t::watched() const {
    const std::lock_guard<std::mutex> hold(state->lock);
    return state->open.size();
}

bool folder_watch_t::watching(std::uint64_t key) const {
    const std::lock_guard<std::mutex> hold(state->lock);
    return state->open.count(key) != 0;
}

std::vector<folder_change_t> folder_watch_t::take_changes() {
    const std::lock_guard<std::mutex> hold(state->lock);
    return std::exchange(state->changes, {});
}

namespace {

void run(std::shared_ptr<folder_watch_t::state_t> state) {
    std::map<std::uint64_t, std::unique_ptr<watch_t>> watches;
    for (;;) {
        // The folders wanted now: open the new ones, close those no longer wanted.
        std::vector<std::pair<std::uint64_t, std::wstring>> wanted;
        {
            const std::lock_guard<std::mutex> hold(state->lock);
            if (state->stopping) break;
            wanted = state->wanted;
        }
        std::map<std::uint64_t, std::unique_ptr<watch_t>> kept;
        for (const auto& [key, path] : wanted) {
            auto found = watches.find(key);
            if (found != watches.end() && found->second->path == path) {
                kept.emplace(key, std::move(found->second));
                continue;
            }
            auto watch = std::make_unique<watch_t>();
            watch->path = path;
            watch->directory.reset(CreateFileW(
                path.c_str(), FILE_LIST_DIRECTORY,
                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
            watch->event.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
            if (valid_handle(watch->directory) && watch->event && watch->arm())
                kept.emplace(key, std::move(watch));
        }
        watches = std::move(kept);
        {
            const std::lock_guard<std::mutex> hold(state->lock);
            state->open.clear();
            for (const auto& [key, watch] : watches) state->open.insert(key);
        }

        std::vector<HANDLE> waits{state->wake.get()};
        std::vector<std::uint64_t> keys{0};
        for (const auto& [key, watch] : watches) {
            waits.push_back(watch->event.get());
            keys.push_back(key);
        }
        const DWORD signalled =
            WaitForMultipleObjects(DWORD(waits.size()), waits.data(), FALSE, INFINITE);
        if (signalled <= WAIT_OBJECT_0 || signalled >= WAIT_OBJECT_0 + waits.size()) continue;
        watch_t& watch = *watches[keys[signalled - WAIT_OBJECT_0]];
        DWORD size = 0;
        watch.armed = false;
        if (!GetOverlappedResult(watch.directory.get(), &watch.overlapped, &size, FALSE)) size = 0;
        folder_change_t change{keys[signalled - WAIT_OBJECT_0], renames_in(watch.buffer, size)};
        // A folder that went itself stops here; the tree finds out by reading its parent.
        if (!watch.arm()) watches.erase(change.key);
        const std::lock_guard<std::mutex> hold(state->lock);
        if (!watches.count(change.key)) state->open.erase(change.key);
        if (state->stopping) break;
        const bool first = state->changes.empty();
        state->changes.push_back(std::move(change));
        if (first && state->window) PostMessageW(state->window, state->message, 0, 0);
    }
}

} // namespace
