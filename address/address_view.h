#pragma once
// The address bar: the current folder as a row of segments, and a path editor.
#include <windows.h>
#include <shobjidl.h>

#include <vector>

#include <wrl/client.h>

#include "app/com.h"

struct main_window_t;

struct address_view_t {
    main_window_t* mw;
    Microsoft::WRL::ComPtr<IShellFolder> desktop;
    task_idlist pidl;
    HWND handle = nullptr;
    HDC mem_dc = nullptr;
    HBITMAP mem_bitmap = nullptr;
    HWND edit = nullptr;
    std::vector<task_string> names;
    std::vector<RECT> rects;

    explicit address_view_t(main_window_t* owner);
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
