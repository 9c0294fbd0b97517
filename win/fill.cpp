#include "win/fill.h"

namespace {

TRIVERTEX vertex(int x, int y, color_t c) {
    return {x, y, channel16(c.r), channel16(c.g), channel16(c.b), 0};
}

} // namespace

void gradient_rect(HDC dc, const RECT& rect, color_t top, color_t bottom) {
    TRIVERTEX v[2] = {vertex(rect.left, rect.top, top), vertex(rect.right, rect.bottom, bottom)};
    GRADIENT_RECT mesh{0, 1};
    GdiGradientFill(dc, v, 2, &mesh, 1, GRADIENT_FILL_RECT_V);
}

void fill_triangle(HDC dc, color_t color, std::uint32_t p0, std::uint32_t p1, std::uint32_t p2) {
    TRIVERTEX v[3] = {vertex(point_x(p0), point_y(p0), color),
                      vertex(point_x(p1), point_y(p1), color),
                      vertex(point_x(p2), point_y(p2), color)};
    GRADIENT_TRIANGLE mesh{0, 1, 2};
    GdiGradientFill(dc, v, 3, &mesh, 1, GRADIENT_FILL_TRIANGLE);
}
