#include "app/ebe.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "tests/support/win_test_support.h"

namespace {

// An object's count of references, as AddRef and Release report it.
LONG references(IUnknown* object) {
    object->AddRef();
    return LONG(object->Release());
}

// A shell view that only counts its references; the sink never calls anything else.
struct counted_view_t final : IShellView {
    LONG refs = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        *object = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IOleWindow) &&
            !IsEqualIID(riid, IID_IShellView))
            return E_NOINTERFACE;
        *object = static_cast<IShellView*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }

    HRESULT STDMETHODCALLTYPE GetWindow(HWND*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UIActivate(UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Refresh() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateViewWindow(IShellView*, LPCFOLDERSETTINGS, IShellBrowser*,
                                               RECT*, HWND*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DestroyViewWindow() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCurrentInfo(LPFOLDERSETTINGS) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddPropertySheetPages(DWORD, LPFNSVADDPROPSHEETPAGE,
                                                    LPARAM) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SaveViewState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SelectItem(PCUITEMID_CHILD, SVSIF) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetItemObject(UINT, REFIID, void** object) override {
        *object = nullptr;
        return E_NOTIMPL;
    }
};

// A list of two items; which folder it names does not matter to the sink.
const std::uint8_t TWO_ITEMS[] = {4, 0, 'a', 'b', 5, 0, 'c', 'd', 'e', 0, 0};

// A sink given nothing to do with its reports: what it keeps itself is what is seen.
ebe_t* windowless_sink() {
    return new ebe_t();
}

} // namespace

TEST(EbeQueryInterface, HandsOutItsEventInterfaceForTheTwoKnownIds) {
    ebe_t* sink = windowless_sink();
    for (const IID* iid : {&IID_IUnknown, &IID_IExplorerBrowserEvents}) {
        void* object = nullptr;
        EXPECT_EQ(sink->QueryInterface(*iid, &object), S_OK);
        EXPECT_EQ(object, static_cast<IExplorerBrowserEvents*>(sink));
        EXPECT_EQ(references(sink), 2);
        static_cast<IUnknown*>(object)->Release();
        EXPECT_EQ(references(sink), 1);
    }
    EXPECT_EQ(sink->Release(), 0u);
}

TEST(EbeQueryInterface, RefusesEveryOtherIdWithANullPointer) {
    ebe_t* sink = windowless_sink();
    for (const IID* iid : {&IID_IShellView, &IID_IExplorerBrowser, &IID_IDispatch,
                           &IID_IServiceProvider, &IID_IOleWindow}) {
        void* object = sink; // anything but null, to see it cleared
        EXPECT_EQ(sink->QueryInterface(*iid, &object), E_NOINTERFACE);
        EXPECT_EQ(object, nullptr);
        EXPECT_EQ(references(sink), 1);
    }
    sink->Release();
}

TEST(EbeRefCount, AddRefAndReleaseReturnTheNewCount) {
    ebe_t* sink = windowless_sink();
    EXPECT_EQ(references(sink), 1);
    EXPECT_EQ(sink->cookie, 0u);
    EXPECT_EQ(sink->view.Get(), nullptr);
    EXPECT_EQ(sink->folder.get(), nullptr);
    EXPECT_EQ(sink->AddRef(), 2u);
    EXPECT_EQ(sink->AddRef(), 3u);
    EXPECT_EQ(sink->Release(), 2u);
    EXPECT_EQ(sink->Release(), 1u);
    // The last reference frees it together with what it owns.
    sink->folder = idlist_copy(TWO_ITEMS);
    EXPECT_EQ(sink->Release(), 0u);
}

TEST(EbeView, HoldsOneCountedReferenceOnTheLatestView) {
    counted_view_t first, second;
    ebe_t* sink = windowless_sink();

    EXPECT_EQ(sink->OnViewCreated(&first), S_OK);
    EXPECT_EQ(sink->view.Get(), &first);
    EXPECT_EQ(first.refs, 2);

    // The same view reported again is still one reference.
    EXPECT_EQ(sink->OnViewCreated(&first), S_OK);
    EXPECT_EQ(first.refs, 2);

    EXPECT_EQ(sink->OnViewCreated(&second), S_OK);
    EXPECT_EQ(sink->view.Get(), &second);
    EXPECT_EQ(first.refs, 1);
    EXPECT_EQ(second.refs, 2);

    // Other holders of the sink do not keep the view alive beyond its own reference.
    sink->AddRef();
    sink->Release();
    EXPECT_EQ(second.refs, 2);

    sink->Release();
    EXPECT_EQ(first.refs, 1);
    EXPECT_EQ(second.refs, 1);
}

TEST(EbeNavigation, CompleteOnlyRecordsTheFolderShown) {
    counted_view_t view;
    ebe_t* sink = windowless_sink();
    sink->OnViewCreated(&view);
    sink->folder = idlist_copy(TWO_ITEMS);
    const ITEMIDLIST* kept = sink->folder.get();
    const std::uint8_t other[] = {3, 0, 'x', 0, 0};

    EXPECT_EQ(sink->OnNavigationComplete(reinterpret_cast<PCIDLIST_ABSOLUTE>(other)), S_OK);
    EXPECT_EQ(sink->OnNavigationComplete(nullptr), S_OK);

    EXPECT_EQ(sink->folder.get(), kept);
    ASSERT_TRUE(sink->shown);
    EXPECT_EQ(idlist_items(sink->shown.get()), bytes_t(other, other + 3));
    EXPECT_EQ(sink->view.Get(), &view);
    EXPECT_EQ(references(sink), 1);
    sink->Release();
}
