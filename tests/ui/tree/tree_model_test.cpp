// The tree's folders without a pane: a window of the test's own hands the model its
// messages, and the host records what the model tells.
#include "ui/tree/tree_model.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/fake_shell.h"
#include "tests/support/test_host.h"
#include "tests/support/win_test_support.h"

namespace {

id_bytes_t item(const char* text) {
    return id_bytes_t(text, text + std::char_traits<char>::length(text));
}

std::wstring path_of(const byte_list& list) {
    wchar_t path[MAX_PATH] = L"";
    SHGetPathFromIDListW(as_idlist(list), path);
    return path;
}

const tree_node_t* child_named(const tree_node_t& parent, const wchar_t* name) {
    for (const tree_node_t* c = parent.first_child.get(); c; c = c->next_sibling.get())
        if (c->name && std::wstring(c->name.get()) == name) return c;
    return nullptr;
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

TEST_F(TreeModelTest, PinsThatSpellTheirParentTwoWaysAreKeptUnderOneFolder) {
    // A settings file whose pins name one parent under two spellings: one saved by an older
    // version (or while the drive was away), one as the folder reads now.
    fake_shell_t shell;
    fake_folder_t* p = shell.root->add(L"P");
    fake_folder_t* x = p->add(L"X");
    fake_folder_t* y = p->add(L"Y");
    p->add_alias(item("P as saved before"));
    const id_bytes_t old_x = make_list({item("P as saved before"), x->id});
    attach_tree(*model, shell);

    const std::vector<pin_outcome_t> outcomes =
        model->load_expanded({old_x, absolute_list(y), make_list({item("P as saved before")})});

    const tree_node_t& root = model->root();
    ASSERT_NE(root.first_child, nullptr);
    EXPECT_EQ(root.first_child->next_sibling, nullptr) << "one node for the one folder";
    const tree_node_t* kept = child_named(root, L"P");
    ASSERT_NE(kept, nullptr);
    EXPECT_TRUE(kept->pinned);
    for (const wchar_t* name : {L"X", L"Y"}) {
        const tree_node_t* pinned = child_named(*kept, name);
        ASSERT_NE(pinned, nullptr) << name;
        EXPECT_TRUE(pinned->pinned) << name;
    }
    ASSERT_EQ(outcomes.size(), 3u);
    EXPECT_EQ(outcomes[1].shown_as, make_list({item("P as saved before"), y->id}))
        << "the second spelling's pin is named as the tree spells its folder";

    // The desktop read: the folder takes the bytes it has now, with every pin below it.
    model->expand(&root);
    ASSERT_TRUE(pump_until([&] { return !root.reading; }, 5000));
    EXPECT_FALSE(unpinned_any());
    for (const fake_folder_t* folder : {x, y}) {
        const tree_node_t* pinned = child_named(*child_named(root, L"P"), folder->name.c_str());
        ASSERT_NE(pinned, nullptr);
        EXPECT_TRUE(pinned->pinned);
        EXPECT_EQ(list_bytes(pinned->absolute_pidl().get()), absolute_list(folder));
    }
    const auto moved = [&](const id_bytes_t& from, const id_bytes_t& to) {
        return std::count(home.pins_moved.begin(), home.pins_moved.end(), std::make_pair(from, to));
    };
    EXPECT_EQ(moved(old_x, absolute_list(x)), 1);
    EXPECT_EQ(moved(outcomes[1].shown_as, absolute_list(y)), 1);
}

// A window not shown yet (a start, before its list is there) waits on no read: the rows
// come with the read's message, and the start goes on to list its folder meanwhile.
TEST_F(TreeModelTest, AWindowNotShownYetWaitsOnNoRead) {
    fake_shell_t shell;
    shell.root->add(L"A")->add(L"B");
    attach_tree(*model, shell);
    ShowWindow(home.parent, SW_HIDE);
    const tree_node_t& root = model->root();

    model->expand(&root);
    EXPECT_NE(root.reading, 0u) << "not waited for";
    EXPECT_EQ(root.first_child, nullptr);
    ASSERT_TRUE(pump_until([&] { return !root.reading; }, 5000));
    const tree_node_t* a = child_named(root, L"A");
    ASSERT_NE(a, nullptr) << "the rows come with the read";
}

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
    // Found once the folders on the way are read, which may go on in the background.
    const tree_node_t* node = nullptr;
    ASSERT_TRUE(
        pump_until([&] { return (node = current_of(model->root())) && node->pinned; }, 5000));
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

// Two windows' trees and the process's pins between them, kept as the windows keep them:
// what one tree pins or respells is set in both. A window's news of a respelling can be
// held back, as when it waits in the queue while the user acts in another window.
class TwoTrees : public testing::Test {
protected:
    fake_shell_t shell;
    fake_folder_t* p = shell.root->add(L"P");
    const fake_folder_t* x = p->add(L"X");
    const fake_folder_t* y = p->add(L"Y");
    std::vector<byte_list> pins;
    test_host_t homes[2];
    std::unique_ptr<tree_model_t> trees[2];
    inline static bool held = false;

    static LRESULT CALLBACK forward(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                    UINT_PTR, DWORD_PTR tree) {
        if (held && message == WM_TREE_FOLLOW) return 0; // told later by the test
        if (reinterpret_cast<tree_model_t*>(tree)->on_message(message, wparam)) return 0;
        return DefSubclassProc(window, message, wparam, lparam);
    }

    void open(std::vector<byte_list> saved) {
        p->add_alias(item("P as saved before"));
        pins = std::move(saved);
        for (int i = 0; i < 2; ++i) {
            trees[i] = std::make_unique<tree_model_t>(
                homes[i].parent,
                tree_model_host_t{[] {},
                                  [this, i](const ITEMIDLIST* folder, bool pinned) {
                                      std::erase(pins, idlist_bytes(folder));
                                      if (pinned) pins.push_back(idlist_bytes(folder));
                                      trees[1 - i]->set_pin(folder, pinned);
                                  },
                                  [this](const ITEMIDLIST* from, const ITEMIDLIST* to) {
                                      respell_pins(pins, idlist_bytes(from), idlist_bytes(to));
                                      const bool pinned = std::find(pins.begin(), pins.end(),
                                                                    idlist_bytes(to)) != pins.end();
                                      for (const auto& tree : trees)
                                          tree->move_pin(from, to, pinned);
                                  },
                                  [](const ITEMIDLIST*) {}});
            SetWindowSubclass(homes[i].parent, forward, 1,
                              reinterpret_cast<DWORD_PTR>(trees[i].get()));
            attach_tree(*trees[i], shell);
            trees[i]->load_expanded(pins);
        }
        pump_for(200);
    }
    ~TwoTrees() override {
        held = false;
        for (auto& home : homes) RemoveWindowSubclass(home.parent, forward, 1);
    }

    byte_list old_spelling(const fake_folder_t* below_p = nullptr) const {
        return below_p ? make_list({item("P as saved before"), below_p->id})
                       : make_list({item("P as saved before")});
    }
    // Every tree shows as pinned exactly the process's pins, byte for byte.
    void expect_pins_shown_as_held() const {
        std::vector<byte_list> held_pins = pins;
        std::sort(held_pins.begin(), held_pins.end());
        for (const auto& tree : trees) {
            std::vector<tree_node_t*> nodes;
            const_cast<tree_node_t&>(tree->root()).collect(nodes);
            std::vector<byte_list> shown;
            for (const tree_node_t* node : nodes)
                if (node->pinned) shown.push_back(idlist_bytes(node->absolute_pidl().get()));
            std::sort(shown.begin(), shown.end());
            EXPECT_EQ(shown, held_pins);
        }
    }
    // The first tree reads the desktop, which spells P anew; its news of that waits.
    void first_reads_the_desktop() {
        held = true;
        trees[0]->expand(&trees[0]->root());
        ASSERT_TRUE(pump_until([&] { return !trees[0]->root().reading; }, 5000));
        const tree_node_t* read = child_named(trees[0]->root(), L"P");
        ASSERT_NE(read, nullptr);
        ASSERT_EQ(idlist_bytes(read->absolute_pidl().get()), absolute_list(p));
    }
    const tree_node_t* second_trees(const fake_folder_t* folder) {
        const tree_node_t* parent = child_named(trees[1]->root(), L"P");
        if (!parent) return nullptr;
        trees[1]->expand(parent);
        pump_until([&] { return !parent->reading; }, 5000);
        return child_named(*parent, folder->name.c_str());
    }
};

TEST_F(TwoTrees, AFolderRespelledWhileAPinIsSetFromAnotherWindowLeavesBothWithTheSamePins) {
    open({old_spelling(x)});
    // The first window pins Y, its parent spelled as it was saved; the second reads the
    // desktop on the way, which spells that parent anew.
    trees[0]->set_pin(as_idlist(old_spelling(y)), true);
    pins.push_back(old_spelling(y));
    trees[1]->set_pin(as_idlist(old_spelling(y)), true);
    pump_for(500);

    ASSERT_EQ(pins.size(), 2u);
    expect_pins_shown_as_held();
}

TEST_F(TwoTrees, AFolderPinnedUnderTheOldSpellingOfAParentAnotherWindowRespelledFollowsIt) {
    open({old_spelling()});
    first_reads_the_desktop();
    const tree_node_t* pinned = second_trees(x);
    ASSERT_NE(pinned, nullptr);
    trees[1]->toggle_pin(pinned);
    held = false;
    trees[0]->follow_now();
    // At once: the file written now holds what every window will show.
    EXPECT_EQ(pins, (std::vector<byte_list>{absolute_list(p), absolute_list(x)}));
    pump_for(200);
    expect_pins_shown_as_held();
}

TEST_F(TwoTrees, AFolderUnpinnedBeforeAnotherWindowsRespellingIsToldStaysUnpinned) {
    open({old_spelling()});
    first_reads_the_desktop();
    const tree_node_t* parent = child_named(trees[1]->root(), L"P");
    ASSERT_NE(parent, nullptr);
    trees[1]->toggle_pin(parent);
    held = false;
    trees[0]->follow_now();
    pump_for(200);

    EXPECT_TRUE(pins.empty());
    expect_pins_shown_as_held();
}

} // namespace
