#pragma once
// The folder tree pane on the left of a main window: the window and its rows, drawn off
// screen, with pinned and current rows kept in sight; the mouse, the keys, the focus row
// and what screen readers see. Its folders are the model's, its menus and drops the
// shell part's.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/rows.h"
#include "core/scale.h"
#include "ui/pane_host.h"
#include "ui/tree/tree_model.h"
#include "ui/tree/tree_shell.h"
#include "win/accessible.h"
#include "win/surface.h"
#include "win/theme.h"

// Draws a page of rows into `dc`, a client area of `width` by `height` at `dpi`, in the
// palette's colours: `focus` gets the keyboard's frame (null while the keys are
// elsewhere), the row of the node `framed` the drop's frame.
void paint_rows(HDC dc, int width, int height, int dpi, const std::vector<const tree_node_t*>& page,
                const tree_node_t* focus, std::uint64_t framed,
                const palette_t& palette = light_palette());

class tree_view_t {
public:
    static constexpr bool owned_by_window = false; // its main window owns it

    HWND handle = nullptr;

    tree_view_t(HWND parent, HFONT font, pane_host_t pane_host);
    ~tree_view_t();
    tree_view_t(const tree_view_t&) = delete;
    tree_view_t& operator=(const tree_view_t&) = delete;

    static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT on_message(UINT message, WPARAM wparam, LPARAM lparam);

    // The folders it shows, and the part that is the shell's.
    tree_model_t& model() { return *folders; }
    tree_shell_t& shell() { return *shell_part; }

    void resize(int width, int height);
    // Another scale (a window moved to another monitor): lengths and the font follow.
    void set_dpi(int new_dpi, HFONT font);
    // A length of the 96-DPI design at the pane's scale.
    int px(int length) const { return scaled(length, dpi); }
    // The shell's "show hidden files" setting, read again when the system says it changed.
    void settings_changed();
    // Hidden folders listed or left out (unless shown, pinned or on the way to those).
    void show_hidden(bool shown);

    // The model's nodes changed: every row list made anew, and painted.
    void rows_changed();

    // Painted in these colours from now on (the system's theme changed).
    void set_palette(const palette_t& palette);

    // ---- What it lists: the nodes that get a row, those on the page (top to bottom),
    // the scroll position and its end, the keyboard's row.
    const std::vector<const tree_node_t*>& listed() const { return visible_rows; }
    const std::vector<const tree_node_t*>& page() const { return page_rows; }
    int position() const { return scroll_info.nPos; }
    int last_position() const { return scroll_info.nMax; }
    const tree_node_t* focus() const { return focus_node; }
    bool hidden_shown() const { return hidden_listed; }
    // The row under a screen point, or null.
    const tree_node_t* row_at(POINT screen) const;

private:
    pane_host_t host;
    SCROLLINFO scroll_info{};
    surface_t surface;
    std::unique_ptr<tree_model_t> folders;
    std::unique_ptr<tree_shell_t> shell_part;
    std::vector<const tree_node_t*> all_nodes;    // pre-order, collapsed subtrees included
    std::vector<const tree_node_t*> visible_rows; // the nodes that get a row
    std::vector<const tree_node_t*> page_rows;    // the rows on screen, top to bottom
    wheel_t wheel;
    bool name_pressed = false;               // a name was pressed and the button is not yet let go
    const tree_node_t* focus_node = nullptr; // the keyboard's row
    std::wstring typed;                      // letters typed in a row, to find a name by
    ULONGLONG typed_at = 0;
    accessible_holder_t accessible;
    bool hidden_listed = false;
    int dpi = BASE_DPI;
    palette_t colours = light_palette();
    box_colours_t box; // the rename box's

    void rebuild_visible_rows();
    void rebuild_page_rows();
    void paint();
    void row_rebuild();
    void page_rebuild();
    void set_position(int position);
    void on_button_down(int x, int y);
    void on_button_up(int x, int y);
    void toggle_expanded(const tree_node_t* node);
    void browse_to(const tree_node_t* node);
    void context_menu(LPARAM lparam);
    bool name_box(const tree_node_t* node, RECT& box) const;

    // The keyboard: a focus row among the listed ones, kept in sight.
    bool on_key(WPARAM key);
    void on_char(wchar_t c);
    void set_focus_node(const tree_node_t* node);
    const tree_node_t* first_focus() const;
    bool is_listed(const tree_node_t* node) const;
    int listed_index(const tree_node_t* node) const;
    int page_size() const;
    // Tells screen readers about the focus row.
    void announce(DWORD event);
    accessible_source_t describe();
};
