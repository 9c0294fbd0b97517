// Files dragged over the tree and dropped onto a row: the row's folder's own drop target
// does the work, as in the shell's views, and the tree steps in only where that target took
// the drop and did nothing.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "ui/tree/tree_shell.h"

using Microsoft::WRL::ComPtr;

namespace {

// A collapsed row the pointer rests on while dragging opens after this long.
constexpr ULONGLONG OPEN_ON_HOVER_MS = 1000;

// The dropped files' paths; none when the data names no files.
std::vector<std::wstring> dropped_files(IDataObject* data) {
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    std::vector<std::wstring> files;
    if (!data || FAILED(data->GetData(&format, &medium))) return files;
    const auto drop = static_cast<HDROP>(medium.hGlobal);
    for (UINT i = 0, n = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0); i < n; ++i) {
        std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        path.resize(DragQueryFileW(drop, i, path.data(), UINT(path.size())));
        files.push_back(std::move(path));
    }
    ReleaseStgMedium(&medium);
    return files;
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring in_folder(const std::wstring& folder, const std::wstring& file) {
    return folder + (folder.empty() || folder.back() == L'\\' ? L"" : L"\\") +
           PathFindFileNameW(file.c_str());
}

ULONGLONG last_write(const std::wstring& folder) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(folder.c_str(), GetFileExInfoStandard, &data)) return 0;
    return ULONGLONG(data.ftLastWriteTime.dwHighDateTime) << 32 |
           data.ftLastWriteTime.dwLowDateTime;
}

// What of the files and the folder could show that a drop was done.
struct drop_trace_t {
    std::vector<bool> sources, arrived;
    ULONGLONG written = 0;

    drop_trace_t(const std::vector<std::wstring>& files, const std::wstring& into)
        : written(last_write(into)) {
        for (const std::wstring& file : files) {
            sources.push_back(exists(file));
            arrived.push_back(exists(in_folder(into, file)));
        }
    }
    bool operator==(const drop_trace_t&) const = default;
};

// Whether the folder's own target took the drop and did nothing. Some systems' folder
// targets accept a drag and do nothing at the drop, answering S_OK and the effect offered.
// Taken at its word unless it answered S_OK with a copy or a move and nothing shows that
// anything was done: no dropped file left its folder, none arrived here, this folder's last
// write is as it was, and no operation goes on in the background (the data object, where it
// can tell, says none is under way). Files dropped into their own folder are never ours: a
// move there does nothing, and a copy needs a name only the shell would choose.
bool did_nothing(HRESULT answer, DWORD effect, IDataObject* data, const drop_trace_t& before,
                 const std::vector<std::wstring>& files, const std::wstring& into) {
    if (answer != S_OK || !(effect & (DROPEFFECT_MOVE | DROPEFFECT_COPY))) return false;
    for (const std::wstring& file : files)
        if (in_folder(into, file) == file) return false;
    ComPtr<IDataObjectAsyncCapability> async;
    BOOL under_way = FALSE;
    if (SUCCEEDED(data->QueryInterface(IID_PPV_ARGS(&async))) &&
        SUCCEEDED(async->InOperation(&under_way)) && under_way)
        return false;
    return drop_trace_t(files, into) == before;
}

// Tells the source of a move that the move is made here, so it deletes nothing itself.
void set_drop_effect(IDataObject* data, const wchar_t* format_name, DWORD effect) {
    FORMATETC format{CLIPFORMAT(RegisterClipboardFormatW(format_name)), nullptr, DVASPECT_CONTENT,
                     -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = GlobalAlloc(GMEM_MOVEABLE, sizeof effect);
    if (!medium.hGlobal) return;
    *static_cast<DWORD*>(GlobalLock(medium.hGlobal)) = effect;
    GlobalUnlock(medium.hGlobal);
    if (FAILED(data->SetData(&format, &medium, TRUE))) GlobalFree(medium.hGlobal);
}

} // namespace

