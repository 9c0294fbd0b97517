#pragma once
// Start-up and the message loop: what wWinMain runs, in order.
#include <windows.h>
#include <shobjidl.h>

struct main_window_t;

// OLE, the font and the settings file; any of them missing ends the program. A settings
// file held by another zelvon that is still starting is waited for, a few seconds, and
// the command line handed to that one's window when it shows.
void init_gui(const wchar_t* command_line);
void close_gui();

// The first windows: on the folder the command line asks for, else every window the
// settings file holds (one on the desktop for an empty file). Nothing is saved until the
// last of them is there, then once.
void open_first_windows(const wchar_t* command_line);

// Runs until the quit message; a message is first offered to the view of its window.
void run_message_loop();

// The shell view a message is offered to first: that of the main window the message is
// for, and only while the keyboard focus is inside that view, so that its accelerators
// (Delete, Rename, Cut, Copy, Paste) act on the files selected there and never on what is
// typed elsewhere. Null for none.
IShellView* view_for_message(const MSG& msg);

// The main window a message is for, null for none of ours.
main_window_t* window_of_message(const MSG& msg);
