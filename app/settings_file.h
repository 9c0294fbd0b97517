#pragma once
// Reading and writing the one open settings file, g_settings.
#include <cstdint>
#include <vector>

long long settings_file_size();

// The whole file, from offset 0 (at most a bound that no real file comes near). When it
// is not one whole save (a write cut off midway) and the backup beside it is, the
// backup's.
std::vector<std::uint8_t> read_settings_file();

// The image first whole into the backup beside the file, then with one write from
// offset 0 into the file (never truncated: a shorter save leaves the tail of a longer one
// behind, which readers never reach), then the backup deleted. False when either write
// fell short; the file is then not touched when the backup could not be written.
bool write_settings_file(const std::vector<std::uint8_t>& image);
