#pragma once
// What the program's window classes share: registration, and a static window procedure
// that hands each message to the object the window was created for.
#include <windows.h>

// Registers a class of ours with the arrow cursor; registering it again, as every new
// window of the class does, fails without harm.
void register_class(const wchar_t* name, WNDPROC procedure, HICON icon, HBRUSH background,
                    int extra_bytes);

// The object given to CreateWindowExW as its creation parameter is stored at
// WM_NCCREATE, with its `handle`, and dropped at WM_NCDESTROY; a type whose window owns
// it (`T::owned_by_window`) is freed then. Messages without an object get the default
// handling.
template <class T>
LRESULT forward_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* created = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        created->handle = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* self = reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wparam, lparam);
    if (message != WM_NCDESTROY) return self->on_message(message, wparam, lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->handle = nullptr;
    if constexpr (T::owned_by_window) delete self;
    return DefWindowProcW(window, message, wparam, lparam);
}
