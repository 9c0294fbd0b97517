#include "core/layout.h"

int splitter_in_reach(int split, int client_width, int dpi) {
    const int last = client_width - scaled(SPLITTER_WIDTH, dpi);
    if (split > last) split = last;
    return split < 0 ? 0 : split;
}

main_layout_t layout_main_window(int w, int h, int split, int dpi) {
    const int bar = scaled(SPLITTER_WIDTH, dpi), top = scaled(ADDRESS_HEIGHT, dpi);
    const int s = splitter_in_reach(split, w, dpi);
    const int right = s + bar;
    return {
        {0, 0, s, h},
        {s, 0, bar, h},
        {right, 0, w - right, top},
        {right, top, w - right, h - top},
    };
}

bool on_splitter(int x, int split, int client_width, int dpi) {
    const int s = splitter_in_reach(split, client_width, dpi);
    return s <= x && x < s + scaled(SPLITTER_WIDTH, dpi);
}
