#include "win/shell_changes.h"

#include <memory>
#include <string>

#include "win/com.h"
#include "win/window_class.h"

namespace {

constexpr wchar_t WINDOW_CLASS[] = L"zelvon_shell_changes";
constexpr UINT WM_SHELL_CHANGE = WM_APP + 1;
constexpr LONG EVENTS = SHCNE_MKDIR | SHCNE_RMDIR | SHCNE_RENAMEFOLDER | SHCNE_UPDATEDIR;

// A list's path without a closing backslash; empty for a folder outside the file system.
std::wstring path_of(const ITEMIDLIST* list) {
    wchar_t path[MAX_PATH] = L"";
    if (!list || !SHGetPathFromIDListW(list, path)) return {};
    std::wstring whole = path;
    while (!whole.empty() && whole.back() == L'\\') whole.pop_back();
    return whole;
}

std::wstring parent_path(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring{} : path.substr(0, slash);
}

std::wstring name_in_path(const std::wstring& path) {
    return path.substr(path.find_last_of(L'\\') + 1);
}

// The shell names a folder by lists whose bytes need not be ours (a folder's timestamps
// change as it is written into): its path is what both agree on.
bool same_path(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) ==
           CSTR_EQUAL;
}

} // namespace

shell_changes_t::shell_changes_t(HWND notify, UINT notify_message)
    : window(notify), message(notify_message) {
    register_class(WINDOW_CLASS, forward_message<shell_changes_t>, nullptr, nullptr, 0);
    CreateWindowExW(0, WINDOW_CLASS, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                    GetModuleHandleW(nullptr), this);
}

shell_changes_t::~shell_changes_t() {
    for (const auto& [key, folder] : registered) SHChangeNotifyDeregister(folder.id);
    if (handle) DestroyWindow(handle);
}

void shell_changes_t::watch_only(const std::vector<watched_folder_t>& folders) {
    std::map<std::uint64_t, registered_t> kept;
    for (const watched_folder_t& folder : folders) {
        std::wstring path = folder.path;
        while (!path.empty() && path.back() == L'\\') path.pop_back();
        if (folder.list.size() < 2 || path.empty()) continue;
        if (const auto at = registered.find(folder.key);
            at != registered.end() && at->second.path == path) {
            kept.emplace(folder.key, std::move(at->second));
            registered.erase(at);
            continue;
        }
        if (!handle) continue;
        // Interrupt level: changes made by any program, not only those the shell makes.
        SHChangeNotifyEntry entry{as_idlist(folder.list), FALSE};
        const ULONG id = SHChangeNotifyRegister(
            handle, SHCNRF_ShellLevel | SHCNRF_InterruptLevel | SHCNRF_NewDelivery, EVENTS,
            WM_SHELL_CHANGE, 1, &entry);
        if (id) kept.emplace(folder.key, registered_t{path, id});
    }
    for (const auto& [key, folder] : registered) SHChangeNotifyDeregister(folder.id);
    registered = std::move(kept);
}

bool shell_changes_t::watching(std::uint64_t key) const {
    return registered.count(key) != 0;
}

std::vector<folder_change_t> shell_changes_t::take_changes() {
    return std::exchange(changes, {});
}

void shell_changes_t::changed(const std::wstring& folder,
                              std::vector<std::pair<std::wstring, std::wstring>> renames) {
    if (folder.empty()) return;
    for (const auto& [key, watched] : registered) {
        if (!same_path(watched.path, folder)) continue;
        const bool first = changes.empty();
        changes.push_back({key, renames});
        if (first) PostMessageW(window, message, 0, 0);
    }
}

void shell_changes_t::on_event(LONG event, const ITEMIDLIST* first, const ITEMIDLIST* second) {
    const std::wstring path = path_of(first);
    if (path.empty()) return;
    switch (event) {
    case SHCNE_MKDIR:
    case SHCNE_RMDIR:
        changed(parent_path(path), {});
        break;
    case SHCNE_UPDATEDIR: // more changed than was told one by one
        changed(path, {});
        break;
    case SHCNE_RENAMEFOLDER: {
        const std::wstring to = path_of(second);
        // Renamed in place, the folder keeps its rows below; moved, it went and came.
        if (!to.empty() && same_path(parent_path(path), parent_path(to))) {
            changed(parent_path(path), {{name_in_path(path), name_in_path(to)}});
        } else {
            changed(parent_path(path), {});
            if (!to.empty()) changed(parent_path(to), {});
        }
        break;
    }
    }
}

LRESULT shell_changes_t::on_message(UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg != WM_SHELL_CHANGE) return DefWindowProcW(handle, msg, wparam, lparam);
    ITEMIDLIST** lists = nullptr;
    LONG event = 0;
    const HANDLE lock =
        SHChangeNotification_Lock(reinterpret_cast<HANDLE>(wparam), DWORD(lparam), &lists, &event);
    if (!lock) return 0;
    on_event(event & ~SHCNE_INTERRUPT, lists ? lists[0] : nullptr, lists ? lists[1] : nullptr);
    SHChangeNotification_Unlock(lock);
    return 0;
}

change_source_t shell_change_source(HWND window, UINT message) {
    const auto shell = std::make_shared<shell_changes_t>(window, message);
    return {
        [shell](const std::vector<watched_folder_t>& folders) { shell->watch_only(folders); },
        [shell](std::uint64_t key) { return shell->watching(key); },
        [shell] { return shell->take_changes(); },
    };
}
