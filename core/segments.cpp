#include "core/segments.h"

#include "core/scale.h"

std::vector<segment_rect_t> layout_segments(const std::vector<int>& widths, int dpi) {
    std::vector<segment_rect_t> rects;
    rects.reserve(widths.size());
    const int gap = scaled(SEGMENT_GAP, dpi), height = scaled(SEGMENT_HEIGHT, dpi);
    int x = 0;
    for (int w : widths) {
        rects.push_back({x, 0, x + w, height});
        x += w + gap;
    }
    return rects;
}

segment_fit_t fit_segments(const std::vector<segment_rect_t>& rects, int width, int gap, int marker,
                           int room) {
    if (rects.empty() || rects.back().right + gap + room <= width) return {};
    const int end = rects.back().right + gap;
    std::size_t first = rects.size() - 1;
    while (first > 0 && marker + end - rects[first - 1].left + room <= width) --first;
    return {first, rects[first].left - marker, true};
}

int segment_at(const std::vector<segment_rect_t>& rects, int x, int y) {
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const segment_rect_t& r = rects[i];
        if (r.left <= x && x < r.right && r.top <= y && y < r.bottom) return static_cast<int>(i);
    }
    return -1;
}

std::optional<std::u16string> typed_path(const std::u16string& text) {
    if (text.empty()) return std::nullopt;
    std::u16string cleaned;
    cleaned.reserve(text.size());
    for (char16_t c : text)
        if (c != u'\r' && c != u'\n') cleaned += c;
    if (cleaned.size() == text.size()) return std::nullopt;
    return cleaned;
}
