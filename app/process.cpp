#include "app/process.h"

#include "core/scale.h"

unique_font g_font;
theme_t (*g_read_theme)() = read_theme;

HFONT create_ui_font(int dpi) {
    return CreateFontW(scaled(18, dpi), 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_NATURAL_QUALITY,
                       DEFAULT_PITCH, L"\u30e1\u30a4\u30ea\u30aa");
}

int window_dpi(HWND window) {
    // Looked up: older systems lack it and keep one scale for all.
    using per_window_t = UINT(WINAPI*)(HWND);
    static const auto per_window = reinterpret_cast<per_window_t>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32"), "GetDpiForWindow")));
    if (per_window)
        if (const UINT dpi = per_window(window)) return int(dpi);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : BASE_DPI;
}
