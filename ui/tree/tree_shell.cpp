// The tree's shell part: a folder's own menu under the tree's items, renaming in place, and
// the tree's drop target (the drop itself is tree_drop.cpp's).
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>

#include "core/folder_name.h"
#include "ui/tree/tree_shell.h"
#include "win/com.h"

using Microsoft::WRL::ComPtr;

namespace {

enum : UINT { OPEN_IN_NEW_WINDOW = 1, TOGGLE_PIN, FIRST_SHELL_COMMAND = 0x100 };
constexpr UINT LAST_SHELL_COMMAND = 0x7FFF;

// The shell's own object of a folder's row: from its parent, as the shell's views ask.
template <class T>
ComPtr<T> ui_object_of(const tree_model_t& model, HWND owner, const tree_node_t* node) {
    ComPtr<T> object;
    if (!node->parent) return object;
    const ComPtr<IShellFolder> parent = model.bind(node->parent);
    const ITEMIDLIST* item = node->pidl.get();
    if (parent) parent->GetUIObjectOf(owner, 1, &item, __uuidof(T), nullptr, &object);
    return object;
}

} // namespace

class tree_drop_target_t final : public com_object_t<IDropTarget> {
public:
    explicit tree_drop_target_t(tree_shell_t* part) : shell(part) {}
    void disconnect() { shell = nullptr; }

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL at,
                                        DWORD* effect) override {
        dragged = data;
        return DragOver(keys, at, effect);
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL at, DWORD* effect) override {
        if (!shell) return *effect = DROPEFFECT_NONE, S_OK;
        shell->drag_over(dragged.Get(), keys, POINT{at.x, at.y}, effect);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override {
        if (shell) shell->drag_leave();
        dragged.Reset();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL at,
                                   DWORD* effect) override {
        if (!shell) return *effect = DROPEFFECT_NONE, S_OK;
        shell->drop(data, keys, POINT{at.x, at.y}, effect);
        dragged.Reset();
        return S_OK;
    }

private:
    tree_shell_t* shell;
    ComPtr<IDataObject> dragged;
};

tree_shell_t::tree_shell_t(HWND pane_window, HFONT ui_font, tree_model_t& folders,
                           tree_shell_host_t shell_host)
    : pane(pane_window), font(ui_font), model(folders), host(std::move(shell_host)) {
    drop_target = make_com<tree_drop_target_t>(this);
    RegisterDragDrop(pane, drop_target.Get());
}

tree_shell_t::~tree_shell_t() {
    window_gone();
    if (rename_box && IsWindow(rename_box)) RemoveWindowSubclass(rename_box, rename_box_proc, 1);
}

void tree_shell_t::window_gone() {
    *alive = false;
    if (!drop_target) return;
    RevokeDragDrop(pane);
    static_cast<tree_drop_target_t*>(drop_target.Get())->disconnect();
    drop_target.Reset();
}

// ---- The context menu.

