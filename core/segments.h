#pragma once
// The address bar's geometry and typed text, apart from windows and the shell.
#include <optional>
#include <string>
#include <vector>

struct segment_rect_t {
    int left, top, right, bottom;
};

constexpr int SEGMENT_GAP = 16;    // room for the arrowhead after each segment
constexpr int SEGMENT_HEIGHT = 24; // taller than the bar: the text centres on y = 12

// Segments left to right from x = 0, each as wide as its text, 16 pixels apart (scaled
// at another DPI).
std::vector<segment_rect_t> layout_segments(const std::vector<int>& widths, int dpi = 96);

// Which segments a bar of `width` shows. When they all fit with `room` to spare after the
// last arrowhead, all of them, where they are. Otherwise the leading ones give way behind
// a marker of `marker` pixels at the left: `first` is the first segment shown and `shift`
// how far left the shown ones move; the last is always shown whole where it can be.
struct segment_fit_t {
    std::size_t first = 0;
    int shift = 0;
    bool marker = false;
};
segment_fit_t fit_segments(const std::vector<segment_rect_t>& rects, int width, int gap, int marker,
                           int room);

// The first segment holding the point, left and top edges inside, right and bottom
// outside; -1 for none.
int segment_at(const std::vector<segment_rect_t>& rects, int x, int y);

// What a line break in the editor asks for: the text without its CRs and LFs. Empty
// while the user is still typing (no line break) or the text is empty.
std::optional<std::u16string> typed_path(const std::u16string& text);
