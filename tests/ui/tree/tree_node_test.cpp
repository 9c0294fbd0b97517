#include "ui/tree/tree_node.h"

#include <gtest/gtest.h>
#include <objidl.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/com_object.h"
#include "tests/support/fake_shell.h"

using Microsoft::WRL::ComPtr;

namespace {

// Counts the task-allocator blocks handed out while it is registered and not yet freed,
// so a test can tell that every list and name the tree let go of was freed.
// Static storage: COM may hold it past a test that leaked.
class task_memory_spy_t final : public lasting_t<IMallocSpy> {
public:
    LONG live = 0;

    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T cb) override { return cb; }
    void* STDMETHODCALLTYPE PostAlloc(void* actual) override {
        if (actual) ++live;
        return actual;
    }
    void* STDMETHODCALLTYPE PreFree(void* request, BOOL spied) override {
        if (request && spied) --live;
        return request;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T cb, void** out, BOOL spied) override {
        if (!spied) ++live; // the new block is counted from here on
        *out = request;
        return cb;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override { return actual; }
    void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T actual, BOOL) override { return actual; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}
};

task_memory_spy_t spy;

std::vector<tree_node_t*> children(const tree_node_t& node) {
    std::vector<tree_node_t*> out;
    for (tree_node_t* c = node.first_child.get(); c; c = c->next_sibling.get()) out.push_back(c);
    return out;
}

std::vector<std::wstring> child_names(const tree_node_t& node) {
    std::vector<std::wstring> out;
    for (const tree_node_t* c : children(node)) out.push_back(c->name ? c->name.get() : L"(null)");
    return out;
}

// A node the test needs: missing, it fails the test instead of crashing the process.
tree_node_t* must(tree_node_t* node) {
    if (!node) throw std::runtime_error("a node the test needs is missing");
    return node;
}

tree_node_t* child_named(const tree_node_t& node, const wchar_t* name) {
    for (tree_node_t* c : children(node))
        if (c->name && std::wstring(c->name.get()) == name) return c;
    return must(nullptr);
}

id_bytes_t item(const char* text) {
    return id_bytes_t(text, text + std::char_traits<char>::length(text));
}

// The links of a subtree agree with each other in both directions, at every level.
void expect_well_linked(const tree_node_t& node) {
    const tree_node_t* prev = nullptr;
    for (const tree_node_t* c = node.first_child.get(); c; prev = c, c = c->next_sibling.get()) {
        EXPECT_EQ(c->parent, &node);
        EXPECT_EQ(c->prev_sibling, prev);
        EXPECT_EQ(c->depth, node.depth + 1);
        expect_well_linked(*c);
    }
    EXPECT_EQ(node.last_child, prev);
}

// Task blocks the subtree owns: a list and a name per node, where present.
int blocks_owned(const tree_node_t& node) {
    int blocks = (node.pidl ? 1 : 0) + (node.name ? 1 : 0);
    for (const tree_node_t* c : children(node)) blocks += blocks_owned(*c);
    return blocks;
}

class TreeNodeTest : public testing::Test {
protected:
    fake_shell_t shell;
    ComPtr<IShellFolder> desktop = shell.desktop();
    tree_node_t root;
    bool spying = false;

    void SetUp() override {
        spying = CoRegisterMallocSpy(&spy) == S_OK;
        spy.live = 0;
        root.pidl = new_empty_list();
        root.name = new_task_string(L"Desktop");
    }

    void TearDown() override {
        root.clear_children();
        root.pidl.reset();
        root.name.reset();
        if (spying) {
            EXPECT_EQ(spy.live, 0) << "task memory the tree did not free";
        }
        CoRevokeMallocSpy();
        EXPECT_EQ(shell.calls->unexpected, 0) << "calls the tree should not make";
    }

    // Every block the tree holds is one its nodes own, and no other is left over.
    void expect_no_stray_blocks() {
        if (spying) {
            EXPECT_EQ(spy.live, blocks_owned(root));
        }
    }

    bool refresh(tree_node_t* node) { return refresh_children(desktop.Get(), must(node)); }
};

} // namespace

