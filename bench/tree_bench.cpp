// Timings of the folder tree over a namespace in memory: one folder of 10 000 folders,
// a path 30 levels deep, and 50 000 folders known at once. Prints medians with the
// fastest and slowest run; checks nothing. Run under Wine with a display:
// wine tree_bench.exe [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/ebe.h"
#include "app/main_window.h"
#include "bench/figures.h"
#include "tests/support/fake_shell.h"
#include "tests/support/process_state.h"
#include "ui/tree/tree_view.h"

namespace {

constexpr int WIDE = 10000;
constexpr int DEEP = 30;
constexpr int PER_LEVEL = 10; // folders at each level of the deep path, the path's last
constexpr int GROUPS = 100, PER_GROUP = 500; // folders under the desktop, and under each

int runs = 15;

// Runs `prepare` untimed and `measure` timed, `runs` times, after one untimed round.
void report(const char* key, const char* what, const std::function<void()>& prepare,
            const std::function<void()>& measure) {
    std::vector<double> times;
    prepare();
    measure();
    for (int i = 0; i < runs; ++i) {
        prepare();
        const double start = now_ms();
        measure();
        times.push_back(now_ms() - start);
    }
    print_figure(key, what, "ms", times);
}

std::wstring numbered(const wchar_t* prefix, int i) {
    wchar_t text[32];
    swprintf(text, 32, L"%ls %05d", prefix, i);
    return text;
}

void expand_all(tree_node_t& node) {
    node.expanded = true;
    for (tree_node_t* c = node.first_child.get(); c; c = c->next_sibling.get()) expand_all(*c);
}

void bench_wide(tree_view_t& tree) {
    fake_shell_t shell;
    fake_folder_t* last = nullptr;
    for (int i = 0; i < WIDE; ++i) last = shell.root->add(numbered(L"folder", i));
    const id_bytes_t last_list = absolute_list(last);
    auto desktop = shell.desktop();

    std::printf("\n%d sibling folders under the desktop\n", WIDE);
    tree_node_t root;
    root.pidl = new_empty_list();
    report(
        "tree.wide.refresh_new", "refresh_children, 10 000 new siblings",
        [&] { root.clear_children(); }, [&] { refresh_children(desktop.Get(), &root); });
    report(
        "tree.wide.refresh_kept", "refresh_children, 10 000 siblings kept in order", [] {},
        [&] { refresh_children(desktop.Get(), &root); });
    report(
        "tree.wide.refresh_reversed", "refresh_children, 10 000 siblings kept, reversed",
        [&] { shell.root->reverse_children(); }, [&] { refresh_children(desktop.Get(), &root); });
    root.clear_children();

    attach_tree(tree, shell);
    report(
        "tree.wide.show_folder", "show_folder, the last of 10 000 siblings", [] {},
        [&] { tree.show_folder(as_list(last_list)); });
    tree.root.expanded = true;
    rebuild_tree(tree);
    std::printf("  (%zu rows listed, %zu on the page)\n", tree.visible_rows.size(),
                tree.page_rows.size());
    report(
        "tree.wide.full_rebuild", "full rebuild, 10 000 siblings listed", [] {},
        [&] { rebuild_tree(tree); });
    report(
        "tree.wide.page_rows", "  of which rebuild_page_rows (publishes the scroll range)", [] {},
        [&] { tree.rebuild_page_rows(); });
    report(
        "tree.wide.paint", "paint, 10 000 siblings listed", [] {}, [&] { tree.paint(); });
}

void bench_deep(tree_view_t& tree) {
    fake_shell_t shell;
    fake_folder_t* folder = shell.root.get();
    for (int level = 0; level < DEEP; ++level) {
        fake_folder_t* next = nullptr;
        for (int i = 0; i < PER_LEVEL; ++i) next = folder->add(numbered(L"level", level * 100 + i));
        folder = next;
    }
    const id_bytes_t deepest = absolute_list(folder);

    std::printf("\na path %d levels deep, %d folders at each level\n", DEEP, PER_LEVEL);
    attach_tree(tree, shell);
    report(
        "tree.deep.show_folder_first", "show_folder, 30 levels deep, first time",
        [&] { attach_tree(tree, shell); }, [&] { tree.show_folder(as_list(deepest)); });
    report(
        "tree.deep.show_folder_again", "show_folder, 30 levels deep, again", [] {},
        [&] { tree.show_folder(as_list(deepest)); });
    expand_all(tree.root);
    rebuild_tree(tree);
    std::printf("  (%zu rows listed, %zu on the page)\n", tree.visible_rows.size(),
                tree.page_rows.size());
    report(
        "tree.deep.full_rebuild", "full rebuild, 30 levels expanded", [] {},
        [&] { rebuild_tree(tree); });
    report(
        "tree.deep.paint", "paint, 30 levels expanded", [] {}, [&] { tree.paint(); });
}

void bench_many(tree_view_t& tree) {
    fake_shell_t shell;
    for (int g = 0; g < GROUPS; ++g) {
        fake_folder_t* group = shell.root->add(numbered(L"group", g));
        for (int i = 1; i < PER_GROUP; ++i) group->add(numbered(L"folder", i));
    }
    attach_tree(tree, shell);
    IShellFolder* desktop = tree.desktop_sf.Get();
    refresh_children(desktop, &tree.root);
    for (tree_node_t* group = tree.root.first_child.get(); group; group = group->next_sibling.get())
        refresh_children(desktop, group);
    tree.root.expanded = true;
    rebuild_tree(tree);

    std::printf("\n%d folders under the desktop, %d under each of them\n", GROUPS, PER_GROUP - 1);
    std::printf("  (%zu nodes known, %zu rows listed)\n", tree.all_nodes.size(),
                tree.visible_rows.size());
    report(
        "tree.many.full_rebuild_collapsed", "full rebuild, 50 000 known, the groups collapsed",
        [] {}, [&] { rebuild_tree(tree); });
    expand_all(tree.root);
    rebuild_tree(tree);
    std::printf("  (%zu nodes known, %zu rows listed)\n", tree.all_nodes.size(),
                tree.visible_rows.size());
    report(
        "tree.many.full_rebuild_expanded", "full rebuild, 50 000 known, every one listed", [] {},
        [&] { rebuild_tree(tree); });
    report(
        "tree.many.paint", "paint, 50 000 listed", [] {}, [&] { tree.paint(); });
    attach_tree(tree, shell); // the 50 000 nodes go before the shell does
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1) runs = std::max(1, std::atoi(argv[1]));
    if (!open_process_state(L"zvb")) {
        std::fprintf(stderr, "cannot create the font or the settings file\n");
        return 2;
    }

    main_window_t* window = main_window_t::open();
    pump_until([window] { return window->ebe->folder != nullptr; });
    RECT client;
    GetClientRect(window->tree->handle, &client);
    std::printf("tree benchmark: %d timed runs each, pane %ldx%ld\n", runs, client.right,
                client.bottom);

    bench_wide(*window->tree);
    bench_deep(*window->tree);
    bench_many(*window->tree);

    SendMessageW(window->handle, WM_CLOSE, 0, 0);
    close_process_state();
    return 0;
}
