#include "ui/address/address_view.h"

#include <commctrl.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>

#include "core/segments.h"
#include "fault/fatal.h"
#include "win/background.h"
#include "win/fill.h"
#include "win/volume.h"
#include "win/window_class.h"

namespace {

// Prefixes whose names the bar keeps: a few hundred bytes each at most.
constexpr std::size_t SEEN_LIMIT = 512;

task_string copy_string(const wchar_t* text) {
    const std::size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
    if (copy) CopyMemory(copy, text, bytes);
    return task_string(copy);
}

} // namespace

address_view_t::address_view_t(HWND parent, HFONT ui_font, pane_host_t pane_host)
    : host(std::move(pane_host)), font(ui_font) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    register_class(L"address_view", window_proc, nullptr,
                   static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)), 4);
    CreateWindowExW(0, L"address_view", L"", WS_CHILD, 300, 0, 1024, 24, parent, nullptr, instance,
                    this);
    fatal_check(handle != nullptr, fatal_sites::address_window);
    ShowWindow(handle, SW_SHOW);

    surface = surface_t(handle, font, false);

    fatal_check(SUCCEEDED(SHGetDesktopFolder(&desktop)), fatal_sites::address_desktop);

    // Sideways scrolling keeps a long path on the one line the bar shows.
    edit = CreateWindowExW(0, L"EDIT", L"",
                           WS_CHILD | WS_BORDER | ES_WANTRETURN | ES_MULTILINE | ES_AUTOHSCROLL, 0,
                           0, 1024, 240, handle, reinterpret_cast<HMENU>(1), instance, nullptr);
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // Paths past MAX_PATH, up to what the system's long paths allow.
    SendMessageW(edit, EM_SETLIMITTEXT, 32767, 0);
    SetWindowSubclass(edit, editor_proc, 1, reinterpret_cast<DWORD_PTR>(this));

    ITEMIDLIST* drives = nullptr;
    SHGetSpecialFolderLocation(handle, CSIDL_DRIVES, &drives);
    pidl.reset(drives);
    if (pidl) {
        // The start segment keeps the rectangle exactly as measured.
        names.push_back(display_name_of(desktop.Get(), pidl.get()));
        RECT r{0, 0, 0, 24};
        measure(names.back().get(), r);
        rects.push_back(r);
        widths.push_back(r.right);
    }
    paint();
}

void address_view_t::measure(const wchar_t* name, RECT& r) const {
    if (name) DrawTextW(surface.mem_dc, name, -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_VCENTER);
}

address_view_t::~address_view_t() {
    // The drop-down is owned by the top-level window, which may outlive the bar.
    if (IsWindow(completions)) DestroyWindow(completions);
    if (IsWindow(edit)) RemoveWindowSubclass(edit, editor_proc, 1);
    // Usually gone with its parent already; otherwise it must not outlive this object.
    if (handle) DestroyWindow(handle);
}

LRESULT CALLBACK address_view_t::window_proc(HWND window, UINT message, WPARAM wparam,
                                             LPARAM lparam) {
    return forward_message<address_view_t>(window, message, wparam, lparam);
}

LRESULT address_view_t::on_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_PAINT:
        if (!surface.has_pixels()) paint();
        surface.paint_window(handle);
        return 0;
    case WM_TIMER:
        if (surface.on_timer(handle, wparam)) return 0;
        break;
    case WM_LBUTTONDOWN:
        click(static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)));
        break;
    case WM_COMMAND:
        if (LOWORD(wparam) == 1 && HIWORD(wparam) == EN_UPDATE) {
            text_changed();
            if (editing()) update_completions();
        }
        break;
    case WM_GETOBJECT:
        if (const LRESULT object =
                accessible.answer(handle, wparam, lparam, [this] { return describe(); }))
            return object;
        break;
    case WM_ADDRESS_ASKED:
        run_job_done(lparam);
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        // The path box and its drop-down in the pane's colours; the light look is the
        // system's own.
        if (const LRESULT brush = box.answer(reinterpret_cast<HDC>(wparam))) return brush;
        break;
    }
    return DefWindowProcW(handle, message, wparam, lparam);
}

