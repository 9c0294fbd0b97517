// How a main window looks and how its list is kept: the system's theme on the panes, the
// splitter, the frame and the list; the list's view mode and sort, read from the view the
// user set them in and given to every view that follows it.
#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>
#include <cstring>

#include "app/ebe.h"
#include "app/main_window.h"
#include "app/process.h"
#include "ui/address/address_view.h"
#include "ui/tree/tree_view.h"

namespace {

// The frame in the system's dark colours, where it has the attribute for it.
void set_dark_frame(HWND window, bool dark) {
    using set_attribute_t = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
    static const auto set_attribute = [] {
        const HMODULE dwm = LoadLibraryExW(L"dwmapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        return dwm ? reinterpret_cast<set_attribute_t>(
                         reinterpret_cast<void*>(GetProcAddress(dwm, "DwmSetWindowAttribute")))
                   : nullptr;
    }();
    if (!set_attribute) return;
    const BOOL on = dark;
    // DWMWA_USE_IMMERSIVE_DARK_MODE; builds of Windows 10 before 20H1 knew it as 19.
    if (FAILED(set_attribute(window, 20, &on, sizeof on)))
        set_attribute(window, 19, &on, sizeof on);
}

// The shell view's own windows asked to follow: a list view (Wine's, older systems') also
// given its colours, which it draws with whatever theme it has.
void theme_view_windows(HWND view, const palette_t& colours) {
    const auto each = [](HWND child, LPARAM data) -> BOOL {
        const auto& c = *reinterpret_cast<const palette_t*>(data);
        const bool night = c.kind == theme_kind_t::dark;
        wchar_t name[64] = L"";
        GetClassNameW(child, name, 64);
        if (wcscmp(name, WC_LISTVIEWW) == 0) {
            SetWindowTheme(child, night ? L"DarkMode_Explorer" : L"Explorer", nullptr);
            const COLORREF ground = night ? c.text_ground : GetSysColor(COLOR_WINDOW);
            ListView_SetBkColor(child, ground);
            ListView_SetTextBkColor(child, ground);
            ListView_SetTextColor(child, night ? c.text : GetSysColor(COLOR_WINDOWTEXT));
        } else if (wcscmp(name, L"DirectUIHWND") == 0 || wcscmp(name, WC_HEADERW) == 0) {
            SetWindowTheme(child, night ? L"DarkMode_ItemsView" : L"ItemsView", nullptr);
        }
        InvalidateRect(child, nullptr, TRUE);
        return TRUE;
    };
    EnumChildWindows(view, each, reinterpret_cast<LPARAM>(&colours));
}

} // namespace

void main_window_t::apply_theme() {
    const theme_t theme = g_read_theme();
    colours = palette_of(theme);
    tree->set_palette(colours);
    address->set_palette(colours);
    InvalidateRect(handle, nullptr, FALSE); // the splitter
    const bool dark = theme.kind == theme_kind_t::dark;
    // The light look is the system's own: nothing is asked of it until dark was.
    if (!dark && !dark_asked) return;
    const bool switched = dark_asked != dark;
    dark_asked = dark;
    set_dark_frame(handle, dark);
    // The tree's scroll bar.
    SetWindowTheme(tree->handle, dark ? L"DarkMode_Explorer" : L"Explorer", nullptr);
    // Back to light too: the colours given to the list stay until taken back.
    if (const HWND view = view_window()) theme_view_windows(view, colours);
    // A shown frame takes the new colours when it is drawn anew.
    if (switched && IsWindowVisible(handle))
        SetWindowPos(handle, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

HWND main_window_t::view_window() const {
    HWND view = nullptr;
    if (!ebe || !ebe->view || FAILED(ebe->view->GetWindow(&view))) return nullptr;
    return view;
}

void main_window_t::theme_list() {
    // A new view is light of itself.
    if (const HWND view = view_window(); view && dark_asked) theme_view_windows(view, colours);
}

list_view_t main_window_t::view_shows() const {
    list_view_t now = list_view;
    Microsoft::WRL::ComPtr<IFolderView> folder_view;
    if (!ebe || !ebe->view || FAILED(ebe->view.As(&folder_view))) return now;
    Microsoft::WRL::ComPtr<IFolderView2> view2;
    folder_view.As(&view2);
    FOLDERVIEWMODE mode{};
    int icon_size = 0;
    UINT plain_mode = 0;
    if (view2 && SUCCEEDED(view2->GetViewModeAndIconSize(&mode, &icon_size)) && mode > 0) {
        now.mode = mode;
        now.icon_size = icon_size;
    } else if (SUCCEEDED(folder_view->GetCurrentViewMode(&plain_mode)) && int(plain_mode) > 0 &&
               int(plain_mode) != now.mode) {
        // The size kept went with the mode it was read in.
        now.mode = int(plain_mode);
        now.icon_size = 0;
    }
    int count = 0;
    if (view2 && SUCCEEDED(view2->GetSortColumnCount(&count)) && count > 0) {
        std::vector<SORTCOLUMN> columns(std::size_t(std::min(count, 16)));
        if (SUCCEEDED(view2->GetSortColumns(columns.data(), int(columns.size())))) {
            now.sort.clear();
            for (const SORTCOLUMN& column : columns) {
                sort_column_t& kept = now.sort.emplace_back();
                static_assert(sizeof kept.key == sizeof column.propkey);
                std::memcpy(kept.key, &column.propkey, sizeof kept.key);
                kept.direction = column.direction == SORT_DESCENDING ? -1 : 1;
            }
        }
    }
    return now;
}

list_view_t main_window_t::list_view_now() const {
    const list_view_t now = view_shows();
    // Until the user sets one, what the system chose for a folder stays the folder's own.
    return list_view == list_view_t{} && now == view_chosen ? list_view : now;
}

bool main_window_t::keep_list_view() {
    const list_view_t now = list_view_now();
    if (now == list_view) return false;
    list_view = now;
    // Views the browser makes from now on start so.
    if (list_view.mode > 0 && eb) {
        const FOLDERSETTINGS settings{UINT(list_view.mode), 0};
        eb->SetFolderSettings(&settings);
    }
    return true;
}

void main_window_t::give_list_view() {
    Microsoft::WRL::ComPtr<IFolderView> folder_view;
    if (!ebe || !ebe->view || FAILED(ebe->view.As(&folder_view))) return;
    Microsoft::WRL::ComPtr<IFolderView2> view2;
    folder_view.As(&view2);
    if (list_view.mode > 0) {
        // The mode alone first: Wine 10 says yes to the size with the mode and sets neither.
        folder_view->SetCurrentViewMode(UINT(list_view.mode));
        if (view2 && list_view.icon_size > 0)
            view2->SetViewModeAndIconSize(FOLDERVIEWMODE(list_view.mode), list_view.icon_size);
    }
    if (!view2 || list_view.sort.empty()) return;
    std::vector<SORTCOLUMN> columns;
    for (const sort_column_t& kept : list_view.sort) {
        SORTCOLUMN& column = columns.emplace_back();
        std::memcpy(&column.propkey, kept.key, sizeof kept.key);
        column.direction = kept.direction < 0 ? SORT_DESCENDING : SORT_ASCENDING;
    }
    view2->SetSortColumns(columns.data(), int(columns.size()));
}

void main_window_t::on_view_created() {
    give_list_view();
    view_chosen = list_view == list_view_t{} ? view_shows() : list_view_t{};
    theme_list();
}
