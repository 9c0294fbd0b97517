#pragma once
// What a pane may ask of the window that holds it. The main window fills it in; tests
// give a pane one of their own.
#include <windows.h>
#include <shobjidl.h>

#include <functional>

struct pane_host_t {
    // Move the window's browser to an absolute list (the browser reports the navigation
    // back, possibly before this returns).
    std::function<void(const ITEMIDLIST* folder)> browse;
    // A folder pinned or unpinned here: the pin is the process's, shown in every window
    // and saved.
    std::function<void(const ITEMIDLIST* folder, bool pinned)> pin_changed;
    // A pinned folder seen under another list (renamed, or written into, which some
    // folders' items record): the pin follows it.
    std::function<void(const ITEMIDLIST* from, const ITEMIDLIST* to)> pin_moved;
    // Open a new window, restored from the settings file, at a screen point.
    std::function<void(POINT at)> open_window_at;
    // Open a new window on a folder.
    std::function<void(const ITEMIDLIST* folder)> open_window_on;
};
