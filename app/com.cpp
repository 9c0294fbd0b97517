#include "app/com.h"

#include <shlwapi.h>

task_idlist idlist_copy(const void* list, std::size_t length) {
    auto* copy = static_cast<ITEMIDLIST*>(CoTaskMemAlloc(length + 2));
    if (copy) {
        ZeroMemory(copy, length + 2);
        CopyMemory(copy, list, length);
    }
    return task_idlist(copy);
}

task_idlist idlist_copy(const void* list) {
    return idlist_copy(list, idlist_length(list));
}

task_idlist idlist_from_bytes(const byte_list& list) {
    return idlist_copy(list.data(), list.size() - 2);
}

task_string display_name_of(IShellFolder* folder, const ITEMIDLIST* item) {
    STRRET name;
    wchar_t* text = nullptr;
    if (SUCCEEDED(folder->GetDisplayNameOf(item, SHGDN_NORMAL, &name)))
        StrRetToStrW(&name, item, &text);
    return task_string(text);
}
