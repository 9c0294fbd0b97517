// The tree on the system's own namespace, as part of the shell: files dropped onto a row
// go into that folder through the folder's own drop target.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/process.h"
#include "tests/support/com_object.h"
#include "tests/support/test_host.h"
#include "tests/support/win_test_support.h"
#include "ui/tree/tree_view.h"

namespace {

using Microsoft::WRL::ComPtr;

bool exists(const wchar_t* path) {
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

void make_file(const wchar_t* path) {
    CloseHandle(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}

// A file of a folder as the shell hands it to a drag: its data object.
ComPtr<IDataObject> dragged_file(const wchar_t* folder, const wchar_t* name) {
    ComPtr<IShellFolder> desktop, parent;
    SHGetDesktopFolder(&desktop);
    const task_idlist list = parse_display_name(desktop.Get(), folder);
    if (!list) return nullptr;
    desktop->BindToObject(list.get(), nullptr, IID_PPV_ARGS(&parent));
    ITEMIDLIST* item = nullptr;
    if (!parent || FAILED(parent->ParseDisplayName(nullptr, nullptr, const_cast<wchar_t*>(name),
                                                   nullptr, &item, nullptr)))
        return nullptr;
    const task_idlist owned(item);
    const ITEMIDLIST* items[] = {owned.get()};
    ComPtr<IDataObject> data;
    parent->GetUIObjectOf(nullptr, 1, items, IID_IDataObject, nullptr, &data);
    return data;
}

// A file's drag data as the shell makes it, recording what the drop tells the source.
class told_source_t final : public counted_t<IDataObject> {
public:
    explicit told_source_t(ComPtr<IDataObject> shells) : data(std::move(shells)) {}
    DWORD performed = ~0u, logical = ~0u; // as set by the target; ~0 while unset

    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override {
        if (!format || !medium || medium->tymed != TYMED_HGLOBAL) return E_INVALIDARG;
        const DWORD value = *static_cast<DWORD*>(GlobalLock(medium->hGlobal));
        GlobalUnlock(medium->hGlobal);
        if (format->cfFormat == RegisterClipboardFormatW(CFSTR_PERFORMEDDROPEFFECT))
            performed = value;
        if (format->cfFormat == RegisterClipboardFormatW(CFSTR_LOGICALPERFORMEDDROPEFFECT))
            logical = value;
        if (release) ReleaseStgMedium(medium);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        return data->GetData(format, medium);
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* format, STGMEDIUM* medium) override {
        return data->GetDataHere(format, medium);
    }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        return data->QueryGetData(format);
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* format, FORMATETC* out) override {
        return data->GetCanonicalFormatEtc(format, out);
    }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
        return data->EnumFormatEtc(direction, out);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }

private:
    ComPtr<IDataObject> data;
};

// A tree showing C:\zdrop opened, its one subfolder `into` listed under it.
class TreeShell : public testing::Test {
protected:
    test_host_t home;
    std::unique_ptr<tree_view_t> pane;
    POINT into{};

    void SetUp() override {
        CreateDirectoryW(L"C:\\zdrop", nullptr);
        CreateDirectoryW(L"C:\\zdrop\\into", nullptr);
        pane = std::make_unique<tree_view_t>(home.parent, g_font.get(), home.host());
        tree_view_t* tree = pane.get();
        tree->resize(300, 400);
        ComPtr<IShellFolder> desktop;
        SHGetDesktopFolder(&desktop);
        const task_idlist zdrop = parse_display_name(desktop.Get(), L"C:\\zdrop");
        ASSERT_TRUE(zdrop);
        tree->model().show_folder(zdrop.get());
        // Its row is the last; opened, its one subfolder comes after it. (Reads may go on in
        // the background, a first one in a new prefix especially.)
        ASSERT_TRUE(pump_until([&] { return tree->page().size() >= 2; }, 5000));
        const int depth = tree->page().back()->depth;
        const int row = int(tree->page().size()) - 1;
        tree->on_message(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10 * depth + 5, 20 * row + 10));
        tree->on_message(WM_LBUTTONUP, 0, MAKELPARAM(10 * depth + 5, 20 * row + 10));
        ASSERT_TRUE(pump_until([&] { return tree->page().size() == std::size_t(row) + 2; }, 5000));
        into = {60, 20 * (row + 1) + 10};
        ClientToScreen(tree->handle, &into);
        ASSERT_EQ(tree->row_at(into), tree->page().back());
    }

