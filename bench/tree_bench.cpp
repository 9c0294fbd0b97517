// Timings of the folder tree over a namespace in memory: one folder of 10 000 folders,
// and a path 30 levels deep. Prints medians with the fastest and slowest run; checks
// nothing. Run under Wine with a display: wine tree_bench.exe [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/ebe.h"
#include "app/main_window.h"
#include "tests/support/fake_shell.h"
#include "tree/tree_view.h"

namespace {

constexpr int WIDE = 10000;
constexpr int DEEP = 30;
constexpr int PER_LEVEL = 10; // folders at each level of the deep path, the path's last

int runs = 15;

double now_ms() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return double(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1000.0 / frequency;
}

// Runs `prepare` untimed and `measure` timed, `runs` times, after one untimed round.
void report(const char* what, const std::function<void()>& prepare,
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
    std::sort(times.begin(), times.end());
    const double median = times.size() % 2
                              ? times[times.size() / 2]
                              : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
    std::printf("%-58s median %10.3f ms   min %10.3f   max %10.3f\n", what, median, times.front(),
                times.back());
    std::fflush(stdout);
}

void pump_until(const std::function<bool()>& done) {
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (!done() && GetTickCount64() < deadline) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    }
}

std::wstring numbered(const wchar_t* prefix, int i) {
    wchar_t text[32];
    swprintf(text, 32, L"%ls %05d", prefix, i);
    return text;
}

void full_rebuild(tree_view_t& tree) {
    tree.rebuild_all_nodes();
    tree.rebuild_visible_rows();
    tree.rebuild_page_rows();
    tree.paint();
}

void expand_all(tree_node_t& node) {
    node.expanded = true;
    for (tree_node_t* c = node.first_child; c; c = c->next_sibling) expand_all(*c);
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
        "refresh_children, all new",
        [&] {
            root.release();
            root.pidl = new_empty_list();
        },
        [&] { refresh_children(desktop.Get(), &root); });
    report(
        "refresh_children, all kept in the same order", [] {},
        [&] { refresh_children(desktop.Get(), &root); });
    report(
        "refresh_children, all kept in reverse order", [&] { shell.root->reverse_children(); },
        [&] { refresh_children(desktop.Get(), &root); });
    root.release();

    attach_tree(tree, shell);
    report(
        "show_folder, the last sibling", [] {}, [&] { tree.show_folder(as_list(last_list)); });
    tree.root.expanded = true;
    full_rebuild(tree);
    std::printf("  (%zu rows listed, %zu on the page)\n", tree.visible_rows.size(),
                tree.page_rows.size());
    report(
        "full rebuild, every sibling listed", [] {}, [&] { full_rebuild(tree); });
    report(
        "  of which rebuild_page_rows (publishes the scroll range)", [] {},
        [&] { tree.rebuild_page_rows(); });
    report(
        "paint", [] {}, [&] { tree.paint(); });
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
        "show_folder, the deepest folder (first time)", [&] { attach_tree(tree, shell); },
        [&] { tree.show_folder(as_list(deepest)); });
    report(
        "show_folder, the deepest folder (again)", [] {},
        [&] { tree.show_folder(as_list(deepest)); });
    expand_all(tree.root);
    full_rebuild(tree);
    std::printf("  (%zu rows listed, %zu on the page)\n", tree.visible_rows.size(),
                tree.page_rows.size());
    report(
        "full rebuild, the path expanded", [] {}, [&] { full_rebuild(tree); });
    report(
        "paint", [] {}, [&] { tree.paint(); });
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1) runs = std::max(1, std::atoi(argv[1]));
    CoInitialize(nullptr);
    OleInitialize(nullptr);
    g_font = CreateFontW(18, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_NATURAL_QUALITY,
                         DEFAULT_PITCH, L"\u30e1\u30a4\u30ea\u30aa");
    // A settings file of this run only, so the user's is never read or written.
    wchar_t dir[MAX_PATH] = L"", path[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"zvb", 0, path);
    g_settings = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (!g_font || g_settings == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot create the font or the settings file\n");
        return 2;
    }

    auto* window = new main_window_t;
    pump_until([window] { return window->ebe->folder != nullptr; });
    RECT client;
    GetClientRect(window->tree->handle, &client);
    std::printf("tree benchmark: %d timed runs each, pane %ldx%ld\n", runs, client.right,
                client.bottom);

    bench_wide(*window->tree);
    bench_deep(*window->tree);

    SendMessageW(window->handle, WM_CLOSE, 0, 0);
    CloseHandle(g_settings);
    DeleteObject(g_font);
    return 0;
}
