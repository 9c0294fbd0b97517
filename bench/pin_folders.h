#pragma once
// Twenty folders that exist in any Wine prefix, at several depths under C:\windows: what a
// user who pinned a few places over time would have.
#include <windows.h>

#include <algorithm>
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
