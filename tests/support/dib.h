#pragma once
// Pixels read exactly: a 32-bit top-down DIB section in a memory DC of its own, for a test
// to paint into or to copy another DC's image into. Header-only, so that the end-to-end
// driver, which links nothing else of the tests' support, can read the screen with it.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

struct dib_t {
    const int width, height;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = nullptr;
    HGDIOBJ old_bitmap = nullptr;
    std::uint32_t* bits = nullptr; // top-down rows of 0x??RRGGBB; null when none was made

    dib_t(int w, int h) : width(w), height(h) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* raw = nullptr;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &raw, nullptr, 0);
        if (!bitmap) return;
        bits = static_cast<std::uint32_t*>(raw);
        old_bitmap = SelectObject(dc, bitmap);
    }
    ~dib_t() {
        if (bitmap) {
            SelectObject(dc, old_bitmap);
            DeleteObject(bitmap);
        }
        DeleteDC(dc);
    }
    dib_t(const dib_t&) = delete;
    dib_t& operator=(const dib_t&) = delete;
};

// The width by height pixels of `source` from x, y, as top-down rows; empty when no DIB
// could be made to copy them into.
inline std::vector<std::uint32_t> copy_pixels(HDC source, int x, int y, int width, int height) {
    dib_t dib(width, height);
    if (!dib.bits) return {};
    BitBlt(dib.dc, 0, 0, width, height, source, x, y, SRCCOPY);
    GdiFlush();
    return std::vector<std::uint32_t>(dib.bits, dib.bits + std::size_t(width) * height);
}

// A DC's image from its top left corner, kept after the DC has drawn over it.
struct picture_t {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;

    picture_t(HDC source, int w, int h)
        : width(w), height(h), pixels(copy_pixels(source, 0, 0, w, h)) {}

    // 0xRRGGBB.
    std::uint32_t at(int x, int y) const { return pixels[std::size_t(y) * width + x] & 0xFFFFFF; }
    // The grey level of a pixel, or -1 when its channels differ.
    int grey(int x, int y) const {
        const std::uint32_t p = at(x, y);
        const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
        return r == g && g == b ? r : -1;
    }
};

// A 0xRRGGBB pixel's brightness, 0 to 255, as the eye weighs the channels.
inline int luminance(std::uint32_t rgb) {
    return (299 * int(rgb >> 16 & 0xFF) + 587 * int(rgb >> 8 & 0xFF) + 114 * int(rgb & 0xFF)) /
           1000;
}

// A COLORREF (0x00BBGGRR) as a pixel reads (0xRRGGBB).
inline std::uint32_t rgb_of(COLORREF c) {
    return std::uint32_t(GetRValue(c)) << 16 | std::uint32_t(GetGValue(c)) << 8 | GetBValue(c);
}

// A pixel of a window's client area as it shows, once what waits is painted.
inline std::uint32_t shown_pixel(HWND window, int x, int y) {
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    HDC dc = GetDC(window);
    const std::vector<std::uint32_t> p = copy_pixels(dc, x, y, 1, 1);
    ReleaseDC(window, dc);
    return p.empty() ? 0xFF000000 : p[0] & 0xFFFFFF;
}
