#pragma once
// The hand-over between a later start and the running process.
#include <windows.h>

#include <string>

// EnumWindows callback of a later start: hands the command line to a running
// instance's window and ends the process; TRUE for every other window.
BOOL CALLBACK find_running_instance(HWND window, LPARAM command_line);

// What a receiving window answers to WM_NEW_WINDOW when it opens the window asked for.
constexpr LRESULT NEW_WINDOW_TAKEN = 1;

// The receiving side: the handed-over path, while the sender still waits (the block lives
// until then); empty when there is none.
std::wstring receive_handover();
