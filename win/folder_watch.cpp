#include "win/folder_watch.h"

#include <dbt.h>

#include <algorithm>
#include <cstddef>
#include <map>
#include <mutex>
#include <set>

#include "win/background.h"
#include "win/volume.h"
#include "win/window_class.h"

namespace {

// However often a volume has not answered, it is tried again after this long at most.
constexpr DWORD LONGEST_BACK_OFF_MS = 10 * 60 * 1000;
// How long the watch, at its end, waits for the reads it cancelled to come back.
constexpr ULONGLONG CANCEL_WAIT_MS = 2000;
constexpr wchar_t WINDOW_CLASS[] = L"zelvon_folder_watch";
// To the watch's window: a read came back; a folder opened elsewhere is handed over.
constexpr UINT WM_READ_DONE = WM_APP + 1;
constexpr UINT WM_OPENED = WM_APP + 2;
// When a volume's patience or its time left alone is over.
constexpr UINT_PTR LOOK_AGAIN_TIMER = 1;

HANDLE open_for_watching(const std::wstring& path) {
    return CreateFileW(path.c_str(), FILE_LIST_DIRECTORY,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
}

bool is_unc(const std::wstring& path) {
    return path.rfind(L"\\\\", 0) == 0;
}

// What a path's volume is known by: a share's \\server\share, or a drive's letter.
std::wstring volume_of(const std::wstring& path) {
    if (!is_unc(path)) return path.substr(0, 2);
    const std::size_t server_end = path.find(L'\\', 2);
    return path.substr(0, server_end == std::wstring::npos ? server_end
                                                           : path.find(L'\\', server_end + 1));
}

// One folder's open handle, its read under way and the device notification on it.
struct watch_t {
    std::uint64_t key = 0;
    std::wstring path;
    HANDLE directory = INVALID_HANDLE_VALUE;
    HDEVNOTIFY notify = nullptr;
    HWND told = nullptr; // the watch's window, told when the read comes back
    OVERLAPPED overlapped{};
    alignas(DWORD) BYTE buffer[8192];
    bool armed = false; // a read is under way: the buffer is the system's
    bool fired = false; // a read came back and is not looked at yet
    DWORD error = 0, size = 0;

    static void CALLBACK read_done(DWORD error, DWORD size, OVERLAPPED* overlapped) {
        auto* watch = static_cast<watch_t*>(overlapped->hEvent);
        watch->armed = false;
        watch->fired = true;
        watch->error = error;
        watch->size = size;
        // Runs inside whatever alertable wait the thread is in: the rest waits for its loop.
        if (watch->told) PostMessageW(watch->told, WM_READ_DONE, 0, 0);
    }

    bool arm() {
        overlapped = OVERLAPPED{};
        overlapped.hEvent = this; // the system leaves it alone where a routine completes
        armed = ReadDirectoryChangesW(directory, buffer, sizeof buffer, FALSE,
                                      FILE_NOTIFY_CHANGE_DIR_NAME, nullptr, &overlapped, read_done);
        return armed;
    }

    // The handle closed; the read it had under way comes back cancelled later.
    void close() {
        if (directory == INVALID_HANDLE_VALUE) return;
        if (armed) CancelIoEx(directory, &overlapped);
        CloseHandle(directory);
        directory = INVALID_HANDLE_VALUE;
    }
};

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

bool same_folders(const std::vector<watched_folder_t>& a, const std::vector<watched_folder_t>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.key == y.key && x.path == y.path;
    });
}

// Folders opened on threads of their own are handed to the watch through this, which they
// share with it: the watch may have gone by the time an open on a quiet share returns.
struct handed_t {
    std::mutex lock;
    HWND window = nullptr; // the watch's; null once it has gone
    struct opened_t {
        std::uint64_t key;
        std::wstring path;
        HANDLE handle; // invalid: the open failed
    };
    std::vector<opened_t> opened;
};

} // namespace

