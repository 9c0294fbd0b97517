#include "tests/support/fake_shell.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "tests/support/com_object.h"
#include "ui/tree/tree_model.h"

using Microsoft::WRL::ComPtr;

namespace {

std::uint16_t count_at(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

// The folder that `list` leads to from `folder`; null when an item is unknown there.
fake_folder_t* walk(fake_folder_t* folder, const std::uint8_t* list) {
    for (; count_at(list) != 0; list += count_at(list)) {
        folder = folder->find_item(list);
        if (!folder) return nullptr;
    }
    return folder;
}

// A folder's item bytes by default: its name's code units, low bytes only.
id_bytes_t id_of(const std::wstring& name) {
    id_bytes_t bytes;
    for (wchar_t c : name) bytes.push_back(static_cast<std::uint8_t>(c));
    return bytes;
}

// A one-item list on the task allocator, as an enumerator hands it out.
ITEMIDLIST* new_item(const id_bytes_t& id) {
    const std::size_t cb = id.size() + 2;
    auto* p = static_cast<std::uint8_t*>(CoTaskMemAlloc(cb + 2));
    if (!p) return nullptr;
    p[0] = static_cast<std::uint8_t>(cb);
    p[1] = static_cast<std::uint8_t>(cb >> 8);
    if (!id.empty()) std::memcpy(p + 2, id.data(), id.size());
    p[cb] = p[cb + 1] = 0;
    return reinterpret_cast<ITEMIDLIST*>(p);
}

// How long a call that reaches into the folder takes: the slowest share it lies in.
DWORD slowness(const fake_folder_t* folder) {
    DWORD ms = 0;
    for (; folder; folder = folder->parent) ms = std::max(ms, folder->slow_ms);
    return ms;
}

class fake_enum_t final : public counted_t<IEnumIDList> {
public:
    fake_enum_t(std::vector<id_bytes_t> snapshot, std::size_t at, int broken_at = -1)
        : items(std::move(snapshot)), pos(at), fail_at(broken_at) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG celt, PITEMID_CHILD* rgelt, ULONG* fetched) override {
        if (!rgelt || (celt > 1 && !fetched)) return E_INVALIDARG;
        ULONG n = 0;
        for (; n < celt && pos < items.size(); ++n, ++pos) {
            if (fail_at >= 0 && pos >= std::size_t(fail_at)) {
                if (fetched) *fetched = n;
                return HRESULT_FROM_WIN32(ERROR_NETNAME_DELETED);
            }
            rgelt[n] = new_item(items[pos]);
        }
        if (fetched) *fetched = n;
        return n == celt ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override {
        const bool all = items.size() - pos >= celt;
        pos = all ? pos + celt : items.size();
        return all ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        pos = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumIDList** copy) override {
        if (!copy) return E_POINTER;
        *copy = new fake_enum_t(items, pos, fail_at);
        return S_OK;
    }

private:
    std::vector<id_bytes_t> items;
    std::size_t pos;
    int fail_at;
};

class fake_shell_folder_t final : public counted_t<IShellFolder> {
public:
    fake_shell_folder_t(std::shared_ptr<fake_folder_t> at, std::shared_ptr<fake_calls_t> log,
                        bool desktop)
        : folder(std::move(at)), calls(std::move(log)), is_desktop(desktop) {}

    HRESULT STDMETHODCALLTYPE EnumObjects(HWND owner, SHCONTF flags, IEnumIDList** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        ++folder->enumerations;
        reach(folder.get());
        const bool with_hidden = flags == (SHCONTF_FOLDERS | SHCONTF_INCLUDEHIDDEN);
        if (owner || (flags != SHCONTF_FOLDERS && !with_hidden)) ++calls->unexpected;
        if (folder->delay_ms) Sleep(folder->delay_ms); // a slow share or a sleeping drive
        switch (folder->fail_enum) {
        case enum_failure_t::error:
            return E_FAIL;
        case enum_failure_t::no_enumerator:
            return S_FALSE;
        case enum_failure_t::none:
            break;
        }
        std::vector<id_bytes_t> snapshot;
        snapshot.reserve(folder->children.size());
        for (const auto& child : folder->children)
            if (with_hidden || !child->hidden) snapshot.push_back(child->id);
        *out = new fake_enum_t(std::move(snapshot), 0, folder->fail_after);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE BindToObject(PCUIDLIST_RELATIVE list, IBindCtx* context, REFIID riid,
                                           void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        ++calls->binds;
        if (context) ++calls->unexpected;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(list);
        if (!bytes || count_at(bytes) == 0) return E_INVALIDARG;
        fake_folder_t* target = walk(folder.get(), bytes);
        if (!target) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        reach(target);
        ++target->binds;
        if (target->fail_bind) return E_FAIL;
        auto* bound = new fake_shell_folder_t(target->shared_from_this(), calls, false);
        const HRESULT hr = bound->QueryInterface(riid, out);
        bound->Release();
        return hr;
    }

    HRESULT STDMETHODCALLTYPE GetDisplayNameOf(PCUITEMID_CHILD list, SHGDNF flags,
                                               STRRET* out) override {
        if (!out) return E_POINTER;
        // Parsing names (a volume's, a folder's path) are not ours to give: no folder here
        // lies on a volume of the system's.
        if (flags == SHGDN_FORPARSING) return E_FAIL;
        if (flags != SHGDN_NORMAL) ++calls->unexpected;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(list);
        fake_folder_t* target = !bytes ? folder.get() : walk(folder.get(), bytes);
        if (!target) return E_INVALIDARG;
        ++folder->namings;
        reach(target->parent);
        if (target->fail_name) return E_FAIL;
        // The desktop names an absolute list by its last item, and may name it otherwise
        // than the item's own parent does.
        const bool absolute = is_desktop && target != folder.get();
        const std::wstring& text =
            absolute && !target->absolute_name.empty() ? target->absolute_name : target->name;
        out->uType = STRRET_WSTR;
        out->pOleStr = new_task_string(text.c_str()).release();
        return out->pOleStr ? S_OK : E_OUTOFMEMORY;
    }

    // Nothing below is asked for by the tree.
    HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, PIDLIST_RELATIVE*,
                                               ULONG*) override {
        return unexpected();
    }
    HRESULT STDMETHODCALLTYPE BindToStorage(PCUIDLIST_RELATIVE, IBindCtx*, REFIID,
                                            void**) override {
        return unexpected();
    }
    HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM, PCUIDLIST_RELATIVE, PCUIDLIST_RELATIVE) override {
        return unexpected();
    }
    HRESULT STDMETHODCALLTYPE CreateViewObject(HWND, REFIID, void**) override {
        return unexpected();
    }
    // Only whether a folder is the file system's is asked.
    HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT count, PCUITEMID_CHILD_ARRAY items,
                                              SFGAOF* attributes) override {
        if (count != 1 || !items || !attributes ||
            (*attributes != SFGAO_FILESYSTEM && *attributes != SFGAO_HIDDEN))
            return unexpected();
        fake_folder_t* target = walk(folder.get(), reinterpret_cast<const std::uint8_t*>(items[0]));
        if (!target) return E_INVALIDARG;
        reach(target->parent);
        *attributes = *attributes == SFGAO_HIDDEN ? (target->hidden ? SFGAO_HIDDEN : 0)
                      : target->virtual_folder    ? 0
                                                  : SFGAO_FILESYSTEM;
        return S_OK;
    }
    // Its folders have no menu of their own: a row's menu holds the tree's items alone.
    HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND, UINT, PCUITEMID_CHILD_ARRAY, REFIID riid, UINT*,
                                            void** out) override {
        if (out) *out = nullptr;
        return IsEqualIID(riid, IID_IContextMenu) ? E_NOTIMPL : unexpected();
    }
    // As a file system renames a folder: trailing dots and blanks go, and its item (which
    // holds the name) changes with it.
    HRESULT STDMETHODCALLTYPE SetNameOf(HWND, PCUITEMID_CHILD item, LPCWSTR name, SHGDNF flags,
                                        PITEMID_CHILD* out) override {
        if (out) *out = nullptr;
        if (!item || !name || flags != SHGDN_INFOLDER) return unexpected();
        fake_folder_t* target = folder->find_item(reinterpret_cast<const std::uint8_t*>(item));
        if (!target) return E_INVALIDARG;
        std::wstring given = name;
        while (!given.empty() && (given.back() == L'.' || given.back() == L' ')) given.pop_back();
        if (given.empty()) return E_INVALIDARG;
        if (fake_folder_t* other = folder->child(given); other && other != target)
            return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
        target->name = given;
        target->set_id(id_of(given));
        if (out) *out = new_item(target->id);
        if (folder->while_renaming) folder->while_renaming();
        return S_OK;
    }

