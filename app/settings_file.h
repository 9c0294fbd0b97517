#pragma once
// Reading and writing the one open settings file, g_settings.
#include <cstdint>
#include <vector>

long long settings_file_size();

// The whole file, from offset 0 (at most a bound that no real file comes near).
std::vector<std::uint8_t> read_settings_file();

// One write of the whole image from offset 0. The file is never truncated, so a shorter
// save leaves the tail of a longer one behind, which readers never reach.
void write_settings_file(const std::vector<std::uint8_t>& image);
