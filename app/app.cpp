#include "app/app.h"

#include <shellapi.h>
#include <shlobj.h>
#include <strsafe.h>

#include "app/ebe.h"
#include "app/main_window.h"
#include "fault/fatal.h"
#include "ui/address/address_view.h"
#include "win/com.h"

unique_font g_font;
unique_handle g_settings;
std::vector<main_window_t*> main_windows;

HFONT create_ui_font() {
    return CreateFontW(18, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_NATURAL_QUALITY,
                       DEFAULT_PITCH, L"\u30e1\u30a4\u30ea\u30aa");
}

unique_handle open_settings_file(const wchar_t* path) {
    return unique_handle(
        CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr));
}

void init_gui() {
    OleInitialize(nullptr);
    g_font.reset(create_ui_font());
    fatal_check(g_font != nullptr, fatal_sites::font);

    wchar_t tmp[MAX_PATH] = L"";
    // Without the folder the name alone would open the file in the current directory;
    // an unfound folder counts as a failed open instead.
    const bool have_folder = SHGetSpecialFolderPathW(nullptr, tmp, CSIDL_APPDATA, FALSE);
    StringCchCatW(tmp, MAX_PATH, L"\\zelvon.sav");
    if (have_folder) g_settings = open_settings_file(tmp);
    fatal_check(valid_handle(g_settings), fatal_sites::settings_file);
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
    return first;
}

void browse_to_path(IShellFolder* desktop, IExplorerBrowser* eb, const wchar_t* path) {
    const task_idlist list = parse_display_name(desktop, path);
    if (list) eb->BrowseToIDList(list.get(), 0);
}

void browse_to_argument(main_window_t* window, const wchar_t* command_line) {
    const std::wstring path = first_argument(command_line);
    if (!path.empty())
        browse_to_path(window->address->desktop.Get(), window->eb.Get(), path.c_str());
}

void run_message_loop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        bool handled = false;
        // Every view is asked, also after one has taken the message.
        for (main_window_t* window : main_windows)
            if (window->ebe->view && window->ebe->view->TranslateAccelerator(&msg) == S_OK)
                handled = true;
        if (handled) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}
