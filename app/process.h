#pragma once
// What every window of the process draws with: the one user-interface font, and the
// scale of the monitor a window is on.
#include <windows.h>

#include "win/handle.h"
#include "win/theme.h"

extern unique_font g_font; // at 96 DPI; a window at another scale makes its own

// Where every window reads the system's theme: read_theme, or a test's own (no Wine lets
// a program turn high contrast on).
extern theme_t (*g_read_theme)();

// The UI font: height 18 (at 96 DPI; scaled at another) and the face the program is
// drawn with.
HFONT create_ui_font(int dpi = 96);

// The scale of the monitor a window is on: where the system can tell it per window, else
// the screen's.
int window_dpi(HWND window);
