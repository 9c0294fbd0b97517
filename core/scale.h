#pragma once
// Lengths are designed at 96 DPI; on screens of another scale each is that length scaled,
// rounded one way everywhere, so that what is painted and what a click hits agree.

constexpr int BASE_DPI = 96;

// To the nearest pixel, halves away from zero. At 96 DPI every length is unchanged.
int scaled(int length, int dpi);

// Pixels back to 96-DPI units, rounded the same way.
int unscaled(int pixels, int dpi);
