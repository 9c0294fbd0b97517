#include "win/window_class.h"

void register_class(const wchar_t* name, WNDPROC procedure, HICON icon, HBRUSH background,
                    int extra_bytes) {
    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = procedure;
    wc.cbClsExtra = extra_bytes;
    wc.cbWndExtra = extra_bytes;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hIcon = icon;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    RegisterClassW(&wc);
}