struct folder_watch_t::watcher_t {
    HWND handle = nullptr; // its window: reads back, folders opened, timers, device events
    static constexpr bool owned_by_window = false;
    HWND owner;
    UINT message;
    folder_watch_options_t options;
    std::shared_ptr<handed_t> handed = std::make_shared<handed_t>();
    std::vector<watched_folder_t> wanted;
    std::vector<folder_change_t> changes;
    std::map<std::uint64_t, std::unique_ptr<watch_t>> watches;
    std::vector<std::unique_ptr<watch_t>> closing; // closed, their reads not back yet
    // Let go of for a removal asked for: not opened again until it is done or refused.
    struct released_t {
        HDEVNOTIFY notify;
        HANDLE was;
    };
    std::map<std::uint64_t, released_t> released;
    std::map<std::wstring, ULONGLONG> opening; // volumes with an open under way, since when
    std::set<std::uint64_t> opening_keys;
    std::set<std::uint64_t> failed; // opened elsewhere in vain: tried again when asked again
    struct back_off_t {
        ULONGLONG until;
        DWORD ms;
    };
    std::map<std::wstring, back_off_t> backed_off;

    void adopt(std::uint64_t key, const std::wstring& path, HANDLE directory) {
        if (directory == INVALID_HANDLE_VALUE) return; // tried again when asked for again
        auto watch = std::make_unique<watch_t>();
        watch->key = key;
        watch->path = path;
        watch->directory = directory;
        watch->told = handle;
        if (!watch->arm()) return watch->close();
        // Any drive may be ejected, fixed ones on a port too: every handle hears of it.
        watch->notify = options.hear_removal(handle, directory);
        backed_off.erase(volume_of(path));
        watches[key] = std::move(watch);
    }

    // Closed; with `for_removal`, its notification kept until the removal is over.
    void close(std::uint64_t key, bool for_removal = false) {
        const auto at = watches.find(key);
        if (at == watches.end()) return;
        std::unique_ptr<watch_t> watch = std::move(at->second);
        watches.erase(at);
        if (for_removal)
            released[key] = {std::exchange(watch->notify, nullptr), watch->directory};
        else if (watch->notify)
            UnregisterDeviceNotification(watch->notify);
        watch->close();
        if (watch->armed) closing.push_back(std::move(watch));
    }

    void forget_release(std::uint64_t key) {
        if (const auto at = released.find(key); at != released.end()) {
            if (at->second.notify) UnregisterDeviceNotification(at->second.notify);
            released.erase(at);
        }
    }

    // Closed watches whose cancelled reads have come back: their buffers are free.
    void drop_finished_closings() {
        std::erase_if(closing, [](const auto& watch) { return !watch->armed; });
    }

    void back_off(const std::wstring& volume, ULONGLONG now) {
        const auto at = backed_off.find(volume);
        const DWORD ms = at == backed_off.end()
                             ? options.back_off_ms
                             : std::min<DWORD>(at->second.ms * 2, LONGEST_BACK_OFF_MS);
        backed_off[volume] = {now + ms, ms};
    }

    // Opens what is wanted and not open, closes what is open and not wanted, and sets the
    // timer for the next volume whose patience or time left alone runs out.
    void update();
    void device_event(WPARAM event, const DEV_BROADCAST_HANDLE* about);
    void take_fired();
    LRESULT on_message(UINT message, WPARAM wparam, LPARAM lparam);
};

