#pragma once
// The off-screen surface of a custom-drawn view: a memory DC with the UI font and a
// bitmap of the view's size. Painting draws there; WM_PAINT only copies from it. A view
// left alone for a while lets its pixels go, and the next WM_PAINT draws them anew.
#include <windows.h>

#include <utility>

struct surface_t {
    HDC mem_dc = nullptr;
    HBITMAP mem_bitmap = nullptr;

    surface_t() = default;
    // The memory DC (`font` selected, `transparent` background mode if asked) and a
    // bitmap of the window's client size selected into it.
    surface_t(HWND window, HFONT font, bool transparent);
    ~surface_t();
    surface_t(const surface_t&) = delete;
    surface_t& operator=(const surface_t&) = delete;
    surface_t& operator=(surface_t&& other) noexcept {
        std::swap(mem_dc, other.mem_dc);
        std::swap(mem_bitmap, other.mem_bitmap);
        std::swap(own_font, other.own_font);
        std::swap(own_bitmap, other.own_bitmap);
        return *this;
    }

    // Draws with `font` from now on. The DC's own font goes back in before the DC goes,
    // so that the caller may delete its font afterwards: a font still selected into a DC
    // cannot be deleted.
    void use_font(HFONT font);

    // Selects a new width × height bitmap and deletes the old one. A size no bitmap can
    // be made for keeps the old one.
    void resize(int width, int height);

    // Whether the pixels are there; without them, the view draws before WM_PAINT copies.
    bool has_pixels() const { return mem_bitmap != nullptr; }

    // WM_PAINT: copies the window's invalid rectangle from the surface, and sets the time
    // after which, the window left alone, the pixels go.
    void paint_window(HWND window) const;
    // WM_TIMER: true when it was the surface's, whose pixels went.
    bool on_timer(HWND window, WPARAM id);

private:
    HGDIOBJ own_font = nullptr;   // the one the DC came with
    HGDIOBJ own_bitmap = nullptr; // likewise
};
