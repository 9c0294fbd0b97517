#pragma once
// The hand-over between a later start and the running process.
#include <windows.h>

#include "win/com.h"

// EnumWindows callback of a later start: hands the command line to a running
// instance's window and ends the process; TRUE for every other window.
BOOL CALLBACK find_running_instance(HWND window, LPARAM command_line);

// The receiving side: the handed-over path, parsed with the receiving window's desktop
// folder; null when there is none or it names nothing.
task_idlist receive_handover(IShellFolder* desktop);
