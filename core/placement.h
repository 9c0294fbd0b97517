#pragma once
// Where a restored window goes, apart from the windowing calls.

struct screen_rect_t {
    long long left, top, right, bottom;
};

// Smaller than this a window is a strip (what a minimised window's rectangle looks like)
// and is not worth restoring as it is.
constexpr int MIN_RESTORED_WIDTH = 200;
constexpr int MIN_RESTORED_HEIGHT = 120;
constexpr int DEFAULT_WIDTH = 1024;
constexpr int DEFAULT_HEIGHT = 768;

// A saved rectangle as it comes back. One that shows on a monitor and has a usable size
// stays exactly as saved, also when it reaches past a screen's edge. One too small gets
// the default size; one too small or on no monitor is moved whole into `work_area`, the
// work area of the monitor nearest to it, and shrunk to fit there if it must.
screen_rect_t restored_window_rect(const screen_rect_t& saved, bool on_a_monitor,
                                   const screen_rect_t& work_area);

// A rectangle moved (and shrunk if it must be) so that it lies whole in `work_area`.
screen_rect_t whole_in(const screen_rect_t& rect, const screen_rect_t& work_area);
