#pragma once
// Hears of subfolders made, deleted or renamed in folders through the shell's own change
// notifications, which hold no handle of ours on any folder: a folder watched so can be
// renamed, moved or have its drive ejected as if nothing watched it. Changes are announced
// by posting a message to a window.
#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "win/change_source.h"

class shell_changes_t {
public:
    shell_changes_t(HWND window, UINT message);
    ~shell_changes_t();
    shell_changes_t(const shell_changes_t&) = delete;
    shell_changes_t& operator=(const shell_changes_t&) = delete;

    void watch_only(const std::vector<watched_folder_t>& folders);
    bool watching(std::uint64_t key) const;
    std::vector<folder_change_t> take_changes();

    // A notification as the shell delivers it: the event and its one or two lists.
    void on_event(LONG event, const ITEMIDLIST* first, const ITEMIDLIST* second);

    LRESULT on_message(UINT message, WPARAM wparam, LPARAM lparam);
    static constexpr bool owned_by_window = false;
    HWND handle = nullptr; // receives the notifications

private:
    struct registered_t {
        std::wstring path;
        ULONG id = 0;
    };
    std::map<std::uint64_t, registered_t> registered;
    std::vector<folder_change_t> changes;
    HWND window;
    UINT message;

    void changed(const std::wstring& folder,
                 std::vector<std::pair<std::wstring, std::wstring>> renames);
};

// The shell's notifications as a change source.
change_source_t shell_change_source(HWND window, UINT message);