TEST_F(TreeNodeTest, RefreshingTheRootEnumeratesTheDesktopWithoutABind) {
    shell.root->add(L"b", item("B"));
    shell.root->add(L"a", item("A"));
    shell.root->add(L"c", item("C"));

    EXPECT_TRUE(refresh(&root));

    EXPECT_EQ(shell.calls->binds, 0);
    EXPECT_EQ(shell.root->enumerations, 1);
    // The enumerator's order, unsorted.
    EXPECT_EQ(child_names(root), (std::vector<std::wstring>{L"b", L"a", L"c"}));
    const std::vector<tree_node_t*> kids = children(root);
    EXPECT_EQ(list_bytes(kids.at(0)->pidl.get()), make_list({item("B")}));
    EXPECT_EQ(list_bytes(kids.at(1)->pidl.get()), make_list({item("A")}));
    EXPECT_EQ(list_bytes(kids.at(2)->pidl.get()), make_list({item("C")}));
    for (const tree_node_t* c : kids) {
        EXPECT_FALSE(c->expanded || c->pinned || c->current);
        EXPECT_EQ(c->first_child, nullptr);
    }
    expect_well_linked(root);
    expect_no_stray_blocks();
}

TEST_F(TreeNodeTest, RefreshingAFolderBindsItsAbsoluteListAndNamesChildrenAsItsParentDoes) {
    fake_folder_t* a = shell.root->add(L"a", item("A"));
    fake_folder_t* x = a->add(L"x", item("X"));
    x->add(L"deep", item("D"))->absolute_name = L"seen from the desktop";
    x->add(L"nameless", item("N"))->fail_name = true;
    a->add(L"empty", item("E"));
    ASSERT_TRUE(refresh(&root));
    tree_node_t* na = child_named(root, L"a");

    EXPECT_TRUE(refresh(na));
    EXPECT_EQ(shell.calls->binds, 1);
    EXPECT_EQ(a->binds, 1);
    EXPECT_EQ(a->enumerations, 1);
    EXPECT_EQ(child_names(*na), (std::vector<std::wstring>{L"x", L"empty"}));

    tree_node_t* nx = child_named(*na, L"x");
    EXPECT_TRUE(refresh(nx));
    EXPECT_EQ(x->binds, 1);
    // The enumerated folder's own name for its item, not the desktop's; a name that
    // cannot be had leaves the node without one, listed all the same.
    EXPECT_EQ(child_names(*nx), (std::vector<std::wstring>{L"deep", L"(null)"}));
    EXPECT_EQ(must(nx->first_child.get())->depth, 3);

    // A folder without subfolders ends with none, and that is a successful refresh.
    tree_node_t* empty = child_named(*na, L"empty");
    EXPECT_TRUE(refresh(empty));
    EXPECT_EQ(empty->first_child, nullptr);
    EXPECT_EQ(empty->last_child, nullptr);
    expect_well_linked(root);
    expect_no_stray_blocks();
}

TEST_F(TreeNodeTest, ARefreshKeepsSurvivingChildrenInTheNewOrderAndReplacesTheRest) {
    shell.root->add(L"a", item("A"))->add(L"a1", item("A1"))->add(L"a2", item("A2"));
    shell.root->add(L"b", item("B"))->add(L"b1", item("B1"));
    shell.root->add(L"c", item("C"));
    ASSERT_TRUE(refresh(&root));
    tree_node_t* a = child_named(root, L"a");
    tree_node_t* b = child_named(root, L"b");
    tree_node_t* c = child_named(root, L"c");
    ASSERT_TRUE(refresh(a));
    tree_node_t* a1 = must(a->first_child.get());
    ASSERT_TRUE(refresh(a1));
    tree_node_t* a2 = must(a1->first_child.get());
    ASSERT_TRUE(refresh(b));
    a->expanded = true;
    a1->pinned = true;
    a2->current = true;
    b->pinned = true;
    c->current = true;
    const wchar_t* a_name = a->name.get();
    const ITEMIDLIST* a_pidl = a->pidl.get();

    // b and its subtree vanish, the survivors come back reversed, e arrives first and
    // d last.
    shell.root->remove(L"b");
    shell.root->add(L"e", item("E"));
    shell.root->reverse_children();
    shell.root->add(L"d", item("D"));
    const int a_enumerations = shell.at({L"a"})->enumerations;

    EXPECT_TRUE(refresh(&root));

    EXPECT_EQ(child_names(root), (std::vector<std::wstring>{L"e", L"c", L"a", L"d"}));
    const std::vector<tree_node_t*> kids = children(root);
    EXPECT_EQ(kids.at(1), c);
    EXPECT_EQ(kids.at(2), a);
    // Kept as they were: flags, name, list and the loaded subtree, which is not
    // enumerated again.
    EXPECT_TRUE(a->expanded);
    EXPECT_TRUE(c->current);
    EXPECT_EQ(a->name.get(), a_name);
    EXPECT_EQ(a->pidl.get(), a_pidl);
    EXPECT_EQ(a->first_child.get(), a1);
    EXPECT_EQ(a1->first_child.get(), a2);
    EXPECT_TRUE(a1->pinned);
    EXPECT_TRUE(a2->current);
    EXPECT_EQ(shell.at({L"a"})->enumerations, a_enumerations);
    for (tree_node_t* fresh : {kids.at(0), kids.at(3)}) {
        EXPECT_FALSE(fresh->expanded || fresh->pinned || fresh->current);
        EXPECT_EQ(fresh->first_child, nullptr);
    }
    expect_well_linked(root);
    expect_no_stray_blocks(); // b and b1 went with their lists and names
}

