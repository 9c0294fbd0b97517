#pragma once
// What the process holds for all its windows, and the start-up steps around the message
// loop. The font and the settings file are made by init_gui and released by close_gui;
// the windows free themselves when they are destroyed.
#include <windows.h>
#include <shobjidl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/idlist.h"
#include "win/com.h"
#include "win/handle.h"

struct main_window_t;

extern unique_font g_font;
extern unique_handle g_settings;
extern std::vector<main_window_t*> main_windows; // oldest first; the windows own themselves

// The process's pinned folders, one set for every window: read from the settings file by
// the first window that restores, shown in every window, written by every save. A pin
// whose folder cannot be reached for now stays until its folder is seen to be gone.
struct pin_set_t {
    std::vector<byte_list> folders; // in the order they were pinned
    bool loaded = false;
};
extern pin_set_t g_pins;
extern std::wstring g_settings_path; // where g_settings is; its backup beside it
// A save that did not get through is kept until the next one does, or written once more as
// the process ends. Said once, at the next turn of the message loop (a save may run
// inside a drag or a window's destruction) or at the end.
extern std::vector<std::uint8_t> g_unsaved;
extern bool g_save_failure_unsaid;
void say_save_failed(HWND owner);
// The image kept from a failed save, written once more as the process ends; the report
// given if it was not given yet.
void save_what_was_not_saved();

// OLE, the font and the settings file; any of them missing ends the program. A settings
// file held by another zelvon that is still starting is waited for, a few seconds, and
// the command line handed to that one's window when it shows.
void init_gui(const wchar_t* command_line);
void close_gui();

// The UI font: height 18 (at 96 DPI; scaled at another) and the face the program is
// drawn with.
HFONT create_ui_font(int dpi = 96);

// The scale of the monitor a window is on: where the system can tell it per window, else
// the screen's.
int window_dpi(HWND window);

// The settings file at `path`, held for reading and writing and shared with no one,
// created empty when missing; INVALID_HANDLE_VALUE when it cannot be opened.
unique_handle open_settings_file(const wchar_t* path);

// The folder the first argument of a command line names, parsed with the desktop
// folder; null when there is no argument or it names nothing (ignored silently).
task_idlist argument_folder(const wchar_t* command_line);

// Runs until the quit message; a message is first offered to the view of its window.
void run_message_loop();

// The shell view a message is offered to first: that of the main window the message is
// for, and only while the keyboard focus is inside that view, so that its accelerators
// (Delete, Rename, Cut, Copy, Paste) act on the files selected there and never on what is
// typed elsewhere. Null for none.
IShellView* view_for_message(const MSG& msg);

// The main window a message is for, null for none of ours.
main_window_t* window_of_message(const MSG& msg);

// The first argument of a command line, or an empty string when it has none.
std::wstring first_argument(const wchar_t* command_line);
