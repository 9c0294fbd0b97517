#pragma once
// The off-screen surface of a custom-drawn view: a memory DC with the UI font and a
// bitmap of the view's size. Painting draws there; WM_PAINT only copies from it.
#include <windows.h>

// Creates the memory DC (g_font selected, `transparent` background mode if asked) and
// a bitmap of the window's client size selected into it.
void create_surface(HWND window, HDC& mem_dc, HBITMAP& mem_bitmap, bool transparent);

// Selects a new width × height bitmap and deletes the old one. A size no bitmap can be
// made for keeps the old one.
void resize_surface(HWND window, HDC mem_dc, HBITMAP& mem_bitmap, int width, int height);

// Deletes the DC first, so the bitmap is no longer selected when it goes.
void destroy_surface(HDC& mem_dc, HBITMAP& mem_bitmap);

// WM_PAINT: copies the invalid rectangle from the surface.
void paint_from_surface(HWND window, HDC mem_dc);
