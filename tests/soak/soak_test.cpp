// Drives one process through seeded random actions, the way a long session would, and
// checks after each one that the settings file holds the state of the window that
// saved last and that every tree's row lists agree with its nodes. At quiet moments
// (one window left, back on the desktop) the GDI objects and windows are counted.
#include <windows.h>
#include <shlobj.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "ui/address/address_view.h"
#include "app/session.h"
#include "app/ebe.h"
#include "core/handover.h"
#include "core/layout.h"
#include "app/main_window.h"
#include "core/settings_format.h"
#include "tests/support/win_test_support.h"
#include "core/rows.h"
#include "ui/tree/tree_view.h"

namespace {

// GDI objects of this process, from the handle table the system shares with it; with
// `by_type`, how many of each kind.
int gdi_objects(std::string* by_type = nullptr) {
    struct entry {
        std::uint64_t object;
        std::uint32_t owner;
        std::uint16_t unique;
        std::uint8_t type, flags;
        std::uint64_t user;
    };
    PROCESS_BASIC_INFORMATION info{};
    NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &info, sizeof info,
                              nullptr);
    auto* peb = reinterpret_cast<BYTE*>(info.PebBaseAddress);
    if (!peb) return -1;
    const auto* table = *reinterpret_cast<entry* const*>(peb + 0xF8);
    if (!table) return -1;
    int count = 0, kinds[256] = {};
    for (int i = 0; i < 65536; ++i) {
        count += table[i].type != 0;
        ++kinds[table[i].type];
    }
    if (by_type)
        for (int k = 1; k < 256; ++k)
            if (kinds[k]) *by_type += " " + std::to_string(k) + ":" + std::to_string(kinds[k]);
    return count;
}

// Kernel handles of this process, found by asking about every handle value in turn (Wine
// does not count them for us).
DWORD kernel_handles() {
    DWORD count = 0, flags = 0;
    for (std::uintptr_t value = 4; value < 0x10000; value += 4)
        count += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) != FALSE;
    return count;
}

