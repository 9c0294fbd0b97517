#include "app/surface.h"

#include "app/app.h"

void create_surface(HWND window, HDC& mem_dc, HBITMAP& mem_bitmap, bool transparent) {
    HDC window_dc = GetDC(window);
    RECT client;
    GetClientRect(window, &client);
    mem_dc = CreateCompatibleDC(nullptr);
    SelectObject(mem_dc, g_font);
    if (transparent) SetBkMode(mem_dc, TRANSPARENT);
    mem_bitmap = CreateCompatibleBitmap(window_dc, client.right, client.bottom);
    DeleteObject(SelectObject(mem_dc, mem_bitmap));
    ReleaseDC(window, window_dc);
}

void resize_surface(HWND window, HDC mem_dc, HBITMAP& mem_bitmap, int width, int height) {
    HDC window_dc = GetDC(window);
    HBITMAP fresh =
        width > 0 && height > 0 ? CreateCompatibleBitmap(window_dc, width, height) : nullptr;
    ReleaseDC(window, window_dc);
    if (!fresh) return;
    mem_bitmap = fresh;
    DeleteObject(SelectObject(mem_dc, mem_bitmap));
}

void destroy_surface(HDC& mem_dc, HBITMAP& mem_bitmap) {
    DeleteDC(mem_dc);
    DeleteObject(mem_bitmap);
    mem_dc = nullptr;
    mem_bitmap = nullptr;
}

void paint_from_surface(HWND window, HDC mem_dc) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    const RECT& r = ps.rcPaint;
    BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, mem_dc, r.left, r.top, SRCCOPY);
    EndPaint(window, &ps);
}
