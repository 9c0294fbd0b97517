#include "core/fill_math.h"

std::uint16_t channel16(float value) {
    const long double scaled = static_cast<long double>(value) * 65535.0L;
    // Beyond 64 bits (or NaN) the conversion would be undefined; no caller goes there.
    if (!(scaled > -9.2e18L && scaled < 9.2e18L)) return 0;
    // Out-of-range floats wrap as the 32-bit truncation does.
    const auto wide = static_cast<std::int64_t>(scaled);
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(wide));
}

std::uint32_t pack_point(int x, int y) {
    return static_cast<std::uint16_t>(x) | static_cast<std::uint32_t>(static_cast<std::uint16_t>(y))
                                               << 16;
}

int point_x(std::uint32_t packed) {
    return static_cast<std::int16_t>(packed & 0xFFFF);
}

int point_y(std::uint32_t packed) {
    return static_cast<std::int16_t>(packed >> 16);
}
