#include "app/app.h"

#include <shellapi.h>
#include <shlobj.h>
#include <strsafe.h>
#include <tlhelp32.h>

#include "app/ebe.h"
#include "core/scale.h"
#include "app/main_window.h"
#include "app/settings_file.h"
#include "app/single_instance.h"
#include "fault/fatal.h"
#include "ui/address/address_view.h"
#include "win/com.h"

unique_font g_font;
unique_handle g_settings;
std::vector<main_window_t*> main_windows;
pin_set_t g_pins;
std::wstring g_settings_path;
std::vector<std::uint8_t> g_unsaved;
bool g_save_failure_unsaid = false;

void say_save_failed(HWND owner) {
    if (!g_save_failure_unsaid) return;
    g_save_failure_unsaid = false;
    MessageBoxW(owner,
                L"zelvon could not save its settings (the disk may be full). What you set up "
                L"stays as it is here, and is saved as soon as it can be.",
                L"zelvon", MB_OK | MB_ICONWARNING);
}

void save_what_was_not_saved() {
    if (!g_unsaved.empty() && write_settings_file(g_unsaved)) g_unsaved.clear();
    say_save_failed(nullptr);
}

HFONT create_ui_font(int dpi) {
    return CreateFontW(scaled(18, dpi), 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_NATURAL_QUALITY,
                       DEFAULT_PITCH, L"\u30e1\u30a4\u30ea\u30aa");
}

int window_dpi(HWND window) {
    // Looked up: older systems lack it and keep one scale for all.
    using per_window_t = UINT(WINAPI*)(HWND);
    static const auto per_window = reinterpret_cast<per_window_t>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32"), "GetDpiForWindow")));
    if (per_window)
        if (const UINT dpi = per_window(window)) return int(dpi);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : BASE_DPI;
}

unique_handle open_settings_file(const wchar_t* path) {
    return unique_handle(
        CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr));
}

namespace {

// Whether another process runs from an executable of our name: a zelvon that may still be
// starting, before its window exists.
bool another_zelvon_runs() {
    wchar_t own[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    const wchar_t* own_name = wcsrchr(own, L'\\') ? wcsrchr(own, L'\\') + 1 : own;
    const unique_handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry))
        if (entry.th32ProcessID != GetCurrentProcessId() &&
            _wcsicmp(entry.szExeFile, own_name) == 0)
            return true;
    return false;
}

// Two starts close together: the one that missed the other's window finds the file held.
// It waits for that zelvon's window and hands over (which ends this process), or for the
// file to come free; anything else leaves the file unopened.
void wait_for_starting_zelvon(const wchar_t* path, const wchar_t* command_line) {
    if (!another_zelvon_runs()) return;
    for (const ULONGLONG end = GetTickCount64() + 5000; GetTickCount64() < end;) {
        Sleep(100);
        EnumWindows(find_running_instance, reinterpret_cast<LPARAM>(command_line));
        g_settings = open_settings_file(path);
        if (valid_handle(g_settings)) return;
    }
}

} // namespace

void init_gui(const wchar_t* command_line) {
    OleInitialize(nullptr);
    g_font.reset(create_ui_font());
    fatal_check(g_font != nullptr, fatal_sites::font);

    wchar_t tmp[MAX_PATH] = L"";
    // Without the folder the name alone would open the file in the current directory;
    // an unfound folder counts as a failed open instead. A missing one is made.
    const bool have_folder = SHGetSpecialFolderPathW(nullptr, tmp, CSIDL_APPDATA, TRUE);
    StringCchCatW(tmp, MAX_PATH, L"\\zelvon.sav");
    if (have_folder) g_settings = open_settings_file(tmp);
    if (have_folder && !valid_handle(g_settings) && GetLastError() == ERROR_SHARING_VIOLATION)
        wait_for_starting_zelvon(tmp, command_line);
    const DWORD reason = valid_handle(g_settings) ? 0 : GetLastError();
    g_settings_path = tmp;
    // The report says which file, and why, in words.
    std::wstring detail = have_folder ? tmp : L"(no application-data folder)";
    wchar_t* words = nullptr;
    if (reason &&
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                           FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, reason, 0, reinterpret_cast<wchar_t*>(&words), 0, nullptr)) {
        detail += L": ";
        detail += words;
        LocalFree(words);
    }
    fatal_check(valid_handle(g_settings), fatal_sites::settings_file, detail.c_str());
}

void close_gui() {
    g_settings.reset();
    g_font.reset();
}

std::wstring first_argument(const wchar_t* command_line) {
    if (!command_line || !*command_line) return {};
    int count = 0;
    wchar_t** args = CommandLineToArgvW(command_line, &count);
    std::wstring first = args && count > 0 ? args[0] : L"";
    LocalFree(args);
    // Relative to the folder this start was made in: the running process that may take
    // it over has another.
    const bool relative = !first.empty() && first[0] != L'\\' && first[0] != L'/' &&
                          first.find(L':') == std::wstring::npos;
    if (relative) {
        std::wstring full(GetFullPathNameW(first.c_str(), 0, nullptr, nullptr) + 1, L'\0');
        full.resize(GetFullPathNameW(first.c_str(), DWORD(full.size()), full.data(), nullptr));
        if (!full.empty()) first = full;
    }
    return first;
}

task_idlist argument_folder(const wchar_t* command_line) {
    const std::wstring path = first_argument(command_line);
    if (path.empty()) return nullptr;
    Microsoft::WRL::ComPtr<IShellFolder> desktop;
    SHGetDesktopFolder(&desktop);
    return desktop ? parse_display_name(desktop.Get(), path.c_str()) : nullptr;
}

IShellView* view_for_message(const MSG& msg) {
    main_window_t* window = window_of_message(msg);
    const HWND focus = GetFocus();
    if (!window || !window->ebe || !window->ebe->view || !focus) return nullptr;
    if (focus != window->eb_handle && !IsChild(window->eb_handle, focus)) return nullptr;
    return window->ebe->view.Get();
}

main_window_t* window_of_message(const MSG& msg) {
    const HWND top = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    for (main_window_t* window : main_windows)
        if (window->handle == top) return window;
    return nullptr;
}

void run_message_loop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // The list's own keys first, while it has the focus; then the window's.
        if (IShellView* view = view_for_message(msg);
            view && view->TranslateAccelerator(&msg) == S_OK)
            continue;
        if (main_window_t* window = window_of_message(msg); window && window->on_shortcut(msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}
