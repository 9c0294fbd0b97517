#pragma once
// Folders to pin. Twenty that exist in any Wine prefix, at several depths under
// C:\windows: what a user who pinned a few places over time would have. And a parent of
// many subfolders, twenty of them pinned: what a user of a big share or build tree has.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

inline std::vector<std::wstring> pin_folders(std::size_t count = 20) {
    std::vector<std::wstring> found;
    std::deque<std::wstring> pending{L"C:\\windows"};
    while (!pending.empty() && found.size() < count) {
        const std::wstring folder = pending.front();
        pending.pop_front();
        std::vector<std::wstring> children;
        WIN32_FIND_DATAW entry;
        HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
        if (search == INVALID_HANDLE_VALUE) continue;
        do {
            const std::wstring name = entry.cFileName;
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." &&
                name != L"..")
                children.push_back(folder + L"\\" + name);
        } while (FindNextFileW(search, &entry));
        FindClose(search);
        // Sorted, so every run and every prefix pins the same folders.
        std::sort(children.begin(), children.end());
        for (const std::wstring& child : children) {
            if (found.size() < count) found.push_back(child);
            pending.push_back(child);
        }
    }
    return found;
}

// The i-th subfolder of a wide parent; numbered so that the shell's order is theirs.
inline std::wstring wide_child(const std::wstring& parent, int i) {
    wchar_t name[32];
    swprintf(name, 32, L"\\folder%05d", i);
    return parent + name;
}

// Makes the parent and its `count` subfolders, in order, unless the last is there already
// (an earlier run of this prefix made them all); an interrupted run is completed. Returns
// how many were made.
inline int make_wide_parent(const std::wstring& parent, int count) {
    if (GetFileAttributesW(wide_child(parent, count - 1).c_str()) != INVALID_FILE_ATTRIBUTES)
        return 0;
    CreateDirectoryW(parent.c_str(), nullptr);
    int made = 0;
    for (int i = 0; i < count; ++i)
        made += CreateDirectoryW(wide_child(parent, i).c_str(), nullptr);
    return made;
}

// `pins` of the parent's `count` subfolders, spread evenly over them: a pin near the end
// costs a lookup that walks the whole parent as much as one near the start saves.
inline std::vector<std::wstring> wide_pin_folders(const std::wstring& parent, int count,
                                                  int pins = 20) {
    std::vector<std::wstring> found;
    for (int k = 0; k < pins; ++k)
        found.push_back(wide_child(parent, int((2LL * k + 1) * count / (2LL * pins))));
    return found;
}
