#pragma once
// Watches file-system folders for subfolders made, deleted or renamed in them, each by a
// handle open on it; each change is announced by posting a message to a window.
//
// It runs on the thread that made it, which must wait alertably (MsgWaitForMultipleObjectsEx
// with MWMO_ALERTABLE) for the reads to come back: a thread of its own would cost more than
// the watch itself where it runs (folder_changes.h). Where the system enforces it, an open
// handle on a folder stops every folder above it from being renamed or moved and its drive
// from being ejected: this is the source only where the shell's own notifications are not
// delivered. Whatever it holds on a drive it lets go of when the drive's removal is asked
// for, and opens again when the removal does not happen. A folder on a share or a removable
// drive is opened on a thread of its own, never on the watching one, and a share that does
// not answer is left alone for a while.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "win/change_source.h"

struct folder_watch_options_t {
    // Opens a folder for watching; INVALID_HANDLE_VALUE when it cannot be.
    std::function<HANDLE(const std::wstring& path)> open;
    // Asks the system to tell `window` before the volume of an open folder goes (a removal
    // asked for, to which the folder must be let go); null when it will not.
    std::function<HDEVNOTIFY(HWND window, HANDLE folder)> hear_removal;
    // How long an open on a share or a removable drive may take before the volume is left
    // alone, and for how long at first (twice as long each time again, up to a limit).
    DWORD patience_ms = 5000;
    DWORD back_off_ms = 30000;
};

class folder_watch_t {
public:
    folder_watch_t(HWND window, UINT message, folder_watch_options_t options = {});
    ~folder_watch_t();
    folder_watch_t(const folder_watch_t&) = delete;
    folder_watch_t& operator=(const folder_watch_t&) = delete;

    // Makes the watched set exactly these folders (those with a path). One that could not be
    // opened, or whose watch ended, is tried again when asked for again.
    void watch_only(const std::vector<watched_folder_t>& folders);
    std::size_t watched() const;
    // Whether the folder of that key is open and being watched now.
    bool watching(std::uint64_t key) const;
    std::vector<folder_change_t> take_changes();

    struct watcher_t;

private:
    std::unique_ptr<watcher_t> watcher;
};

// The watch as a change source.
change_source_t folder_watch_source(HWND window, UINT message, folder_watch_options_t options = {});