// Windows of this thread, top-level and children: most of what user objects are.
int windows_of_thread() {
    int count = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM p) {
            auto& n = *reinterpret_cast<int*>(p);
            ++n;
            EnumChildWindows(
                window, [](HWND, LPARAM q) { return ++*reinterpret_cast<int*>(q), TRUE; }, p);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

// Every node a tree knows, pre-order, collapsed subtrees included.
void collect(const tree_node_t* node, std::vector<const tree_node_t*>& nodes) {
    nodes.push_back(node);
    for (const tree_node_t* c = node->first_child.get(); c; c = c->next_sibling.get())
        collect(c, nodes);
}

std::vector<const tree_node_t*> known_nodes(tree_view_t* tree) {
    std::vector<const tree_node_t*> nodes;
    collect(&tree->model().root(), nodes);
    return nodes;
}

bytes_t absolute_items(const tree_node_t* node) {
    return idlist_items(node->absolute_pidl().get());
}

std::string narrow(const wchar_t* text) {
    std::string out;
    for (; *text; ++text) out += *text < 128 ? char(*text) : '?';
    return out;
}

bytes_t terminated(bytes_t items) {
    items.insert(items.end(), {0, 0});
    return items;
}

// Whether the file is what this window's save writes.
testing::AssertionResult file_is_state_of(const saved_settings_t& s, main_window_t* w) {
    const auto differs = [](const char* what) { return testing::AssertionFailure() << what; };
    // Every save holds every window, in order: another window may have saved since (a pin
    // it found under new bytes), which leaves this one's state in the file all the same.
    const auto at = std::find(g_session.main_windows.begin(), g_session.main_windows.end(), w);
    if (s.trailer.windows.size() != g_session.main_windows.size() ||
        at == g_session.main_windows.end())
        return differs("the windows stored");
    const window_record_t& record =
        s.trailer.windows[std::size_t(at - g_session.main_windows.begin())];
    RECT r;
    GetWindowRect(w->handle, &r);
    if (record.split != w->split || record.rect[0] != r.left || record.rect[1] != r.top ||
        record.rect[2] != r.right || record.rect[3] != r.bottom)
        return differs("the window's rectangle or split")
               << ": saved " << record.split << " at " << record.rect[0] << "," << record.rect[1]
               << "," << record.rect[2] << "," << record.rect[3] << ", shown " << w->split << " at "
               << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    const bytes_t folder = w->ebe->folder ? idlist_items(w->ebe->folder.get()) : bytes_t{};
    if (!record.folder || *record.folder != terminated(folder))
        return differs("the window's folder");
    // The first record is the state of whichever window saved.
    const auto is_header = [&](const window_record_t& x) {
        return x.split == s.split && std::equal(x.rect, x.rect + 4, s.rect) && x.folder == s.folder;
    };
    if (std::none_of(s.trailer.windows.begin(), s.trailer.windows.end(), is_header))
        return differs("the first record");
    if (s.pins != g_session.pins.folders) return differs("the process's pins");
    // Every window shows every pin it can reach, and no other.
    for (main_window_t* window : g_session.main_windows) {
        for (const tree_node_t* node : known_nodes(window->tree.get())) {
            if (!node->pinned) continue;
            const byte_list pin = terminated(absolute_items(node));
            if (std::find(g_session.pins.folders.begin(), g_session.pins.folders.end(), pin) !=
                g_session.pins.folders.end())
                continue;
            std::string path;
            for (const tree_node_t* n = node; n && n->parent; n = n->parent)
                path = "\\" + narrow(n->name ? n->name.get() : L"?") + path;
            std::string pins;
            for (const byte_list& kept : g_session.pins.folders) {
                wchar_t where[MAX_PATH] = L"?";
                SHGetPathFromIDListW(reinterpret_cast<const ITEMIDLIST*>(kept.data()), where);
                pins += " " + narrow(where) + " (" + std::to_string(kept.size()) + " bytes)";
            }
            return differs("a pin shown that the process does not have")
                   << ": " << path << " of " << pin.size() << " bytes, among the pins" << pins;
        }
    }
    return testing::AssertionSuccess();
}

// The three row lists are what the nodes and the scroll position make of them.
void expect_rows_consistent(tree_view_t* tree) {
    const std::vector<const tree_node_t*> all = known_nodes(tree);
    std::vector<const tree_node_t*> visible;
    int current = 0;
    // Hidden folders are left out unless shown, pinned or on the way to such a one.
    const auto wanted = [&](const tree_node_t* hidden) {
        for (const tree_node_t* n : all)
            for (const tree_node_t* up = n; up && (n->current || n->pinned); up = up->parent)
                if (up == hidden) return true;
        return false;
    };
    const auto left_out = [&](const tree_node_t* node) {
        for (; node && !tree->hidden_shown(); node = node->parent)
            if (node->hidden && !wanted(node)) return true;
        return false;
    };
    for (const tree_node_t* node : all) {
        if (node->is_shown() && !left_out(node)) visible.push_back(node);
        current += node->current;
        if (node->parent) {
            ASSERT_EQ(node->depth, node->parent->depth + 1);
            ASSERT_EQ(node->next_sibling ? node->next_sibling->prev_sibling
                                         : node->parent->last_child,
                      node);
        }
    }
    ASSERT_LE(current, 1);
    ASSERT_EQ(visible, tree->listed());
    RECT client;
    GetClientRect(tree->handle, &client);
    std::vector<const tree_node_t*> page;
    fill_page_rows(visible, tree->position(), client.bottom / ROW_HEIGHT, page);
    ASSERT_EQ(page, tree->page());
}

LPARAM point(int x, int y) {
    return MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), static_cast<WORD>(y));
}