void address_view_t::set_folder(const ITEMIDLIST* list) {
    if (editing()) close_editor();
    // Copied before the old list goes, so the bar's own list may be passed back in.
    task_idlist copy = idlist_copy(list);
    // The segments the old folder shares with the new one keep their names and widths:
    // going up or down asks the shell only about what changed.
    std::size_t shared = 0;
    if (copy && pidl)
        for (const BYTE *a = reinterpret_cast<const BYTE*>(copy.get()),
                        *b = reinterpret_cast<const BYTE*>(pidl.get());
             shared < names.size() && idlist_read_u16(a) != 0 && idlist_item_equal(b, a);
             a += idlist_read_u16(a), b += idlist_read_u16(b))
            ++shared;
    std::vector<task_string> old_names = std::move(names);
    const std::vector<int> old_widths = std::move(widths);
    names.clear();
    widths.clear();
    pidl = std::move(copy);
    if (pidl) {
        // Each prefix is named in place: a terminator written after item k turns the
        // one copy into the list of the first k + 1 items for a moment.
        auto* bytes = reinterpret_cast<BYTE*>(pidl.get());
        for (std::size_t end = 0; idlist_read_u16(bytes + end) != 0;) {
            end += idlist_read_u16(bytes + end);
            if (names.size() < shared) {
                widths.push_back(old_widths[names.size()]);
                names.push_back(std::move(old_names[names.size()]));
                continue;
            }
            BYTE saved[2] = {bytes[end], bytes[end + 1]};
            bytes[end] = bytes[end + 1] = 0;
            // A prefix shown before keeps its name and width: going back and forth between
            // folders asks the shell once.
            byte_list key(bytes, bytes + end + 2);
            if (const auto known = seen.find(key); known != seen.end()) {
                names.push_back(copy_string(known->second.first.c_str()));
                widths.push_back(known->second.second);
            } else {
                names.push_back(display_name_of(desktop.Get(), pidl.get()));
                RECT r{0, 0, 0, px(24)};
                measure(names.back().get(), r);
                widths.push_back(r.right);
                if (seen.size() >= SEEN_LIMIT) seen.clear();
                if (names.back())
                    seen.emplace(std::move(key),
                                 std::make_pair(std::wstring(names.back().get()), int(r.right)));
            }
            bytes[end] = saved[0];
            bytes[end + 1] = saved[1];
        }
    }
    place_segments();
    paint();
}

void address_view_t::place_segments() {
    rects.clear();
    const std::vector<segment_rect_t> laid = layout_segments(widths, dpi);
    RECT client;
    GetClientRect(handle, &client);
    // Too deep for the bar: the leading segments give way behind the marker, so that the
    // current folder's stays whole and there is bar left to click for the editor.
    const segment_fit_t fit =
        fit_segments(laid, client.right, px(SEGMENT_GAP), px(MARKER_WIDTH), px(CLICK_ROOM));
    first_shown = fit.first;
    for (std::size_t i = 0; i < laid.size(); ++i) {
        const segment_rect_t& r = laid[i];
        rects.push_back(i < first_shown
                            ? RECT{}
                            : RECT{r.left - fit.shift, r.top, r.right - fit.shift, r.bottom});
    }
}

