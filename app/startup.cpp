#include "app/startup.h"

#include <shlobj.h>
#include <strsafe.h>
#include <tlhelp32.h>

#include "app/command_line.h"
#include "app/ebe.h"
#include "app/main_window.h"
#include "app/process.h"
#include "app/session.h"
#include "app/settings_file.h"
#include "app/single_instance.h"
#include "fault/fatal.h"

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

// The file held by another program: a zelvon still starting (the one that missed the
// other's window), a scanner or a backup that has it open for a moment. Waited for a few
// seconds: another zelvon's window, when it shows, takes the command line (which ends this
// process); otherwise the file comes free. Held for good, it stays unopened.
void wait_for_settings_file(const wchar_t* path, const wchar_t* command_line) {
    for (const ULONGLONG end = GetTickCount64() + 5000; GetTickCount64() < end;) {
        Sleep(100);
        if (another_zelvon_runs())
            EnumWindows(find_running_instance, reinterpret_cast<LPARAM>(command_line));
        g_session.settings = open_settings_file(path);
        if (valid_handle(g_session.settings) || GetLastError() != ERROR_SHARING_VIOLATION) return;
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
    unique_handle& settings = g_session.settings;
    if (have_folder) settings = open_settings_file(tmp);
    if (have_folder && !valid_handle(settings) && GetLastError() == ERROR_SHARING_VIOLATION)
        wait_for_settings_file(tmp, command_line);
    const DWORD reason = valid_handle(settings) ? 0 : GetLastError();
    g_session.settings_path = tmp;
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
    fatal_check(valid_handle(settings), fatal_sites::settings_file, detail.c_str());
}

void close_gui() {
    g_session.settings.reset();
    g_font.reset();
}

void open_first_windows(const wchar_t* command_line) {
    const saves_held_t held;
    // The folder asked for is the first window's one navigation; without one, every
    // window of the last session comes back.
    const task_idlist asked = argument_folder(command_line);
    if (asked || !restore_every_window()) main_window_t::open(asked.get());
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
    for (main_window_t* window : g_session.main_windows)
        if (window->handle == top) return window;
    return nullptr;
}

void run_message_loop() {
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return;
            // The list's own keys first, while it has the focus; then the window's.
            if (IShellView* view = view_for_message(msg);
                view && view->TranslateAccelerator(&msg) == S_OK)
                continue;
            if (main_window_t* window = window_of_message(msg); window && window->on_shortcut(msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        // Alertable: the folder watch's reads come back as calls on this thread.
        MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT,
                                    MWMO_ALERTABLE | MWMO_INPUTAVAILABLE);
    }
}
