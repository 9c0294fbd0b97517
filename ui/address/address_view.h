#pragma once
// The address bar: the current folder as a row of segments, and a path editor.
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/scale.h"
#include "core/segments.h"
#include "ui/pane_host.h"
#include "win/accessible.h"
#include "win/com.h"
#include "win/surface.h"
#include "win/theme.h"

// At 96 DPI: the marker of segments that gave way, and the bar always left free after
// the last segment, to click for the editor.
constexpr int MARKER_WIDTH = 24;
constexpr int CLICK_ROOM = 40;

// Work asked off the window's thread (win/background.h) comes back as this.
constexpr UINT WM_ADDRESS_ASKED = WM_APP + 1;

struct address_view_t {
    static constexpr bool owned_by_window = false; // its main window owns it

    pane_host_t host;
    HFONT font;
    Microsoft::WRL::ComPtr<IShellFolder> desktop;
    task_idlist pidl;
    HWND handle = nullptr;
    surface_t surface;
    HWND edit = nullptr;
    std::vector<task_string> names;
    std::vector<RECT> rects;     // as shown; empty for segments that gave way
    std::vector<int> widths;     // each segment's measured text width
    std::size_t first_shown = 0; // segments before it gave way to the marker
    // Names and widths of prefixes shown before, by their bytes.
    std::map<byte_list, std::pair<std::wstring, int>> seen;
    HWND focus_before = nullptr;    // where the focus returns when the editor closes
    HWND completions = nullptr;     // the drop-down of subfolders under the editor
    std::wstring completion_parent; // the folder whose subfolders are listed
    // Which listing is the latest, for the helper threads: one that another has replaced
    // before it started is not made.
    std::shared_ptr<std::atomic<std::uint64_t>> latest_listing =
        std::make_shared<std::atomic<std::uint64_t>>(0);
    std::vector<std::wstring> subfolder_names; // of that folder, as typed in a path
    std::vector<std::wstring> shown_names;     // the ones the drop-down shows
    bool swallow_return = false;               // Enter chose from the drop-down
    bool swallow_tab = false;                  // Tab completed a name
    std::uint64_t go_to_ticket = 0;            // the latest path asked for
    accessible_holder_t accessible;

    int dpi = BASE_DPI;
    palette_t colours = light_palette();
    box_colours_t box; // the path box's and its drop-down's

    address_view_t(HWND parent, HFONT ui_font, pane_host_t pane_host);
    ~address_view_t();
    address_view_t(const address_view_t&) = delete;
    address_view_t& operator=(const address_view_t&) = delete;

    static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT on_message(UINT message, WPARAM wparam, LPARAM lparam);

    void set_folder(const ITEMIDLIST* list);
    void resize(int width, int x);
    void paint();
    // Another scale: lengths and the font follow, every segment measured again.
    void set_dpi(int new_dpi, HFONT ui_font);
    int px(int length) const { return scaled(length, dpi); }
    // Painted in these colours from now on, the path box and its drop-down too.
    void set_palette(const palette_t& palette);

    // The editor on the current folder's path, all of it selected, with the focus.
    void open_editor();
    // Hidden, the bar as it was, the focus back where it came from.
    void close_editor();
    bool editing() const;
    // Whether the editor, holding the focus, takes this key itself rather than leaving
    // it to the window (Tab completes while the drop-down shows).
    bool editor_wants(WPARAM key) const;

private:
    void measure(const wchar_t* name, RECT& r) const;
    void place_segments();
    void hidden_segments_menu();
    void click(int x, int y);
    void text_changed();
    std::wstring editor_text() const;
    // Browses to the typed path; one that names nothing keeps the editor open, selected,
    // with a beep.
    void go_to(const std::wstring& path);
    void went_to(const std::wstring& path, const ITEMIDLIST* list);
    bool on_editor_key(WPARAM key);
    void update_completions();
    void show_completions();
    void hide_completions();
    void complete();
    static LRESULT CALLBACK editor_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                        UINT_PTR id, DWORD_PTR self);
    accessible_source_t describe();
};
