#pragma once
// Small owners for what the COM task allocator hands out, and item ID list copies.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <memory>

#include "settings/settings_format.h"
#include "tree/idlist.h"

struct task_free {
    void operator()(void* p) const { CoTaskMemFree(p); }
};
using task_idlist = std::unique_ptr<ITEMIDLIST, task_free>;
using task_string = std::unique_ptr<wchar_t, task_free>;

// A list's copy made the one way: length + 2 bytes, zero-filled, items copied.
task_idlist idlist_copy(const void* list, std::size_t length);
task_idlist idlist_copy(const void* list);
task_idlist idlist_from_bytes(const byte_list& list);

// An item's normal display name as the folder gives it; null when it has none.
task_string display_name_of(IShellFolder* folder, const ITEMIDLIST* item);
