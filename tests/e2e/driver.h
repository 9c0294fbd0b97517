#pragma once
// Drives zelvon.exe from outside, as a user and the file system see it: starts the
// process, finds its windows, reads rectangles and pixels, sends mouse input, closes it
// and reads the settings file it leaves behind.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// Generous: Wine may take seconds to start a process on a loaded machine.
constexpr DWORD WAIT_MS = 30000;

// ---- The settings file: %APPDATA%\zelvon.sav of this prefix.

std::wstring settings_path();
void delete_settings();
void write_settings(const std::vector<std::uint8_t>& bytes);
// The file's bytes, retrying while a process still holds it unshared; empty when it
// does not exist or stays locked.
std::optional<std::vector<std::uint8_t>> read_settings(DWORD timeout_ms = WAIT_MS);

// The file's fields as far as they can be read; `valid` is false when a field runs past
// the end of the bytes or the first value is not 100.
struct settings_image_t {
    bool valid = false;
    std::int32_t split = 0;
    RECT rect{};
    std::vector<std::uint8_t> folder; // the record's items, without the length
    std::int32_t pin_count = 0;
};
settings_image_t decode_settings(const std::vector<std::uint8_t>& bytes);

void put_i32(std::vector<std::uint8_t>& bytes, std::int32_t value);
// A complete file: 100, split, the rectangle, the folder record and no pins.
std::vector<std::uint8_t> encode_settings(std::int32_t split, const RECT& rect,
                                          const std::vector<std::uint8_t>& folder);

// The items of the absolute list the desktop folder parses `path` into (no terminator);
// empty when the parse fails.
std::vector<std::uint8_t> parse_path(const wchar_t* path);

// How many items the folder with these absolute items lists (the desktop for none), as
// the browser's view enumerates them: folders and other items, hidden ones left out;
// -1 when the folder cannot be enumerated.
int folder_item_count(const std::vector<std::uint8_t>& folder);

// ---- Windows.

struct panes_t {
    HWND tree = nullptr, address = nullptr, browser = nullptr;
};

// The children of a main window: the two panes of known class and the one remaining
// child, the hosted browser.
panes_t find_panes(HWND main_window);

// The number of items in the list view the browser shows, -1 while it shows none.
int browser_item_count(HWND browser);

RECT window_rect(HWND window);
RECT client_rect(HWND window);
// A child's window rectangle in its parent's client coordinates.
RECT rect_in_parent(HWND child);

// The pixel at client x, y as it stands on the screen.
COLORREF client_pixel(HWND window, int x, int y);

// Polls `done` until it holds or the time is up; returns its last answer.
template <typename F> bool wait_until(F done, DWORD timeout_ms = WAIT_MS) {
    const ULONGLONG end = GetTickCount64() + timeout_ms;
    for (;;) {
        if (done()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(20);
    }
}

// A press, one move and a release at client coordinates. Sent, not posted, so the
// window has handled all three (and laid itself out) when this returns.
void drag(HWND window, int from_x, int to_x, int y);

// ---- The process.

class app_t {
public:
    // Starts zelvon.exe from this executable's folder with `arguments` as its command line
    // after the program name.
    explicit app_t(const std::wstring& arguments = L"");
    // Ends a process still running (a hung or crashed run), so the next case finds the
    // settings file free.
    ~app_t();
    app_t(const app_t&) = delete;
    app_t& operator=(const app_t&) = delete;

    bool started() const { return process_ != nullptr; }
    DWORD id() const { return id_; }

    // The top-level windows of class "main_window" titled "zelvon" of this process, shown
    // or not: a later start would take any of them for a running instance.
    std::vector<HWND> main_windows() const;

    // Waits for a main window to be shown, which its constructor does last, and for the
    // process to reach its message loop; null when none appears in time.
    HWND wait_for_window(DWORD timeout_ms = WAIT_MS);

    // Returns once the process's UI thread has handled everything sent before.
    bool sync(HWND window) const;

    // Posts WM_CLOSE, as the window's close button does.
    void close(HWND window) const;

    // The exit code, or empty when the process is still running at the end of the wait.
    std::optional<DWORD> wait_for_exit(DWORD timeout_ms = WAIT_MS);

    bool running() const;

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

} // namespace e2e
