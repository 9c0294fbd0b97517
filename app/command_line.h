#pragma once
// What a start was asked for on its command line.
#include <string>

#include "win/com.h"

// The first argument of a command line, or an empty string when it has none; a relative
// one is made whole from the folder the start was made in.
std::wstring first_argument(const wchar_t* command_line);

// The folder the first argument names, parsed with the desktop folder; null when there
// is no argument or it names nothing (ignored silently).
task_idlist argument_folder(const wchar_t* command_line);
