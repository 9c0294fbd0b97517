// In-process figures of one main window over the real shell: what the window adds to
// each navigation of its browser, beside the browser's own time for it, and what one
// save of the settings file writes. Checks nothing. Run under Wine with a display:
// wine app_bench.exe [runs]
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ui/address/address_view.h"
#include "app/session.h"
#include "win/com.h"
#include "app/ebe.h"
#include "app/main_window.h"
#include "bench/figures.h"
#include "bench/pin_folders.h"
#include "core/settings_format.h"
#include "tests/support/com_object.h"
#include "tests/support/imports.h"
#include "tests/support/process_state.h"
#include "ui/tree/tree_view.h"

namespace {

int runs = 15;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::fflush(stderr);
    std::exit(1);
}

task_idlist parse(const std::wstring& path) {
    IShellFolder* desktop = nullptr;
    SHGetDesktopFolder(&desktop);
    ITEMIDLIST* list = nullptr;
    if (desktop)
        desktop->ParseDisplayName(nullptr, nullptr, const_cast<wchar_t*>(path.c_str()), nullptr,
                                  &list, nullptr);
    if (desktop) desktop->Release();
    if (!list) fail("a bench folder does not parse");
    return task_idlist(list);
}

bool same_list(const ITEMIDLIST* a, const ITEMIDLIST* b) {
    if (!a || !b) return false;
    const std::size_t length = idlist_length(a);
    return length == idlist_length(b) && std::memcmp(a, b, length) == 0;
}

// Notes when the browser reports. One is advised before the window's own sink and one
// after it, so that their two pending reports bracket what the window does.
struct probe_t final : lasting_t<IExplorerBrowserEvents> {
    const main_window_t* window = nullptr;
    double pending = 0, complete = 0;
    int completions = 0;
    bool window_had_folder = false; // whether the window's sink had already seen it

