#include "app/main_window.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>

#include "address/address_view.h"
#include "app/app.h"
#include "app/ebe.h"
#include "app/handover.h"
#include "app/layout.h"
#include "app/window_class.h"
#include "fault/fatal.h"
#include "fault/fatal_sites.h"
#include "tree/fill.h"
#include "tree/tree_view.h"

namespace {

int client_width(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    return r.right;
}

LONGLONG settings_size() {
    LARGE_INTEGER size{};
    GetFileSizeEx(g_settings, &size);
    return size.QuadPart;
}

} // namespace

main_window_t::main_window_t() {
    fatal_function(FUNC_MAIN_WINDOW);
    // No background brush: the panes and the bar cover the whole client area.
    register_class(L"main_window", window_proc, LoadIconW(GetModuleHandleW(nullptr), L"ZELVON"),
                   nullptr, 4);

    // clang-format off
    fatal_check(handle = ::CreateWindowW ( L"main_window" , L"zelvon", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT , CW_USEDEFAULT , 1024 , 768 , NULL , NULL, ::GetModuleHandle(NULL) , NULL ));
    // clang-format on
    SetWindowLongPtrW(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

    tree = new tree_view_t(this);
    address = new address_view_t(this);

    // clang-format off
    fatal_check(SUCCEEDED ( CoCreateInstance(CLSID_ExplorerBrowser, NULL, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&(eb))) ));
    // clang-format on
    RECT initial{300, 20, 1000, 768};
    FOLDERSETTINGS folder_settings{static_cast<UINT>(FVM_AUTO), 0};
    eb->Initialize(handle, &initial, &folder_settings);

    ebe = new ebe_t(this);
    eb->Advise(ebe, &ebe->cookie);

    // clang-format off
    fatal_check(SUCCEEDED ( IUnknown_GetWindow( eb, &eb_handle ) ));
    // clang-format on
    SetWindowLongW(eb_handle, GWL_STYLE, GetWindowLongW(eb_handle, GWL_STYLE) & ~WS_BORDER);

    main_windows.push_back(this);

    if (settings_size() == 0)
        browse_to_desktop();
    else
        load_settings();

    ShowWindow(handle, SW_SHOW);
}

main_window_t::~main_window_t() {
    auto self = std::find(main_windows.begin(), main_windows.end(), this);
    if (self != main_windows.end()) main_windows.erase(self);

    delete tree;
    delete address;

    eb->Unadvise(ebe->cookie);
    eb->Release();
    ebe->Release();

    // What the window still receives while it goes is no longer this object's.
    SetWindowLongPtrW(handle, GWLP_USERDATA, 0);
    DestroyWindow(handle);
}

void main_window_t::browse_to_desktop() {
    ITEMIDLIST* desktop = nullptr;
    SHGetKnownFolderIDList(FOLDERID_Desktop, 0, nullptr, &desktop);
    eb->BrowseToIDList(desktop, 0);
    ILFree(desktop);
}

LRESULT CALLBACK main_window_t::window_proc(HWND window, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
    return forward_message<main_window_t>(window, message, wparam, lparam);
}

void main_window_t::layout() {
    RECT client;
    GetClientRect(handle, &client);
    const main_layout_t l = layout_main_window(client.right, client.bottom, split);
    tree->resize(l.tree.width, l.tree.height);
    address->resize(l.address.width, l.address.x);
    MoveWindow(eb_handle, l.browser.x, l.browser.y, l.browser.width, l.browser.height, TRUE);
}

LRESULT main_window_t::on_message(UINT message, WPARAM wparam, LPARAM lparam) {
    const int x = static_cast<short>(LOWORD(lparam));
    switch (message) {
    case WM_SIZE:
        layout();
        save_settings();
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(handle, &ps);
        RECT client;
        GetClientRect(handle, &client);
        const pane_rect_t b = layout_main_window(client.right, client.bottom, split).bar;
        const color_t grey{0.9f, 0.9f, 0.9f};
        gradient_rect(dc, RECT{b.x, b.y, b.x + b.width, b.y + b.height}, grey, grey);
        EndPaint(handle, &ps);
        break;
    }
    case WM_CLOSE:
        delete this;
        if (main_windows.empty()) PostQuitMessage(0);
        return 0;
    case WM_MOUSEMOVE:
        if (on_splitter(x, split, client_width(handle))) {
            TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, handle, 0};
            _TrackMouseEvent(&tme);
            SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
        }
        if (dragging) {
            split = splitter_in_reach(x, client_width(handle));
            SendMessageW(handle, WM_SIZE, 0, 0);
        }
        break;
    case WM_LBUTTONDOWN:
        if (on_splitter(x, split, client_width(handle))) {
            dragging = true;
            SetCapture(handle);
        }
        break;
    case WM_LBUTTONUP:
        if (dragging) {
            dragging = false;
            ReleaseCapture();
            save_settings();
        }
        break;
    case WM_MOUSELEAVE:
        SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
        break;
    case WM_NEW_WINDOW: {
        // Complete and restored from the settings before the path is looked at.
        auto* window = new main_window_t;
        if (wparam != 0) receive_handover(this, window);
        break;
    }
    }
    return DefWindowProcW(handle, message, wparam, lparam);
}