    void TearDown() override {
        pane.reset();
        for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt", L"d.txt"}) {
            DeleteFileW((std::wstring(L"C:\\zdrop\\into\\") + name).c_str());
            DeleteFileW((std::wstring(L"C:\\zdrop\\") + name).c_str());
        }
        RemoveDirectoryW(L"C:\\zdrop\\into");
        RemoveDirectoryW(L"C:\\zdrop");
    }
};

TEST_F(TreeShell, FilesDroppedOnARowGoIntoThatFolderMovedOrWithCtrlCopied) {
    make_file(L"C:\\zdrop\\a.txt");
    make_file(L"C:\\zdrop\\b.txt");
    const ComPtr<IDataObject> a = dragged_file(L"C:\\zdrop", L"a.txt");
    ASSERT_TRUE(a);
    DWORD effect = DROPEFFECT_MOVE | DROPEFFECT_COPY;
    pane->shell().drop(a.Get(), MK_LBUTTON, into, &effect);
    pump_until([] { return exists(L"C:\\zdrop\\into\\a.txt"); }, 3000);
    EXPECT_TRUE(exists(L"C:\\zdrop\\into\\a.txt"));
    EXPECT_FALSE(exists(L"C:\\zdrop\\a.txt")) << "moved";

    const ComPtr<IDataObject> b = dragged_file(L"C:\\zdrop", L"b.txt");
    ASSERT_TRUE(b);
    effect = DROPEFFECT_MOVE | DROPEFFECT_COPY;
    pane->shell().drop(b.Get(), MK_LBUTTON | MK_CONTROL, into, &effect);
    pump_until([] { return exists(L"C:\\zdrop\\into\\b.txt"); }, 3000);
    EXPECT_TRUE(exists(L"C:\\zdrop\\into\\b.txt"));
    EXPECT_TRUE(exists(L"C:\\zdrop\\b.txt")) << "copied";
}

TEST_F(TreeShell, ADropAnswersBeforeTheFilesGoAndAMoveMadeHereIsNotTheSourcesToRepeat) {
    // Where the folder's own target does nothing at the drop, the tree moves the files
    // itself, after the drop has returned to the program they came from.
    make_file(L"C:\\zdrop\\c.txt");
    const auto c = make_com<told_source_t>(dragged_file(L"C:\\zdrop", L"c.txt"));
    DWORD effect = DROPEFFECT_MOVE | DROPEFFECT_COPY;
    pane->shell().drop(c.Get(), MK_LBUTTON, into, &effect);
    EXPECT_TRUE(exists(L"C:\\zdrop\\c.txt")) << "the drop returned before the move";
    EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE)) << "the source deletes nothing";
    EXPECT_EQ(c->performed, DWORD(DROPEFFECT_NONE));
    EXPECT_EQ(c->logical, DWORD(DROPEFFECT_MOVE));
    EXPECT_TRUE(pump_until([] { return exists(L"C:\\zdrop\\into\\c.txt"); }, 3000));
    EXPECT_FALSE(exists(L"C:\\zdrop\\c.txt"));

    // A copy is the source's to report as such, and leaves it its file.
    make_file(L"C:\\zdrop\\d.txt");
    const auto d = make_com<told_source_t>(dragged_file(L"C:\\zdrop", L"d.txt"));
    effect = DROPEFFECT_MOVE | DROPEFFECT_COPY;
    pane->shell().drop(d.Get(), MK_LBUTTON | MK_CONTROL, into, &effect);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_COPY));
    EXPECT_EQ(d->performed, ~0u);
    EXPECT_TRUE(pump_until([] { return exists(L"C:\\zdrop\\into\\d.txt"); }, 3000));
    EXPECT_TRUE(exists(L"C:\\zdrop\\d.txt"));
}

} // namespace