TEST_F(TreeNodeTest, AnItemWhoseBytesChangedIsKeptByItsName) {
    // A folder's item can carry its last-write time: written into, it comes back under
    // other bytes (same length, longer, or a shorter one the old bytes begin with).
    // By its name it keeps its flags and subtree and takes the new bytes.
    const struct {
        const char* before;
        const char* after;
    } cases[] = {{"AB", "AC"}, {"AB", "ABC"}, {"ABC", "AB"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.before << " -> " << c.after);
        fake_folder_t* f = shell.root->add(L"f", item(c.before));
        f->add(L"inner", item("I"));
        ASSERT_TRUE(refresh(&root));
        tree_node_t* node = must(root.first_child.get());
        ASSERT_TRUE(refresh(node));
        node->expanded = node->pinned = node->current = true;
        tree_node_t* inner = must(node->first_child.get());

        f->set_id(item(c.after));
        EXPECT_TRUE(refresh(&root));

        ASSERT_EQ(child_names(root), std::vector<std::wstring>{L"f"});
        EXPECT_EQ(root.first_child.get(), node);
        EXPECT_EQ(list_bytes(node->pidl.get()), make_list({item(c.after)}));
        EXPECT_TRUE(node->expanded && node->pinned && node->current);
        EXPECT_EQ(node->first_child.get(), inner);
        expect_no_stray_blocks(); // the old bytes and the second name were freed
        shell.root->remove(L"f");
    }

    // Other bytes under another name are another folder: it starts with clear flags.
    fake_folder_t* g = shell.root->add(L"g", item("G"));
    g->add(L"inner", item("I"));
    ASSERT_TRUE(refresh(&root));
    tree_node_t* node = must(root.first_child.get());
    ASSERT_TRUE(refresh(node));
    node->expanded = node->pinned = true;
    shell.root->remove(L"g");
    shell.root->add(L"h", item("H"));
    EXPECT_TRUE(refresh(&root));
    tree_node_t* now = must(root.first_child.get());
    EXPECT_EQ(child_names(root), std::vector<std::wstring>{L"h"});
    EXPECT_FALSE(now->expanded || now->pinned || now->current);
    EXPECT_EQ(now->first_child, nullptr);
    expect_no_stray_blocks();
}

TEST_F(TreeNodeTest, AFailedBindLeavesTheChildrenAsTheyWere) {
    fake_folder_t* a = shell.root->add(L"a", item("A"));
    a->add(L"x", item("X"));
    a->add(L"y", item("Y"));
    ASSERT_TRUE(refresh(&root));
    tree_node_t* na = must(root.first_child.get());
    ASSERT_TRUE(refresh(na));
    const std::vector<tree_node_t*> before = children(*na);

    a->remove(L"x");
    a->fail_bind = true;
    EXPECT_FALSE(refresh(na));
    EXPECT_EQ(a->enumerations, 1) << "enumerated without a folder object";
    EXPECT_EQ(children(*na), before);

    // A folder that has left the namespace cannot be bound either.
    a->fail_bind = false;
    shell.root->remove(L"a");
    EXPECT_FALSE(refresh(na));
    EXPECT_EQ(children(*na), before);
    expect_well_linked(root);
    expect_no_stray_blocks();
}