void folder_watch_t::watcher_t::update() {
    const ULONGLONG now = GetTickCount64();
    const auto is_wanted = [&](std::uint64_t key, const std::wstring& path) {
        return std::any_of(wanted.begin(), wanted.end(),
                           [&](const auto& f) { return f.key == key && f.path == path; });
    };
    std::vector<handed_t::opened_t> opened;
    {
        const std::lock_guard<std::mutex> hold(handed->lock);
        opened = std::exchange(handed->opened, {});
    }
    for (const handed_t::opened_t& o : opened) {
        opening_keys.erase(o.key);
        opening.erase(volume_of(o.path));
        if (o.handle == INVALID_HANDLE_VALUE)
            failed.insert(o.key);
        else if (is_wanted(o.key, o.path) && !watches.count(o.key))
            adopt(o.key, o.path, o.handle);
        else
            CloseHandle(o.handle);
    }
    for (auto it = watches.begin(); it != watches.end();) {
        const auto next = std::next(it);
        if (!is_wanted(it->first, it->second->path)) close(it->first);
        it = next;
    }
    for (auto it = released.begin(); it != released.end();) {
        const auto next = std::next(it);
        if (std::none_of(wanted.begin(), wanted.end(), [&](auto& f) { return f.key == it->first; }))
            forget_release(it->first);
        it = next;
    }
    for (const watched_folder_t& folder : wanted) {
        if (watches.count(folder.key) || released.count(folder.key) ||
            opening_keys.count(folder.key) || failed.count(folder.key))
            continue;
        if (!on_slow_volume(folder.path.c_str())) {
            adopt(folder.key, folder.path, options.open(folder.path));
            continue;
        }
        // One open at a time per volume, on a thread of its own, and none while the volume
        // is left alone.
        const std::wstring volume = volume_of(folder.path);
        const auto quiet = backed_off.find(volume);
        if (opening.count(volume) || (quiet != backed_off.end() && quiet->second.until > now))
            continue;
        opening[volume] = now;
        opening_keys.insert(folder.key);
        start_thread(
            [handed = handed, open = options.open, key = folder.key, path = folder.path] {
                const HANDLE directory = open(path);
                const std::lock_guard<std::mutex> hold(handed->lock);
                if (!handed->window) {
                    if (directory != INVALID_HANDLE_VALUE) CloseHandle(directory);
                    return;
                }
                handed->opened.push_back({key, path, directory});
                PostMessageW(handed->window, WM_OPENED, 0, 0);
            },
            OWN_CODE_STACK);
    }
    // A volume whose open takes longer than the patience is left alone for a while.
    ULONGLONG next = ~0ull;
    for (const auto& [volume, since] : opening) {
        const auto quiet = backed_off.find(volume);
        if (quiet != backed_off.end() && quiet->second.until > now) continue;
        if (now - since >= options.patience_ms)
            back_off(volume, now);
        else
            next = std::min(next, since + options.patience_ms);
    }
    for (const auto& [volume, quiet] : backed_off)
        if (quiet.until > now) next = std::min(next, quiet.until);
    if (next == ~0ull)
        KillTimer(handle, LOOK_AGAIN_TIMER);
    else
        SetTimer(handle, LOOK_AGAIN_TIMER, UINT(std::min<ULONGLONG>(next - now + 1, 0x7fffffff)),
                 nullptr);
}

void folder_watch_t::watcher_t::device_event(WPARAM event, const DEV_BROADCAST_HANDLE* about) {
    std::uint64_t key = 0;
    for (const auto& [k, watch] : watches)
        if (watch->directory == about->dbch_handle ||
            (watch->notify && watch->notify == about->dbch_hdevnotify))
            key = k;
    for (const auto& [k, was] : released)
        if (was.was == about->dbch_handle || (was.notify && was.notify == about->dbch_hdevnotify))
            key = k;
    if (!key) return;
    switch (event) {
    case DBT_DEVICEQUERYREMOVE:
        // Let go, so that the drive can go; kept in mind until it has gone or stays.
        close(key, true);
        break;
    case DBT_DEVICEQUERYREMOVEFAILED:
        forget_release(key); // it stays: opened again
        update();
        break;
    case DBT_DEVICEREMOVEPENDING:
    case DBT_DEVICEREMOVECOMPLETE:
        close(key);
        forget_release(key);
        break;
    }
}

void folder_watch_t::watcher_t::take_fired() {
    std::vector<std::uint64_t> ended;
    const bool first = changes.empty();
    for (auto& [key, watch] : watches) {
        if (!watch->fired) continue;
        watch->fired = false;
        changes.push_back({key, watch->error ? decltype(folder_change_t::renames){}
                                             : renames_in(watch->buffer, watch->size)});
        // A folder that went itself stops here; the tree finds out by reading its parent.
        if (!watch->arm()) ended.push_back(key);
    }
    for (std::uint64_t key : ended) close(key);
    drop_finished_closings();
    if (first && !changes.empty() && owner) PostMessageW(owner, message, 0, 0);
}

