#include "tree/tree_view.h"

#include <shlobj.h>

#include "app/main_window.h"
#include "app/surface.h"
#include "fault/fatal.h"
#include "fault/fatal_sites.h"
#include "tree/fill.h"

tree_view_t::tree_view_t(main_window_t* owner) : mw(owner) {
    fatal_function(FUNC_TREE_VIEW);
    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = window_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"tree_view";
    RegisterClassW(&wc);

    // clang-format off
    fatal_check(handle = ::CreateWindowExW ( WS_EX_LEFTSCROLLBAR, L"tree_view" , L"", WS_CHILD|WS_VSCROLL, 0 , 0 , 100 , 768 , mw->handle , NULL, ::GetModuleHandle(NULL) , NULL ));
    // clang-format on
    SetWindowLongPtrW(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

    scroll_info.cbSize = sizeof scroll_info;
    scroll_info.fMask = SIF_RANGE | SIF_PAGE;
    scroll_info.nMin = 0;
    scroll_info.nMax = 9;
    scroll_info.nPage = 2;
    scroll_info.nPos = 0;
    SetScrollInfo(handle, SB_VERT, &scroll_info, TRUE);
    ShowWindow(handle, SW_SHOW);

    create_surface(handle, mem_dc, mem_bitmap, true);

    // clang-format off
    fatal_check(SUCCEEDED ( ::SHGetDesktopFolder( &desktop_sf ) ));
    // clang-format on
    paint();
}

tree_view_t::~tree_view_t() {
    // The window outlives this object until its parent goes.
    SetWindowLongPtrW(handle, GWLP_USERDATA, 0);
    destroy_surface(mem_dc, mem_bitmap);
}

LRESULT CALLBACK tree_view_t::window_proc(HWND window, UINT message, WPARAM wparam,
                                          LPARAM lparam) {
    auto* self = reinterpret_cast<tree_view_t*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wparam, lparam);
    return self->on_message(message, wparam, lparam);
}

LRESULT tree_view_t::on_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_PAINT:
        paint_from_surface(handle, mem_dc);
        return 0;
    }
    return DefWindowProcW(handle, message, wparam, lparam);
}

void tree_view_t::paint() {
    RECT client;
    GetClientRect(handle, &client);
    const color_t white{1.0f, 1.0f, 1.0f};
    gradient_rect(mem_dc, client, white, white);
    InvalidateRect(handle, nullptr, TRUE);
}

void tree_view_t::resize(int width, int height) {
    resize_surface(handle, mem_dc, mem_bitmap, width, height);
    MoveWindow(handle, 0, 0, width, height, TRUE);
    paint();
}

void tree_view_t::show_folder(const ITEMIDLIST*) {
    paint();
}

void tree_view_t::save_expanded(std::vector<std::uint8_t>& image) {
    put_i32(image, 0);
}

void tree_view_t::load_expanded(const std::vector<byte_list>&) {
    paint();
}
