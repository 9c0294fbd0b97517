#pragma once
// Where the main window's panes go, apart from the windowing calls.

struct pane_rect_t {
    int x, y, width, height;
};

struct main_layout_t {
    pane_rect_t tree, bar, address, browser;
};

#include "core/scale.h"

// At 96 DPI; scaled with the window's DPI. The split itself is in pixels here.
constexpr int SPLITTER_WIDTH = 4;
constexpr int ADDRESS_HEIGHT = 20;

// The splitter as laid out and hit-tested: within 0 .. client width − its width, so a bar
// that was dragged or restored past either edge can always be grabbed again.
int splitter_in_reach(int split, int client_width, int dpi = BASE_DPI);

main_layout_t layout_main_window(int client_width, int client_height, int split,
                                 int dpi = BASE_DPI);

// Whether client x lies on the bar (s ≤ x < s + its width, s the bar as laid out).
bool on_splitter(int x, int split, int client_width, int dpi = BASE_DPI);
