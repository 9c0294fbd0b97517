#pragma once
// The folder tree pane on the left of a main window.
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <vector>

#include "settings/settings_format.h"

struct main_window_t;

struct tree_view_t {
    main_window_t* mw;
    HWND handle = nullptr;
    SCROLLINFO scroll_info{};
    Microsoft::WRL::ComPtr<IShellFolder> desktop_sf;
    HDC mem_dc = nullptr;
    HBITMAP mem_bitmap = nullptr;

    explicit tree_view_t(main_window_t* owner);
    ~tree_view_t();
    tree_view_t(const tree_view_t&) = delete;
    tree_view_t& operator=(const tree_view_t&) = delete;

    static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT on_message(UINT message, WPARAM wparam, LPARAM lparam);

    void paint();
    void resize(int width, int height);
    void show_folder(const ITEMIDLIST* list);

    // The tree's share of the settings: the pin count and the pinned folders' records.
    void save_expanded(std::vector<std::uint8_t>& image);
    void load_expanded(const std::vector<byte_list>& pins);
};
