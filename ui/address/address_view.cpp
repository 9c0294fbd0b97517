#include "ui/address/address_view.h"

#include <shlobj.h>
#include <shlwapi.h>

#include "core/segments.h"
#include "fault/fatal.h"
#include "win/fill.h"
#include "win/window_class.h"

address_view_t::address_view_t(HWND parent, HFONT ui_font, pane_host_t pane_host)
    : host(std::move(pane_host)), font(ui_font) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    register_class(L"address_view", window_proc, LoadIconW(nullptr, IDI_APPLICATION),
                   static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)), 4);
    CreateWindowExW(0, L"address_view", L"", WS_CHILD, 300, 0, 1024, 24, parent, nullptr, instance,
                    this);
    fatal_check(handle != nullptr, fatal_sites::address_window);
    ShowWindow(handle, SW_SHOW);

    surface = surface_t(handle, font, false);

    fatal_check(SUCCEEDED(SHGetDesktopFolder(&desktop)), fatal_sites::address_desktop);

    edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_BORDER | ES_WANTRETURN | ES_MULTILINE, 0,
                           0, 1024, 240, handle, reinterpret_cast<HMENU>(1), instance, nullptr);
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    ITEMIDLIST* drives = nullptr;
    SHGetSpecialFolderLocation(handle, CSIDL_DRIVES, &drives);
    pidl.reset(drives);
    if (pidl) {
        // The start segment keeps the rectangle exactly as measured.
        names.push_back(display_name_of(desktop.Get(), pidl.get()));
        RECT r{0, 0, 0, 24};
        measure(names.back().get(), r);
        rects.push_back(r);
    }
    paint();
}

void address_view_t::measure(const wchar_t* name, RECT& r) const {
    if (name) DrawTextW(surface.mem_dc, name, -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_VCENTER);
}

address_view_t::~address_view_t() {
    // Usually gone with its parent already; otherwise it must not outlive this object.
    if (handle) DestroyWindow(handle);
}

LRESULT CALLBACK address_view_t::window_proc(HWND window, UINT message, WPARAM wparam,
                                             LPARAM lparam) {
    return forward_message<address_view_t>(window, message, wparam, lparam);
}

LRESULT address_view_t::on_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_PAINT:
        surface.paint_window(handle);
        return 0;
    case WM_LBUTTONDOWN:
        click(static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)));
        break;
    case WM_COMMAND:
        if (LOWORD(wparam) == 1 && HIWORD(wparam) == EN_UPDATE) text_changed();
        break;
    }
    return DefWindowProcW(handle, message, wparam, lparam);
}

void address_view_t::set_folder(const ITEMIDLIST* list) {
    ShowWindow(edit, SW_HIDE);
    // Copied before the old list goes, so the bar's own list may be passed back in.
    task_idlist copy = idlist_copy(list);
    names.clear();
    rects.clear();
    pidl = std::move(copy);
    if (pidl) {
        // Each prefix is named in place: a terminator written after item k turns the
        // one copy into the list of the first k + 1 items for a moment.
        auto* bytes = reinterpret_cast<BYTE*>(pidl.get());
        std::vector<int> widths;
        for (std::size_t end = 0; idlist_read_u16(bytes + end) != 0;) {
            end += idlist_read_u16(bytes + end);
            BYTE saved[2] = {bytes[end], bytes[end + 1]};
            bytes[end] = bytes[end + 1] = 0;
            names.push_back(display_name_of(desktop.Get(), pidl.get()));
            RECT r{0, 0, 0, 24};
            measure(names.back().get(), r);
            widths.push_back(r.right);
            bytes[end] = saved[0];
            bytes[end + 1] = saved[1];
        }
        for (const segment_rect_t& r : layout_segments(widths))
            rects.push_back({r.left, r.top, r.right, r.bottom});
    }
    paint();
}

void address_view_t::resize(int width, int x) {
    surface.resize(handle, width, 20);
    MoveWindow(edit, 0, 0, width, 240, TRUE);
    MoveWindow(handle, x, 0, width, 20, TRUE);
    paint();
}

void address_view_t::paint() {
    RECT client;
    GetClientRect(handle, &client);
    const color_t white{1.0f, 1.0f, 1.0f}, black{0.0f, 0.0f, 0.0f};
    gradient_rect(surface.mem_dc, client, white, white);
    for (std::size_t i = 0; i < names.size(); ++i) {
        RECT r = rects[i];
        if (names[i]) DrawTextW(surface.mem_dc, names[i].get(), -1, &r, DT_SINGLELINE | DT_VCENTER);
        const int R = rects[i].right;
        fill_triangle(surface.mem_dc, black, pack_point(R + 5, 5), pack_point(R + 5, 15),
                      pack_point(R + 10, 10));
    }
    InvalidateRect(handle, nullptr, TRUE);
}

void address_view_t::click(int x, int y) {
    std::vector<segment_rect_t> hit_rects;
    for (const RECT& r : rects) hit_rects.push_back({r.left, r.top, r.right, r.bottom});
    const int i = segment_at(hit_rects, x, y);
    if (i >= 0) {
        const task_idlist prefix = idlist_prefix(pidl.get(), std::size_t(i) + 1);
        if (prefix) host.browse(prefix.get());
        return;
    }
    wchar_t path[MAX_PATH] = L"";
    if (!pidl || !SHGetPathFromIDListW(pidl.get(), path)) path[0] = 0;
    SetWindowTextW(edit, path);
    ShowWindow(edit, SW_SHOW);
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetFocus(edit);
}

void address_view_t::text_changed() {
    wchar_t text[MAX_PATH] = L"";
    GetWindowTextW(edit, text, MAX_PATH);
    const auto path = typed_path(reinterpret_cast<const char16_t*>(text));
    if (!path) return;
    ShowWindow(edit, SW_HIDE);
    const task_idlist list =
        parse_display_name(desktop.Get(), reinterpret_cast<const wchar_t*>(path->c_str()));
    if (list) host.browse(list.get());
}
