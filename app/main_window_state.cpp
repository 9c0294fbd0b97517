// Where a main window's state goes and comes from: the session's settings file, the
// windows a start brings back, and where new windows are placed.
#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "app/ebe.h"
#include "app/main_window.h"
#include "app/process.h"
#include "app/session.h"
#include "core/placement.h"
#include "core/settings_format.h"
#include "ui/tree/tree_view.h"

namespace {

// The window's rectangle as it is when neither minimised nor maximised, in screen
// coordinates, and whether it is (or, minimised, comes back) maximised. A minimised
// window's own rectangle is a strip, or off every screen.
struct placement_t {
    RECT normal;
    bool maximized;
};
placement_t normal_placement(HWND window);

screen_rect_t work_area_near(const RECT& r) {
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &mi);
    return {mi.rcWork.left, mi.rcWork.top, mi.rcWork.right, mi.rcWork.bottom};
}

// A system metric at the scale of a window's monitor, where the system can tell it.
int metric_at(int index, int dpi) {
    using for_dpi_t = int(WINAPI*)(int, UINT);
    static const auto for_dpi = reinterpret_cast<for_dpi_t>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32"), "GetSystemMetricsForDpi")));
    return for_dpi ? for_dpi(index, UINT(dpi)) : GetSystemMetrics(index);
}

void move_to(HWND window, const screen_rect_t& r) {
    MoveWindow(window, int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top), TRUE);
}

} // namespace

void open_window_at(const main_window_t* source, POINT at) {
    const saves_held_t held;
    const list_view_t view = source->list_view_now();
    main_window_t* window = main_window_t::open(nullptr, nullptr, &view);
    window->load_settings();
    // Where it was dropped, whatever the settings say, but whole on the screen.
    if (IsZoomed(window->handle)) ShowWindow(window->handle, SW_RESTORE);
    RECT r;
    GetWindowRect(window->handle, &r);
    const RECT dropped{at.x, at.y, at.x + r.right - r.left, at.y + r.bottom - r.top};
    const screen_rect_t placed{dropped.left, dropped.top, dropped.right, dropped.bottom};
    move_to(window->handle, whole_in(placed, work_area_near(dropped)));
}

main_window_t* open_cascaded(const main_window_t* source, const ITEMIDLIST* folder) {
    const saves_held_t held;
    const list_view_t view = source->list_view_now();
    main_window_t* window = main_window_t::open(folder, nullptr, &view);
    if (IsZoomed(source->handle)) return window;
    // Down and right of its source, the way windows cascade, so that it is seen to come.
    // From where the source stands when it is neither minimised nor maximised: a minimised
    // one's own rectangle is a strip, or off every screen.
    RECT r = normal_placement(source->handle).normal;
    const int step = metric_at(SM_CYCAPTION, source->dpi) + metric_at(SM_CYSIZEFRAME, source->dpi);
    OffsetRect(&r, step, step);
    const screen_rect_t work = work_area_near(r);
    screen_rect_t next{r.left, r.top, r.right, r.bottom};
    // Past the screen's edge the cascade starts again at the work area's corner.
    if (next.right > work.right || next.bottom > work.bottom)
        next = {work.left, work.top, work.left + (r.right - r.left), work.top + (r.bottom - r.top)};
    move_to(window->handle, whole_in(next, work));
    return window;
}

bool restore_every_window() {
    const std::vector<std::uint8_t> bytes = g_session.read();
    const auto saved = decode_settings(bytes.data(), bytes.size());
    if (!saved || saved->trailer.windows.size() < 2) return false;
    for (const window_record_t& record : saved->trailer.windows) {
        const task_idlist folder = record.folder ? idlist_from_bytes(*record.folder) : nullptr;
        main_window_t* window = main_window_t::open(folder ? folder.get() : nullptr, &record);
        window->restore_record(record);
    }
    return true;
}

namespace {

placement_t normal_placement(HWND window) {
    const bool zoomed = IsZoomed(window), iconic = IsIconic(window);
    if (!zoomed && !iconic) {
        // As it stands: the placement's copy is not kept up to date by every system.
        RECT r;
        GetWindowRect(window, &r);
        return {r, false};
    }
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    GetWindowPlacement(window, &wp);
    // The normal rectangle is in the coordinates of the monitor's work area.
    RECT r = wp.rcNormalPosition;
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    if (GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &mi))
        OffsetRect(&r, mi.rcWork.left - mi.rcMonitor.left, mi.rcWork.top - mi.rcMonitor.top);
    return {r, zoomed || (wp.flags & WPF_RESTORETOMAXIMIZED)};
}