struct soak_t {
    std::mt19937 random;
    std::vector<bytes_t> folders; // terminated absolute lists
    std::vector<std::wstring> paths;

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); }
    main_window_t* any_window() {
        return g_session.main_windows[pick(int(g_session.main_windows.size()))];
    }

    static void settle() { pump_for(5); }

    void navigate(main_window_t* w, const bytes_t& list) {
        w->eb->BrowseToIDList(reinterpret_cast<const ITEMIDLIST*>(list.data()), 0);
        pump_until([&] {
            return w->ebe->folder &&
                   idlist_items(w->ebe->folder.get()) == bytes_t(list.begin(), list.end() - 2);
        });
    }

    bool press(tree_view_t* tree, int x_of_row(const tree_node_t*, int right)) {
        if (tree->page().empty()) return false;
        const int i = pick(int(tree->page().size()));
        RECT client;
        GetClientRect(tree->handle, &client);
        const LPARAM at = point(x_of_row(tree->page()[i], client.right), 20 * i + 10);
        SendMessageW(tree->handle, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(tree->handle, WM_LBUTTONUP, 0, at);
        return true;
    }

    // One action; true when it saves, so that the acting window's state is the file's.
    bool act(std::string& name, main_window_t*& actor) {
        actor = any_window();
        tree_view_t* tree = actor->tree.get();
        switch (pick(13)) {
        case 0:
        case 1:
            name = "navigate";
            navigate(actor, folders[pick(int(folders.size()))]);
            return true;
        case 2:
            name = "expand or collapse";
            press(tree, [](const tree_node_t* n, int) { return 10 * n->depth + 8; });
            return false;
        case 3:
            name = "pin or unpin";
            return press(tree, [](const tree_node_t*, int right) { return right - 11; });
        case 4:
            name = "tree navigate";
            press(tree, [](const tree_node_t* n, int right) {
                return std::min(10 * n->depth + 30, right - 22);
            });
            pump_for(60);
            return false; // a name that only the tree knows may not navigate at all
        case 5:
            name = "scroll";
            SendMessageW(tree->handle, WM_VSCROLL,
                         MAKEWPARAM(pick(9), pick(tree->last_position() + 1)), 0);
            return false;
        case 6: {
            name = "wheel";
            static const int deltas[] = {-360, -240, -120, -60, 60, 120, 240};
            SendMessageW(tree->handle, WM_MOUSEWHEEL, MAKEWPARAM(0, deltas[pick(7)]), 0);
            return false;
        }
        case 7: {
            name = "resize";
            RECT r;
            GetWindowRect(actor->handle, &r);
            const int width = 300 + pick(900), height = 200 + pick(700);
            if (width == r.right - r.left && height == r.bottom - r.top) return false;
            // As a gesture of the frame's: written when it ends.
            SendMessageW(actor->handle, WM_ENTERSIZEMOVE, 0, 0);
            MoveWindow(actor->handle, 40, 40, width, height, TRUE);
            SendMessageW(actor->handle, WM_EXITSIZEMOVE, 0, 0);
            return true;
        }
        case 8: {
            name = "drag the splitter";
            RECT client;
            GetClientRect(actor->handle, &client);
            const int bar = splitter_in_reach(actor->split, client.right);
            SendMessageW(actor->handle, WM_LBUTTONDOWN, MK_LBUTTON, point(bar + 1, 50));
            for (int i = 0; i < 3; ++i)
                SendMessageW(actor->handle, WM_MOUSEMOVE, MK_LBUTTON,
                             point(pick(client.right + 200) - 100, 50));
            SendMessageW(actor->handle, WM_LBUTTONUP, 0, point(0, 50));
            return true;
        }
        case 9:
            if (g_session.main_windows.size() >= 5) return name = "nothing", false;
            name = "open a window";
            SendMessageW(actor->handle, WM_NEW_WINDOW, 0, 0);
            actor = g_session.main_windows.back();
            pump_until([&] { return actor->ebe->folder != nullptr; });
            return true;
        case 12:
            name = "a folder made, renamed or deleted outside";
            change_outside();
            return false;
        case 10: {
            if (g_session.main_windows.size() >= 5) return name = "nothing", false;
            name = "hand over";
            const int f = pick(int(paths.size()));
            hand_over(actor->handle, paths[f]);
            actor = g_session.main_windows.back();
            return true;
        }
        default:
            if (g_session.main_windows.size() < 2) return name = "nothing", false;
            name = "close a window";
            SendMessageW(actor->handle, WM_CLOSE, 0, 0);
            actor = nullptr;
            return false;
        }
    }

    // What a later start does, from inside: the path in the named block, then the message.
    void hand_over(HWND window, const std::wstring& path) {
        const DWORD size = DWORD(handover_block_size(path.size()));
        HANDLE block = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size,
                                          L"zelvn_shared_memory");
        void* view = MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, 0);
        CopyMemory(view, path.c_str(), size);
        UnmapViewOfFile(view);
        SendMessageW(window, WM_NEW_WINDOW, path.size(), 0);
        CloseHandle(block);
        main_window_t* w = g_session.main_windows.back();
        const bytes_t target = parse(path);
        pump_until([&] {
            return w->ebe->folder &&
                   idlist_items(w->ebe->folder.get()) == bytes_t(target.begin(), target.end() - 2);
        });
    }

    bytes_t parse(const std::wstring& path) {
        ITEMIDLIST* list = nullptr;
        g_session.main_windows.front()->address->desktop->ParseDisplayName(
            nullptr, nullptr, const_cast<wchar_t*>(path.c_str()), nullptr, &list, nullptr);
        bytes_t bytes = list ? terminated(idlist_items(list)) : bytes_t{};
        CoTaskMemFree(list);
        return bytes;
    }

    // One window left, on the desktop, its tree collapsed and unpinned: the same
    // picture every time, so its object counts can be compared.
    // Another program at work in a folder the windows show: a subfolder made, renamed or
    // deleted; then time for the windows to see it, the folder shown perhaps with it.
    void change_outside() {
        const int n = pick(6);
        const wchar_t letter = pick(2) ? L'd' : L'e';
        const std::wstring a = L"C:\\zsoak\\" + std::wstring(1, letter) + std::to_wstring(n);
        const std::wstring b =
            L"C:\\zsoak\\" + std::wstring(1, letter == L'd' ? L'e' : L'd') + std::to_wstring(n);
        if (GetFileAttributesW(a.c_str()) == INVALID_FILE_ATTRIBUTES)
            CreateDirectoryW(a.c_str(), nullptr);
        else if (pick(2) && GetFileAttributesW(b.c_str()) == INVALID_FILE_ATTRIBUTES)
            MoveFileW(a.c_str(), b.c_str());
        else
            RemoveDirectoryW(a.c_str());
        pump_for(250);
    }

    void quiet(int& gdi, int& windows, DWORD& handles) {
        while (g_session.main_windows.size() > 1)
            SendMessageW(g_session.main_windows.back()->handle, WM_CLOSE, 0, 0);
        main_window_t* w = g_session.main_windows.front();
        tree_model_t& tree = w->tree->model();
        for (const tree_node_t* node : known_nodes(w->tree.get()))
            if (node->pinned) tree.set_pin(node->absolute_pidl().get(), false);
        g_session.pins.folders.clear();
        tree.collapse(&tree.root());
        MoveWindow(w->handle, 40, 40, 800, 600, TRUE);
        navigate(w, folders.front());
        pump_for(100);
        std::string kinds;
        gdi = gdi_objects(&kinds);
        // Watching threads of closed windows end on their own: give them the moment.
        pump_for(200);
        handles = kernel_handles();
        windows = windows_of_thread();
        std::printf("  kinds%s\n", kinds.c_str());
    }
};

