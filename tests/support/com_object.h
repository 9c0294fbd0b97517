#pragma once
// IUnknown for the tests' and benchmarks' own COM objects, each of one interface.
#include <windows.h>
#include <unknwn.h>

#include "win/com.h"

// Hands out `self` for IUnknown and the object's interface, and nothing else.
template <class interface_t> HRESULT query_one(interface_t* self, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, __uuidof(interface_t)))
        return E_NOINTERFACE;
    *object = self;
    self->AddRef();
    return S_OK;
}

// On the heap, counted from one: the last Release deletes it. The program's own.
template <class interface_t> using counted_t = com_object_t<interface_t>;

// In static storage, living as long as the process: the references that COM or the
// browser keep, past a test that leaked them too, need no counting.
template <class interface_t> class lasting_t : public interface_t {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        return query_one<interface_t>(this, riid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};
