#include "win/accessible.h"

#include <utility>

#include "win/com.h"

namespace {

// Loaded when a client first asks: most runs have none, and once loaded a library costs
// the process its pages and every start its loading (oleaut32 is oleacc's own).
HMODULE system_library(const wchar_t* name) {
    return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

template <typename function_t> function_t from(HMODULE library, const char* name) {
    return library ? reinterpret_cast<function_t>(
                         reinterpret_cast<void*>(GetProcAddress(library, name)))
                   : nullptr;
}

template <typename function_t> function_t from_oleacc(const char* name) {
    static const HMODULE library = system_library(L"oleacc.dll");
    return from<function_t>(library, name);
}

BSTR allocate_string(const wchar_t* text) {
    static const auto allocate =
        from<decltype(&SysAllocString)>(system_library(L"oleaut32.dll"), "SysAllocString");
    return allocate ? allocate(text) : nullptr;
}

} // namespace

class accessible_t final : public com_object_t<IAccessible, IDispatch> {
public:
    accessible_t(HWND pane, accessible_source_t described)
        : window(pane), source(std::move(described)) {
        static const auto create =
            from_oleacc<decltype(&CreateStdAccessibleObject)>("CreateStdAccessibleObject");
        if (create) create(window, OBJID_CLIENT, IID_PPV_ARGS(&standard));
    }
    accessible_t(const accessible_t&) = delete;
    accessible_t& operator=(const accessible_t&) = delete;

    void disconnect() {
        window = nullptr;
        standard.Reset();
    }

    // IDispatch: clients of this kind of object use the interface directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!parent) return E_POINTER;
        *parent = nullptr;
        return standard ? standard->get_accParent(parent) : RPC_E_DISCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        if (!count) return E_POINTER;
        *count = window ? source.count() : 0;
        return window ? S_OK : RPC_E_DISCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT, IDispatch** child) override {
        // The children are simple elements, not objects of their own.
        if (child) *child = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        return text(
            child, name, [&](LONG i) { return source.name(i); },
            [&](BSTR* out) { return standard->get_accName(self(), out); });
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return text(
            child, value,
            [&](LONG i) { return source.value_of ? source.value_of(i) : std::wstring(); },
            [](BSTR*) { return S_FALSE; });
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* out) override { return none(out); }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!role) return E_POINTER;
        LONG index = 0;
        if (const HRESULT hr = check(child, index); hr != S_OK) return hr;
        role->vt = VT_I4;
        role->lVal = index < 0 ? source.role : source.role_of(index);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        if (!state) return E_POINTER;
        LONG index = 0;
        if (const HRESULT hr = check(child, index); hr != S_OK) return hr;
        state->vt = VT_I4;
        state->lVal =
            index >= 0 ? source.state_of(index)
                       : STATE_SYSTEM_FOCUSABLE | (GetFocus() == window ? STATE_SYSTEM_FOCUSED : 0);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* out) override { return none(out); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
        if (file) *file = nullptr;
        if (topic) *topic = 0;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* out) override {
        return none(out);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        if (!focus) return E_POINTER;
        focus->vt = VT_EMPTY;
        if (!window) return RPC_E_DISCONNECTED;
        if (GetFocus() != window) return S_FALSE;
        const LONG i = source.focused();
        focus->vt = VT_I4;
        focus->lVal = i >= 0 ? i + 1 : CHILDID_SELF;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        if (selection) selection->vt = VT_EMPTY;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return text(
            child, action,
            [&](LONG) {
                return source.default_action ? source.default_action_name : std::wstring();
            },
            [](BSTR*) { return S_FALSE; });
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                          VARIANT child) override {
        if (!left || !top || !width || !height) return E_POINTER;
        LONG index = 0;
        if (const HRESULT hr = check(child, index); hr != S_OK) return hr;
        if (index < 0) return standard->accLocation(left, top, width, height, self());
        RECT r{};
        if (!source.location_of(index, r)) return S_FALSE;
        *left = r.left;
        *top = r.top;
        *width = r.right - r.left;
        *height = r.bottom - r.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG, VARIANT, VARIANT* end) override {
        if (end) end->vt = VT_EMPTY;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* hit) override {
        if (!hit) return E_POINTER;
        hit->vt = VT_EMPTY;
        if (!window) return RPC_E_DISCONNECTED;
        const POINT p{x, y};
        for (LONG i = 0, n = source.count(); i < n; ++i) {
            RECT r{};
            if (source.location_of(i, r) && PtInRect(&r, p)) {
                hit->vt = VT_I4;
                hit->lVal = i + 1;
                return S_OK;
            }
        }
        return standard->accHitTest(x, y, hit);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        LONG index = 0;
        if (const HRESULT hr = check(child, index); hr != S_OK) return hr;
        if (index < 0 || !source.default_action) return DISP_E_MEMBERNOTFOUND;
        source.default_action(index);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    HWND window;
    accessible_source_t source;
    Microsoft::WRL::ComPtr<IAccessible> standard;

    static VARIANT self() {
        VARIANT v{};
        v.vt = VT_I4;
        v.lVal = CHILDID_SELF;
        return v;
    }

    // The child a VARIANT names: -1 for the pane itself.
    HRESULT check(const VARIANT& child, LONG& index) const {
        if (!window) return RPC_E_DISCONNECTED;
        if (child.vt != VT_I4) return E_INVALIDARG;
        index = child.lVal - 1;
        return index >= -1 && index < source.count() ? S_OK : E_INVALIDARG;
    }

    static HRESULT none(BSTR* out) {
        if (out) *out = nullptr;
        return S_FALSE;
    }

    template <class Child, class Self>
    HRESULT text(const VARIANT& which, BSTR* out, Child child, Self of_self) {
        if (!out) return E_POINTER;
        *out = nullptr;
        LONG index = 0;
        if (const HRESULT hr = check(which, index); hr != S_OK) return hr;
        if (index < 0) return of_self(out);
        const std::wstring value = child(index);
        if (value.empty()) return S_FALSE;
        *out = allocate_string(value.c_str());
        return *out ? S_OK : E_OUTOFMEMORY;
    }
};

accessible_holder_t::accessible_holder_t() = default;

accessible_holder_t::~accessible_holder_t() {
    if (object) object->disconnect();
}

LRESULT accessible_holder_t::answer(HWND window, WPARAM wparam, LPARAM lparam,
                                    const std::function<accessible_source_t()>& make_source) {
    static const auto lresult = from_oleacc<decltype(&LresultFromObject)>("LresultFromObject");
    if (static_cast<LONG>(lparam) != static_cast<LONG>(OBJID_CLIENT) || !lresult) return 0;
    if (!object) object = make_com<accessible_t>(window, make_source());
    return lresult(__uuidof(IAccessible), wparam, static_cast<IAccessible*>(object.Get()));
}
