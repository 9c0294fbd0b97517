#include "win/surface.h"

#include <algorithm>

namespace {

// A DIB section rather than a device-dependent bitmap: its pixels are the process's own
// pages, given back whole when it goes. (Under Wine a window's worth of device-dependent
// pixels comes from the C heap, whose allocator then keeps every later window's memory
// after the window closes.)
HBITMAP new_bitmap(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down, as the screen
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

// Long enough that scrolling, hovering and typing keep their pixels; short enough that a
// window at rest holds none of them.
constexpr UINT_PTR REST_TIMER = 0x5EF;
constexpr UINT REST_MS = 3000;

} // namespace

surface_t::surface_t(HWND window, HFONT font, bool transparent) {
    RECT client;
    GetClientRect(window, &client);
    mem_dc = CreateCompatibleDC(nullptr);
    own_font = SelectObject(mem_dc, font);
    if (transparent) SetBkMode(mem_dc, TRANSPARENT);
    resize(std::max<int>(client.right, 1), std::max<int>(client.bottom, 1));
}

surface_t::~surface_t() {
    if (mem_dc && own_font) SelectObject(mem_dc, own_font);
    // The DC first, so the bitmap is no longer selected when it goes.
    if (mem_dc) DeleteDC(mem_dc);
    if (mem_bitmap) DeleteObject(mem_bitmap);
}

void surface_t::resize(int width, int height) {
    HBITMAP fresh = mem_dc && width > 0 && height > 0 ? new_bitmap(width, height) : nullptr;
    if (!fresh) return;
    HGDIOBJ was = SelectObject(mem_dc, fresh);
    if (mem_bitmap)
        DeleteObject(was);
    else
        own_bitmap = was;
    mem_bitmap = fresh;
}

void surface_t::use_font(HFONT font) {
    if (mem_dc) SelectObject(mem_dc, font);
}

void surface_t::paint_window(HWND window) const {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    const RECT& r = ps.rcPaint;
    BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, mem_dc, r.left, r.top, SRCCOPY);
    EndPaint(window, &ps);
    SetTimer(window, REST_TIMER, REST_MS, nullptr);
}

bool surface_t::on_timer(HWND window, WPARAM id) {
    if (id != REST_TIMER) return false;
    KillTimer(window, REST_TIMER);
    if (mem_bitmap) {
        SelectObject(mem_dc, own_bitmap);
        DeleteObject(mem_bitmap);
        mem_bitmap = nullptr;
    }
    return true;
}