private:
    std::shared_ptr<fake_folder_t> folder;
    std::shared_ptr<fake_calls_t> calls;
    bool is_desktop;

    HRESULT unexpected() {
        ++calls->unexpected;
        return E_NOTIMPL;
    }

    void reach(const fake_folder_t* into) {
        const DWORD ms = slowness(into);
        if (!ms) return;
        if (GetCurrentThreadId() == calls->window_thread) ++calls->slow_on_window_thread;
        Sleep(ms);
    }
};

void clear_counts_below(fake_folder_t& folder) {
    folder.enumerations = folder.binds = 0;
    for (const auto& child : folder.children) clear_counts_below(*child);
}

int enumerations_below(const fake_folder_t& folder) {
    int total = folder.enumerations;
    for (const auto& child : folder.children) total += enumerations_below(*child);
    return total;
}

} // namespace

fake_folder_t* fake_folder_t::add(const std::wstring& child_name) {
    return add(child_name, id_of(child_name));
}

fake_folder_t* fake_folder_t::add(const std::wstring& child_name, id_bytes_t child_id) {
    auto made = std::make_shared<fake_folder_t>();
    made->name = child_name;
    made->id = std::move(child_id);
    made->parent = this;
    children.push_back(made);
    index.clear();
    return made.get();
}

