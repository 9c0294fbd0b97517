// Saving and restoring a main window through the one open settings file.
#include <windows.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "app/app.h"
#include "app/com.h"
#include "app/ebe.h"
#include "app/main_window.h"
#include "settings/settings_format.h"
#include "tree/tree_view.h"

namespace {

// A settings file is a few hundred bytes; a larger one is damage, and what lies past
// this much is treated as missing.
constexpr DWORD SETTINGS_READ_LIMIT = 16u << 20;

std::vector<std::uint8_t> read_settings_file() {
    LARGE_INTEGER size{};
    GetFileSizeEx(g_settings, &size);
    std::vector<std::uint8_t> bytes(
        static_cast<std::size_t>(std::min<LONGLONG>(size.QuadPart, SETTINGS_READ_LIMIT)));
    SetFilePointer(g_settings, 0, nullptr, FILE_BEGIN);
    DWORD read = 0;
    if (!bytes.empty()) ReadFile(g_settings, bytes.data(), DWORD(bytes.size()), &read, nullptr);
    bytes.resize(read);
    return bytes;
}

} // namespace

void main_window_t::save_settings() {
    RECT r;
    GetWindowRect(handle, &r);
    std::vector<std::uint8_t> image;
    image.reserve(512);
    put_i32(image, SETTINGS_MAGIC);
    put_i32(image, split);
    for (LONG edge : {r.left, r.top, r.right, r.bottom}) put_i32(image, edge);
    write_pidl_record(image, ebe->folder.get());
    tree->save_expanded(image);

    // One write of the whole image from offset 0. The file is never truncated, so a
    // shorter save leaves the tail of a longer one behind, which readers never reach.
    SetFilePointer(g_settings, 0, nullptr, FILE_BEGIN);
    DWORD written = 0;
    WriteFile(g_settings, image.data(), DWORD(image.size()), &written, nullptr);
}

void main_window_t::load_settings() {
    const std::vector<std::uint8_t> bytes = read_settings_file();
    if (bytes.empty()) return;
    const auto saved = decode_settings(bytes.data(), bytes.size());
    if (!saved) {
        // Nothing to restore: start where an empty file starts, so the first save
        // writes a folder that exists.
        browse_to_desktop();
        return;
    }
    split = saved->split;
    const RECT r{saved->rect[0], saved->rect[1], saved->rect[2], saved->rect[3]};
    tree->load_expanded(saved->pins);
    if (saved->folder) {
        task_idlist folder = idlist_from_bytes(*saved->folder);
        eb->BrowseToIDList(folder.get(), 0);
    } else {
        browse_to_desktop();
    }
    // A damaged file may hold any four numbers; their differences must not overflow.
    const auto extent = [](LONG from, LONG to) {
        return static_cast<int>(std::clamp<long long>(static_cast<long long>(to) - from, INT_MIN,
                                                      INT_MAX));
    };
    MoveWindow(handle, r.left, r.top, extent(r.left, r.right), extent(r.top, r.bottom), TRUE);
}