LRESULT folder_watch_t::watcher_t::on_message(UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
    case WM_READ_DONE:
        take_fired();
        return 0;
    case WM_OPENED:
        update();
        return 0;
    case WM_TIMER:
        if (wparam == LOOK_AGAIN_TIMER) update();
        return 0;
    case WM_DEVICECHANGE:
        if (const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lparam);
            header && header->dbch_devicetype == DBT_DEVTYP_HANDLE)
            device_event(wparam, reinterpret_cast<const DEV_BROADCAST_HANDLE*>(header));
        return TRUE; // a removal asked for is granted
    }
    return DefWindowProcW(handle, msg, wparam, lparam);
}

folder_watch_t::folder_watch_t(HWND window, UINT message, folder_watch_options_t options)
    : watcher(std::make_unique<watcher_t>()) {
    watcher->owner = window;
    watcher->message = message;
    if (!options.open) options.open = open_for_watching;
    if (!options.hear_removal)
        options.hear_removal = [](HWND window, HANDLE folder) {
            DEV_BROADCAST_HANDLE filter{};
            filter.dbch_size = sizeof filter;
            filter.dbch_devicetype = DBT_DEVTYP_HANDLE;
            filter.dbch_handle = folder;
            return RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
        };
    watcher->options = std::move(options);
    register_class(WINDOW_CLASS, forward_message<watcher_t>, nullptr, nullptr, 0);
    CreateWindowExW(0, WINDOW_CLASS, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                    GetModuleHandleW(nullptr), watcher.get());
    watcher->handed->window = watcher->handle;
}

folder_watch_t::~folder_watch_t() {
    {
        // An open on a share that hangs is not waited for: its thread closes what it gets.
        const std::lock_guard<std::mutex> hold(watcher->handed->lock);
        watcher->handed->window = nullptr;
        for (const handed_t::opened_t& o : watcher->handed->opened)
            if (o.handle != INVALID_HANDLE_VALUE) CloseHandle(o.handle);
    }
    watcher_t& w = *watcher;
    while (!w.watches.empty()) w.close(w.watches.begin()->first);
    while (!w.released.empty()) w.forget_release(w.released.begin()->first);
    // The system writes into a cancelled read's buffer until it comes back.
    for (const ULONGLONG end = GetTickCount64() + CANCEL_WAIT_MS;
         !w.closing.empty() && GetTickCount64() < end;) {
        SleepEx(20, TRUE);
        w.drop_finished_closings();
    }
    for (auto& stuck : w.closing) {
        stuck->told = nullptr;
        stuck.release(); // never back: its memory stays
    }
    if (w.handle) DestroyWindow(w.handle);
}

void folder_watch_t::watch_only(const std::vector<watched_folder_t>& folders) {
    std::vector<watched_folder_t> wanted;
    for (const watched_folder_t& folder : folders)
        if (!folder.path.empty()) wanted.push_back({folder.key, folder.path, {}});
    // The same folders, all open: nothing to do. One that could not be opened, or whose
    // watch ended, is tried again.
    const bool all_open = std::all_of(wanted.begin(), wanted.end(),
                                      [&](const auto& f) { return watcher->watches.count(f.key); });
    if (same_folders(watcher->wanted, wanted) && all_open) return;
    watcher->wanted = std::move(wanted);
    watcher->failed.clear();
    watcher->update();
}

std::size_t folder_watch_t::watched() const {
    return watcher->watches.size();
}

bool folder_watch_t::watching(std::uint64_t key) const {
    return watcher->watches.count(key) != 0;
}

std::vector<folder_change_t> folder_watch_t::take_changes() {
    return std::exchange(watcher->changes, {});
}

change_source_t folder_watch_source(HWND window, UINT message, folder_watch_options_t options) {
    const auto watch = std::make_shared<folder_watch_t>(window, message, std::move(options));
    return {
        [watch](const std::vector<watched_folder_t>& folders) { watch->watch_only(folders); },
        [watch](std::uint64_t key) { return watch->watching(key); },
        [watch] { return watch->take_changes(); },
    };
}