void tree_shell_t::drag_over(IDataObject* data, DWORD keys, POINT at, DWORD* effect) {
    // Resting near an edge scrolls, a row at a time.
    RECT client;
    GetClientRect(pane, &client);
    POINT p = at;
    ScreenToClient(pane, &p);
    const ULONGLONG now = GetTickCount64();
    const int half_row = host.row_height() / 2;
    if (now - drag_scrolled_at > 100 && (p.y < half_row || p.y > client.bottom - half_row)) {
        drag_scrolled_at = now;
        host.scroll_by(p.y < half_row ? -1 : 1);
    }

    const tree_node_t* row = host.row_at(at);
    const std::uint64_t id = row ? row->id : 0;
    const POINTL point{at.x, at.y};
    const DWORD allowed = *effect;
    if (id != drop_row_) {
        if (drop_folder) drop_folder->DragLeave();
        drop_folder.Reset();
        drop_row_ = id;
        drop_row_since = now;
        // The folder's own target, the one its view uses: it moves, copies or links as the
        // keys say.
        if (const ComPtr<IShellFolder> folder = row ? model.bind(row) : nullptr)
            folder->CreateViewObject(GetAncestor(pane, GA_ROOT), IID_PPV_ARGS(&drop_folder));
        if (drop_folder && FAILED(drop_folder->DragEnter(data, keys, point, effect)))
            drop_folder.Reset();
        host.repaint();
    } else if (drop_folder) {
        drop_folder->DragOver(keys, point, effect);
    }
    if (!drop_folder) *effect = DROPEFFECT_NONE;
    *effect &= allowed;
    if (row && !row->expanded && now - drop_row_since > OPEN_ON_HOVER_MS) {
        host.expand(row);
        drop_row_since = now;
    }
}

void tree_shell_t::drag_leave() {
    if (drop_folder) drop_folder->DragLeave();
    drop_folder.Reset();
    drop_row_ = 0;
    host.repaint();
}

void tree_shell_t::drop(IDataObject* data, DWORD keys, POINT at, DWORD* effect) {
    const DWORD allowed = *effect;
    drag_over(data, keys, at, effect);
    const DWORD chosen = *effect; // what the folder's own target said to the keys
    const ComPtr<IDropTarget> folder = std::move(drop_folder);
    const row_guard_t target = guard(std::exchange(drop_row_, 0));
    if (!folder) {
        *effect = DROPEFFECT_NONE;
        return host.repaint();
    }
    const tree_node_t* row = target.row();
    const std::wstring into = row ? model.path_of(row) : std::wstring();
    const std::vector<std::wstring> files = dropped_files(data);
    const drop_trace_t before(files, into);
    *effect = allowed;
    // It may show a menu (a drag with the right button) or a dialog, in their loops.
    const HRESULT answer = folder->Drop(data, keys, POINTL{at.x, at.y}, effect);
    if (target.pane_gone()) return;
    if (!into.empty() && !files.empty() && (chosen & (DROPEFFECT_MOVE | DROPEFFECT_COPY)) &&
        did_nothing(answer, *effect, data, before, files, into)) {
        // Done here once the drop has returned, so the program the files came from goes on
        // at once; a move made here is not the source's to make again.
        const bool move = chosen & DROPEFFECT_MOVE;
        if (move) {
            set_drop_effect(data, CFSTR_PERFORMEDDROPEFFECT, DROPEFFECT_NONE);
            set_drop_effect(data, CFSTR_LOGICALPERFORMEDDROPEFFECT, DROPEFFECT_MOVE);
        }
        *effect = move ? DROPEFFECT_NONE : DROPEFFECT_COPY;
        drops.push_back({files, into, move, target.id});
        PostMessageW(pane, WM_TREE_DROP, 0, 0);
        return host.repaint();
    }
    if ((row = target.row()))
        model.contents_changed(row);
    else
        host.repaint();
}

void tree_shell_t::run_drops() {
    const row_guard_t pane_alive = guard(0);
    for (std::vector<drop_t> waiting = std::exchange(drops, {}); const drop_t& drop : waiting) {
        std::wstring from;
        for (const std::wstring& file : drop.files) from += file + L'\0';
        const std::wstring to = drop.into + L'\0';
        SHFILEOPSTRUCTW operation{};
        operation.hwnd = GetAncestor(pane, GA_ROOT);
        operation.wFunc = drop.move ? FO_MOVE : FO_COPY;
        operation.pFrom = from.c_str();
        operation.pTo = to.c_str();
        operation.fFlags = FOF_ALLOWUNDO;
        // Its progress and its questions run loops of their own.
        SHFileOperationW(&operation);
        if (pane_alive.pane_gone()) return;
        if (const tree_node_t* row = guard(drop.row).row()) model.contents_changed(row);
    }
}
