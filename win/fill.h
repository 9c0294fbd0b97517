#pragma once
// The two fills through which every shape of ours is painted.
#include <windows.h>

#include <cstdint>

#include "core/fill_math.h"

// A vertical gradient over left ≤ x < right, top ≤ y < bottom.
void gradient_rect(HDC dc, const RECT& rect, color_t top, color_t bottom);

// A solid triangle; each point is packed as x in the low and y in the high 16 bits.
void fill_triangle(HDC dc, color_t color, std::uint32_t p0, std::uint32_t p1, std::uint32_t p2);