// Where a saved rectangle comes back: as saved when it shows on a monitor at a usable
// size, otherwise whole on the nearest monitor's work area.
RECT restored_rect(const std::int32_t (&saved)[4]) {
    const screen_rect_t s{saved[0], saved[1], saved[2], saved[3]};
    const RECT r{saved[0], saved[1], saved[2], saved[3]};
    const bool on_a_monitor = r.right > r.left && r.bottom > r.top &&
                              MonitorFromRect(&r, MONITOR_DEFAULTTONULL) != nullptr;
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &mi);
    const screen_rect_t work{mi.rcWork.left, mi.rcWork.top, mi.rcWork.right, mi.rcWork.bottom};
    const screen_rect_t placed = restored_window_rect(s, on_a_monitor, work);
    return {LONG(placed.left), LONG(placed.top), LONG(placed.right), LONG(placed.bottom)};
}

} // namespace

RECT main_window_t::made_at(const window_record_t* record) {
    if (record) return restored_rect(record->rect);
    const std::vector<std::uint8_t> bytes = g_session.read();
    if (const auto saved = decode_settings(bytes.data(), bytes.size()))
        return restored_rect(saved->rect);
    return {CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT + 1024, CW_USEDEFAULT + 768};
}

void main_window_t::save_settings() {
    g_session.save_now(this);
}

window_record_t main_window_t::record() const {
    const placement_t p = normal_placement(handle);
    window_record_t record{split,
                           {p.normal.left, p.normal.top, p.normal.right, p.normal.bottom},
                           p.maximized,
                           std::nullopt,
                           list_view_now()};
    if (ebe && ebe->folder) record.folder = idlist_bytes(ebe->folder.get());
    return record;
}

bool main_window_t::load_settings(const ITEMIDLIST* instead) {
    const std::vector<std::uint8_t> bytes = g_session.read();
    if (bytes.empty()) return false;
    const auto saved = decode_settings(bytes.data(), bytes.size());
    if (!saved) {
        // Nothing to restore: start where an empty file starts, so the first save
        // writes a folder that exists.
        if (instead)
            go_to(instead);
        else
            browse_to_desktop();
        return true;
    }
    split = saved->split;
    restore_maximized = saved->trailer.maximized;
    if (!list_view_given) list_view = saved->trailer.view;
    restore_pins(saved->pins);
    if (instead) {
        go_to(instead);
    } else if (saved->folder) {
        const task_idlist folder = idlist_from_bytes(*saved->folder);
        go_to(folder.get());
    } else {
        browse_to_desktop();
    }
    const RECT r = restored_rect(saved->rect);
    MoveWindow(handle, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    return true;
}

void main_window_t::restore_record(const window_record_t& record) {
    split = record.split;
    const RECT r = restored_rect(record.rect);
    if (IsZoomed(handle)) ShowWindow(handle, SW_RESTORE);
    MoveWindow(handle, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    if (record.maximized) ShowWindow(handle, SW_MAXIMIZE);
    layout();
}

void main_window_t::restore_pins(const std::vector<byte_list>& saved) {
    if (!g_session.pins.loaded) {
        g_session.pins.folders = saved;
        g_session.pins.loaded = true;
    }
    const std::vector<pin_outcome_t> outcomes = tree->model().load_expanded(g_session.pins.folders);
    // What this tree learnt: a pin found under other IDs keeps those, in every window;
    // one whose folder is gone leaves every window; one out of reach for now stays.
    std::vector<byte_list> kept, gone;
    std::vector<std::pair<byte_list, byte_list>> moved;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        const byte_list& was = g_session.pins.folders[i];
        const byte_list& pin = outcomes[i].shown_as.empty() ? was : outcomes[i].shown_as;
        if (!outcomes[i].shown_as.empty() || outcomes[i].unreachable) {
            if (std::find(kept.begin(), kept.end(), pin) == kept.end()) kept.push_back(pin);
            if (pin != was) moved.emplace_back(was, pin);
        } else {
            gone.push_back(pin);
        }
    }
    g_session.pins.folders = std::move(kept);
    for (main_window_t* other : g_session.main_windows) {
        if (other == this) continue;
        for (const byte_list& pin : gone) other->tree->model().set_pin(as_idlist(pin), false);
        for (const auto& [was, now] : moved)
            other->tree->model().move_pin(as_idlist(was), as_idlist(now), true);
    }
}

void main_window_t::on_pin_moved(const ITEMIDLIST* from, const ITEMIDLIST* to) {
    std::vector<byte_list>& pins = g_session.pins.folders;
    const byte_list now = idlist_bytes(to);
    respell_pins(pins, idlist_bytes(from), now);
    // Not pinned when the news was overtaken: the folder was unpinned meanwhile, or
    // another window respelled it since and every window took that spelling.
    const bool pinned = std::find(pins.begin(), pins.end(), now) != pins.end();
    for (main_window_t* window : g_session.main_windows)
        window->tree->model().move_pin(from, to, pinned);
    save_settings();
}

void main_window_t::on_pin_changed(const ITEMIDLIST* folder, bool pinned) {
    const byte_list pin = idlist_bytes(folder);
    std::erase(g_session.pins.folders, pin);
    if (pinned) g_session.pins.folders.push_back(pin);
    for (main_window_t* other : g_session.main_windows)
        if (other != this) other->tree->model().set_pin(folder, pinned);
    save_settings();
}