void tree_shell_t::context_menu(const tree_node_t* node, POINT at) {
    const HWND owner = GetAncestor(pane, GA_ROOT);
    const row_guard_t row = guard(node->id);
    const ComPtr<IContextMenu> shell_menu = ui_object_of<IContextMenu>(model, owner, node);
    const HMENU popup = CreatePopupMenu();
    if (shell_menu) {
        shell_menu->QueryContextMenu(popup, 0, FIRST_SHELL_COMMAND, LAST_SHELL_COMMAND,
                                     CMF_NORMAL | CMF_CANRENAME);
        // Submenus such as "Send to" and "New" fill themselves in through these.
        shell_menu.As(&menu2);
        shell_menu.As(&menu3);
    }
    // Ours first, by position, whatever the shell put where: some shells move their default
    // item to the top whatever index they are given.
    const bool shell_items = GetMenuItemCount(popup) > 0;
    InsertMenuW(popup, 0, MF_BYPOSITION | MF_STRING, OPEN_IN_NEW_WINDOW, L"Open in new window");
    InsertMenuW(popup, 1, MF_BYPOSITION | MF_STRING, TOGGLE_PIN, node->pinned ? L"Unpin" : L"Pin");
    if (shell_items) InsertMenuW(popup, 2, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    SetForegroundWindow(owner);
    const UINT chosen =
        TrackPopupMenuEx(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, pane, nullptr);
    DestroyMenu(popup);
    if (row.pane_gone()) return;
    menu2.Reset();
    menu3.Reset();
    node = row.row();
    if (!node || chosen == 0) return;
    if (chosen == OPEN_IN_NEW_WINDOW) {
        if (const task_idlist list = node->absolute_pidl()) host.open_window_on(list.get());
    } else if (chosen == TOGGLE_PIN) {
        model.toggle_pin(node);
    } else if (chosen >= FIRST_SHELL_COMMAND) {
        const UINT command = chosen - FIRST_SHELL_COMMAND;
        wchar_t verb[64] = L"";
        shell_menu->GetCommandString(command, GCS_VERBW, nullptr, reinterpret_cast<char*>(verb),
                                     ARRAYSIZE(verb));
        // A tree of its own renames its rows itself, as the shell's views do theirs.
        if (_wcsicmp(verb, L"rename") == 0) return start_rename(node);
        CMINVOKECOMMANDINFOEX invoke{};
        invoke.cbSize = sizeof invoke;
        invoke.fMask = CMIC_MASK_UNICODE | CMIC_MASK_PTINVOKE;
        invoke.hwnd = owner;
        invoke.lpVerb = MAKEINTRESOURCEA(command);
        invoke.lpVerbW = MAKEINTRESOURCEW(command);
        invoke.nShow = SW_SHOWNORMAL;
        invoke.ptInvoke = at;
        shell_menu->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&invoke));
        if (const tree_node_t* again = row.row()) model.verb_done(again);
    }
}

bool tree_shell_t::menu_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    if (menu3) return SUCCEEDED(menu3->HandleMenuMsg2(message, wparam, lparam, &result));
    if (menu2 && SUCCEEDED(menu2->HandleMenuMsg(message, wparam, lparam))) {
        result = message == WM_INITMENUPOPUP ? 0 : TRUE;
        return true;
    }
    return false;
}

// ---- Renaming in place.

