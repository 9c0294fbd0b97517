#include "core/placement.h"

#include <algorithm>

screen_rect_t restored_window_rect(const screen_rect_t& saved, bool on_a_monitor,
                                   const screen_rect_t& work_area) {
    long long width = saved.right - saved.left, height = saved.bottom - saved.top;
    const bool usable = width >= MIN_RESTORED_WIDTH && height >= MIN_RESTORED_HEIGHT;
    if (on_a_monitor && usable) return saved;
    if (!usable) {
        width = DEFAULT_WIDTH;
        height = DEFAULT_HEIGHT;
    }
    width = std::min(width, work_area.right - work_area.left);
    height = std::min(height, work_area.bottom - work_area.top);
    const long long left = std::clamp(saved.left, work_area.left, work_area.right - width);
    const long long top = std::clamp(saved.top, work_area.top, work_area.bottom - height);
    return {left, top, left + width, top + height};
}

screen_rect_t whole_in(const screen_rect_t& rect, const screen_rect_t& work_area) {
    const long long width = std::min(rect.right - rect.left, work_area.right - work_area.left);
    const long long height = std::min(rect.bottom - rect.top, work_area.bottom - work_area.top);
    const long long left = std::clamp(rect.left, work_area.left, work_area.right - width);
    const long long top = std::clamp(rect.top, work_area.top, work_area.bottom - height);
    return {left, top, left + width, top + height};
}
