#pragma once
// The hand-over between a later start and the running process.
#include <windows.h>

struct main_window_t;

// EnumWindows callback of a later start: hands the command line to a running
// instance's window and ends the process; TRUE for every other window.
BOOL CALLBACK find_running_instance(HWND window, LPARAM command_line);

// The receiving side: reads the handed-over path, if any, and browses `window` to it.
void receive_handover(main_window_t* receiver, main_window_t* window);
