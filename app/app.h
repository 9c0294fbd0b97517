#pragma once
// Process-wide state and the start-up steps around the message loop.
#include <windows.h>
#include <shobjidl.h>

#include <string>
#include <vector>

struct main_window_t;

extern HFONT g_font;
extern HANDLE g_settings;
extern std::vector<main_window_t*> main_windows;

void init_gui();

// Browses the window to the first argument of a command line, if it has one and it
// names something; anything else is ignored silently.
void browse_to_argument(main_window_t* window, const wchar_t* command_line);

// Runs until the quit message; every message is first offered to each window's view.
void run_message_loop();

// The first argument of a command line, or an empty string when it has none.
std::wstring first_argument(const wchar_t* command_line);

// Parses a path with a desktop folder and browses `eb` there on S_OK only.
void browse_to_path(IShellFolder* desktop, IExplorerBrowser* eb, const wchar_t* path);

// EnumWindows callback of a later start: hands the command line to a running
// instance's window and ends the process; TRUE for every other window.
BOOL CALLBACK find_running_instance(HWND window, LPARAM command_line);

// The receiving side: reads the handed-over path, if any, and browses `window` to it.
void receive_handover(main_window_t* receiver, main_window_t* window);
