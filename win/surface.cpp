#include "win/surface.h"

surface_t::surface_t(HWND window, HFONT font, bool transparent) {
    HDC window_dc = GetDC(window);
    RECT client;
    GetClientRect(window, &client);
    mem_dc = CreateCompatibleDC(nullptr);
    SelectObject(mem_dc, font);
    if (transparent) SetBkMode(mem_dc, TRANSPARENT);
    mem_bitmap = CreateCompatibleBitmap(window_dc, client.right, client.bottom);
    DeleteObject(SelectObject(mem_dc, mem_bitmap));
    ReleaseDC(window, window_dc);
}

surface_t::~surface_t() {
    // The DC first, so the bitmap is no longer selected when it goes.
    if (mem_dc) DeleteDC(mem_dc);
    if (mem_bitmap) DeleteObject(mem_bitmap);
}

void surface_t::resize(HWND window, int width, int height) {
    HDC window_dc = GetDC(window);
    HBITMAP fresh =
        width > 0 && height > 0 ? CreateCompatibleBitmap(window_dc, width, height) : nullptr;
    ReleaseDC(window, window_dc);
    if (!fresh) return;
    mem_bitmap = fresh;
    DeleteObject(SelectObject(mem_dc, mem_bitmap));
}

void surface_t::paint_window(HWND window) const {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    const RECT& r = ps.rcPaint;
    BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, mem_dc, r.left, r.top, SRCCOPY);
    EndPaint(window, &ps);
}
