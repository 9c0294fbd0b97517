#include "win/com.h"

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

task_idlist idlist_join(const ITEMIDLIST* first, const ITEMIDLIST* second) {
    const std::size_t a = idlist_length(first), b = idlist_length(second);
    auto* joined = static_cast<BYTE*>(CoTaskMemAlloc(a + b + 2));
    if (!joined) return nullptr;
    ZeroMemory(joined, a + b + 2);
    CopyMemory(joined, first, a);
    CopyMemory(joined + a, second, b);
    return task_idlist(reinterpret_cast<ITEMIDLIST*>(joined));
}

task_idlist idlist_prefix(const ITEMIDLIST* list, std::size_t items) {
    return idlist_copy(list, idlist_prefix_length(list, items));
}

byte_list idlist_prefix_bytes(const ITEMIDLIST* list, std::size_t items) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(list);
    byte_list prefix(bytes, bytes + idlist_prefix_length(list, items));
    prefix.insert(prefix.end(), {0, 0});
    return prefix;
}

task_string display_name_of(IShellFolder* folder, const ITEMIDLIST* item, SHGDNF flags) {
    STRRET name;
    wchar_t* text = nullptr;
    if (SUCCEEDED(folder->GetDisplayNameOf(item, flags, &name))) StrRetToStrW(&name, item, &text);
    return task_string(text);
}

task_idlist parse_display_name(IShellFolder* desktop, const wchar_t* path) {
    ITEMIDLIST* parsed = nullptr;
    const HRESULT hr = desktop->ParseDisplayName(nullptr, nullptr, const_cast<wchar_t*>(path),
                                                 nullptr, &parsed, nullptr);
    task_idlist list(parsed);
    if (hr != S_OK) list.reset();
    return list;
}
