#include "app/single_instance.h"

#include <string>

#include "app/command_line.h"
#include "core/handover.h"
#include "win/handle.h"

namespace {

const wchar_t HANDOVER_BLOCK[] = L"zelvn_shared_memory";
// Later starts that hand over at the same moment take turns with the one block.
const wchar_t HANDOVER_LOCK[] = L"zelvn_shared_memory_lock";

// The bytes a mapped view can be read or written through, from its start.
std::size_t view_size(const mapped_view& view) {
    MEMORY_BASIC_INFORMATION region{};
    return view && VirtualQuery(view.get(), &region, sizeof region) ? region.RegionSize : 0;
}

// A running copy that takes longer than this to open a window is hung.
constexpr UINT HANDOVER_TIMEOUT_MS = 8000;

// What became of a hand-over: the window opens one of its own; it answered without taking
// it (a window of that name that is not ours, or one of ours closing); it did not answer.
enum class handed_t { taken, refused, no_answer };

// Hands WM_NEW_WINDOW over; the receiver answers once it has read what it needs, before it
// makes the window.
handed_t send_new_window(HWND window, WPARAM length) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, WM_NEW_WINDOW, length, 0, SMTO_NORMAL, HANDOVER_TIMEOUT_MS,
                             &result))
        return handed_t::no_answer;
    return result == NEW_WINDOW_TAKEN ? handed_t::taken : handed_t::refused;
}

// Puts the path into the named block and hands it over; the block lives until the
// receiver has read it, since the send waits. Falls back to a plain new window when
// the block cannot be had whole.
handed_t hand_over_path(HWND window, const std::wstring& path) {
    const unique_handle lock(CreateMutexW(nullptr, FALSE, HANDOVER_LOCK));
    if (lock) WaitForSingleObject(lock.get(), INFINITE);
    const held_mutex turn(lock.get());
    const std::size_t size = handover_block_size(path.size());
    const unique_handle block(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                 static_cast<DWORD>(size), HANDOVER_BLOCK));
    bool whole = false;
    {
        const mapped_view view(block ? MapViewOfFile(block.get(), FILE_MAP_WRITE, 0, 0, 0)
                                     : nullptr);
        // A block of that name left by someone else may be smaller than this path.
        whole = view_size(view) >= size;
        if (whole) {
            ZeroMemory(view.get(), size);
            CopyMemory(view.get(), path.c_str(), size);
        }
    }
    return send_new_window(window, whole ? path.size() : 0);
}

} // namespace

BOOL CALLBACK find_running_instance(HWND window, LPARAM command_line) {
    // Only a window shown, which a main window is once it is whole.
    if (!IsWindowVisible(window)) return TRUE;
    wchar_t text[MAX_PATH] = L"";
    GetWindowTextW(window, text, MAX_PATH);
    if (wcscmp(text, L"zelvon") != 0) return TRUE;
    GetClassNameW(window, text, MAX_PATH);
    if (wcscmp(text, L"main_window") != 0) return TRUE;
    const std::wstring path = first_argument(reinterpret_cast<const wchar_t*>(command_line));
    const handed_t handed =
        path.empty() ? send_new_window(window, 0) : hand_over_path(window, path);
    // Not taken: another window may take it, else this start opens its own.
    if (handed == handed_t::refused) return TRUE;
    if (handed == handed_t::no_answer) {
        MessageBoxW(nullptr,
                    L"zelvon is running but does not answer. Close it, or end it in the Task "
                    L"Manager, and start zelvon again.",
                    L"zelvon", MB_OK | MB_ICONERROR);
        ExitProcess(2);
    }
    ExitProcess(0);
}

std::wstring receive_handover() {
    const unique_handle block(OpenFileMappingW(FILE_MAP_WRITE, FALSE, HANDOVER_BLOCK));
    const mapped_view view(block ? MapViewOfFile(block.get(), FILE_MAP_WRITE, 0, 0, 0) : nullptr);
    // Read no further than the mapping, whatever its writer left in it.
    const std::u16string path = view ? read_handover_block(view.get(), view_size(view)) : u"";
    return std::wstring(path.begin(), path.end());
}