TEST_F(TreeNodeTest, AnEnumerationThatCannotStartDropsTheChildren) {
    for (enum_failure_t failure : {enum_failure_t::error, enum_failure_t::no_enumerator}) {
        SCOPED_TRACE(failure == enum_failure_t::error ? "failed call" : "no enumerator");
        fake_folder_t* a = shell.root->add(L"a", item("A"));
        a->add(L"x", item("X"))->add(L"x1", item("X1"));
        a->add(L"y", item("Y"));
        ASSERT_TRUE(refresh(&root));
        tree_node_t* na = must(root.first_child.get());
        ASSERT_TRUE(refresh(na));
        ASSERT_TRUE(refresh(na->first_child.get()));

        a->fail_enum = failure;
        EXPECT_FALSE(refresh(na));
        EXPECT_EQ(na->first_child, nullptr);
        EXPECT_EQ(na->last_child, nullptr);
        expect_no_stray_blocks();

        // The root's own enumeration failing empties the whole tree.
        shell.root->fail_enum = failure;
        EXPECT_FALSE(refresh(&root));
        EXPECT_EQ(root.first_child, nullptr);
        expect_no_stray_blocks();
        shell.root->fail_enum = enum_failure_t::none;
        shell.root->remove(L"a");
    }
}

TEST_F(TreeNodeTest, AbsoluteListsJoinTheItemsFromTheRootDown) {
    fake_folder_t* deep = shell.root->add(L"a", item("A"))->add(L"bb", item("BB"));
    deep = deep->add(L"ccc", item("CCC"));
    ASSERT_TRUE(refresh(&root));
    ASSERT_TRUE(refresh(root.first_child.get()));
    ASSERT_TRUE(refresh(must(root.first_child.get())->first_child.get()));
    const tree_node_t* leaf = must(root.first_child->first_child->first_child.get());

    const auto absolute = [](const tree_node_t* node) {
        return list_bytes(node->absolute_pidl().get());
    };
    // The root's is a copy of its own list, not the list itself.
    {
        const task_idlist root_copy = root.absolute_pidl();
        EXPECT_NE(root_copy.get(), root.pidl.get());
        EXPECT_EQ(list_bytes(root_copy.get()), id_bytes_t({0, 0}));
    }
    EXPECT_EQ(absolute(root.first_child.get()), make_list({item("A")}));
    EXPECT_EQ(absolute(leaf), absolute_list(deep));
    EXPECT_EQ(absolute(leaf), make_list({item("A"), item("BB"), item("CCC")}));

    // Under a root whose own list is not empty, its items come first.
    const id_bytes_t base = make_list({item("R")});
    root.pidl = idlist_copy(base.data());
    EXPECT_EQ(absolute(&root), base);
    EXPECT_EQ(absolute(leaf), make_list({item("R"), item("A"), item("BB"), item("CCC")}));
    expect_no_stray_blocks();
}

TEST_F(TreeNodeTest, ConcatenationMakesOneZeroTerminatedListOfExactlyTheItems) {
    ComPtr<IMalloc> malloc;
    ASSERT_EQ(CoGetMalloc(1, &malloc), S_OK);
    const id_bytes_t empty = make_list({});
    const id_bytes_t one = make_list({item("xy")});
    const id_bytes_t two = make_list({item("p"), item("qrs")});
    const struct {
        const id_bytes_t& first;
        const id_bytes_t& second;
        id_bytes_t joined;
    } cases[] = {
        {empty, empty, make_list({})},
        {empty, one, one},
        {one, empty, one},
        {one, two, make_list({item("xy"), item("p"), item("qrs")})},
        {two, one, make_list({item("p"), item("qrs"), item("xy")})},
    };
    for (const auto& c : cases) {
        const task_idlist joined = idlist_join(as_list(c.first), as_list(c.second));
        ASSERT_NE(joined, nullptr);
        EXPECT_EQ(list_bytes(joined.get()), c.joined);
        // length(first) + length(second) + the terminator, nothing more.
        EXPECT_EQ(malloc->GetSize(joined.get()), c.joined.size());
    }
}

