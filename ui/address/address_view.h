#pragma once
// The address bar: the current folder as a row of segments, and a path editor.
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <vector>

#include "ui/pane_host.h"
#include "win/com.h"
#include "win/surface.h"

struct address_view_t {
    static constexpr bool owned_by_window = false; // its main window owns it

    pane_host_t host;
    HFONT font;
    Microsoft::WRL::ComPtr<IShellFolder> desktop;
    task_idlist pidl;
    HWND handle = nullptr;
    surface_t surface;
    HWND edit = nullptr;
    std::vector<task_string> names;
    std::vector<RECT> rects;

    address_view_t(HWND parent, HFONT ui_font, pane_host_t pane_host);
    ~address_view_t();
    address_view_t(const address_view_t&) = delete;
    address_view_t& operator=(const address_view_t&) = delete;

    static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT on_message(UINT message, WPARAM wparam, LPARAM lparam);

    void set_folder(const ITEMIDLIST* list);
    void resize(int width, int x);
    void paint();

private:
    void measure(const wchar_t* name, RECT& r) const;
    void click(int x, int y);
    void text_changed();
};