void address_view_t::set_dpi(int new_dpi, HFONT ui_font) {
    dpi = new_dpi;
    font = ui_font;
    surface.use_font(font);
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (completions) SendMessageW(completions, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // Every segment measured again in the new font.
    const task_idlist shown = std::move(pidl);
    names.clear();
    widths.clear();
    seen.clear();
    if (shown) set_folder(shown.get());
}

void address_view_t::resize(int width, int x) {
    surface.resize(width, px(20));
    MoveWindow(edit, 0, 0, width, px(240), TRUE);
    MoveWindow(handle, x, 0, width, px(20), TRUE);
    if (!widths.empty()) place_segments();
    paint();
}

void address_view_t::paint() {
    RECT client;
    GetClientRect(handle, &client);
    if (!surface.has_pixels()) surface.resize(client.right, client.bottom);
    gradient_rect(surface.mem_dc, client, colours.window, colours.window);
    SetTextColor(surface.mem_dc, colours.text);
    SetBkColor(surface.mem_dc, colours.text_ground);
    if (first_shown > 0) {
        // The marker of the segments that gave way.
        RECT marker{0, 0, px(MARKER_WIDTH), px(SEGMENT_HEIGHT)};
        DrawTextW(surface.mem_dc, L"\u00AB", 1, &marker, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    }
    for (std::size_t i = first_shown; i < names.size(); ++i) {
        RECT r = rects[i];
        if (names[i]) DrawTextW(surface.mem_dc, names[i].get(), -1, &r, DT_SINGLELINE | DT_VCENTER);
        const int R = rects[i].right;
        fill_triangle(surface.mem_dc, colours.plain.ink, pack_point(R + px(5), px(5)),
                      pack_point(R + px(5), px(15)), pack_point(R + px(10), px(10)));
    }
    // The surface covers the client area: erasing first would flash the class's white.
    InvalidateRect(handle, nullptr, FALSE);
}

void address_view_t::set_palette(const palette_t& palette) {
    colours = palette;
    box.use(palette);
    paint();
    InvalidateRect(edit, nullptr, TRUE);
    if (completions) InvalidateRect(completions, nullptr, TRUE);
}

void address_view_t::click(int x, int y) {
    if (first_shown > 0 && x < px(MARKER_WIDTH) && y >= 0 && y < px(SEGMENT_HEIGHT))
        return hidden_segments_menu();
    std::vector<segment_rect_t> hit_rects;
    for (const RECT& r : rects) hit_rects.push_back({r.left, r.top, r.right, r.bottom});
    const int i = segment_at(hit_rects, x, y);
    if (i >= 0) {
        const task_idlist prefix = idlist_prefix(pidl.get(), std::size_t(i) + 1);
        if (prefix) host.browse(prefix.get());
        return;
    }
    open_editor();
}

void address_view_t::hidden_segments_menu() {
    const HMENU menu = CreatePopupMenu();
    for (std::size_t i = first_shown; i-- > 0;)
        AppendMenuW(menu, MF_STRING, i + 1, names[i] ? names[i].get() : L"");
    POINT at{0, px(20)};
    ClientToScreen(handle, &at);
    const UINT chosen = TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, at.x,
                                         at.y, handle, nullptr);
    DestroyMenu(menu);
    if (chosen == 0) return;
    if (const task_idlist prefix = idlist_prefix(pidl.get(), chosen)) host.browse(prefix.get());
}

void address_view_t::open_editor() {
    // Long paths too: a folder deeper than MAX_PATH still shows its path.
    std::wstring path(32768, L'\0');
    if (!pidl ||
        !SHGetPathFromIDListEx(pidl.get(), path.data(), DWORD(path.size()), GPFIDL_DEFAULT))
        path[0] = 0;
    path.resize(wcslen(path.c_str()));
    const HWND focus = GetFocus();
    if (focus != edit) focus_before = focus;
    SetWindowTextW(edit, path.c_str());
    ShowWindow(edit, SW_SHOW);
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetFocus(edit);
    // Typing replaces the path instead of going in front of it.
    SendMessageW(edit, EM_SETSEL, 0, -1);
}

void address_view_t::close_editor() {
    hide_completions();
    // Asked before it hides: hiding the focused box hands the focus to the bar itself.
    const bool had_focus = GetFocus() == edit;
    ShowWindow(edit, SW_HIDE);
    if (had_focus) SetFocus(IsWindow(focus_before) ? focus_before : GetParent(handle));
}

bool address_view_t::editing() const {
    return IsWindowVisible(edit) != FALSE;
}

bool address_view_t::editor_wants(WPARAM key) const {
    const bool listed = IsWindowVisible(completions) != FALSE;
    return key == VK_ESCAPE || key == VK_RETURN ||
           (listed && (key == VK_TAB || key == VK_UP || key == VK_DOWN));
}

std::wstring address_view_t::editor_text() const {
    std::wstring text(GetWindowTextLengthW(edit) + 1, L'\0');
    text.resize(GetWindowTextW(edit, text.data(), int(text.size())));
    return text;
}

void address_view_t::text_changed() {
    const auto path = typed_path(reinterpret_cast<const char16_t*>(editor_text().c_str()));
    if (!path) return;
    go_to(reinterpret_cast<const wchar_t*>(path->c_str()));
}

void address_view_t::go_to(const std::wstring& path) {
    const std::uint64_t ticket = ++go_to_ticket;
    if (!on_slow_volume(path.c_str()))
        return went_to(path, parse_display_name(desktop.Get(), path.c_str()).get());
    // A share or a removable drive may keep the parse waiting: asked off this thread, which
    // goes on answering (the box stays open meanwhile); a later Enter wins.
    run_in_background(
        [this, ticket, path]() -> job_done_t {
            Microsoft::WRL::ComPtr<IShellFolder> own;
            SHGetDesktopFolder(&own);
            const task_idlist list = own ? parse_display_name(own.Get(), path.c_str()) : nullptr;
            return [this, ticket, path, parsed = list ? idlist_bytes(list.get()) : byte_list{}] {
                if (ticket != go_to_ticket || !editing()) return;
                went_to(path, parsed.empty() ? nullptr : as_idlist(parsed));
            };
        },
        handle, WM_ADDRESS_ASKED);
}

void address_view_t::went_to(const std::wstring& path, const ITEMIDLIST* list) {
    if (!list) {
        // Nothing of that name: the text stays, selected, to be put right.
        SetWindowTextW(edit, path.c_str());
        SendMessageW(edit, EM_SETSEL, 0, -1);
        MessageBeep(MB_ICONWARNING);
        return;
    }
    // The keys go back where they came from, as Escape leaves them.
    close_editor();
    host.browse(list);
}

bool address_view_t::on_editor_key(WPARAM key) {
    const bool listed = IsWindowVisible(completions) != FALSE;
    const int chosen = listed ? int(SendMessageW(completions, LB_GETCURSEL, 0, 0)) : LB_ERR;
    switch (key) {
    case VK_ESCAPE:
        if (listed)
            hide_completions();
        else
            close_editor();
        return true;
    case VK_RETURN:
        // Without a choice in the drop-down, the line break it types is what browses, as
        // one pasted or sent does.
        if (chosen == LB_ERR) return false;
        swallow_return = true;
        go_to(completion_parent + shown_names[chosen]);
        return true;
    case VK_TAB:
        if (!listed) return false;
        // Its character would follow the name into the box.
        swallow_tab = true;
        complete();
        return true;
    case VK_UP:
    case VK_DOWN: {
        if (!listed) return false;
        const int last = int(shown_names.size()) - 1;
        const int next = key == VK_DOWN ? (chosen == LB_ERR ? 0 : std::min(chosen + 1, last))
                                        : (chosen == LB_ERR ? last : std::max(chosen - 1, 0));
        SendMessageW(completions, LB_SETCURSEL, next, 0);
        return true;
    }
    }
    return false;
}

void address_view_t::complete() {
    const int chosen = int(SendMessageW(completions, LB_GETCURSEL, 0, 0));
    const std::wstring& name = shown_names[chosen == LB_ERR ? 0 : chosen];
    const std::wstring text = completion_parent + name + L"\\";
    SetWindowTextW(edit, text.c_str());
    SendMessageW(edit, EM_SETSEL, text.size(), text.size());
    update_completions();
}

namespace {

// What a path box holds, on one line.
std::wstring one_line(std::wstring text) {
    std::erase(text, L'\r');
    std::erase(text, L'\n');
    return text;
}

// The names of a folder's subfolders as a path spells them.
std::vector<std::wstring> subfolders_of(IShellFolder* desktop, const std::wstring& parent) {
    std::vector<std::wstring> names;
    if (!desktop) return names;
    const task_idlist list = parse_display_name(desktop, parent.c_str());
    if (!list) return names;
    Microsoft::WRL::ComPtr<IShellFolder> folder;
    if (list->mkid.cb == 0)
        folder = desktop;
    else
        desktop->BindToObject(list.get(), nullptr, IID_PPV_ARGS(&folder));
    Microsoft::WRL::ComPtr<IEnumIDList> items;
    if (!folder || folder->EnumObjects(nullptr, SHCONTF_FOLDERS, &items) != S_OK || !items)
        return names;
    for (ITEMIDLIST* raw = nullptr; items->Next(1, &raw, nullptr) == S_OK && raw; raw = nullptr) {
        const task_idlist item(raw);
        STRRET name;
        wchar_t* text = nullptr;
        if (SUCCEEDED(
                folder->GetDisplayNameOf(item.get(), SHGDN_INFOLDER | SHGDN_FORPARSING, &name)) &&
            SUCCEEDED(StrRetToStrW(&name, item.get(), &text))) {
            const task_string owned(text);
            names.emplace_back(owned.get());
        }
    }
    return names;
}

} // namespace

void address_view_t::update_completions() {
    const std::wstring text = one_line(editor_text());
    const std::size_t cut = text.rfind(L'\\');
    if (cut == std::wstring::npos) return hide_completions();
    const std::wstring parent = text.substr(0, cut + 1);
    if (parent != completion_parent) {
        completion_parent = parent;
        const std::uint64_t listing = ++*latest_listing;
        subfolder_names.clear();
        if (on_slow_volume(parent.c_str())) {
            // Listed off this thread: the drop-down comes once the volume answers.
            hide_completions();
            return run_in_background(
                [this, parent, listing, latest = latest_listing]() -> job_done_t {
                    if (listing != latest->load()) return {};
                    Microsoft::WRL::ComPtr<IShellFolder> own;
                    SHGetDesktopFolder(&own);
                    return [this, parent, names = subfolders_of(own.Get(), parent)]() mutable {
                        if (parent != completion_parent || !editing()) return;
                        subfolder_names = std::move(names);
                        show_completions();
                    };
                },
                handle, WM_ADDRESS_ASKED);
        }
        subfolder_names = subfolders_of(desktop.Get(), parent);
    }
    show_completions();
}

void address_view_t::show_completions() {
    const std::wstring text = one_line(editor_text());
    const std::wstring tail = text.substr(std::min(text.size(), completion_parent.size()));
    shown_names.clear();
    for (const std::wstring& name : subfolder_names)
        if (name.size() >= tail.size() &&
            CompareStringOrdinal(name.c_str(), int(tail.size()), tail.c_str(), int(tail.size()),
                                 TRUE) == CSTR_EQUAL)
            shown_names.push_back(name);
    if (shown_names.empty()) return hide_completions();

    // Made when first needed: a pop-up costs every start its making, and most never list.
    if (!completions) {
        completions = CreateWindowExW(
            WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TOPMOST, L"LISTBOX", L"",
            WS_POPUP | WS_BORDER | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, 0, 0, 100, 100,
            GetAncestor(handle, GA_ROOT), nullptr, GetModuleHandleW(nullptr), nullptr);
        SendMessageW(completions, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    SendMessageW(completions, WM_SETREDRAW, FALSE, 0);
    SendMessageW(completions, LB_RESETCONTENT, 0, 0);
    for (const std::wstring& name : shown_names)
        SendMessageW(completions, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    SendMessageW(completions, WM_SETREDRAW, TRUE, 0);
    RECT bar;
    GetWindowRect(handle, &bar);
    const int item = std::max(1, int(SendMessageW(completions, LB_GETITEMHEIGHT, 0, 0)));
    const int rows = std::min<int>(int(shown_names.size()), 12);
    SetWindowPos(completions, HWND_TOPMOST, bar.left, bar.bottom, bar.right - bar.left,
                 rows * item + 2 * GetSystemMetrics(SM_CYBORDER), SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void address_view_t::hide_completions() {
    if (completions) ShowWindow(completions, SW_HIDE);
}

LRESULT CALLBACK address_view_t::editor_proc(HWND window, UINT message, WPARAM wparam,
                                             LPARAM lparam, UINT_PTR, DWORD_PTR self) {
    auto* view = reinterpret_cast<address_view_t*>(self);
    if (message == WM_KEYDOWN && view->on_editor_key(wparam)) return 0;
    // The characters of keys handled above would beep or break the line.
    if (message == WM_CHAR && wparam == L'\r' && view->swallow_return) {
        view->swallow_return = false;
        return 0;
    }
    if (message == WM_CHAR && wparam == L'\t' && view->swallow_tab) {
        view->swallow_tab = false;
        return 0;
    }
    if (message == WM_CHAR &&
        (wparam == 27 || (wparam == L'\t' && IsWindowVisible(view->completions))))
        return 0;
    if (message == WM_KILLFOCUS) view->hide_completions();
    return DefSubclassProc(window, message, wparam, lparam);
}

accessible_source_t address_view_t::describe() {
    accessible_source_t s;
    s.role = ROLE_SYSTEM_TOOLBAR;
    s.count = [this] { return LONG(names.size()); };
    s.name = [this](LONG i) { return std::wstring(names[i] ? names[i].get() : L""); };
    s.role_of = [](LONG) { return LONG(ROLE_SYSTEM_PUSHBUTTON); };
    s.state_of = [](LONG) { return LONG(STATE_SYSTEM_FOCUSABLE); };
    s.location_of = [this](LONG i, RECT& r) {
        if (std::size_t(i) < first_shown) return false; // gave way to the marker
        r = rects[i];
        r.bottom = std::min<LONG>(r.bottom, px(20));
        MapWindowPoints(handle, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
        return true;
    };
    s.focused = [] { return LONG(-1); };
    s.default_action_name = L"Press";
    s.default_action = [this](LONG i) {
        if (const task_idlist prefix = idlist_prefix(pidl.get(), std::size_t(i) + 1))
            host.browse(prefix.get());
    };
    return s;
}