    HRESULT STDMETHODCALLTYPE OnNavigationPending(PCIDLIST_ABSOLUTE folder) override {
        pending = now_ms();
        window_had_folder = same_list(window->ebe->folder.get(), folder);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnViewCreated(IShellView*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnNavigationComplete(PCIDLIST_ABSOLUTE) override {
        complete = now_ms();
        ++completions;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnNavigationFailed(PCIDLIST_ABSOLUTE) override {
        fail("the browser failed a navigation");
    }
};

probe_t before, after;

// Puts the window's sink between the two probes; the browser reports in advise order.
void bracket_sink(main_window_t* window) {
    before.window = after.window = window;
    window->eb->Unadvise(window->ebe->cookie);
    DWORD cookie = 0;
    window->eb->Advise(&before, &cookie);
    window->eb->Advise(window->ebe.Get(), &window->ebe->cookie);
    window->eb->Advise(&after, &cookie);
}

// Navigates and waits for the browser to report it done; the time from the call.
double navigate(main_window_t* window, const ITEMIDLIST* list) {
    const int done = after.completions;
    const double start = now_ms();
    window->eb->BrowseToIDList(list, 0);
    pump_until([&] { return after.completions > done; });
    if (after.completions == done) fail("the browser did not complete a navigation");
    return after.complete - start;
}

// C:\zbench\level01\...\level15, with four sibling folders and eight files at each level.
void make_levels() {
    std::wstring path = L"C:\\zbench";
    CreateDirectoryW(path.c_str(), nullptr);
    for (int level = 1; level <= 15; ++level) {
        wchar_t name[32];
        for (int i = 1; i <= 4; ++i) {
            swprintf(name, 32, L"\\other%d", i);
            CreateDirectoryW((path + name).c_str(), nullptr);
        }
        for (int i = 1; i <= 8; ++i) {
            swprintf(name, 32, L"\\file%d.txt", i);
            HANDLE f = CreateFileW((path + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0,
                                   nullptr);
            if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
        }
        swprintf(name, 32, L"\\level%02d", level);
        path += name;
        CreateDirectoryW(path.c_str(), nullptr);
    }
}

std::wstring level_path(int depth) {
    std::wstring path = L"C:\\zbench";
    for (int level = 1; level <= depth; ++level) {
        wchar_t name[32];
        swprintf(name, 32, L"\\level%02d", level);
        path += name;
    }
    return path;
}

std::vector<double> timed(const std::function<void()>& measure) {
    std::vector<double> times;
    measure();
    for (int i = 0; i < runs; ++i) {
        const double start = now_ms();
        measure();
        times.push_back(now_ms() - start);
    }
    return times;
}

void truncate_settings() {
    SetFilePointer(g_session.settings.get(), 0, nullptr, FILE_BEGIN);
    SetEndOfFile(g_session.settings.get());
}

main_window_t* open_window() {
    main_window_t* window = main_window_t::open();
    pump_until([window] { return window->ebe->folder != nullptr; });
    if (!window->ebe->folder) fail("the window did not reach a folder");
    return window;
}

void close_window(main_window_t* window) {
    SendMessageW(window->handle, WM_CLOSE, 0, 0);
    pump_until([] { return g_session.main_windows.empty(); });
}

void bench_navigation() {
    make_levels();
    truncate_settings();
    main_window_t* window = open_window();
    bracket_sink(window);
    const task_idlist desktop = idlist_copy("\0", 0);
    std::printf("\nnavigation, from the desktop to C:\\zbench and N levels below it\n");
    for (int depth : {1, 5, 15}) {
        const task_idlist target = parse(level_path(depth));
        std::vector<double> total, share, own, set_folder, show_folder, save;
        for (int run = -1; run < runs; ++run) {
            navigate(window, desktop.get());
            const double whole = navigate(window, target.get());
            if (before.window_had_folder || !after.window_had_folder)
                fail("the browser does not report to its sinks in advise order");
            const double window_part = after.pending - before.pending;
            if (run < 0) continue;
            total.push_back(whole);
            share.push_back(window_part);
            own.push_back(whole - window_part);
        }
        // The same three steps again, each alone, the browser standing on the target.
        set_folder = timed([&] { window->address->set_folder(target.get()); });
        show_folder = timed([&] { window->tree->model().show_folder(target.get()); });
        save = timed([&] { window->save_settings(); });

        const std::string key = "nav.depth" + std::to_string(depth) + ".";
        const std::string label = std::to_string(depth) + (depth == 1 ? " level" : " levels");
        print_figure((key + "zelvon").c_str(), (label + ": zelvon's share, in the event").c_str(),
                     "ms", share);
        print_figure((key + "set_folder").c_str(), "  of which address->set_folder", "ms",
                     set_folder);
        print_figure((key + "show_folder").c_str(), "  of which tree->show_folder", "ms",
                     show_folder);
        print_figure((key + "save").c_str(), "  of which save_settings", "ms", save);
        print_figure((key + "browser").c_str(), (label + ": the browser's own").c_str(), "ms", own);
        print_figure((key + "total").c_str(), (label + ": BrowseToIDList to complete").c_str(),
                     "ms", total);
        print_figure((key + "ratio").c_str(), (label + ": ratio zelvon / browser").c_str(), "x",
                     ratios(share, own));
    }
    close_window(window);
}

// ---- The live tree: a folder made outside, from the call that makes it until the tree
// of a window showing its parent lists it, with no input.

const tree_node_t* current_node(const tree_node_t* node) {
    if (node->current) return node;
    for (const tree_node_t* c = node->first_child.get(); c; c = c->next_sibling.get())
        if (const tree_node_t* found = current_node(c)) return found;
    return nullptr;
}

bool lists_child(const tree_model_t& model, std::uint64_t folder, const std::wstring& name) {
    const tree_node_t* node = model.node_by_id(folder);
    for (const tree_node_t* c = node ? node->first_child.get() : nullptr; c;
         c = c->next_sibling.get())
        if (c->name && name == c->name.get()) return true;
    return false;
}

void bench_live() {
    const std::wstring parent = L"C:\\zbench_live";
    CreateDirectoryW(parent.c_str(), nullptr);
    truncate_settings();
    main_window_t* window = open_window();
    window->eb->BrowseToIDList(parse(parent).get(), 0);
    tree_model_t& model = window->tree->model();
    const tree_node_t* shown = nullptr;
    pump_until([&] {
        shown = current_node(&model.root());
        return shown && shown->name && std::wstring(shown->name.get()) == L"zbench_live";
    });
    if (!shown) fail("the tree does not mark the folder shown");
    const std::uint64_t id = shown->id;
    model.expand(shown);
    pump_for(200);
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const std::wstring name = L"made" + std::to_wstring(run);
        const double start = now_ms();
        CreateDirectoryW((parent + L"\\" + name).c_str(), nullptr);
        pump_until([&] { return lists_child(model, id, name); }, 5000);
        times.push_back(now_ms() - start);
        pump_for(150); // the next one is a burst of its own
    }
    std::printf("\nthe live tree\n");
    print_figure("live.made", "a folder made outside, until the tree lists it", "ms", times);
    close_window(window);
    for (int run = 0; run < runs; ++run)
        RemoveDirectoryW((parent + L"\\made" + std::to_wstring(run)).c_str());
    RemoveDirectoryW(parent.c_str());
}

// ---- Writes to the settings file, counted where the program's code calls them (the
// session's writer calls them on a thread of its own).

using write_file_t = BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
write_file_t real_write_file = nullptr;
std::atomic<bool> counting = false;
std::atomic<int> write_calls = 0;
std::atomic<std::uint64_t> bytes_written = 0;

BOOL WINAPI counting_write_file(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                                LPOVERLAPPED overlapped) {
    if (counting && file == g_session.settings.get()) {
        ++write_calls;
        bytes_written += size;
    }
    return real_write_file(file, data, size, written, overlapped);
}

void patch_write_file() {
    real_write_file = reinterpret_cast<write_file_t>(
        replace_import("kernel32.dll", "WriteFile", reinterpret_cast<void*>(&counting_write_file)));
    if (!real_write_file) fail("WriteFile is not among this executable's imports");
}

void bench_save(const char* key, const char* label, const std::vector<std::uint8_t>& file) {
    truncate_settings();
    if (!file.empty()) {
        DWORD written = 0;
        WriteFile(g_session.settings.get(), file.data(), DWORD(file.size()), &written, nullptr);
    }
    main_window_t* window = open_window();
    // Pinned rows: every pin the tree found is listed.
    int pins = 0;
    for (const tree_node_t* node : window->tree->listed()) pins += node->pinned;
    std::vector<double> calls, bytes, times, disk;
    for (int run = 0; run < runs; ++run) {
        g_session.settle();
        write_calls = 0;
        bytes_written = 0;
        counting = true;
        const double start = now_ms();
        window->save_settings();
        const double handed = now_ms();
        // The writer's part: the backup and the file written and flushed, the backup gone.
        g_session.settle();
        const double written = now_ms();
        counting = false;
        times.push_back(handed - start);
        disk.push_back(written - handed);
        calls.push_back(write_calls.load());
        bytes.push_back(double(bytes_written.load()));
    }
    const std::string k = std::string("save.") + key + ".";
    const std::string l = std::string(label) + " (" + std::to_string(pins) + " pinned)";
    print_figure((k + "calls").c_str(), (l + ": WriteFile calls").c_str(), "calls", calls);
    print_figure((k + "bytes").c_str(), (l + ": bytes written").c_str(), "bytes", bytes);
    print_figure((k + "time").c_str(), (l + ": on the window's thread").c_str(), "ms", times);
    print_figure((k + "disk").c_str(), (l + ": the write, flushed, off it").c_str(), "ms", disk);
    close_window(window);
}

void bench_saves() {
    patch_write_file();
    std::printf("\none save of the settings file\n");
    bench_save("desktop", "the desktop, no pins", {});

    std::vector<std::uint8_t> file;
    put_i32(file, SETTINGS_MAGIC);
    for (std::int32_t v : {300, 0, 0, 1024, 768}) put_i32(file, v);
    write_pidl_record(file, parse(L"C:\\windows").get());
    const std::vector<std::wstring> folders = pin_folders();
    put_i32(file, std::int32_t(folders.size()));
    for (const std::wstring& folder : folders) write_pidl_record(file, parse(folder).get());
    bench_save("pins", "C:\\windows, 20 pins saved", file);
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1) runs = std::max(1, std::atoi(argv[1]));
    if (!open_process_state(L"zvb")) fail("cannot create the font or the file");
    std::printf("app benchmark: %d timed runs each\n", runs);

    bench_navigation();
    bench_live();
    bench_saves();

    close_process_state();
    return 0;
}
