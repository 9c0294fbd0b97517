#include "core/layout.h"

int splitter_in_reach(int split, int client_width) {
    const int last = client_width - SPLITTER_WIDTH;
    if (split > last) split = last;
    return split < 0 ? 0 : split;
}

main_layout_t layout_main_window(int w, int h, int split) {
    const int s = splitter_in_reach(split, w);
    const int right = s + SPLITTER_WIDTH;
    return {
        {0, 0, s, h},
        {s, 0, SPLITTER_WIDTH, h},
        {right, 0, w - right, ADDRESS_HEIGHT},
        {right, ADDRESS_HEIGHT, w - right, h - ADDRESS_HEIGHT},
    };
}

bool on_splitter(int x, int split, int client_width) {
    const int s = splitter_in_reach(split, client_width);
    return s <= x && x < s + SPLITTER_WIDTH;
}
