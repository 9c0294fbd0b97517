#include "app/settings_file.h"

#include <windows.h>

#include <algorithm>

#include "app/app.h"

namespace {

// A settings file is a few hundred bytes; a larger one is damage, and what lies past
// this much is treated as missing.
constexpr DWORD SETTINGS_READ_LIMIT = 16u << 20;

} // namespace

long long settings_file_size() {
    LARGE_INTEGER size{};
    GetFileSizeEx(g_settings.get(), &size);
    return size.QuadPart;
}

std::vector<std::uint8_t> read_settings_file() {
    std::vector<std::uint8_t> bytes(
        static_cast<std::size_t>(std::min<long long>(settings_file_size(), SETTINGS_READ_LIMIT)));
    SetFilePointer(g_settings.get(), 0, nullptr, FILE_BEGIN);
    DWORD read = 0;
    if (!bytes.empty())
        ReadFile(g_settings.get(), bytes.data(), DWORD(bytes.size()), &read, nullptr);
    bytes.resize(read);
    return bytes;
}

void write_settings_file(const std::vector<std::uint8_t>& image) {
    SetFilePointer(g_settings.get(), 0, nullptr, FILE_BEGIN);
    DWORD written = 0;
    WriteFile(g_settings.get(), image.data(), DWORD(image.size()), &written, nullptr);
}
