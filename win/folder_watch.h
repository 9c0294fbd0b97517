#pragma once
// Watches file-system folders for subfolders created, deleted or renamed in them, on a
// thread of its own; each change is announced by posting a message to a window, and
// taken from here with the names a rename went from and to.
#include <windows.h>

#include <cstdint>
#include <set>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct folder_change_t {
    std::uint64_t key;
    std::vector<std::pair<std::wstring, std::wstring>> renames; // old name, new name
};

class folder_watch_t {
public:
    // A thread waits on at most 64 objects: one is its own wake-up.
    static constexpr std::size_t MAX_WATCHES = 63;

    folder_watch_t(HWND window, UINT message);
    ~folder_watch_t();
    folder_watch_t(const folder_watch_t&) = delete;
    folder_watch_t& operator=(const folder_watch_t&) = delete;

    // Makes the watched set exactly these folders (key, path), the first ones first when
    // there are more than the bound.
    void watch_only(const std::vector<std::pair<std::uint64_t, std::wstring>>& folders);
    std::size_t watched() const;
    // Whether the folder of that key is open and being watched now.
    bool watching(std::uint64_t key) const;
    std::vector<folder_change_t> take_changes();

    struct state_t; // shared with the watching thread, which may outlive this object

private:
    std::shared_ptr<state_t> state;
};
