#pragma once
// One top-level window: the tree, the address bar, the hosted explorer browser and the
// splitter between them. The window owns the object: it is freed when the window is
// destroyed, which closing the window does.
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "core/idlist.h"
#include "core/scale.h"
#include "core/settings_format.h"
#include "win/com.h"
#include "win/handle.h"
#include "win/theme.h"

class tree_view_t;
struct address_view_t;

struct ebe_t;

// Work done off the window's thread (win/background.h) comes back as this.
constexpr UINT WM_BACKGROUND_DONE = WM_APP + 12;

struct main_window_t {
    static constexpr bool owned_by_window = true;

    HWND handle = nullptr;
    // The UI font at the window's scale, when it is not 96 DPI's g_font. Before the panes:
    // it must outlive every DC they select it into.
    unique_font font;
    std::unique_ptr<tree_view_t> tree;
    std::unique_ptr<address_view_t> address;
    Microsoft::WRL::ComPtr<IExplorerBrowser> eb;
    Microsoft::WRL::ComPtr<ebe_t> ebe;
    HWND eb_handle = nullptr;
    std::int32_t split = 300;
    bool dragging = false;
    bool restore_maximized = false; // the settings say so; shown maximised
    bool sizing = false;            // between WM_ENTERSIZEMOVE and WM_EXITSIZEMOVE
    int dpi = 96;                   // the scale of the monitor it is on
    task_idlist select_after;       // a file to select in the list once its folder shows
    HWND keys_stay = nullptr;       // the pane a navigation was started from with the keyboard
    std::uint64_t go_to_ticket = 0; // the latest go_to: one answered after a later is void
    palette_t colours = light_palette();
    bool dark_asked = false; // the frame, the scroll bar and the list were asked to be dark
    // The list's view as the user last set it: saved, and given to every view that follows.
    list_view_t list_view;
    bool list_view_given = false; // its source's or its record's, not the file's
    list_view_t view_chosen;      // what the view chose for its folder while none was kept

    // A new window, shown, restored from the settings file (or on the desktop when the
    // file is empty), and in the session's main_windows; on `folder` instead of the saved
    // one when one is given, which is then its one navigation. It belongs to its window.
    // A window of the last session (`record`) is made where it was, on its own monitor
    // and at that monitor's scale; another where the file's first record was. Its list
    // starts with the record's view, or `view` (its source's), or the file's.
    static main_window_t* open(const ITEMIDLIST* folder = nullptr,
                               const window_record_t* record = nullptr,
                               const list_view_t* view = nullptr);

    ~main_window_t();
    main_window_t(const main_window_t&) = delete;
    main_window_t& operator=(const main_window_t&) = delete;

    static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT on_message(UINT message, WPARAM wparam, LPARAM lparam);

    // This window's state into the settings file now (a navigation, a pin, a gesture's end).
    void save_settings();
    // What the settings file keeps of this window.
    window_record_t record() const;
    // Restores from the settings file; browses to `instead`, when given, rather than the
    // saved folder. False when the file holds nothing (it is empty): nothing was done.
    bool load_settings(const ITEMIDLIST* instead = nullptr);

    void browse_to_desktop();
    void layout();
    // Where a list asks to go: a file's folder, with the file selected when it shows; for
    // a folder that went, the nearest folder still there.
    void go_to(const ITEMIDLIST* list);
    // `split` is kept in 96-DPI units, as the settings file has always held it.
    int split_pixels() const { return scaled(split, dpi); }
    void use_dpi(int scale);

    // The system's theme, read again, on every pane, the splitter, the frame and the list.
    void apply_theme();
    // The list's view as its view shows it now; what is kept where the view cannot tell.
    list_view_t view_shows() const;
    // The same, as the user set it: unknown while it is what the system chose.
    list_view_t list_view_now() const;
    // Takes the view's state as the one kept: true when it changed.
    bool keep_list_view();

    // The window's keys, whichever pane has the focus: true when the message was one.
    bool on_shortcut(const MSG& msg);
    // Tab, Shift+Tab, F6: tree, path box, list, round.
    void focus_next(bool backwards);
    // F5: the tree's folders read again, and the list.
    void refresh();

private:
    main_window_t(const ITEMIDLIST* folder, const window_record_t* record, const list_view_t* view);
    // Where the window is made: its record's rectangle, else the file's, else the default
    // place (left and top CW_USEDEFAULT).
    static RECT made_at(const window_record_t* record);
    void on_destroy();
    // What the browser reports: a folder about to show, which the panes and the file
    // follow; a folder shown.
    void on_navigation_pending(const ITEMIDLIST* folder);
    void on_navigation_complete();
    void restore_pins(const std::vector<byte_list>& saved);
    // A view the browser made: the list's view and theme given to it.
    void on_view_created();
    void give_list_view();
    void theme_list();
    HWND view_window() const; // the list's view's, null while there is none

public:
    // A window of the last session brought back as it was (its folder is the one it was
    // opened on).
    void restore_record(const window_record_t& record);
    void on_pin_changed(const ITEMIDLIST* folder, bool pinned);
    void on_pin_moved(const ITEMIDLIST* from, const ITEMIDLIST* to);
};

// A window dragged out of a tree: restored from the settings, which name the dragged
// folder, and placed with its top-left corner at a screen point, whole on the screen; its
// list starts as its source's shows.
void open_window_at(const main_window_t* source, POINT at);

// A new window from another (a hand-over to it, Ctrl+N in it): down and right of it.
main_window_t* open_cascaded(const main_window_t* source, const ITEMIDLIST* folder);

// A start without a folder asked for: every window the file holds, in their order;
// false when it holds fewer than two (the one window opens as always).
bool restore_every_window();
