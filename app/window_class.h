#pragma once
// What the program's three window classes share: registration, and a static window
// procedure that hands each message to the object stored in GWLP_USERDATA.
#include <windows.h>

// Registers a class of ours with the arrow cursor; registering it again, as every new
// main window does, fails without harm.
void register_class(const wchar_t* name, WNDPROC procedure, HICON icon, HBRUSH background,
                    int extra_bytes);

// Until the object is stored (the messages of window creation) and after it is gone,
// messages get the default handling.
template <class T>
LRESULT forward_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wparam, lparam);
    return self->on_message(message, wparam, lparam);
}
