// The tree's folders without a pane: a window of the test's own hands the model its
// messages, and the host records what the model tells.
#include "ui/tree/tree_model.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/fake_shell.h"
#include "tests/support/test_host.h"
#include "tests/support/win_test_support.h"

namespace {

std::wstring path_of(const byte_list& list) {
    wchar_t path[MAX_PATH] = L"";
    SHGetPathFromIDListW(as_idlist(list), path);
    return path;
}

const tree_node_t* current_of(const tree_node_t& node) {
    if (node.current) return &node;
    for (const tree_node_t* c = node.first_child.get(); c; c = c->next_sibling.get())
        if (const tree_node_t* found = current_of(*c)) return found;
    return nullptr;
}

class TreeModelTest : public testing::Test {
protected:
    test_host_t home;
    std::unique_ptr<tree_model_t> model;

    TreeModelTest() {
        const pane_host_t recorded = home.host();
        model = std::make_unique<tree_model_t>(
            home.parent,
            tree_model_host_t{[] {}, recorded.pin_changed, recorded.pin_moved, recorded.browse});
        SetWindowSubclass(home.parent, forward, 1, reinterpret_cast<DWORD_PTR>(model.get()));
    }
    ~TreeModelTest() override { RemoveWindowSubclass(home.parent, forward, 1); }

    static LRESULT CALLBACK forward(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                    UINT_PTR, DWORD_PTR folders) {
        if (reinterpret_cast<tree_model_t*>(folders)->on_message(message, wparam)) return 0;
        return DefSubclassProc(window, message, wparam, lparam);
    }

    bool unpinned_any() const {
        for (const auto& change : home.pins_changed)
            if (!change.pinned) return true;
        return false;
    }
};

TEST_F(TreeModelTest, AFolderRenamedByOneOfItsVerbsKeepsItsPinAndTheBrowserFollowsIt) {
    // What a rename in the folder's properties leaves: the folder under its new name, and
    // the tree told that a verb ran on it before the watch has said what changed.
    CreateDirectoryW(L"C:\\zverb", nullptr);
    RemoveDirectoryW(L"C:\\zverb\\renamed");
    CreateDirectoryW(L"C:\\zverb\\kept", nullptr);
    Microsoft::WRL::ComPtr<IShellFolder> desktop;
    SHGetDesktopFolder(&desktop);
    const task_idlist kept = parse_display_name(desktop.Get(), L"C:\\zverb\\kept");
    ASSERT_TRUE(kept);
    model->set_pin(kept.get(), true);
    model->show_folder(kept.get());
    const tree_node_t* node = current_of(model->root());
    ASSERT_NE(node, nullptr);
    ASSERT_TRUE(node->pinned);
    ASSERT_TRUE(pump_until([&] { return model->watched(node->parent); }, 3000));
    const byte_list was = idlist_bytes(node->absolute_pidl().get());

    ASSERT_TRUE(MoveFileW(L"C:\\zverb\\kept", L"C:\\zverb\\renamed"));
    model->verb_done(node);
    pump_until([&] { return !home.browsed.empty(); }, 3000);

    EXPECT_FALSE(unpinned_any());
    ASSERT_EQ(home.pins_moved.size(), 1u);
    EXPECT_EQ(home.pins_moved[0].first, was);
    EXPECT_EQ(path_of(home.pins_moved[0].second), L"C:\\zverb\\renamed");
    ASSERT_EQ(home.browsed.size(), 1u);
    EXPECT_EQ(path_of(home.browsed[0]), L"C:\\zverb\\renamed") << "not its parent";
    RemoveDirectoryW(L"C:\\zverb\\renamed");
    RemoveDirectoryW(L"C:\\zverb");
}

} // namespace
