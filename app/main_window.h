#pragma once
// One top-level window: the tree, the address bar, the hosted explorer browser and the
// splitter between them. It frees itself on WM_CLOSE.
#include <windows.h>
#include <shobjidl.h>

#include <cstdint>

struct tree_view_t;
struct address_view_t;
struct ebe_t;

struct main_window_t {
    HWND handle = nullptr;
    tree_view_t* tree = nullptr;
    address_view_t* address = nullptr;
    IExplorerBrowser* eb = nullptr;
    ebe_t* ebe = nullptr;
    HWND eb_handle = nullptr;
    std::int32_t split = 300;
    bool dragging = false;

    main_window_t();
    ~main_window_t();
    main_window_t(const main_window_t&) = delete;
    main_window_t& operator=(const main_window_t&) = delete;

    static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT on_message(UINT message, WPARAM wparam, LPARAM lparam);

    void save_settings();
    void load_settings();

    void browse_to_desktop();
    void layout();
};
