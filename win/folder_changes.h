#pragma once
// The process's one source of folder changes, shared by the trees of all its windows: each
// folder is watched once however many trees show it, and what changed in it goes to each.
// Which of the system's sources runs is chosen in one place, system_change_source.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "win/change_source.h"

class change_hub_t {
public:
    // Makes the source under the hub when there is a first folder to watch; it announces
    // its changes by posting the message given to the window given.
    using make_source_t = std::function<change_source_t(HWND window, UINT message)>;

    explicit change_hub_t(make_source_t make);
    ~change_hub_t();
    change_hub_t(const change_hub_t&) = delete;
    change_hub_t& operator=(const change_hub_t&) = delete;

    // A tree's own source: its keys, its changes announced by posting `message` to `window`.
    // It leaves the hub when the last copy goes; the hub must outlive it.
    change_source_t subscribe(HWND window, UINT message);
    // Whether a source runs under the hub (only while some tree is there).
    bool running() const { return static_cast<bool>(source.watch_only); }

    struct subscriber_t;
    LRESULT on_message(UINT message, WPARAM wparam, LPARAM lparam);
    static constexpr bool owned_by_window = false;
    HWND handle = nullptr;

private:
    make_source_t make;
    change_source_t source;
    std::vector<subscriber_t*> subscribers;
    std::map<std::wstring, std::uint64_t> keys; // the source's key of each folder watched
    std::uint64_t next_key = 1;

    void update();
    void leave(subscriber_t* subscriber);
    std::uint64_t key_of(const std::wstring& path) const;
};

// The system's source: the shell's notifications, or a handle on each folder where the
// shell delivers none.
change_source_t system_change_source(HWND window, UINT message);

// A source for one tree, from the process's hub over the system's source.
change_source_t folder_changes(HWND window, UINT message);