void tree_shell_t::set_font(HFONT ui_font) {
    font = ui_font;
    if (rename_box) SendMessageW(rename_box, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

void tree_shell_t::start_rename(const tree_node_t* node) {
    RECT row;
    if (!node->parent || !host.name_box(node, row)) return;
    renaming = node->id;
    if (!rename_box) {
        rename_box = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_BORDER | ES_AUTOHSCROLL, 0, 0,
                                     0, 0, pane, nullptr, GetModuleHandleW(nullptr), nullptr);
        SendMessageW(rename_box, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        SetWindowSubclass(rename_box, rename_box_proc, 1, reinterpret_cast<DWORD_PTR>(this));
    }
    MoveWindow(rename_box, row.left, row.top, row.right - row.left, row.bottom - row.top, TRUE);
    SetWindowTextW(rename_box, node->name ? node->name.get() : L"");
    ShowWindow(rename_box, SW_SHOW);
    SetFocus(rename_box);
    SendMessageW(rename_box, EM_SETSEL, 0, -1);
}

namespace {

const wchar_t* why_refused(name_fault_t fault) {
    switch (fault) {
    case name_fault_t::none:
        break;
    case name_fault_t::reserved_character:
        return L"A folder's name cannot hold any of these characters: \\ / : * ? \" < > |";
    case name_fault_t::control_character:
        return L"A folder's name cannot hold control characters such as a tab.";
    case name_fault_t::device_name:
        return L"Windows keeps this name for a device: a folder cannot take it.";
    case name_fault_t::no_name:
        return L"A folder's name needs more than spaces and dots.";
    case name_fault_t::too_long:
        return L"A folder's name can be at most 255 characters long.";
    }
    return nullptr;
}

} // namespace

// Under the box, a balloon of our own: the edit's own one is not there on every system.
void tree_shell_t::say_refused(const wchar_t* why) {
    if (!refusal_tip) {
        refusal_tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                      WS_POPUP | TTS_NOPREFIX | TTS_BALLOON | TTS_ALWAYSTIP, 0, 0,
                                      0, 0, pane, nullptr, GetModuleHandleW(nullptr), nullptr);
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
        tool.hwnd = pane;
        tool.lpszText = const_cast<wchar_t*>(L"");
        SendMessageW(refusal_tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        SendMessageW(refusal_tip, TTM_SETMAXTIPWIDTH, 0, 400);
    }
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = pane;
    tool.lpszText = const_cast<wchar_t*>(why);
    SendMessageW(refusal_tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    RECT box;
    GetWindowRect(rename_box, &box);
    SendMessageW(refusal_tip, TTM_TRACKPOSITION, 0, MAKELPARAM(box.left + 10, box.bottom));
    SendMessageW(refusal_tip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
}

void tree_shell_t::unsay_refused() {
    if (!refusal_tip || !IsWindowVisible(refusal_tip)) return;
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = pane;
    SendMessageW(refusal_tip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}

void tree_shell_t::end_rename(bool keep) {
    if (!renaming) return;
    std::wstring name(GetWindowTextLengthW(rename_box) + 1, L'\0');
    name.resize(GetWindowTextW(rename_box, name.data(), int(name.size())));
    const wchar_t* refused =
        keep ? why_refused(folder_name_fault(std::u16string_view(
                   reinterpret_cast<const char16_t*>(name.data()), name.size())))
             : nullptr;
    // Enter on a name the file system would refuse: the box stays, saying why, its text
    // selected to be typed over. Leaving the box with such a name gives the rename up.
    if (refused && GetFocus() == rename_box) {
        say_refused(refused);
        SendMessageW(rename_box, EM_SETSEL, 0, -1);
        return;
    }
    unsay_refused();
    if (refused) {
        MessageBeep(MB_ICONWARNING);
        keep = false;
    }
    const std::uint64_t id = std::exchange(renaming, 0);
    ShowWindow(rename_box, SW_HIDE);
    SetFocus(pane);
    const row_guard_t row = guard(id);
    const tree_node_t* node = row.row();
    if (!keep || !node || name.empty() || (node->name && name == node->name.get())) return;
    const ComPtr<IShellFolder> parent = model.bind(node->parent);
    ITEMIDLIST* new_item = nullptr;
    const HRESULT renamed = parent ? parent->SetNameOf(GetAncestor(pane, GA_ROOT), node->pidl.get(),
                                                       name.c_str(), SHGDN_INFOLDER, &new_item)
                                   : E_FAIL;
    task_idlist item(new_item);
    if (FAILED(renamed)) {
        MessageBeep(MB_ICONWARNING);
        return;
    }
    // A read that came meanwhile has seen the folder under its new name already.
    if ((node = row.row())) model.renamed(node, std::move(item), name);
}

LRESULT CALLBACK tree_shell_t::rename_box_proc(HWND box, UINT message, WPARAM wparam, LPARAM lparam,
                                               UINT_PTR, DWORD_PTR self) {
    auto* shell = reinterpret_cast<tree_shell_t*>(self);
    if (message == WM_KEYDOWN && (wparam == VK_RETURN || wparam == VK_ESCAPE)) {
        shell->end_rename(wparam == VK_RETURN);
        return 0;
    }
    if (message == WM_CHAR && (wparam == L'\r' || wparam == 27)) return 0;
    if (message == WM_CHAR) shell->unsay_refused();
    if (message == WM_KILLFOCUS) {
        shell->end_rename(true);
        // The pane and this box may have gone with the window while the rename ran.
        if (!IsWindow(box)) return 0;
    }
    return DefSubclassProc(box, message, wparam, lparam);
}