TEST_F(TreeNodeTest, CollapsingEverythingKeepsPinnedAndCurrentFoldersListed) {
    fake_folder_t* a = shell.root->add(L"a", item("A"));
    a->add(L"pinned", item("P"))->add(L"under pinned", item("U"));
    a->add(L"current", item("C"));
    a->add(L"plain", item("L"));
    shell.root->add(L"b", item("B"));
    ASSERT_TRUE(refresh(&root));
    tree_node_t* na = child_named(root, L"a");
    ASSERT_TRUE(refresh(na));
    tree_node_t* pinned = child_named(*na, L"pinned");
    tree_node_t* current = child_named(*na, L"current");
    tree_node_t* plain = child_named(*na, L"plain");
    ASSERT_TRUE(refresh(pinned));
    tree_node_t* under = must(pinned->first_child.get());
    std::vector<tree_node_t*> all;
    root.collect(all);
    ASSERT_EQ(all.size(), 7u);
    // Pre-order: a node, then each child's subtree in sibling order.
    EXPECT_EQ(all, (std::vector<tree_node_t*>{&root, na, pinned, under, current, plain,
                                              child_named(root, L"b")}));
    for (tree_node_t* n : all) n->expanded = true;
    pinned->pinned = true;
    current->current = true;
    for (tree_node_t* n : all) EXPECT_TRUE(n->is_shown());

    root.collapse_all();

    for (tree_node_t* n : all) EXPECT_FALSE(n->expanded);
    EXPECT_TRUE(root.is_shown());
    EXPECT_FALSE(na->is_shown());
    EXPECT_TRUE(pinned->is_shown());
    EXPECT_TRUE(current->is_shown());
    EXPECT_FALSE(plain->is_shown());
    EXPECT_FALSE(under->is_shown());
    // A listed folder's children are listed once it is expanded, its ancestors still
    // collapsed.
    pinned->expanded = true;
    EXPECT_TRUE(under->is_shown());
    EXPECT_FALSE(plain->is_shown());
    EXPECT_TRUE(pinned->pinned) << "collapsing keeps the pin";

    root.clear_current();
    for (tree_node_t* n : all) EXPECT_FALSE(n->current);
    EXPECT_FALSE(current->is_shown());
}

TEST_F(TreeNodeTest, TwinsOfOneFolderAreFoldedIntoOneNodeWithTheFlagsAndFoldersOfBoth) {
    // One folder known under two spellings (pins restored from both), each twin holding
    // some of what lies below it: the read keeps one node with all of it.
    fake_folder_t* p = shell.root->add(L"p", item("P"));
    p->add(L"x", item("X"));
    p->add(L"y", item("Y"));
    const auto made = [](tree_node_t& parent, const char* bytes, const wchar_t* name) {
        auto node = std::make_unique<tree_node_t>();
        node->pidl = idlist_copy(make_list({item(bytes)}).data());
        node->name = new_task_string(name);
        tree_node_t* added = node.get();
        parent.append_child(std::move(node));
        return added;
    };
    tree_node_t* before = made(root, "P before", L"p");
    before->pinned = true;
    tree_node_t* pinned_x = made(*before, "X", L"x");
    pinned_x->pinned = pinned_x->expanded = true;
    made(*pinned_x, "X1", L"x1")->current = true;
    tree_node_t* now = made(root, "P", L"p");
    now->expanded = true;
    tree_node_t* x = made(*now, "X", L"x");
    made(*now, "Y", L"y")->pinned = true;

    EXPECT_TRUE(refresh(&root));

    ASSERT_EQ(children(root), std::vector<tree_node_t*>{now});
    EXPECT_TRUE(now->pinned && now->expanded);
    EXPECT_EQ(child_names(*now), (std::vector<std::wstring>{L"x", L"y"}));
    EXPECT_EQ(now->first_child.get(), x);
    EXPECT_TRUE(x->pinned && x->expanded);
    EXPECT_EQ(child_names(*x), std::vector<std::wstring>{L"x1"});
    EXPECT_TRUE(must(x->first_child.get())->current);
    EXPECT_TRUE(child_named(*now, L"y")->pinned);
    expect_well_linked(root);
    expect_no_stray_blocks(); // the twins folded in went with their lists and names
}