void fake_folder_t::remove(const std::wstring& child_name) {
    const auto gone = std::find_if(children.begin(), children.end(),
                                   [&](const auto& c) { return c->name == child_name; });
    if (gone == children.end()) return;
    (*gone)->parent = nullptr;
    children.erase(gone);
    index.clear();
}

void fake_folder_t::reverse_children() {
    std::reverse(children.begin(), children.end());
    index.clear();
}

fake_folder_t* fake_folder_t::child(const std::wstring& child_name) const {
    for (const auto& c : children)
        if (c->name == child_name) return c.get();
    return nullptr;
}

void fake_folder_t::set_id(id_bytes_t new_id) {
    id = std::move(new_id);
    if (parent) parent->index.clear();
}

void fake_folder_t::add_alias(id_bytes_t alias) {
    aliases.push_back(std::move(alias));
    if (parent) parent->index.clear();
}

fake_folder_t* fake_folder_t::find_item(const std::uint8_t* item) {
    const std::uint16_t cb = count_at(item);
    if (cb < 2) return nullptr;
    if (index.empty()) {
        // Enumerated spellings first, so that they win over an alias with the same bytes.
        for (const auto& c : children) index.emplace(c->id, c.get());
        for (const auto& c : children)
            for (const auto& alias : c->aliases) index.emplace(alias, c.get());
    }
    const auto found = index.find(id_bytes_t(item + 2, item + cb));
    return found == index.end() ? nullptr : found->second;
}

ComPtr<IShellFolder> fake_shell_t::desktop() const {
    ComPtr<IShellFolder> folder;
    folder.Attach(new fake_shell_folder_t(root, calls, true));
    return folder;
}

fake_folder_t* fake_shell_t::at(std::initializer_list<const wchar_t*> names) const {
    fake_folder_t* folder = root.get();
    for (const wchar_t* name : names) {
        if (!folder) break;
        folder = folder->child(name);
    }
    return folder;
}

int fake_shell_t::enumerations() const {
    return enumerations_below(*root);
}

void fake_shell_t::clear_counts() {
    clear_counts_below(*root);
    const DWORD window_thread = calls->window_thread;
    *calls = {};
    calls->window_thread = window_thread;
}

id_bytes_t make_list(const std::vector<id_bytes_t>& items) {
    id_bytes_t list;
    for (const id_bytes_t& id : items) {
        const std::size_t cb = id.size() + 2;
        list.push_back(static_cast<std::uint8_t>(cb));
        list.push_back(static_cast<std::uint8_t>(cb >> 8));
        list.insert(list.end(), id.begin(), id.end());
    }
    list.push_back(0);
    list.push_back(0);
    return list;
}

id_bytes_t absolute_list(const fake_folder_t* folder) {
    std::vector<id_bytes_t> items;
    for (; folder && folder->parent; folder = folder->parent) items.push_back(folder->id);
    std::reverse(items.begin(), items.end());
    return make_list(items);
}

id_bytes_t list_bytes(const ITEMIDLIST* list) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(list);
    std::size_t n = 0;
    while (count_at(p + n) != 0) n += count_at(p + n);
    return id_bytes_t(p, p + n + 2);
}

task_idlist new_empty_list() {
    auto* list = static_cast<ITEMIDLIST*>(CoTaskMemAlloc(2));
    if (list) ZeroMemory(list, 2);
    return task_idlist(list);
}

task_string new_task_string(const wchar_t* text) {
    if (!text) return nullptr;
    const std::size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
    if (copy) std::memcpy(copy, text, bytes);
    return task_string(copy);
}

void attach_tree(tree_model_t& folders, const fake_shell_t& shell) {
    folders.use_namespace(shell.desktop(), [shell] { return shell.desktop(); });
}
