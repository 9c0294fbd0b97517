// The floor: the least a program can do to show a folder in the explorer browser, so that
// zelvon's start-up, memory and objects can be set beside what the browser alone costs on
// this machine. One plain top-level window per browser, no panes, no settings file. Run
// under Wine with a display:
//   floor.exe [folder]      shows the folder (default C:\windows) in one window
// The message zelvon opens a new window on (0x800A) opens one more here too, on the same
// folder, so that rounds of windows can be compared; the process ends with its last window.
#include <windows.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <memory>
#include <string>

namespace {

using Microsoft::WRL::ComPtr;

constexpr UINT NEW_WINDOW_MESSAGE = 0x800A;
const wchar_t CLASS_NAME[] = L"floor";

struct floor_window_t {
    ComPtr<IExplorerBrowser> browser;
};

PIDLIST_ABSOLUTE g_folder = nullptr;
int g_open_windows = 0;

floor_window_t* window_object(HWND window) {
    return reinterpret_cast<floor_window_t*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

bool open_window();

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    floor_window_t* self = window_object(window);
    switch (message) {
    case WM_SIZE:
        if (self && self->browser) {
            const RECT client{0, 0, LOWORD(lparam), HIWORD(lparam)};
            self->browser->SetRect(nullptr, client);
        }
        return 0;
    case NEW_WINDOW_MESSAGE:
        return open_window();
    case WM_DESTROY:
        // The browser's view and windows go before the window that holds them.
        if (self && self->browser) self->browser->Destroy();
        if (--g_open_windows == 0) PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        delete self;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

// The same outer size as a first zelvon window, so both browsers list as many rows.
bool open_window() {
    HWND window =
        CreateWindowExW(0, CLASS_NAME, L"floor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                        1024, 768, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window) return false;
    auto owned = std::make_unique<floor_window_t>();
    floor_window_t* self = owned.get();
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owned.release()));
    ++g_open_windows;

    RECT client;
    GetClientRect(window, &client);
    FOLDERSETTINGS settings{static_cast<UINT>(FVM_AUTO), 0};
    if (FAILED(CoCreateInstance(CLSID_ExplorerBrowser, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&self->browser))) ||
        FAILED(self->browser->Initialize(window, &client, &settings)) ||
        FAILED(self->browser->BrowseToIDList(g_folder, 0))) {
        DestroyWindow(window);
        return false;
    }
    ShowWindow(window, SW_SHOW);
    return true;
}

std::wstring folder_argument() {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring folder = args && count > 1 ? args[1] : L"C:\\windows";
    LocalFree(args);
    return folder;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // As a host of a shell view would: its drag and drop needs OLE.
    if (FAILED(OleInitialize(nullptr))) return 3;
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = window_proc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.lpszClassName = CLASS_NAME;
    int status = 0;
    if (!RegisterClassW(&window_class)) {
        status = 3;
    } else if (FAILED(
                   SHParseDisplayName(folder_argument().c_str(), nullptr, &g_folder, 0, nullptr))) {
        status = 2;
    } else if (!open_window()) {
        status = 3;
    } else {
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    CoTaskMemFree(g_folder);
    OleUninitialize();
    return status;
}
