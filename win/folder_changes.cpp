#include "win/folder_changes.h"

#include <algorithm>

#include "win/folder_watch.h"
#include "win/shell_changes.h"
#include "win/window_class.h"

namespace {

constexpr wchar_t WINDOW_CLASS[] = L"zelvon_folder_changes";
constexpr UINT WM_CHANGES = WM_APP + 1;

// Folders are one when their paths are, whatever the case of their letters.
std::wstring folded(std::wstring path) {
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    if (!path.empty()) CharUpperBuffW(path.data(), DWORD(path.size()));
    return path;
}

// Wine registers the shell's notifications and delivers none, not even those that
// SHChangeNotify sends; nor does it tell a handle's registrant of a removal, though each
// process's first registration starts a thread there (measured under Wine 8 and 10).
bool under_wine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

} // namespace

struct change_hub_t::subscriber_t {
    change_hub_t* hub = nullptr;
    HWND window = nullptr;
    UINT message = 0;
    std::vector<watched_folder_t> wanted;
    std::vector<folder_change_t> changes;

    ~subscriber_t() {
        if (hub) hub->leave(this);
    }
};

change_hub_t::change_hub_t(make_source_t make_source) : make(std::move(make_source)) {}

change_hub_t::~change_hub_t() {
    source = {};
    if (handle) DestroyWindow(handle);
}

change_source_t change_hub_t::subscribe(HWND window, UINT message) {
    const auto subscriber = std::make_shared<subscriber_t>();
    subscriber->hub = this;
    subscriber->window = window;
    subscriber->message = message;
    subscribers.push_back(subscriber.get());
    return {
        [subscriber](const std::vector<watched_folder_t>& folders) {
            subscriber->wanted = folders;
            subscriber->hub->update();
        },
        [subscriber](std::uint64_t key) {
            const auto& wanted = subscriber->wanted;
            const auto at = std::find_if(wanted.begin(), wanted.end(),
                                         [&](const auto& f) { return f.key == key; });
            const change_hub_t& hub = *subscriber->hub;
            return at != wanted.end() && hub.running() && hub.source.watching(hub.key_of(at->path));
        },
        [subscriber] { return std::exchange(subscriber->changes, {}); },
    };
}

std::uint64_t change_hub_t::key_of(const std::wstring& path) const {
    const auto at = keys.find(folded(path));
    return at == keys.end() ? 0 : at->second;
}

void change_hub_t::leave(subscriber_t* subscriber) {
    std::erase(subscribers, subscriber);
    if (subscribers.empty()) {
        // No tree left: the source goes with whatever it holds, and what it has under way ends.
        source = {};
        keys.clear();
        return;
    }
    update();
}

void change_hub_t::update() {
    // Each tree's folders in its own order, the first tree's first; each folder once.
    std::vector<watched_folder_t> folders;
    std::map<std::wstring, std::uint64_t> now;
    for (const subscriber_t* subscriber : subscribers)
        for (const watched_folder_t& folder : subscriber->wanted) {
            std::wstring path = folded(folder.path);
            if (path.empty() || now.count(path)) continue;
            const auto was = keys.find(path);
            const std::uint64_t key = was != keys.end() ? was->second : next_key++;
            now.emplace(std::move(path), key);
            folders.push_back({key, folder.path, folder.list});
        }
    keys = std::move(now);
    if (!running()) {
        if (folders.empty()) return;
        // Its window is made with the first folder: a start shows its list before that.
        if (!handle) {
            register_class(WINDOW_CLASS, forward_message<change_hub_t>, nullptr, nullptr, 0);
            CreateWindowExW(0, WINDOW_CLASS, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), this);
            if (!handle) return;
        }
        source = make(handle, WM_CHANGES);
    }
    source.watch_only(folders);
}

LRESULT change_hub_t::on_message(UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != WM_CHANGES) return DefWindowProcW(handle, message, wparam, lparam);
    if (!running()) return 0;
    for (const folder_change_t& change : source.take_changes())
        for (subscriber_t* subscriber : subscribers)
            for (const watched_folder_t& folder : subscriber->wanted) {
                if (key_of(folder.path) != change.key) continue;
                const bool first = subscriber->changes.empty();
                subscriber->changes.push_back({folder.key, change.renames});
                if (first) PostMessageW(subscriber->window, subscriber->message, 0, 0);
            }
    return 0;
}

change_source_t system_change_source(HWND window, UINT message) {
    if (!under_wine()) return shell_change_source(window, message);
    folder_watch_options_t options;
    options.hear_removal = [](HWND, HANDLE) { return HDEVNOTIFY{}; };
    return folder_watch_source(window, message, std::move(options));
}

change_source_t folder_changes(HWND window, UINT message) {
    // Made on the first window's thread, which serves every window; kept for the process.
    static change_hub_t* const hub = new change_hub_t(system_change_source);
    return hub->subscribe(window, message);
}
