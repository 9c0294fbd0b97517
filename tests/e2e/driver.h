#pragma once
// Drives zelvon.exe from outside, as a user and the file system see it: starts the
// process, finds its windows, reads rectangles and pixels, gives it real pointer and key
// input, closes it and reads the settings file it leaves behind.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// Generous: Wine may take seconds to start a process on a loaded machine.
constexpr DWORD WAIT_MS = 30000;

// ---- The settings file: %APPDATA%\zelvon.sav of this prefix.

std::wstring settings_path();
void delete_settings();                                      // and its backup
void write_settings(const std::vector<std::uint8_t>& bytes); // the file alone, no backup
// The file's bytes, retrying while a process still holds it unshared; empty when it
// does not exist or stays locked.
std::optional<std::vector<std::uint8_t>> read_settings(DWORD timeout_ms = WAIT_MS);

// When the file was last written, read without opening it (zelvon holds it open).
ULONGLONG settings_written();
// Waits for a save begun after `since` (what settings_written said) to end: zelvon writes
// its saves off its window's thread, the file first, then deletes the backup.
bool wait_for_save(ULONGLONG since);

using item_list = std::vector<std::uint8_t>; // an absolute list's items, no terminator

// The file's fields as far as they can be read; `valid` is false when a field runs past
// the end of the bytes or the first value is not 100.
struct settings_image_t {
    bool valid = false;
    std::int32_t split = 0;
    RECT rect{};
    item_list folder; // the record's items, without the length
    std::int32_t pin_count = 0;
    std::vector<item_list> pins;
};
settings_image_t decode_settings(const std::vector<std::uint8_t>& bytes);

void put_i32(std::vector<std::uint8_t>& bytes, std::int32_t value);
// A complete file: 100, split, the rectangle, the folder record and the pins.
std::vector<std::uint8_t> encode_settings(std::int32_t split, const RECT& rect,
                                          const item_list& folder,
                                          const std::vector<item_list>& pins = {});

// The items of the absolute list the desktop folder parses `path` into (no terminator);
// empty when the parse fails.
std::vector<std::uint8_t> parse_path(const wchar_t* path);

// How many items the folder with these absolute items lists (the desktop for none), as
// the browser's view enumerates them: folders and other items, hidden ones left out;
// -1 when the folder cannot be enumerated.
int folder_item_count(const std::vector<std::uint8_t>& folder);

// The absolute lists of the folder's child folders in the shell's order, as the tree
// enumerates them; empty when the folder cannot be enumerated.
std::vector<item_list> child_folders(const item_list& folder);

// The computer folder's list, where the address bar starts.
item_list computer_folder();

// The number of items of a list.
int item_count(const item_list& list);

// The name the desktop parses back into the folder: its path, or a "::{class}" name
// for a folder without one; empty when the list names nothing.
std::wstring parsing_name(const item_list& folder);

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

// A window's client area as it stood on the screen at one moment; pixels outside it
// read as CLR_INVALID.
class snapshot_t {
public:
    explicit snapshot_t(HWND window);
    COLORREF at(int x, int y) const;
    int width() const { return width_; }
    int height() const { return height_; }

private:
    int width_ = 0, height_ = 0;
    std::vector<std::uint32_t> pixels_; // top-down rows of 0x00RRGGBB
};

// The grey level of an exactly grey pixel, -1 for any other colour.
int grey_level(COLORREF colour);

// ---- What the custom-drawn panes show, read from their pixels.

// One row of the tree: rows are 20 pixels high from the top, each with a pin mark at
// its right end and a triangle indented 10 pixels per level.
struct tree_row_t {
    bool present = false;   // its pin mark stands there
    std::string background; // "plain", "current", "pinned", or the grey levels it has
    bool solid_head = false;
    int depth = -1; // of its triangle; -1 when none is found
    bool expanded = false;
};
tree_row_t tree_row(const snapshot_t& tree, int row);
// Rows from the top up to the first without a pin mark.
int tree_row_count(const snapshot_t& tree);

// The black arrowheads that follow the address bar's segments, one per segment.
int arrowhead_count(const snapshot_t& bar);

// The windows of the UI thread that owns `window` holding the keyboard focus and the
// mouse capture, null for none.
HWND focus_of(HWND window);
HWND capture_of(HWND window);

// The first child of `parent` of that class, visible or not.
HWND find_child(HWND parent, const wchar_t* class_name);
std::wstring window_text(HWND window);
std::wstring class_of(HWND window);

// The top-level windows of a process, shown or not.
std::vector<HWND> top_level_windows(DWORD process_id);
// A shown top-level window of that class of the process (a message box: "#32770", a menu:
// "#32768"), null for none.
HWND shown_window(DWORD process_id, const wchar_t* window_class);

// Running processes whose executable has this name.
int process_count(const wchar_t* exe_name);

// Polls `done` until it holds or the time is up; returns its last answer.
template <typename F> bool wait_until(F done, DWORD timeout_ms = WAIT_MS) {
    const ULONGLONG end = GetTickCount64() + timeout_ms;
    for (;;) {
        if (done()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(20);
    }
}

// Real pointer input, as the mouse gives it: SendInput moves the pointer and presses the
// button, and the press goes to whichever window is under the pointer or holds the capture.
// The system hands the input to the window's thread in its own time: when these return,
// the window may not have seen it yet, so a case waits for what the input does.
POINT screen_point(HWND window, int x, int y);
// False when the pointer does not come to stand on the point (one off the screen, say).
bool pointer_to(POINT screen);
void button_down();
void button_up();

// Whether a press at the client point of `window` would reach it or one of its children;
// when another window lies over that point, `window`'s top-level window is raised first.
// Says on stderr what lies there instead when it cannot be reached.
[[nodiscard]] bool reachable(HWND window, POINT client);

// A click at a client point: the window under it comes to the front and takes it. False,
// with nothing pressed, when the point cannot be reached.
[[nodiscard]] bool click(HWND window, int x, int y);
[[nodiscard]] bool right_click(HWND window, int x, int y);

// A press at the client point `from`, the pointer carried in steps to `to` (client
// coordinates too, outside the window if need be; the pointer stops at the screen's edge)
// and let go there, once `there` holds when given: what the window shows of the pointer's
// arrival, which a hand waits to see before letting go. A drag that leaves the window's own
// windows carries the press only once the window has taken the capture. False, with
// nothing left pressed, when `from` cannot be reached, no capture comes or `there` never
// holds.
[[nodiscard]] bool drag(HWND window, POINT from, POINT to, const std::function<bool()>& there = {});

// Makes the top-level window of `window` the foreground one, which takes the keys; false
// when it does not become so.
[[nodiscard]] bool to_front(HWND window);

// Real key presses, as the keyboard gives them to the focused window: a chord pressed
// in order and let go in reverse (press_keys({VK_CONTROL, 'L'})), or text typed.
void press_keys(std::initializer_list<WORD> chord);
void type_text(const std::wstring& text);

// ---- The process.

// The zelvon.exe the cases start: the one named by the ZELVON_EXE environment variable (a
// copy unpacked from the package, say), else the one beside this executable.
std::wstring zelvon_path();

class app_t {
public:
    // Starts `exe` with `arguments` as its command line after the program name, in
    // `working_folder` (the exe's own folder when empty).
    explicit app_t(const std::wstring& arguments = L"", const std::wstring& exe = zelvon_path(),
                   const std::wstring& working_folder = L"");
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

    // Ends the process at once, as a crash would: nothing is saved on the way out.
    void kill();

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

} // namespace e2e