TEST(Soak, SeededActionsKeepFileTreeAndObjectsInStep) {
    const char* env_seed = std::getenv("ZELVON_SOAK_SEED");
    const unsigned seed =
        env_seed ? unsigned(std::strtoul(env_seed, nullptr, 10)) : std::random_device{}();
    const char* env_actions = std::getenv("ZELVON_SOAK_ACTIONS");
    const int actions = env_actions ? std::atoi(env_actions) : 2000;
    std::printf("soak seed: %u (replay with ZELVON_SOAK_SEED=%u), %d actions\n", seed, seed,
                actions);
    std::fflush(stdout);

    reset_settings();
    soak_t soak{std::mt19937(seed), {}, {}};
    main_window_t* first = main_window_t::open();
    pump_until([&] { return first->ebe->folder != nullptr; });
    soak.folders.push_back(terminated({})); // the desktop comes first
    soak.paths = {L"C:\\",
                  L"C:\\windows",
                  L"C:\\windows\\system32",
                  L"C:\\windows\\system32\\drivers",
                  L"C:\\windows\\Fonts",
                  L"C:\\users",
                  L"C:\\Program Files",
                  L"C:\\zsoak"};
    CreateDirectoryW(L"C:\\zsoak", nullptr);
    for (const std::wstring& path : soak.paths) soak.folders.push_back(soak.parse(path));

    // The system caches what it first shows (icons of each kind of file) and keeps what
    // the most windows open at once needed: let every folder, and as many windows as
    // the soak opens, pass once before the counts are taken.
    for (const bytes_t& folder : soak.folders) soak.navigate(first, folder);
    for (std::size_t i = 0; g_session.main_windows.size() < 5; ++i)
        soak.hand_over(first->handle, soak.paths[i % soak.paths.size()]);
    int gdi = 0, windows = 0;
    DWORD handles = 0;
    soak.quiet(gdi, windows, handles);
    std::printf("at rest: %d GDI objects, %d windows, %lu handles\n", gdi, windows, handles);
    // From the first checkpoint on, when the mix of actions has run once, the counts
    // may still creep up as the browser caches the icons and views of folders it shows
    // for the first time, in bursts of a few; that is bounded by what is visited.
    // Anything of ours that leaked would grow with the number of actions: hold growth
    // to one burst plus one object per 25 actions, and the windows at rest to exactly
    // the same number.
    int warm_gdi = -1, warm_windows = -1, warm_step = 0;
    DWORD warm_handles = 0;

    for (int step = 1; step <= actions; ++step) {
        std::string name;
        main_window_t* actor = nullptr;
        const bool saves = soak.act(name, actor);
        soak_t::settle();
        SCOPED_TRACE("seed " + std::to_string(seed) + ", action " + std::to_string(step) + ": " +
                     name);
        const bytes_t file = settings_bytes();
        const auto saved = decode_settings(file.data(), file.size());
        ASSERT_TRUE(saved);
        if (saves && actor) {
            ASSERT_TRUE(file_is_state_of(*saved, actor));
        }
        for (main_window_t* w : g_session.main_windows) expect_rows_consistent(w->tree.get());
        if (HasFatalFailure()) return;

        if (step % 250 == 0 || step == actions) {
            soak.quiet(gdi, windows, handles);
            std::printf("after %d actions at rest: %d GDI objects, %d windows, %lu handles\n", step,
                        gdi, windows, handles);
            std::fflush(stdout);
            if (warm_gdi < 0) {
                warm_gdi = gdi;
                warm_windows = windows;
                warm_handles = handles;
                warm_step = step;
            }
            EXPECT_LE(gdi - warm_gdi, 16 + (step - warm_step) / 25);
            EXPECT_EQ(windows, warm_windows);
            // Watches are closed with their windows and folders: kernel handles stay flat.
            EXPECT_LE(int(handles) - int(warm_handles), 16 + (step - warm_step) / 25);
        }
    }
    SendMessageW(g_session.main_windows.front()->handle, WM_CLOSE, 0, 0);
    take_quits();
}

} // namespace
