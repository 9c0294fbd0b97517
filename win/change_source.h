#pragma once
// What tells a tree of the changes in the folders it shows: subfolders made, deleted or
// renamed there, by anyone. The process has one source for all its windows
// (folder_changes.h); a tree talks to it through these members, which tests give their own.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/idlist.h"

// A folder to hear about: the caller's key for it, its path in the file system (empty for
// a virtual folder, which the system's sources leave alone) and its absolute list.
struct watched_folder_t {
    std::uint64_t key = 0;
    std::wstring path;
    byte_list list;
};

// A change in a watched folder, with the names its renamed subfolders went from and to.
struct folder_change_t {
    std::uint64_t key = 0;
    std::vector<std::pair<std::wstring, std::wstring>> renames; // old name, new name
};

struct change_source_t {
    // Makes the watched set exactly these folders.
    std::function<void(const std::vector<watched_folder_t>& folders)> watch_only;
    // Whether changes in the folder of that key are told now, so that what is known of it
    // is known to be current.
    std::function<bool(std::uint64_t key)> watching;
    // The changes told since the last call; the first of them was announced by a message.
    std::function<std::vector<folder_change_t>()> take_changes;
};
