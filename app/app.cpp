#include "app/app.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <strsafe.h>

#include "address/address_view.h"
#include "app/com.h"
#include "app/ebe.h"
#include "app/handover.h"
#include "app/main_window.h"
#include "fault/fatal.h"
#include "fault/fatal_sites.h"

HFONT g_font;
HANDLE g_settings = INVALID_HANDLE_VALUE;
std::vector<main_window_t*> main_windows;

void init_gui() {
    fatal_function(FUNC_INIT_GUI);
    OleInitialize(nullptr);
    // The report keeps the face name in code page 932, as the source it was written in.
    fatal_check_text(
        g_font = ::CreateFontW(18, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_NATURAL_QUALITY,
                               DEFAULT_PITCH, L"\u30e1\u30a4\u30ea\u30aa"),
        "g_font = ::CreateFontW( 18, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET, "
        "OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_NATURAL_QUALITY, DEFAULT_PITCH, "
        "L\"\x83\x81\x83\x43\x83\x8a\x83\x49\" )");

    wchar_t tmp[MAX_PATH] = L"";
    // Without the folder the name alone would open the file in the current directory;
    // an unfound folder counts as a failed open instead.
    const bool have_folder = SHGetSpecialFolderPathW(nullptr, tmp, CSIDL_APPDATA, FALSE);
    StringCchCatW(tmp, MAX_PATH, L"\\zelvon.sav");
    fatal_check_text(have_folder && (g_settings = ::CreateFileW(tmp, GENERIC_READ | GENERIC_WRITE,
                                                                0, nullptr, OPEN_ALWAYS, 0,
                                                                nullptr)) != INVALID_HANDLE_VALUE,
                     "g_settings = ::CreateFile( tmp, GENERIC_READ|GENERIC_WRITE, 0, NULL, "
                     "OPEN_ALWAYS, 0, NULL )");
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
    ITEMIDLIST* parsed = nullptr;
    HRESULT hr = desktop->ParseDisplayName(nullptr, nullptr, const_cast<wchar_t*>(path), nullptr,
                                           &parsed, nullptr);
    task_idlist list(parsed);
    if (hr == S_OK) eb->BrowseToIDList(list.get(), 0);
}

void browse_to_argument(main_window_t* window, const wchar_t* command_line) {
    const std::wstring path = first_argument(command_line);
    if (!path.empty()) browse_to_path(window->address->desktop.Get(), window->eb, path.c_str());
}

namespace {

const wchar_t HANDOVER_BLOCK[] = L"zelvn_shared_memory";
// Later starts that hand over at the same moment take turns with the one block.
const wchar_t HANDOVER_LOCK[] = L"zelvn_shared_memory_lock";

// Puts the path into the named block and hands it over; the block lives until the
// receiver has read it, since the send waits. Falls back to a plain new window when
// the block cannot be had whole.
void hand_over_path(HWND window, const std::wstring& path) {
    HANDLE lock = CreateMutexW(nullptr, FALSE, HANDOVER_LOCK);
    if (lock) WaitForSingleObject(lock, INFINITE);
    const std::size_t size = handover_block_size(path.size());
    HANDLE block = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      static_cast<DWORD>(size), HANDOVER_BLOCK);
    void* view = block ? MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, 0) : nullptr;
    // A block of that name left by someone else may be smaller than this path.
    MEMORY_BASIC_INFORMATION region{};
    const bool whole =
        view && VirtualQuery(view, &region, sizeof region) && region.RegionSize >= size;
    if (whole) {
        ZeroMemory(view, size);
        CopyMemory(view, path.c_str(), size);
    }
    if (view) UnmapViewOfFile(view);
    SendMessageW(window, WM_NEW_WINDOW, whole ? path.size() : 0, 0);
    if (block) CloseHandle(block);
    if (lock) {
        ReleaseMutex(lock);
        CloseHandle(lock);
    }
}

} // namespace

BOOL CALLBACK find_running_instance(HWND window, LPARAM command_line) {
    wchar_t text[MAX_PATH] = L"";
    GetWindowTextW(window, text, MAX_PATH);
    if (wcscmp(text, L"zelvon") != 0) return TRUE;
    GetClassNameW(window, text, MAX_PATH);
    if (wcscmp(text, L"main_window") != 0) return TRUE;
    const std::wstring path = first_argument(reinterpret_cast<const wchar_t*>(command_line));
    if (path.empty())
        SendMessageW(window, WM_NEW_WINDOW, 0, 0);
    else
        hand_over_path(window, path);
    ExitProcess(0);
}

void receive_handover(main_window_t* receiver, main_window_t* window) {
    HANDLE block = OpenFileMappingW(FILE_MAP_WRITE, FALSE, HANDOVER_BLOCK);
    void* view = block ? MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, 0) : nullptr;
    MEMORY_BASIC_INFORMATION region{};
    if (view && VirtualQuery(view, &region, sizeof region)) {
        // Read no further than the mapping, whatever its writer left in it.
        const std::u16string path = read_handover_block(view, region.RegionSize);
        if (!path.empty())
            browse_to_path(receiver->address->desktop.Get(), window->eb,
                           reinterpret_cast<const wchar_t*>(path.c_str()));
    }
    if (view) UnmapViewOfFile(view);
    if (block) CloseHandle(block);
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
