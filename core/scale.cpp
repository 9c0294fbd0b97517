#include "core/scale.h"

namespace {

int rounded_ratio(long long numerator, long long denominator) {
    const long long half = denominator / 2;
    return static_cast<int>(numerator >= 0 ? (numerator + half) / denominator
                                           : -((-numerator + half) / denominator));
}

} // namespace

int scaled(int length, int dpi) {
    return rounded_ratio(static_cast<long long>(length) * dpi, BASE_DPI);
}

int unscaled(int pixels, int dpi) {
    return dpi > 0 ? rounded_ratio(static_cast<long long>(pixels) * BASE_DPI, dpi) : pixels;
}
