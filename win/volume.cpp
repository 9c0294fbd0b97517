#include "win/volume.h"

#include <cwctype>
#include <string>

#include "win/com.h"

bool on_slow_volume(const wchar_t* path) {
    if (!path) return false;
    if ((path[0] == L'\\' || path[0] == L'/') && (path[1] == L'\\' || path[1] == L'/')) return true;
    if (!std::iswalpha(path[0]) || path[1] != L':') return false;
    const wchar_t root[] = {path[0], L':', L'\\', L'\0'};
    switch (GetDriveTypeW(root)) {
    case DRIVE_FIXED:
    case DRIVE_RAMDISK:
        return false;
    case DRIVE_NO_ROOT_DIR: // nothing there to wait on
        return false;
    default: // remote, removable, optical, unknown
        return true;
    }
}

bool on_slow_volume(IShellFolder* desktop, const ITEMIDLIST* list) {
    if (!desktop || !list || list->mkid.cb == 0) return false;
    // The computer's drive or the network's server: the second item at most.
    const std::size_t count = idlist_count(list);
    for (std::size_t items = 1; items <= 2 && items <= count; ++items) {
        const task_idlist prefix = idlist_prefix(list, items);
        const task_string name =
            prefix ? display_name_of(desktop, prefix.get(), SHGDN_FORPARSING) : nullptr;
        if (name && on_slow_volume(name.get())) return true;
    }
    return false;
}
