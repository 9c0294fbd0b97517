#pragma once
// Small owners for what the COM task allocator hands out, and item ID list copies.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <memory>
#include <utility>

#include "core/idlist.h"

struct task_free {
    void operator()(void* p) const { CoTaskMemFree(p); }
};
using task_idlist = std::unique_ptr<ITEMIDLIST, task_free>;
using task_string = std::unique_ptr<wchar_t, task_free>;

// A COM object of ours with its first reference, owned by the pointer returned.
template <class T, class... Args> Microsoft::WRL::ComPtr<T> make_com(Args&&... args) {
    Microsoft::WRL::ComPtr<T> object;
    object.Attach(new T(std::forward<Args>(args)...));
    return object;
}

// IUnknown for a COM object of ours that implements `I`, and answers for the interfaces
// `Also` that I derives from. Made by make_com, which holds its first reference.
template <class I, class... Also> class com_object_t : public I {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, __uuidof(I)) &&
            !(IsEqualIID(riid, __uuidof(Also)) || ...))
            return E_NOINTERFACE;
        *out = static_cast<I*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        // COM's rule: the last reference frees the object.
        if (left == 0) delete this;
        return left;
    }

protected:
    com_object_t() = default;
    virtual ~com_object_t() = default;

private:
    LONG refs_ = 1;
};

inline const ITEMIDLIST* as_idlist(const byte_list& list) {
    return reinterpret_cast<const ITEMIDLIST*>(list.data());
}

// A list's copy made the one way: length + 2 bytes, zero-filled, items copied.
task_idlist idlist_copy(const void* list, std::size_t length);
task_idlist idlist_copy(const void* list);
task_idlist idlist_from_bytes(const byte_list& list);

// A new list: the items of `first`, then those of `second`; null when out of memory.
task_idlist idlist_join(const ITEMIDLIST* first, const ITEMIDLIST* second);

// The first `items` items of a list, as a list of their own.
task_idlist idlist_prefix(const ITEMIDLIST* list, std::size_t items);
byte_list idlist_prefix_bytes(const ITEMIDLIST* list, std::size_t items);

// The item after a list's first.
inline const ITEMIDLIST* idlist_next(const ITEMIDLIST* item) {
    return reinterpret_cast<const ITEMIDLIST*>(reinterpret_cast<const BYTE*>(item) + item->mkid.cb);
}

// An item's display name as the folder gives it (its normal one unless `flags` ask for
// another); null when it has none.
task_string display_name_of(IShellFolder* folder, const ITEMIDLIST* item,
                            SHGDNF flags = SHGDN_NORMAL);

// A desktop-relative path as the shell parses it; null unless the parse gives S_OK.
task_idlist parse_display_name(IShellFolder* desktop, const wchar_t* path);
