#include "app/settings_file.h"

#include <windows.h>

#include <algorithm>

#include "app/app.h"
#include "core/settings_format.h"

namespace {

// A settings file is a few hundred bytes; a larger one is damage, and what lies past
// this much is treated as missing.
constexpr DWORD SETTINGS_READ_LIMIT = 16u << 20;

std::wstring backup_path() {
    return g_settings_path + L".bak";
}

std::vector<std::uint8_t> read_whole(HANDLE file) {
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    std::vector<std::uint8_t> bytes(
        static_cast<std::size_t>(std::min<long long>(size.QuadPart, SETTINGS_READ_LIMIT)));
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    DWORD read = 0;
    if (!bytes.empty()) ReadFile(file, bytes.data(), DWORD(bytes.size()), &read, nullptr);
    bytes.resize(read);
    return bytes;
}

bool is_whole_save(const std::vector<std::uint8_t>& bytes) {
    const auto saved = decode_settings(bytes.data(), bytes.size());
    return saved && saved->has_trailer;
}

} // namespace

long long settings_file_size() {
    LARGE_INTEGER size{};
    GetFileSizeEx(g_settings.get(), &size);
    return size.QuadPart;
}

std::vector<std::uint8_t> read_settings_file() {
    std::vector<std::uint8_t> bytes = read_whole(g_settings.get());
    // Saves of this program always end in a trailer, and the backup is there only while
    // a save is under way: with both, the main file was cut off midway and the backup
    // holds the image that was being written.
    if (bytes.empty() || is_whole_save(bytes) || g_settings_path.empty()) return bytes;
    const unique_handle backup(CreateFileW(backup_path().c_str(), GENERIC_READ, FILE_SHARE_READ,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
    if (!valid_handle(backup)) return bytes;
    std::vector<std::uint8_t> kept = read_whole(backup.get());
    return is_whole_save(kept) ? kept : bytes;
}

bool write_settings_file(const std::vector<std::uint8_t>& image) {
    const DWORD size = DWORD(image.size());
    DWORD written = 0;
    if (!g_settings_path.empty()) {
        const unique_handle backup(CreateFileW(backup_path().c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_ALWAYS, 0, nullptr));
        if (!valid_handle(backup) ||
            !WriteFile(backup.get(), image.data(), size, &written, nullptr) || written != size)
            return false;
    }
    SetFilePointer(g_settings.get(), 0, nullptr, FILE_BEGIN);
    written = 0;
    if (!WriteFile(g_settings.get(), image.data(), size, &written, nullptr) || written != size)
        return false;
    // Only a write that did not end leaves the backup: an older version, which writes no
    // backup, never finds one of ours newer-looking than its own file.
    if (!g_settings_path.empty()) DeleteFileW(backup_path().c_str());
    return true;
}
