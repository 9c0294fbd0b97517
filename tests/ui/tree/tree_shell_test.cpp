// The tree on the system's own namespace, as part of the shell: files dropped onto a row
// go into that folder through the folder's own drop target.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/process.h"
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

TEST(TreeShell, FilesDroppedOnARowGoIntoThatFolderMovedOrWithCtrlCopied) {
    CreateDirectoryW(L"C:\\zdrop", nullptr);
    CreateDirectoryW(L"C:\\zdrop\\into", nullptr);
    make_file(L"C:\\zdrop\\a.txt");
    make_file(L"C:\\zdrop\\b.txt");
    test_host_t home;
    const auto pane = std::make_unique<tree_view_t>(home.parent, g_font.get(), home.host());
    tree_view_t* tree = pane.get();
    tree->resize(300, 400);
    ComPtr<IShellFolder> desktop;
    SHGetDesktopFolder(&desktop);
    const task_idlist zdrop = parse_display_name(desktop.Get(), L"C:\\zdrop");
    ASSERT_TRUE(zdrop);
    tree->model().show_folder(zdrop.get());
    // Its row is the last; opened, its one subfolder comes after it.
    ASSERT_GE(tree->page().size(), 2u);
    const int depth = tree->page().back()->depth;
    const int row = int(tree->page().size()) - 1;
    tree->on_message(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10 * depth + 5, 20 * row + 10));
    tree->on_message(WM_LBUTTONUP, 0, MAKELPARAM(10 * depth + 5, 20 * row + 10));
    ASSERT_EQ(tree->page().size(), std::size_t(row) + 2);
    POINT into{60, 20 * (row + 1) + 10};
    ClientToScreen(tree->handle, &into);
    ASSERT_EQ(tree->row_at(into), tree->page().back());

    const ComPtr<IDataObject> a = dragged_file(L"C:\\zdrop", L"a.txt");
    ASSERT_TRUE(a);
    DWORD effect = DROPEFFECT_MOVE | DROPEFFECT_COPY;
    tree->shell().drop(a.Get(), MK_LBUTTON, into, &effect);
    pump_until([] { return exists(L"C:\\zdrop\\into\\a.txt"); }, 3000);
    EXPECT_TRUE(exists(L"C:\\zdrop\\into\\a.txt"));
    EXPECT_FALSE(exists(L"C:\\zdrop\\a.txt")) << "moved";

    const ComPtr<IDataObject> b = dragged_file(L"C:\\zdrop", L"b.txt");
    ASSERT_TRUE(b);
    effect = DROPEFFECT_MOVE | DROPEFFECT_COPY;
    tree->shell().drop(b.Get(), MK_LBUTTON | MK_CONTROL, into, &effect);
    pump_until([] { return exists(L"C:\\zdrop\\into\\b.txt"); }, 3000);
    EXPECT_TRUE(exists(L"C:\\zdrop\\into\\b.txt"));
    EXPECT_TRUE(exists(L"C:\\zdrop\\b.txt")) << "copied";

    for (const wchar_t* file : {L"C:\\zdrop\\into\\a.txt", L"C:\\zdrop\\into\\b.txt",
                                L"C:\\zdrop\\a.txt", L"C:\\zdrop\\b.txt"})
        DeleteFileW(file);
    RemoveDirectoryW(L"C:\\zdrop\\into");
    RemoveDirectoryW(L"C:\\zdrop");
}

} // namespace
