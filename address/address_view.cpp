#include "address/address_view.h"

#include <shlobj.h>

#include "app/app.h"
#include "app/main_window.h"
#include "app/surface.h"
#include "fault/fatal.h"
#include "fault/fatal_sites.h"
#include "tree/fill.h"

address_view_t::address_view_t(main_window_t* owner) : mw(owner) {
    fatal_function(FUNC_ADDRESS_VIEW);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = window_proc;
    wc.cbClsExtra = 4;
    wc.cbWndExtra = 4;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"address_view";
    RegisterClassW(&wc);

    // clang-format off
    fatal_check(handle = ::CreateWindowExW ( 0, L"address_view" , L"", WS_CHILD, 300 , 0 , 1024 , 24 , mw->handle , NULL, ::GetModuleHandle(NULL) , NULL ));
    // clang-format on
    SetWindowLongPtrW(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ShowWindow(handle, SW_SHOW);

    create_surface(handle, mem_dc, mem_bitmap, false);

    // clang-format off
    fatal_check(SUCCEEDED ( ::SHGetDesktopFolder( &desktop ) ));
    // clang-format on

    edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_BORDER | ES_WANTRETURN | ES_MULTILINE, 0,
                           0, 1024, 240, handle, reinterpret_cast<HMENU>(1), instance, nullptr);
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(g_font), FALSE);

    ITEMIDLIST* drives = nullptr;
    SHGetSpecialFolderLocation(handle, CSIDL_DRIVES, &drives);
    pidl.reset(drives);
    paint();
}

address_view_t::~address_view_t() {
    names.clear();
    pidl.reset();
    desktop.Reset();
    destroy_surface(mem_dc, mem_bitmap);
    SetWindowLongPtrW(handle, GWLP_USERDATA, 0);
    DestroyWindow(edit);
    DestroyWindow(handle);
}

LRESULT CALLBACK address_view_t::window_proc(HWND window, UINT message, WPARAM wparam,
                                             LPARAM lparam) {
    auto* self = reinterpret_cast<address_view_t*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wparam, lparam);
    return self->on_message(message, wparam, lparam);
}

LRESULT address_view_t::on_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_PAINT:
        paint_from_surface(handle, mem_dc);
        return 0;
    }
    return DefWindowProcW(handle, message, wparam, lparam);
}

void address_view_t::set_folder(const ITEMIDLIST* list) {
    ShowWindow(edit, SW_HIDE);
    names.clear();
    rects.clear();
    pidl = idlist_copy(list);
    paint();
}

void address_view_t::resize(int width, int x) {
    resize_surface(handle, mem_dc, mem_bitmap, width, 20);
    MoveWindow(edit, 0, 0, width, 240, TRUE);
    MoveWindow(handle, x, 0, width, 20, TRUE);
    paint();
}

void address_view_t::paint() {
    RECT client;
    GetClientRect(handle, &client);
    const color_t white{1.0f, 1.0f, 1.0f};
    gradient_rect(mem_dc, client, white, white);
    InvalidateRect(handle, nullptr, TRUE);
}
