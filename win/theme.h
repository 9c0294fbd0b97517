#pragma once
// What the panes we draw ourselves are painted in: the light look, a dark one made to
// match it, or the system's own colours under high contrast. The system is asked in one
// place (read_theme); the panes are handed the palette made from its answer, so a test
// can hand them any theme, high contrast included, which no Wine lets a program turn on.
#include <windows.h>

#include "core/fill_math.h"
#include "win/handle.h"

enum class theme_kind_t { light, dark, high_contrast };

// The system colours high contrast draws with.
struct system_colours_t {
    COLORREF window, window_text, highlight, highlight_text, button_face, gray_text;
};

struct theme_t {
    theme_kind_t kind = theme_kind_t::light;
    system_colours_t system{}; // what high contrast draws with
};

// The system's theme now: high contrast when it is on, else dark when apps are asked to
// use the dark theme, else light.
theme_t read_theme();

// A tree row's colours. The row box is lit on its top and left edges and shaded on its
// bottom (and, pinned, its right) edge; `side` is the column right of the box.
struct row_colours_t {
    color_t fill, lit, shade, side;
    color_t ink;    // its name, glyph, pin mark and frames
    color_t hollow; // the inside of an unpinned row's pin mark
};

struct palette_t {
    theme_kind_t kind = theme_kind_t::light;
    color_t window;      // the tree's and the bar's ground
    row_colours_t plain; // a row neither current nor pinned
    row_colours_t current;
    row_colours_t pinned;
    color_t waiting; // the glyph of a folder being read or that could not be read
    color_t splitter;
    COLORREF text;        // the bar's names, and the path box's
    COLORREF text_ground; // behind them
};

// The colours a theme draws with.
palette_t palette_of(const theme_t& theme);
const palette_t& light_palette();

// What an edit box of ours is drawn in, answered to its parent's WM_CTLCOLOREDIT (and
// WM_CTLCOLORLISTBOX for a drop-down): nothing in the light look, which is the system's.
struct box_colours_t {
    unique_gdi<HBRUSH> ground;
    COLORREF text = 0, back = 0;

    void use(const palette_t& palette);
    // The brush to answer with, the DC's colours set; 0 for the system's own.
    LRESULT answer(HDC dc) const;
};

COLORREF to_colorref(color_t c);
color_t to_color(COLORREF c);
