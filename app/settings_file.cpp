#include "app/settings_file.h"

#include <algorithm>

#include "core/settings_format.h"

namespace {

// A settings file is a few hundred bytes; a larger one is damage, and what lies past
// this much is treated as missing.
constexpr DWORD SETTINGS_READ_LIMIT = 16u << 20;

std::vector<std::uint8_t> read_whole(HANDLE file) {
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    std::vector<std::uint8_t> bytes(
        static_cast<std::size_t>(std::clamp<long long>(size.QuadPart, 0, SETTINGS_READ_LIMIT)));
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    DWORD read = 0;
    if (!bytes.empty() && !ReadFile(file, bytes.data(), DWORD(bytes.size()), &read, nullptr))
        read = 0;
    bytes.resize(read);
    return bytes;
}

// The system's words for the last error, after the file's path.
std::wstring failure(const std::wstring& path) {
    const DWORD error = GetLastError();
    std::wstring text = path + L": ";
    wchar_t* words = nullptr;
    if (FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                           FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&words), 0, nullptr)) {
        text += words;
        LocalFree(words);
    } else {
        text += L"error " + std::to_wstring(error);
    }
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    return text;
}

bool write_all(HANDLE file, const std::vector<std::uint8_t>& image) {
    DWORD written = 0;
    const DWORD size = DWORD(image.size());
    if (!WriteFile(file, image.data(), size, &written, nullptr)) return false;
    if (written == size) return true;
    SetLastError(ERROR_DISK_FULL);
    return false;
}

} // namespace

unique_handle open_settings_file(const wchar_t* path) {
    return unique_handle(
        CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr));
}

settings_read_t read_settings_file(HANDLE file, const std::wstring& path) {
    settings_read_t read{read_whole(file), 0};
    if (path.empty()) return read;
    const std::wstring backup_path = path + L".bak";
    std::vector<std::uint8_t> backup;
    {
        const unique_handle kept(CreateFileW(backup_path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                             nullptr, OPEN_EXISTING, 0, nullptr));
        if (!valid_handle(kept)) return read;
        backup = read_whole(kept.get());
    }
    read.generation = last_generation(read.bytes, backup);
    // The next save writes the file whole and deletes the backup then.
    if (backup_is_newer(read.bytes, backup))
        read.bytes = std::move(backup);
    else
        DeleteFileW(backup_path.c_str());
    return read;
}

std::wstring write_settings_file(HANDLE file, const std::wstring& path,
                                 const std::vector<std::uint8_t>& image) {
    const std::wstring backup_path = path.empty() ? std::wstring() : path + L".bak";
    std::wstring backup_failed;
    if (!backup_path.empty()) {
        const unique_handle backup(
            CreateFileW(backup_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        if (!valid_handle(backup) || !write_all(backup.get(), image) ||
            !FlushFileBuffers(backup.get()))
            backup_failed = failure(backup_path);
    }
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    if (!write_all(file, image) || !FlushFileBuffers(file)) {
        std::wstring text = failure(path.empty() ? L"the settings file" : path);
        if (!backup_failed.empty()) text += L"\n" + backup_failed;
        return text;
    }
    // Only a write that did not end leaves the backup: a stale one never shadows a file
    // written since, by this version or an older one.
    if (!backup_path.empty()) DeleteFileW(backup_path.c_str());
    return {};
}
