#pragma once
// One settings file and the backup beside it (the file's path and ".bak"): opened, read
// as a start restores it, written as a save. Nothing here knows the process's state.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "win/handle.h"

// Held for reading and writing and shared with no one, created empty when missing;
// INVALID_HANDLE_VALUE when it cannot be opened.
unique_handle open_settings_file(const wchar_t* path);

// What a start restores: the file's bytes from offset 0 (at most a bound no real file
// comes near), or the backup's where it holds the later save, and the number of the last
// save either holds. A backup that holds no later save is deleted here: one whose delete
// failed at a save (a scanner held it) goes now.
struct settings_read_t {
    std::vector<std::uint8_t> bytes;
    std::uint64_t generation = 0;
};
settings_read_t read_settings_file(HANDLE file, const std::wstring& path);

// A save, safe against a cut at any point: the image whole into the backup and flushed,
// then with one write from offset 0 into the file (never truncated: a shorter save leaves
// the tail of a longer one behind, which readers never reach) and flushed, then the
// backup deleted. A backup that cannot be made (a folder of its name, a read-only file, a
// full disk) does not stop the file from being written in place: its trailer's checksum
// tells a cut write. Empty when the file was written; else which file failed, and why.
std::wstring write_settings_file(HANDLE file, const std::wstring& path,
                                 const std::vector<std::uint8_t>& image);
