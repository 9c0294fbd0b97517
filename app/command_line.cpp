#include "app/command_line.h"

#include <shellapi.h>
#include <shlobj.h>

std::wstring first_argument(const wchar_t* command_line) {
    if (!command_line || !*command_line) return {};
    int count = 0;
    wchar_t** args = CommandLineToArgvW(command_line, &count);
    std::wstring first = args && count > 0 ? args[0] : L"";
    LocalFree(args);
    // Relative to the folder this start was made in: the running process that may take
    // it over has another.
    const bool relative = !first.empty() && first[0] != L'\\' && first[0] != L'/' &&
                          first.find(L':') == std::wstring::npos;
    if (relative) {
        std::wstring full(GetFullPathNameW(first.c_str(), 0, nullptr, nullptr) + 1, L'\0');
        full.resize(GetFullPathNameW(first.c_str(), DWORD(full.size()), full.data(), nullptr));
        if (!full.empty()) first = full;
    }
    return first;
}

task_idlist argument_folder(const wchar_t* command_line) {
    const std::wstring path = first_argument(command_line);
    if (path.empty()) return nullptr;
    Microsoft::WRL::ComPtr<IShellFolder> desktop;
    SHGetDesktopFolder(&desktop);
    return desktop ? parse_display_name(desktop.Get(), path.c_str()) : nullptr;
}
