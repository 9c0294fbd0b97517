#include "core/rows.h"

namespace {
// The scroll bar's request codes.
enum { LINEUP, LINEDOWN, PAGEUP, PAGEDOWN, THUMBPOSITION, THUMBTRACK, TOP, BOTTOM };
constexpr int PAGE = 2;

int clamp(int v, int lo, int hi) {
    return v < lo ? lo : v > hi ? hi : v;
}
} // namespace

int scroll_request(int code, int p, int max, int thumb) {
    switch (code) {
    case LINEUP:
        return p != 0 ? p - 1 : p;
    case LINEDOWN:
        return p < max ? p + 1 : p;
    case PAGEUP:
        return p - PAGE < 0 ? 0 : p - PAGE;
    case PAGEDOWN:
        return p + PAGE > max ? max : p + PAGE;
    case THUMBPOSITION:
    case THUMBTRACK:
        return thumb;
    case TOP:
        return 0;
    case BOTTOM:
        return max;
    default:
        return p;
    }
}

int wheel_t::position(int p, int delta, int max) {
    // Turning back the other way starts afresh.
    if ((rest < 0) != (delta < 0)) rest = 0;
    rest += delta;
    const int notches = rest / 120;
    rest -= notches * 120;
    return clamp(p - notches, 0, max);
}
