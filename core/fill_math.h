#pragma once
// The arithmetic behind the two fill helpers, apart from GDI.
#include <cstdint>

struct color_t {
    float r, g, b;
};

// A float channel as the gradient primitive's 16-bit channel: times 65535 in extended
// precision, truncated toward zero to 32 bits, low half kept. 0.5 gives 32767.
std::uint16_t channel16(float value);

// Triangle points travel packed: x in the low 16 bits, y in the high 16 bits.
std::uint32_t pack_point(int x, int y);
int point_x(std::uint32_t packed);
int point_y(std::uint32_t packed);
