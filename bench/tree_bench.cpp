// Timings of the folder tree over a namespace in memory: one folder of 10 000 folders,
// a path 30 levels deep, 50 000 folders known at once, and a folder slow to read. Prints medians
// with the fastest and slowest run; checks nothing. Run under Wine with a display: wine
// tree_bench.exe [runs]
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
#include "tests/support/dib.h"
#include "tests/support/fake_shell.h"
#include "tests/support/process_state.h"
#include "ui/tree/tree_view.h"

namespace {

constexpr int WIDE = 10000;
constexpr int DEEP = 30;
constexpr int PER_LEVEL = 10; // folders at each level of the deep path, the path's last
constexpr int GROUPS = 100, PER_GROUP = 500; // folders under the desktop, and under each
constexpr int SLOW_MS = 300;                 // a read longer than a press waits

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

// Opens a folder once its read is back, which may go on in the background.
void open_folder(tree_model_t& folders, const tree_node_t* node) {
    folders.expand(node);
    pump_until([node] { return !node->reading; });
}

// Opens every folder the tree knows.
void expand_all(tree_model_t& folders, const tree_node_t& node) {
    if (!node.expanded) open_folder(folders, &node);
    for (const tree_node_t* c = node.first_child.get(); c; c = c->next_sibling.get())
        expand_all(folders, *c);
}

// The page painted as the pane paints it, into a surface of the pane's size.
void report_paint(const char* key, const char* what, tree_view_t& tree) {
    RECT client;
    GetClientRect(tree.handle, &client);
    const dib_t surface(client.right, client.bottom);
    SelectObject(surface.dc, g_font.get());
    report(
        key, what, [] {},
        [&] {
            paint_rows(surface.dc, client.right, client.bottom, BASE_DPI, tree.page(), nullptr, 0);
        });
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

    tree_model_t& folders = tree.model();
    attach_tree(folders, shell);
    report(
        "tree.wide.show_folder", "show_folder, the last of 10 000 siblings", [] {},
        [&] { folders.show_folder(as_list(last_list)); });
    open_folder(folders, &folders.root());
    std::printf("  (%zu rows listed, %zu on the page)\n", tree.listed().size(), tree.page().size());
    report(
        "tree.wide.full_rebuild", "full rebuild, 10 000 siblings listed", [] {},
        [&] { tree.rows_changed(); });
    const int at = tree.position();
    report(
        "tree.wide.page_rows", "  of which the page (publishes the scroll range) and paint", [] {},
        [&] { tree.on_message(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, at), 0); });
    report_paint("tree.wide.paint", "paint, 10 000 siblings listed", tree);
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
    tree_model_t& folders = tree.model();
    attach_tree(folders, shell);
    report(
        "tree.deep.show_folder_first", "show_folder, 30 levels deep, first time",
        [&] { attach_tree(folders, shell); }, [&] { folders.show_folder(as_list(deepest)); });
    report(
        "tree.deep.show_folder_again", "show_folder, 30 levels deep, again", [] {},
        [&] { folders.show_folder(as_list(deepest)); });
    expand_all(folders, folders.root());
    std::printf("  (%zu rows listed, %zu on the page)\n", tree.listed().size(), tree.page().size());
    report(
        "tree.deep.full_rebuild", "full rebuild, 30 levels expanded", [] {},
        [&] { tree.rows_changed(); });
    report_paint("tree.deep.paint", "paint, 30 levels expanded", tree);
}

void bench_many(tree_view_t& tree) {
    fake_shell_t shell;
    for (int g = 0; g < GROUPS; ++g) {
        fake_folder_t* group = shell.root->add(numbered(L"group", g));
        for (int i = 1; i < PER_GROUP; ++i) group->add(numbered(L"folder", i));
    }
    tree_model_t& folders = tree.model();
    attach_tree(folders, shell);
    // Each group read, and closed again: 50 000 known, the groups' rows listed.
    open_folder(folders, &folders.root());
    for (const tree_node_t* group = folders.root().first_child.get(); group;
         group = group->next_sibling.get()) {
        open_folder(folders, group);
        folders.collapse(group);
    }

    std::printf("\n%d folders under the desktop, %d under each of them\n", GROUPS, PER_GROUP - 1);
    std::printf("  (%zu rows listed)\n", tree.listed().size());
    report(
        "tree.many.full_rebuild_collapsed", "full rebuild, 50 000 known, the groups collapsed",
        [] {}, [&] { tree.rows_changed(); });
    for (const tree_node_t* group = folders.root().first_child.get(); group;
         group = group->next_sibling.get())
        open_folder(folders, group);
    std::printf("  (%zu rows listed)\n", tree.listed().size());
    report(
        "tree.many.full_rebuild_expanded", "full rebuild, 50 000 known, every one listed", [] {},
        [&] { tree.rows_changed(); });
    report_paint("tree.many.paint", "paint, 50 000 listed", tree);
    attach_tree(folders, shell); // the 50 000 nodes go before the shell does
}

// A folder whose read outlasts what a press waits for (a slow share): what a press on its
// glyph costs, and how long a message posted while it is read waits to be handled.
void bench_slow(tree_view_t& tree) {
    fake_shell_t shell;
    fake_folder_t* slow = shell.root->add(L"slow");
    slow->add(L"inside");
    slow->delay_ms = SLOW_MS;
    tree_model_t& folders = tree.model();
    attach_tree(folders, shell);
    open_folder(folders, &folders.root());
    const tree_node_t* node = folders.root().first_child.get();
    // Its glyph, in the second row.
    const LPARAM glyph = MAKELPARAM(10 * node->depth + 5, 30);
    const auto press = [&] {
        tree.on_message(WM_LBUTTONDOWN, MK_LBUTTON, glyph);
        tree.on_message(WM_LBUTTONUP, 0, glyph);
    };
    // Closed, with no read under way.
    const auto closed = [&] {
        pump_until([&] { return !node->reading; });
        if (node->expanded) press();
    };

    std::printf("\na folder whose read takes %d ms\n", SLOW_MS);
    report("tree.slow.press", "press on its glyph, the read going on behind", closed, press);
    constexpr UINT PROBE = WM_USER + 77;
    report(
        "tree.slow.message", "a message posted while it is read, until handled",
        [&] {
            closed();
            press();
        },
        [&] {
            PostMessageW(tree.handle, PROBE, 0, 0);
            MSG msg;
            pump_until([&] { return !PeekMessageW(&msg, tree.handle, PROBE, PROBE, PM_NOREMOVE); });
        });
    closed();
    attach_tree(folders, shell);
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
    bench_slow(*window->tree);

    SendMessageW(window->handle, WM_CLOSE, 0, 0);
    close_process_state();
    return 0;
}
